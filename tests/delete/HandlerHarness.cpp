#include "HandlerHarness.h"
#include "DropDataObject.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

HRESULT CRecordingHandler::DeletePath(const String &path, CProgressDlg &dialog)
{
    m_deleted.push_back(path.c_str());
    m_progressOpen = dialog.m_hWnd && IsWindow(dialog.m_hWnd);
    if (m_onDelete)
        m_onDelete(m_deleted.size());
    return S_OK;
}

CComPtr<CRecordingHandler> RecordingHandler(const std::vector<std::string> &selection)
{
    CComPtr<CRecordingHandler> handler(new CRecordingHandler);
    if (!selection.empty()) {
        EXPECT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(selection).Get(), nullptr));
    }
    return handler;
}

CComPtr<IDataObject> MakeSelection(const std::vector<std::string> &paths, bool offersDropList)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, offersDropList, selection.Receive()));
    return selection;
}

void MakeFile(const std::string &path, const std::string &content)
{
    sandbox::WriteFileBytes(path, content);
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

// Sets the counters and the way back before the slot is pointed at FailingMalloc.
void *ArmFailingMalloc(size_t allowedCalls)
{
    void **slot = ImportSlot("msvcrt.dll", "malloc");
    g_originalMalloc = slot ? reinterpret_cast<MallocFunction>(*slot) : nullptr;
    g_allowedMallocs = allowedCalls;
    g_mallocRefused = false;
    return reinterpret_cast<void *>(&FailingMalloc);
}

} // namespace

CFailingMalloc::CFailingMalloc(size_t allowedCalls) : m_hook("msvcrt.dll", "malloc", ArmFailingMalloc(allowedCalls))
{
}

bool CFailingMalloc::Refused()
{
    return g_mallocRefused;
}

CEmptyBinSpy::CEmptyBinSpy() : m_hook("shell32.dll", "SHEmptyRecycleBinA", reinterpret_cast<void *>(&RecordEmptyBin))
{
    g_emptyBinCalls.clear();
}

const std::vector<CEmptyBinSpy::Call> &CEmptyBinSpy::Calls() const
{
    return g_emptyBinCalls;
}
