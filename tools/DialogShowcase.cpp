// Shows one dialog of the module for a screenshot: message, confirm or progress.
// The modal dialogs stay until they are answered; the progress dialog shows a run in the middle
// of a file and stays for the given number of seconds (default 30).
#include <windows.h>
#include <cstdlib>
#include <cstring>

#include "module/Module.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

static void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
}

int main(int argc, char **argv)
{
    const char *which = argc > 1 ? argv[1] : "message";
    const DWORD seconds = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 30;
    if (std::strcmp(which, "message") == 0) {
        CMessageDlg dialog;
        return dialog.Show("Unable to corrupt file budget-2005.xls", g_productTitle);
    }
    if (std::strcmp(which, "confirm") == 0) {
        CConfirmDlg dialog;
        return dialog.Show("Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?",
                           g_productTitle);
    }
    CProgressDlg dialog;
    bool cancelled = false;
    HWND window = dialog.Create(nullptr);
    if (!window)
        return 1;
    dialog.SetCancelFlag(&cancelled);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    dialog.m_pBar->m_upper = 300;
    dialog.m_pBar->m_pos = 170;
    InvalidateRect(dialog.m_pBar->m_hWnd, nullptr, FALSE);
    dialog.SetStatusText("Corrupting file: budget-2005.xls");
    PumpFor(seconds * 1000);
    DestroyWindow(window);
    return cancelled ? 2 : 0;
}
