// Sizes, placements, window shape and hit-testing of the skinned dialogs on real windows.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "module/Module.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

#include <string>

using namespace uitest;

namespace {

const char kCaption[] = "Talmior 2005 Trial";

struct Snapshot
{
    RECT window, ok, cancel, text;
    SIZE extent;              // of the text in the dialog's font
    bool inRegion[4];         // top-left corner, top middle, bottom-left, bottom-right
    std::string windowText;
    bool hasIcons;
};

// Shows the dialog; from the helper thread takes its geometry, then presses OK.
template <typename Dialog>
Snapshot Measure(const char *text, const char *caption = kCaption)
{
    Snapshot snap = {};
    Dialog dialog;
    Drive([&](HWND window) {
        GetWindowRect(window, &snap.window);
        char title[64] = {};
        GetWindowTextA(window, title, sizeof(title));
        snap.windowText = title;
        snap.hasIcons = SendMessageA(window, WM_GETICON, ICON_BIG, 0) && SendMessageA(window, WM_GETICON, ICON_SMALL, 0);
        snap.ok = ChildRect(GetDlgItem(window, IDOK));
        if (HWND cancel = GetDlgItem(window, IDCANCEL))
            snap.cancel = ChildRect(cancel);
        snap.text = ChildRect(GetDlgItem(window, IDC_TEXT));
        snap.extent = TextExtent(window, text);
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const int w = Width(snap.window), h = Height(snap.window);
        const POINT corners[4] = {{0, 0}, {w / 2, 0}, {0, h - 1}, {w - 1, h - 1}};
        const bool shaped = GetWindowRgn(window, region) != ERROR;
        for (int i = 0; i < 4; ++i)
            snap.inRegion[i] = !shaped || PtInRegion(region, corners[i].x, corners[i].y);
        DeleteObject(region);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }, [&] { return dialog.Show(text, caption); });
    return snap;
}

} // namespace

TEST(MessageDlgLayout, WidthFollowsTheTextOkIsCentredTopCornersRound)
{
    const Snapshot snap = Measure<CMessageDlg>("Unable to overwrite file: S:\\Reports\\budget-2005.xls");
    ASSERT_GT(snap.extent.cx, 100);
    EXPECT_EQ(snap.extent.cx + 95, Width(snap.window));
    EXPECT_EQ(snap.extent.cx + 10, Width(snap.text));
    EXPECT_EQ(snap.extent.cy + 10, Height(snap.text));
    EXPECT_EQ(75, Width(snap.ok));
    EXPECT_EQ(24, Height(snap.ok));
    EXPECT_EQ((Width(snap.window) - 75) / 2, snap.ok.left);
    EXPECT_FALSE(snap.inRegion[0]) << "top-left corner";
    EXPECT_TRUE(snap.inRegion[1] && snap.inRegion[2] && snap.inRegion[3]);
    EXPECT_EQ(kCaption, snap.windowText);
    EXPECT_TRUE(snap.hasIcons);
    EXPECT_EQ("", Measure<CMessageDlg>("x", "").windowText);
}

TEST(ConfirmDlgLayout, ButtonsSitAroundTheCentre)
{
    const Snapshot snap = Measure<CConfirmDlg>("Delete the selected items?");
    const int width = Width(snap.window);
    EXPECT_EQ((width - Width(snap.ok)) / 2 - 52, snap.ok.left);
    EXPECT_EQ((width - Width(snap.cancel)) / 2 + 45, snap.cancel.left);
    EXPECT_EQ(snap.ok.top, snap.cancel.top);
    EXPECT_EQ(snap.extent.cx + 25, Width(snap.text));
    EXPECT_EQ(snap.extent.cy + 50, Height(snap.text));
    EXPECT_EQ("", snap.windowText) << "the caption is only painted";
}

TEST(DialogPlacement, CentresOnAVisibleOwnerOrElseOnTheWorkArea)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 60, 80, 500, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    SetActiveWindow(owner);
    const RECT window = Measure<CMessageDlg>("x").window;
    DestroyWindow(owner);
    EXPECT_EQ((60 + 560) / 2 - Width(window) / 2, window.left);
    EXPECT_EQ((80 + 380) / 2 - Height(window) / 2, window.top);

    CProgressDlg dialog;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    RECT area, progress;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(dialog.m_hWnd, &progress);
    DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ((area.left + area.right) / 2 - Width(progress) / 2, progress.left);
    EXPECT_EQ((area.top + area.bottom) / 2 - Height(progress) / 2, progress.top);
}

class FrameHitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNORMAL);
    }
    void TearDown() override { DestroyWindow(m_dialog.m_hWnd); }
    void MoveTo(int x, int y)
    {
        SetWindowPos(m_dialog.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(m_dialog.m_hWnd, &m_window);
    }
    // The dialog's answer for a point relative to its top-left corner.
    LRESULT HitAt(int x, int y)
    {
        return SendMessageA(m_dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(m_window.left + x, m_window.top + y));
    }

    CProgressDlg m_dialog;
    RECT m_window = {};
};

// Also left of and above the primary monitor, where screen coordinates are negative.
TEST_F(FrameHitTest, EmblemCaptionAndClientAtAnyScreenPosition)
{
    const struct { int x, y; LRESULT hit; } points[] = {
        {24, 21, HTSYSMENU}, {5, 5, HTSYSMENU},    {25, 22, HTCAPTION}, {4, 4, HTCAPTION},
        {200, 27, HTCAPTION}, {200, 28, HTCLIENT}, {100, 28, HTCLIENT}, {24, 40, HTCLIENT}};
    for (const POINT at : {POINT{100, 120}, POINT{-300, -200}}) {
        MoveTo(at.x, at.y);
        ASSERT_EQ(at.x, m_window.left);
        ASSERT_EQ(at.y, m_window.top);
        for (const auto &point : points)
            EXPECT_EQ(point.hit, HitAt(point.x, point.y)) << "(" << point.x << "," << point.y << ") at " << at.x;
    }
    m_dialog.m_captionBitmap = nullptr;
    EXPECT_EQ(HTCLIENT, HitAt(24, 21)) << "without a caption bitmap everything is client";
    EXPECT_EQ(HTCLIENT, HitAt(100, 10));
}

TEST_F(FrameHitTest, CloseButtonSitsInTheTitleBar)
{
    MoveTo(100, 120);
    HWND close = FindWindowExA(m_dialog.m_hWnd, nullptr, "VSButton", nullptr);
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(IDCANCEL, GetDlgCtrlID(close));
    const RECT rect = ChildRect(close);
    EXPECT_EQ(Width(m_window) - 24, rect.left);
    EXPECT_EQ(6, rect.top);
    EXPECT_EQ(16, Width(rect));
    EXPECT_EQ(16, Height(rect));
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_VISIBLE | BS_OWNERDRAW), GetWindowLongA(close, GWL_STYLE));
}
