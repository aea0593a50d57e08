// GDI and USER hygiene: showing and closing many dialogs must give back every object.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "support/DialogAnswerer.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

using namespace uitest;

namespace {

// One dialog of each kind, answered the way a user would, the progress dialog painted mid-run
// with its label replaced.
void ShowOneOfEach(int round)
{
    {
        DialogAnswerer answers({round % 2 ? IDOK : IDCANCEL, IDOK});
        CMessageDlg message;
        message.Show("Unable to delete file: S:\\a.txt", "Talmior 2005 Trial");
        CConfirmDlg confirm;
        confirm.Show("Delete the selected items?\nThey cannot be recovered.", "Talmior 2005 Trial");
    }
    CProgressDlg progress;
    bool cancelled = false;
    if (!progress.Create(nullptr))
        return;
    progress.SetCancelFlag(&cancelled);
    ShowWindow(progress.m_hWnd, SW_SHOWNORMAL);
    progress.m_pBar->m_upper = 10;
    progress.m_pBar->m_pos = round % 10;
    InvalidateRect(progress.m_pBar->m_hWnd, nullptr, FALSE);
    progress.SetStatusText("Corrupting file: a.txt");
    UpdateWindow(progress.m_hWnd);
    DestroyWindow(progress.m_hWnd);
}

} // namespace

TEST(GuiObjects, TwoHundredDialogsLeaveTheCountsWhereTheyWere)
{
    // The first showings load what stays for the process (class registration, cursors, and
    // under Wine regions of its device-context cache, made in round 0, 1 or 2).
    const int warmUpRounds = 5;
    for (int round = 0; round < warmUpRounds; ++round)
        ShowOneOfEach(round);
    const DWORD gdiBefore = GdiObjectCount();
    const DWORD userBefore = UserObjectCount();
    ASSERT_GT(gdiBefore, 0u);
    ASSERT_GT(userBefore, 0u);
    const int rounds = 67; // 201 dialogs
    for (int round = warmUpRounds; round < warmUpRounds + rounds; ++round)
        ShowOneOfEach(round);
    // Wine's device-context cache may still add a few regions in any round, on a busy machine
    // later than in the warm-up; one object kept per showing would add at least 67.
    const DWORD cacheSlack = 8;
    const DWORD gdiAfter = GdiObjectCount();
    EXPECT_LE(gdiAfter, gdiBefore + cacheSlack) << "GDI objects before " << gdiBefore;
    EXPECT_EQ(userBefore, UserObjectCount());
    // The counting itself notices an object not given back. (Under Wine a thread's top-level
    // window brings an input-method window along: USER may rise by more than one.)
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(gdiAfter + 1, GdiObjectCount());
    EXPECT_LT(userBefore, UserObjectCount());
    DestroyWindow(window);
    DeleteObject(brush);
    EXPECT_EQ(gdiAfter, GdiObjectCount());
    EXPECT_EQ(userBefore, UserObjectCount());
}
