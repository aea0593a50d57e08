#include "HandlerHarness.h"
#include "DropDataObject.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/ImportTable.h"
#include "support/TestSupport.h"

HRESULT CRecordingHandler::DeletePath(const String &path, CProgressDlg &dialog)
{
    m_deleted.push_back(path.c_str());
    m_progressOpen = dialog.m_hWnd && IsWindow(dialog.m_hWnd);
    if (m_onDelete)
        m_onDelete(m_deleted.size());
    return S_OK;
}

CComPtr<CRecordingHandler> MakeRecordingHandler()
{
    CComPtr<CRecordingHandler> handler(new CRecordingHandler);
    return handler;
}

CComPtr<IDataObject> MakeSelection(const std::vector<std::string> &paths, bool offersDropList)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, offersDropList, selection.Receive()));
    return selection;
}

CMINVOKECOMMANDINFO InvokeByOffset(UINT offset)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return info;
}

CMINVOKECOMMANDINFO InvokeByVerb(const char *verb)
{
    CMINVOKECOMMANDINFO info = InvokeByOffset(0);
    info.lpVerb = verb;
    return info;
}

void MakeFile(const std::string &path, const std::string &content)
{
    sandbox::WriteFileBytes(path, content);
}

bool ReadCommandBlock(UINT &id)
{
    HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, "Talmior 2005 Trial_memFile");
    if (!block)
        return false;
    const void *view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, 0);
    if (view) {
        id = *static_cast<const UINT32 *>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(block);
    return view != nullptr;
}

namespace {

using MallocFunction = void *(__cdecl *)(size_t);

MallocFunction g_originalMalloc = nullptr;
size_t g_allowedMallocs = 0;
bool g_mallocRefused = false;

// Refuses one call only: the C++ runtime itself allocates while it throws, and a runtime that
// cannot throw is not what is being tested.
void *__cdecl FailingMalloc(size_t size)
{
    if (g_allowedMallocs == 0 && !g_mallocRefused) {
        g_mallocRefused = true;
        return nullptr;
    }
    if (g_allowedMallocs > 0)
        --g_allowedMallocs;
    return g_originalMalloc(size);
}

std::vector<CEmptyBinSpy::Call> g_emptyBinCalls;

HRESULT WINAPI RecordEmptyBin(HWND, LPCSTR root, DWORD flags)
{
    g_emptyBinCalls.push_back({root ? root : "", flags});
    return S_OK;
}

// Points the slot somewhere else; the slot's old value is returned.
void *HookSlot(void **slot, void *replacement, const char *function)
{
    if (!slot) {
        ADD_FAILURE() << function << " is not in the program's import table";
        return nullptr;
    }
    return ReplaceImport(slot, replacement);
}

} // namespace

CEmptyBinSpy::CEmptyBinSpy() : m_slot(ImportSlot("shell32.dll", "SHEmptyRecycleBinA")), m_original(nullptr)
{
    g_emptyBinCalls.clear();
    m_original = HookSlot(m_slot, reinterpret_cast<void *>(&RecordEmptyBin), "SHEmptyRecycleBinA");
}

CEmptyBinSpy::~CEmptyBinSpy()
{
    if (m_original)
        ReplaceImport(m_slot, m_original);
}

const std::vector<CEmptyBinSpy::Call> &CEmptyBinSpy::Calls() const
{
    return g_emptyBinCalls;
}

CFailingMalloc::CFailingMalloc(size_t allowedCalls) : m_slot(ImportSlot("msvcrt.dll", "malloc")), m_original(nullptr)
{
    g_allowedMallocs = allowedCalls;
    g_mallocRefused = false;
    g_originalMalloc = m_slot ? reinterpret_cast<MallocFunction>(*m_slot) : nullptr;
    m_original = HookSlot(m_slot, reinterpret_cast<void *>(&FailingMalloc), "malloc");
}

CFailingMalloc::~CFailingMalloc()
{
    if (m_original)
        ReplaceImport(m_slot, m_original);
}

bool CFailingMalloc::Refused()
{
    return g_mallocRefused;
}
