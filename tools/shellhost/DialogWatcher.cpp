#include "DialogWatcher.h"
#include "ScreenCapture.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const DWORD kPollMs = 20;
// Long enough for a new dialog to paint itself before its picture is taken.
const DWORD kPaintMs = 300;

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    if (IsWindowVisible(window) && std::strcmp(className, "#32770") == 0)
        reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
    return TRUE;
}

} // namespace

CDialogWatcher::CDialogWatcher(DWORD thread, DialogAnswer answer, DWORD answerDelayMs,
                               const std::string &captureFolder)
    : m_thread(thread), m_answer(answer), m_answerDelayMs(answerDelayMs), m_captureFolder(captureFolder),
      m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_worker(nullptr)
{
    m_worker = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

CDialogWatcher::~CDialogWatcher()
{
    SetEvent(m_stop);
    if (m_worker) {
        WaitForSingleObject(m_worker, INFINITE);
        CloseHandle(m_worker);
    }
    CloseHandle(m_stop);
}

DWORD WINAPI CDialogWatcher::ThreadProc(void *self)
{
    static_cast<CDialogWatcher *>(self)->Run();
    return 0;
}

void CDialogWatcher::Run()
{
    while (WaitForSingleObject(m_stop, kPollMs) == WAIT_TIMEOUT) {
        std::vector<HWND> dialogs;
        EnumThreadWindows(m_thread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            if (std::find(m_seen.begin(), m_seen.end(), dialog) != m_seen.end())
                continue;
            m_seen.push_back(dialog);
            Handle(dialog);
        }
        // Handles of closed dialogs may come back for later ones.
        m_seen.erase(std::remove_if(m_seen.begin(), m_seen.end(), [](HWND h) { return !IsWindow(h); }),
                     m_seen.end());
    }
}

void CDialogWatcher::Handle(HWND dialog)
{
    if (GetDlgItem(dialog, IDC_PROGRESS_BAR)) {
        Sleep(kPaintMs);
        Capture(dialog, "progress");
        std::printf("shellhost: progress dialog shown\n");
        std::fflush(stdout);
        return;
    }
    if (!GetDlgItem(dialog, IDC_PICTURE))
        return; // not one of the module's dialogs
    const bool isQuestion = GetDlgItem(dialog, IDCANCEL) != nullptr;
    char text[1024] = {};
    GetDlgItemTextA(dialog, IDC_TEXT, text, sizeof(text));
    std::printf("shellhost: %s dialog: \"%s\"\n", isQuestion ? "confirmation" : "message", text);
    std::fflush(stdout);
    Sleep(kPaintMs);
    Capture(dialog, isQuestion ? "confirm" : "message");
    if (m_answer == DialogAnswer::LeaveToUser)
        return;
    Sleep(m_answerDelayMs);
    const int button = isQuestion && m_answer == DialogAnswer::Cancel ? IDCANCEL : IDOK;
    std::printf("shellhost: pressing %s\n", button == IDOK ? "OK" : "Cancel");
    std::fflush(stdout);
    // The notification the button itself sends when it is clicked.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

void CDialogWatcher::Capture(HWND dialog, const char *name)
{
    if (m_captureFolder.empty() || std::find(m_captured.begin(), m_captured.end(), name) != m_captured.end())
        return;
    m_captured.push_back(name);
    const std::string path = m_captureFolder + "\\" + name + ".bmp";
    if (IsWindow(dialog) && SaveWindowImage(dialog, path))
        std::printf("shellhost: saved %s\n", path.c_str());
    else
        std::printf("shellhost: could not save %s\n", path.c_str());
    std::fflush(stdout);
}
