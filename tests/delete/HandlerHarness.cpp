#include "HandlerHarness.h"
#include "DropDataObject.h"

#include <gtest/gtest.h>

#include <cstring>

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

// The import-table slot through which this program calls function of dll.
void **ImportSlot(const char *dll, const char *function)
{
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress); entry->Name;
         ++entry) {
        if (_stricmp(reinterpret_cast<char *>(base + entry->Name), dll) != 0)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void **slot, void *value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
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
    void *original = *slot;
    WriteSlot(slot, replacement);
    return original;
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
        WriteSlot(m_slot, m_original);
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
        WriteSlot(m_slot, m_original);
}

bool CFailingMalloc::Refused()
{
    return g_mallocRefused;
}
