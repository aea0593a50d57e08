// Sizes, placements, window shape and hit-testing of the skinned dialogs on real windows.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "module/Module.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

using namespace uitest;

namespace {

const char kCaption[] = "Talmior 2005 Trial";

struct Snapshot
{
    RECT window = {};
    RECT ok = {};
    RECT cancel = {};
    RECT text = {};
    SIZE extent = {};
    bool inTopLeftCorner = true;
    bool inTopMiddle = false;
    bool inBottomLeft = false;
    bool inBottomRight = false;
    char windowText[64] = {};
    bool hasBigIcon = false;
    bool hasSmallIcon = false;
};

// Takes the dialog's geometry from the helper thread, then presses OK.
std::function<void(HWND)> Measure(Snapshot &snap, const char *text)
{
    return [&snap, text](HWND dialog) {
        GetWindowRect(dialog, &snap.window);
        GetWindowTextA(dialog, snap.windowText, sizeof(snap.windowText));
        snap.hasBigIcon = SendMessageA(dialog, WM_GETICON, ICON_BIG, 0) != 0;
        snap.hasSmallIcon = SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0) != 0;
        snap.ok = ChildRect(GetDlgItem(dialog, IDOK));
        if (HWND cancel = GetDlgItem(dialog, IDCANCEL))
            snap.cancel = ChildRect(cancel);
        snap.text = ChildRect(GetDlgItem(dialog, IDC_TEXT));
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &snap.extent);
        SelectObject(dc, old);
        DeleteDC(dc);
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        if (GetWindowRgn(dialog, region) != ERROR) {
            const int w = snap.window.right - snap.window.left;
            const int h = snap.window.bottom - snap.window.top;
            snap.inTopLeftCorner = PtInRegion(region, 0, 0) != FALSE;
            snap.inTopMiddle = PtInRegion(region, w / 2, 0) != FALSE;
            snap.inBottomLeft = PtInRegion(region, 0, h - 1) != FALSE;
            snap.inBottomRight = PtInRegion(region, w - 1, h - 1) != FALSE;
        }
        DeleteObject(region);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
}

int Width(const RECT &r) { return r.right - r.left; }
int Height(const RECT &r) { return r.bottom - r.top; }

} // namespace

TEST(MessageDlgLayout, WidthFollowsTheTextAndOkIsCentred)
{
    const char text[] = "Unable to overwrite file: S:\\Reports\\budget-2005.xls";
    Snapshot snap;
    {
        DialogDriver driver(Measure(snap, text));
        CMessageDlg dialog;
        EXPECT_EQ(1, dialog.Show(text, kCaption));
        ASSERT_TRUE(driver.Finish());
    }
    ASSERT_GT(snap.extent.cx, 100);
    EXPECT_EQ(snap.extent.cx + 95, Width(snap.window));
    EXPECT_EQ(snap.extent.cx + 10, Width(snap.text));
    EXPECT_EQ(snap.extent.cy + 10, Height(snap.text));
    EXPECT_EQ(75, Width(snap.ok));
    EXPECT_EQ(24, Height(snap.ok));
    EXPECT_EQ((Width(snap.window) - 75) / 2, snap.ok.left);
}

TEST(MessageDlgLayout, WindowShapeRoundsOnlyTheTopCorners)
{
    Snapshot snap;
    DialogDriver driver(Measure(snap, "x"));
    CMessageDlg dialog;
    dialog.Show("x", kCaption);
    ASSERT_TRUE(driver.Finish());
    EXPECT_FALSE(snap.inTopLeftCorner);
    EXPECT_TRUE(snap.inTopMiddle);
    EXPECT_TRUE(snap.inBottomLeft);
    EXPECT_TRUE(snap.inBottomRight);
}

TEST(MessageDlgLayout, CaptionBecomesTheWindowTextUnlessEmpty)
{
    Snapshot named;
    {
        DialogDriver driver(Measure(named, "x"));
        CMessageDlg dialog;
        dialog.Show("x", kCaption);
        ASSERT_TRUE(driver.Finish());
    }
    EXPECT_STREQ(kCaption, named.windowText);
    EXPECT_TRUE(named.hasBigIcon);
    EXPECT_TRUE(named.hasSmallIcon);

    Snapshot unnamed;
    {
        DialogDriver driver(Measure(unnamed, "x"));
        CMessageDlg dialog;
        dialog.Show("x", "");
        ASSERT_TRUE(driver.Finish());
    }
    EXPECT_STREQ("", unnamed.windowText);
}

TEST(ConfirmDlgLayout, ButtonsSitAroundTheCentre)
{
    const char text[] = "Delete the selected items?";
    Snapshot snap;
    {
        DialogDriver driver(Measure(snap, text));
        CConfirmDlg dialog;
        dialog.Show(text, kCaption);
        ASSERT_TRUE(driver.Finish());
    }
    const int width = Width(snap.window);
    EXPECT_EQ((width - Width(snap.ok)) / 2 - 52, snap.ok.left);
    EXPECT_EQ((width - Width(snap.cancel)) / 2 + 45, snap.cancel.left);
    EXPECT_EQ(snap.ok.top, snap.cancel.top);
    EXPECT_EQ(snap.extent.cx + 25, Width(snap.text));
    EXPECT_EQ(snap.extent.cy + 50, Height(snap.text));
    EXPECT_STREQ("", snap.windowText) << "the caption is only painted";
}

TEST(DialogPlacement, CentresOnAVisibleOwner)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 60, 80, 500, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    SetActiveWindow(owner);
    Snapshot snap;
    {
        DialogDriver driver(Measure(snap, "x"));
        CMessageDlg dialog;
        dialog.Show("x", kCaption);
        ASSERT_TRUE(driver.Finish());
    }
    DestroyWindow(owner);
    EXPECT_EQ((60 + 560) / 2 - Width(snap.window) / 2, snap.window.left);
    EXPECT_EQ((80 + 380) / 2 - Height(snap.window) / 2, snap.window.top);
}

TEST(DialogPlacement, WithoutOwnerCentresOnTheWorkArea)
{
    CProgressDlg dialog;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT window;
    GetWindowRect(dialog.m_hWnd, &window);
    EXPECT_EQ((area.left + area.right) / 2 - Width(window) / 2, window.left);
    EXPECT_EQ((area.top + area.bottom) / 2 - Height(window) / 2, window.top);
    DestroyWindow(dialog.m_hWnd);
}

class FrameHitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        if (m_dialog.m_hWnd)
            DestroyWindow(m_dialog.m_hWnd);
    }
    void MoveTo(int x, int y)
    {
        SetWindowPos(m_dialog.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(m_dialog.m_hWnd, &m_window);
    }
    // The answer the dialog gives the platform for a point relative to its top-left corner.
    LRESULT HitAt(int x, int y)
    {
        return SendMessageA(m_dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(m_window.left + x, m_window.top + y));
    }

    CProgressDlg m_dialog;
    RECT m_window = {};
};

TEST_F(FrameHitTest, EmblemCaptionAndClient)
{
    MoveTo(100, 120);
    EXPECT_EQ(HTSYSMENU, HitAt(24, 21));
    EXPECT_EQ(HTSYSMENU, HitAt(5, 5));
    EXPECT_EQ(HTCAPTION, HitAt(25, 22));
    EXPECT_EQ(HTCAPTION, HitAt(4, 4));
    EXPECT_EQ(HTCAPTION, HitAt(200, 27));
    EXPECT_EQ(HTCLIENT, HitAt(200, 28));
    EXPECT_EQ(HTCLIENT, HitAt(24, 40));
}

TEST_F(FrameHitTest, WorksAtNegativeScreenCoordinates)
{
    // A monitor left of and above the primary one.
    MoveTo(-300, -200);
    ASSERT_EQ(-300, m_window.left);
    ASSERT_EQ(-200, m_window.top);
    EXPECT_EQ(HTSYSMENU, HitAt(24, 21));
    EXPECT_EQ(HTCAPTION, HitAt(25, 22));
    EXPECT_EQ(HTCLIENT, HitAt(100, 28));
}

TEST_F(FrameHitTest, WithoutCaptionBitmapEverythingIsClient)
{
    MoveTo(100, 120);
    m_dialog.m_captionBitmap = nullptr;
    EXPECT_EQ(HTCLIENT, HitAt(24, 21));
    EXPECT_EQ(HTCLIENT, HitAt(100, 10));
}

TEST_F(FrameHitTest, CloseButtonSitsInTheTitleBar)
{
    MoveTo(100, 120);
    HWND close = FindWindowExA(m_dialog.m_hWnd, nullptr, "VSButton", nullptr);
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(IDCANCEL, GetDlgCtrlID(close));
    const RECT rect = ChildRect(close);
    const int w = Width(m_window);
    EXPECT_EQ(w - 24, rect.left);
    EXPECT_EQ(6, rect.top);
    EXPECT_EQ(16, Width(rect));
    EXPECT_EQ(16, Height(rect));
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_VISIBLE | BS_OWNERDRAW), GetWindowLongA(close, GWL_STYLE));
}
