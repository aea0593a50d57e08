#include "EngineHarness.h"

#include <gtest/gtest.h>
#include <cstring>

#include "support/ImportTable.h"
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

void **WriteFileSlot()
{
    return ImportSlot("kernel32.dll", "WriteFile");
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
    ReplaceImport(slot, reinterpret_cast<void *>(&WriteFileSpy::Hook));
}

WriteFileSpy::~WriteFileSpy()
{
    if (void **slot = WriteFileSlot(); slot && m_original)
        ReplaceImport(slot, m_original);
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
