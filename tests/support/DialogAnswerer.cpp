#include "support/DialogAnswerer.h"
#include "resource.h"

#include <algorithm>
#include <cstring>

static BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM param)
{
    char className[32] = {};
    GetClassNameA(hwnd, className, sizeof(className));
    if (IsWindowVisible(hwnd) && std::strcmp(className, "#32770") == 0)
        reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ThreadDialogs(DWORD thread)
{
    std::vector<HWND> dialogs;
    EnumThreadWindows(thread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

DialogAnswerer::DialogAnswerer(std::vector<int> answers, DWORD thread)
    : m_answers(std::move(answers)), m_thread(thread), m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_worker(nullptr), m_answered(0), m_unexpected(0)
{
    InitializeCriticalSection(&m_lock);
    m_worker = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    SetEvent(m_stop);
    WaitForSingleObject(m_worker, INFINITE);
    CloseHandle(m_worker);
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

DWORD WINAPI DialogAnswerer::ThreadProc(void *self)
{
    static_cast<DialogAnswerer *>(self)->Run();
    return 0;
}

void DialogAnswerer::Run()
{
    std::vector<HWND> handled;
    while (WaitForSingleObject(m_stop, 20) == WAIT_TIMEOUT) {
        for (HWND dialog : ThreadDialogs(m_thread)) {
            if (!GetDlgItem(dialog, IDC_PICTURE))
                continue; // the progress dialog
            if (std::find(handled.begin(), handled.end(), dialog) != handled.end())
                continue;
            handled.push_back(dialog);
            char text[1024] = {};
            GetDlgItemTextA(dialog, IDC_TEXT, text, sizeof(text));
            int id = IDCANCEL;
            EnterCriticalSection(&m_lock);
            m_texts.push_back(text);
            if (m_answered < m_answers.size())
                id = m_answers[m_answered++];
            else
                ++m_unexpected;
            LeaveCriticalSection(&m_lock);
            // A click on the button: WM_COMMAND from the control, as the button itself sends it.
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        }
        // Handles of closed dialogs may be reused by later ones.
        handled.erase(std::remove_if(handled.begin(), handled.end(), [](HWND h) { return !IsWindow(h); }),
                      handled.end());
    }
}

std::vector<std::string> DialogAnswerer::Texts() const
{
    EnterCriticalSection(&m_lock);
    std::vector<std::string> texts = m_texts;
    LeaveCriticalSection(&m_lock);
    return texts;
}

size_t DialogAnswerer::Answered() const
{
    EnterCriticalSection(&m_lock);
    const size_t n = m_answered;
    LeaveCriticalSection(&m_lock);
    return n;
}

size_t DialogAnswerer::Unexpected() const
{
    EnterCriticalSection(&m_lock);
    const size_t n = m_unexpected;
    LeaveCriticalSection(&m_lock);
    return n;
}
