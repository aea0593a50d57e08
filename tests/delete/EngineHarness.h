#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "delete/COrvexDeleteFile.h"

// A Secure Delete handler made directly, with its progress dialog open and shown, as a run
// has it: cancel flag wired, pass count given.
class EngineHarness
{
public:
    explicit EngineHarness(UINT passCount = 1);
    ~EngineHarness();
    EngineHarness(const EngineHarness &) = delete;
    EngineHarness &operator=(const EngineHarness &) = delete;

    COrvexDeleteFile &Handler() { return *m_handler; }
    CProgressDlg &Progress() { return m_handler->m_progress; }
    CSkinProgressBar &Bar() { return *m_handler->m_progress.m_pBar; }
    // The text the status line shows now.
    std::string StatusText() const;

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

// Replaces kernel32's WriteFile in this program's import table while it lives (the module's
// code is linked into the test program, so the engine's writes pass through here). Every
// write is recorded and performed: make the test's own files before the spy starts.
class WriteFileSpy
{
public:
    explicit WriteFileSpy(EngineHarness &harness);
    ~WriteFileSpy();
    WriteFileSpy(const WriteFileSpy &) = delete;
    WriteFileSpy &operator=(const WriteFileSpy &) = delete;

    // Called after each recorded write, with its 1-based number.
    void OnWrite(std::function<void(size_t)> callback) { m_onWrite = std::move(callback); }
    const std::vector<ObservedWrite> &Writes() const { return m_writes; }

private:
    static BOOL WINAPI Hook(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);

    EngineHarness &m_harness;
    std::vector<ObservedWrite> m_writes;
    std::function<void(size_t)> m_onWrite;
    void *m_original;
};

// Bytes of the given length, not all alike.
std::string PatternBytes(size_t length);
// A file of that many pattern bytes, created afresh.
void MakeFile(const std::string &path, size_t length);
ULONGLONG FileLength(const std::string &path);
