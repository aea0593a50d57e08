#include "support/DialogAnswerer.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

const DWORD kAnswerLimitMs = 5000;

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace

DialogAnswerer::Answer::Answer(int id) : act([id](HWND dialog) { Click(dialog, id); }) {}

DialogAnswerer::~DialogAnswerer()
{
    m_stop = true;
    m_worker.join();
    EXPECT_EQ(0, m_stuck) << "dialogs that their answer did not close";
}

void DialogAnswerer::Run()
{
    std::vector<std::pair<HWND, DWORD>> answered; // and when
    for (; !m_stop; Sleep(20)) {
        // Handles of closed dialogs may be reused by later ones.
        answered.erase(std::remove_if(answered.begin(), answered.end(),
                                      [](auto &a) { return !IsWindow(a.first) || !IsWindowVisible(a.first); }),
                       answered.end());
        for (HWND dialog = nullptr; (dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr;) {
            if (GetWindowThreadProcessId(dialog, nullptr) != m_thread || !IsWindowVisible(dialog) ||
                !GetDlgItem(dialog, IDC_PICTURE))
                continue;
            auto seen = std::find_if(answered.begin(), answered.end(), [&](auto &a) { return a.first == dialog; });
            if (seen == answered.end()) {
                char text[1024] = {};
                GetDlgItemTextA(dialog, IDC_TEXT, text, sizeof(text));
                std::unique_lock<std::mutex> lock(m_lock);
                m_texts.push_back(text);
                const size_t index = m_texts.size() - 1;
                lock.unlock();
                Sleep(50); // its first paint, as a user would see it before answering
                (index < m_answers.size() ? m_answers[index] : Answer(IDCANCEL)).act(dialog);
                answered.emplace_back(dialog, GetTickCount());
            } else if (GetTickCount() - seen->second > kAnswerLimitMs) {
                ++m_stuck;
                Click(dialog, IDCANCEL);
                seen->second = GetTickCount(); // and again 5 seconds on, if that did not close it either
            }
        }
    }
}
