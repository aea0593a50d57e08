#pragma once
#include <windows.h>
#include <string>
#include <vector>

enum class DialogAnswer { LeaveToUser, Ok, Cancel };

// Watches the module's dialogs on one thread from a helper thread: prints each question or
// message, answers it when asked to (as a click on the button would), and saves a picture of the
// first confirmation, message and progress dialog into a folder when one is given.
class CDialogWatcher
{
public:
    CDialogWatcher(DWORD thread, DialogAnswer answer, DWORD answerDelayMs, const std::string &captureFolder);
    ~CDialogWatcher();
    CDialogWatcher(const CDialogWatcher &) = delete;
    CDialogWatcher &operator=(const CDialogWatcher &) = delete;

private:
    static DWORD WINAPI ThreadProc(void *self);
    void Run();
    void Handle(HWND dialog);
    void Capture(HWND dialog, const char *name);

    DWORD m_thread;
    DialogAnswer m_answer;
    DWORD m_answerDelayMs;
    std::string m_captureFolder;
    std::vector<std::string> m_captured;
    std::vector<HWND> m_seen;
    HANDLE m_stop;
    HANDLE m_worker;
};
