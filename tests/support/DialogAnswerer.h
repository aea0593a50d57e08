#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Answers the module's modal dialogs on the thread that made it the way a user would: from a
// helper thread it waits for each message or confirmation dialog, reads its text (control 202) and
// acts on it: presses a button (a click on it as the button sends it) or does what the answer's
// action does (keys, mouse). A dialog beyond the given answers is unexpected: it is recorded and
// closed with Cancel. A dialog that is still open 5 seconds after its answer fails the test and is
// closed, so that nothing hangs. The progress dialog (no picture control 203) is never touched.
class DialogAnswerer
{
public:
    struct Answer
    {
        Answer(int id);
        Answer(std::function<void(HWND)> act) : act(std::move(act)) {}
        std::function<void(HWND)> act;
    };
    explicit DialogAnswerer(std::vector<Answer> answers) : m_answers(std::move(answers)) {}
    ~DialogAnswerer();

    // Texts of the dialogs seen so far, in order (answered and unexpected alike).
    std::vector<std::string> Texts() const
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_texts;
    }

private:
    void Run();

    const std::vector<Answer> m_answers;
    const DWORD m_thread = GetCurrentThreadId();
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
    int m_stuck = 0;
    std::thread m_worker{&DialogAnswerer::Run, this}; // last: starts when everything else is ready
};
