#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Answers the module's modal message and confirmation dialogs on one thread the way a user
// would: from a helper thread it waits for each dialog to appear, reads its text (control
// 202) and presses the button given for it. A dialog beyond the given answers is an
// unexpected one: it is recorded and closed with id 2 so that the test cannot hang.
// The progress dialog (it has no picture control 203) is never touched.
class DialogAnswerer
{
public:
    explicit DialogAnswerer(std::vector<int> answers, DWORD thread = GetCurrentThreadId());
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;

    // Texts of the dialogs seen so far, in order (answered and unexpected alike).
    std::vector<std::string> Texts() const;
    size_t Answered() const;
    size_t Unexpected() const;

private:
    static DWORD WINAPI ThreadProc(void *self);
    void Run();

    std::vector<int> m_answers;
    DWORD m_thread;
    HANDLE m_stop;
    HANDLE m_worker;
    mutable CRITICAL_SECTION m_lock;
    std::vector<std::string> m_texts;
    size_t m_answered;
    size_t m_unexpected;
};

// The visible top-level dialog windows (#32770) of a thread.
std::vector<HWND> ThreadDialogs(DWORD thread);
