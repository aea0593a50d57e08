#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ImportHook.h"
#include "delete/COrvexDeleteFile.h"
#include "support/TestSupport.h"

// A Secure Delete handler made directly, with its progress dialog shown and its cancel flag
// wired, as a run has it.
class EngineHarness
{
public:
    explicit EngineHarness(UINT passCount = 1) : m_handler(new COrvexDeleteFile)
    {
        m_handler->AddRef();
        m_handler->m_passCount = passCount;
        HWND window = m_handler->m_progress.Create(nullptr);
        EXPECT_TRUE(window != nullptr) << "the progress dialog was not created";
        ShowWindow(window, SW_SHOWNORMAL);
        m_handler->m_progress.SetCancelFlag(&m_handler->m_bCancelled);
    }
    ~EngineHarness()
    {
        if (m_handler->m_progress.m_hWnd)
            DestroyWindow(m_handler->m_progress.m_hWnd);
        m_handler->Release();
    }
    EngineHarness(const EngineHarness &) = delete;
    EngineHarness &operator=(const EngineHarness &) = delete;

    COrvexDeleteFile &Handler() { return *m_handler; }
    CProgressDlg &Progress() { return m_handler->m_progress; }
    CSkinProgressBar &Bar() { return *m_handler->m_progress.m_pBar; }
    std::string StatusText() const { return m_handler->m_progress.m_status.m_label.c_str(); }
    bool ProgressVisible() const { return IsWindowVisible(m_handler->m_progress.m_hWnd); }
    HRESULT Corrupt(const std::string &path, UINT passes) { return m_handler->CorruptFile(path.c_str(), passes, Progress()); }
    HRESULT Delete(const std::string &path) { return m_handler->DeletePath(path.c_str(), Progress()); }
    // Clicks the dialog's Cancel as a user would: the engine's message step delivers the click.
    void ClickCancel() { PostMessageA(GetDlgItem(m_handler->m_progress.m_hWnd, IDCANCEL), BM_CLICK, 0, 0); }

private:
    COrvexDeleteFile *m_handler;
};

// One WriteFile call as the engine made it.
struct ObservedWrite
{
    DWORD size;
    BYTE firstByte;
    bool uniform;     // every byte equals firstByte
    ULONGLONG barPos; // the bar's position when the write was made
    bool cancelled;   // the handler's cancel flag when the write was made
};

// Records every WriteFile call while it lives, and performs it: make the test's own files first.
class WriteFileSpy
{
public:
    explicit WriteFileSpy(EngineHarness &harness)
        : m_harness(harness), m_hook("kernel32.dll", "WriteFile", reinterpret_cast<void *>(&Hook))
    {
        Active() = this;
    }
    ~WriteFileSpy() { Active() = nullptr; }

    // Called after each recorded write, with its 1-based number.
    void OnWrite(std::function<void(size_t)> callback) { m_onWrite = std::move(callback); }
    const std::vector<ObservedWrite> &Writes() const { return m_writes; }

private:
    using WriteFunction = BOOL(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

    static WriteFileSpy *&Active()
    {
        static WriteFileSpy *spy = nullptr;
        return spy;
    }
    static BOOL WINAPI Hook(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
    {
        WriteFileSpy &spy = *Active();
        const BOOL ok = spy.m_hook.Original<WriteFunction>()(file, buffer, size, written, overlapped);
        const BYTE *bytes = static_cast<const BYTE *>(buffer);
        ObservedWrite write{size, size ? bytes[0] : BYTE(0), true, spy.m_harness.Bar().m_pos,
                            spy.m_harness.Handler().m_bCancelled};
        for (DWORD i = 1; i < size && write.uniform; ++i)
            write.uniform = bytes[i] == bytes[0];
        spy.m_writes.push_back(write);
        if (spy.m_onWrite)
            spy.m_onWrite(spy.m_writes.size());
        return ok;
    }

    EngineHarness &m_harness;
    CImportHook m_hook;
    std::vector<ObservedWrite> m_writes;
    std::function<void(size_t)> m_onWrite;
};

const DWORD kChunk = 51200;

// Bytes of the given length, not all alike.
inline std::string PatternBytes(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>('a' + i % 23);
    return bytes;
}

inline void MakeFile(const std::string &path, size_t length)
{
    sandbox::WriteFileBytes(path, PatternBytes(length));
}

inline ULONGLONG FileLength(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
