#include "support/DialogAnswerer.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

namespace {

const DWORD kAnswerLimitMs = 5000;

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM param)
{
    char className[32] = {};
    GetClassNameA(hwnd, className, sizeof(className));
    if (IsWindowVisible(hwnd) && std::strcmp(className, "#32770") == 0 && GetDlgItem(hwnd, IDC_PICTURE))
        reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
    return TRUE;
}

} // namespace

DialogAnswerer::Answer::Answer(int id) : act([id](HWND dialog) { Click(dialog, id); }) {}

DialogAnswerer::DialogAnswerer(std::vector<Answer> answers, DWORD thread)
    : m_answers(std::move(answers)), m_thread(thread), m_worker(&DialogAnswerer::Run, this)
{
}

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
        std::vector<HWND> dialogs;
        EnumThreadWindows(m_thread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            auto seen = std::find_if(answered.begin(), answered.end(), [&](auto &a) { return a.first == dialog; });
            if (seen != answered.end()) {
                if (GetTickCount() - seen->second > kAnswerLimitMs) {
                    ++m_stuck;
                    Click(dialog, IDCANCEL);
                    seen->second = GetTickCount();
                }
                continue;
            }
            char text[1024] = {};
            GetDlgItemTextA(dialog, IDC_TEXT, text, sizeof(text));
            size_t index;
            {
                const std::lock_guard<std::mutex> lock(m_lock);
                m_texts.push_back(text);
                index = m_texts.size() - 1;
            }
            Sleep(50); // its first paint, as a user would see it before answering
            if (index < m_answers.size())
                m_answers[index].act(dialog);
            else
                Click(dialog, IDCANCEL);
            answered.emplace_back(dialog, GetTickCount());
        }
        // Handles of closed dialogs may be reused by later ones.
        answered.erase(std::remove_if(answered.begin(), answered.end(),
                                      [](auto &a) { return !IsWindow(a.first) || !IsWindowVisible(a.first); }),
                       answered.end());
    }
}

std::vector<std::string> DialogAnswerer::Texts() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}
