#include "EngineHarness.h"

#include <gtest/gtest.h>
#include <cstring>

#include "support/TestSupport.h"

EngineHarness::EngineHarness(UINT passCount) : m_handler(new COrvexDeleteFile)
{
    m_handler->AddRef();
    m_handler->m_passCount = passCount;
    HWND window = m_handler->m_progress.Create(nullptr);
    EXPECT_TRUE(window != nullptr) << "the progress dialog was not created";
    ShowWindow(window, SW_SHOWNORMAL);
    m_handler->m_progress.SetCancelFlag(&m_handler->m_bCancelled);
}

EngineHarness::~EngineHarness()
{
    if (m_handler->m_progress.m_hWnd)
        DestroyWindow(m_handler->m_progress.m_hWnd);
    m_handler->Release();
}

std::string EngineHarness::StatusText() const
{
    return m_handler->m_progress.m_status.m_label.c_str();
}

namespace {

WriteFileSpy *g_activeSpy = nullptr;

// The import table slot of kernel32's WriteFile in this program.
void **WriteFileSlot()
{
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (_stricmp(reinterpret_cast<char *>(base + imp->Name), "kernel32.dll") != 0)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char *>(byName->Name), "WriteFile") == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void ReplaceSlot(void **slot, void *value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
}

} // namespace

WriteFileSpy::WriteFileSpy(EngineHarness &harness) : m_harness(harness), m_original(nullptr)
{
    void **slot = WriteFileSlot();
    if (!slot) {
        ADD_FAILURE() << "WriteFile is not in the program's import table";
        return;
    }
    m_original = *slot;
    g_activeSpy = this;
    ReplaceSlot(slot, reinterpret_cast<void *>(&WriteFileSpy::Hook));
}

WriteFileSpy::~WriteFileSpy()
{
    if (void **slot = WriteFileSlot(); slot && m_original)
        ReplaceSlot(slot, m_original);
    g_activeSpy = nullptr;
}

BOOL WINAPI WriteFileSpy::Hook(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    WriteFileSpy *spy = g_activeSpy;
    using WriteFn = BOOL(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    const BOOL ok = reinterpret_cast<WriteFn>(spy->m_original)(file, buffer, size, written, overlapped);
    const BYTE *bytes = static_cast<const BYTE *>(buffer);
    ObservedWrite write{size, size ? bytes[0] : BYTE(0), true, spy->m_harness.Bar().m_pos,
                        spy->m_harness.Handler().m_bCancelled};
    for (DWORD i = 1; i < size && write.uniform; ++i)
        write.uniform = bytes[i] == bytes[0];
    spy->m_writes.push_back(write);
    if (spy->m_onWrite)
        spy->m_onWrite(spy->m_writes.size());
    return ok;
}

std::string PatternBytes(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>('a' + i % 23);
    return bytes;
}

void MakeFile(const std::string &path, size_t length)
{
    sandbox::WriteFileBytes(path, PatternBytes(length));
}

ULONGLONG FileLength(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
