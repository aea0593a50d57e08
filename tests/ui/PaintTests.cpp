// What the progress dialog and the hover button paint, read back from the screen.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "ui/ProgressDlg.h"

using namespace uitest;

namespace {

bool IsGreen(COLORREF c)
{
    return GetGValue(c) > GetRValue(c) + 40 && GetGValue(c) > GetBValue(c) + 40;
}

bool IsWhite(COLORREF c)
{
    return c == RGB(255, 255, 255);
}

bool IsDark(COLORREF c)
{
    return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}

class ProgressPaint : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNORMAL);
        m_bar = m_dialog.m_pBar;
        ASSERT_NE(nullptr, m_bar->m_hWnd);
        // The width of the worked example: 240 px at a pitch of 12 holds N = 20 blocks.
        SetWindowPos(m_bar->m_hWnd, nullptr, 0, 0, kBarWidth, 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Repaint();
    }
    void TearDown() override
    {
        if (m_dialog.m_hWnd)
            DestroyWindow(m_dialog.m_hWnd);
    }
    // The whole dialog painted afresh, the bar last, as after an UpdateWindow.
    void Repaint()
    {
        RedrawWindow(m_dialog.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpUntil([] { return false; }, 50);
    }
    void SetProgress(ULONGLONG pos, ULONGLONG upper)
    {
        m_bar->m_upper = upper;
        m_bar->m_pos = pos;
        Repaint();
    }
    // Blocks seen on the row through the middle of the blocks, counted by their left edges.
    int VisibleBlocks()
    {
        int blocks = 0;
        bool inBlock = false;
        for (int x = 0; x < kBarWidth; ++x) {
            const bool green = IsGreen(PixelAt(m_bar->m_hWnd, x, 6));
            if (green && !inBlock)
                ++blocks;
            inBlock = green;
        }
        return blocks;
    }

    static const int kBarWidth = 240;
    CProgressDlg m_dialog;
    CSkinProgressBar *m_bar = nullptr;
};

} // namespace

TEST_F(ProgressPaint, PositionZeroIsAWhiteRectangle)
{
    SetProgress(5, 10);
    ASSERT_GT(VisibleBlocks(), 0);
    SetProgress(0, 10);
    RECT client;
    GetClientRect(m_bar->m_hWnd, &client);
    int notWhite = 0;
    for (int y = 0; y < client.bottom; y += 3)
        for (int x = 0; x < client.right; x += 3)
            notWhite += IsWhite(PixelAt(m_bar->m_hWnd, x, y)) ? 0 : 1;
    EXPECT_EQ(0, notWhite);
}

TEST_F(ProgressPaint, PaintsKPlusOneBlocks)
{
    SetProgress(1, 300); // K = 20 * 1 / 300 = 0
    EXPECT_EQ(1, VisibleBlocks());
    SetProgress(150, 300); // K = 10
    EXPECT_EQ(11, VisibleBlocks());
    SetProgress(7, 9); // K = 140 / 9 = 15
    EXPECT_EQ(16, VisibleBlocks());
    // K = 20: the 21st block starts at 242, past the right edge.
    SetProgress(9, 9);
    EXPECT_EQ(20, VisibleBlocks());
}

TEST_F(ProgressPaint, BlocksStartTwoPixelsInAtAPitchOfTwelve)
{
    SetProgress(150, 300);
    EXPECT_FALSE(IsGreen(PixelAt(m_bar->m_hWnd, 1, 6)));
    EXPECT_TRUE(IsGreen(PixelAt(m_bar->m_hWnd, 2, 6)));
    EXPECT_TRUE(IsGreen(PixelAt(m_bar->m_hWnd, 11, 6)));
    EXPECT_FALSE(IsGreen(PixelAt(m_bar->m_hWnd, 12, 6)));
    EXPECT_FALSE(IsGreen(PixelAt(m_bar->m_hWnd, 13, 6)));
    EXPECT_TRUE(IsGreen(PixelAt(m_bar->m_hWnd, 14, 6)));
}

TEST_F(ProgressPaint, WithoutBlockBitmapBlocksAreSolidGreen)
{
    m_bar->m_blockBitmap.Reset();
    SetProgress(150, 300);
    EXPECT_EQ(RGB(0, 225, 0), PixelAt(m_bar->m_hWnd, 2, 8));
    EXPECT_EQ(11, VisibleBlocks());
}

namespace {

// Columns of the status label that hold text pixels: the leftmost and rightmost.
struct InkSpan
{
    int left = -1;
    int right = -1;
};

InkSpan InkOf(HWND label)
{
    RECT client;
    GetClientRect(label, &client);
    InkSpan span;
    for (int x = 0; x < client.right; ++x) {
        for (int y = 0; y < client.bottom; ++y) {
            if (IsDark(PixelAt(label, x, y))) {
                if (span.left < 0)
                    span.left = x;
                span.right = x;
                break;
            }
        }
    }
    return span;
}

int TextWidth(HWND label, const char *text)
{
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(GetParent(label), WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return size.cx;
}

} // namespace

TEST_F(ProgressPaint, StatusTextIsPaintedAndReplacesTheOldText)
{
    HWND label = m_dialog.m_status.m_hWnd;
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(-1, InkOf(label).left) << "the initial text is empty";

    const char longText[] = "Corrupting file: a-rather-long-file-name.bin";
    m_dialog.SetStatusText(longText);
    InkSpan first = InkOf(label);
    ASSERT_GE(first.left, 0);
    EXPECT_LE(first.left, 2);
    EXPECT_NEAR(TextWidth(label, longText), first.right, 3);

    // The shorter text must leave nothing of the longer one behind.
    m_dialog.SetStatusText("Corrupting file: b");
    InkSpan second = InkOf(label);
    EXPECT_NEAR(TextWidth(label, "Corrupting file: b"), second.right, 3);
}

TEST_F(ProgressPaint, DisabledLabelIsEngravedInGreyText)
{
    HWND label = m_dialog.m_status.m_hWnd;
    EnableWindow(label, FALSE);
    m_dialog.SetStatusText("Corrupting file: disabled.bin");
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    RECT client;
    GetClientRect(label, &client);
    int greyPixels = 0;
    int blackPixels = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = PixelAt(label, x, y);
            greyPixels += c == grey ? 1 : 0;
            blackPixels += c == RGB(0, 0, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(greyPixels, 20);
    EXPECT_EQ(0, blackPixels) << "the black text colour is for enabled labels only";
}

TEST(ProgressCancel, CancelButtonRaisesTheFlagAndEndsTheDialog)
{
    CProgressDlg dialog;
    bool cancelled = false;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    dialog.SetCancelFlag(&cancelled);
    ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
    PumpUntil([] { return false; }, 100);
    ClickAt(CentreOf(GetDlgItem(dialog.m_hWnd, IDCANCEL)));
    EXPECT_TRUE(PumpUntil([&] { return cancelled; }, 3000));
    EXPECT_FALSE(IsWindowVisible(dialog.m_hWnd)) << "EndDialog hides a modeless dialog";
    DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST(ProgressCancel, CloseButtonDoesTheSameAndTheDialogCanBeCreatedAgain)
{
    CProgressDlg dialog;
    for (int run = 0; run < 2; ++run) {
        bool cancelled = false;
        ASSERT_NE(nullptr, dialog.Create(nullptr)) << "run " << run;
        dialog.SetCancelFlag(&cancelled);
        ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
        PumpUntil([] { return false; }, 100);
        ClickAt(CentreOf(FindWindowExA(dialog.m_hWnd, nullptr, "VSButton", nullptr)));
        EXPECT_TRUE(PumpUntil([&] { return cancelled; }, 3000)) << "run " << run;
        DestroyWindow(dialog.m_hWnd);
        EXPECT_EQ(nullptr, dialog.m_hWnd);
        EXPECT_EQ(nullptr, dialog.m_pBar->m_hWnd);
    }
}

namespace {

// Face colours at a point of the face away from the caption (see resources/art/make_art.py):
// silver when resting, amber when hovered, darker grey-blue when pressed.
enum class Face { Normal, Hovered, Pressed, Other };

Face FaceAt(HWND button)
{
    const COLORREF c = PixelAt(button, 8, 5);
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (r > 240 && b < 200 && g > 150)
        return Face::Hovered;
    if (r > 215 && g > 215 && b > 215)
        return Face::Normal;
    if (r < 200 && b > r)
        return Face::Pressed;
    return Face::Other;
}

const char *Name(Face face)
{
    switch (face) {
    case Face::Normal: return "normal";
    case Face::Hovered: return "hovered";
    case Face::Pressed: return "pressed";
    default: return "other";
    }
}

} // namespace

TEST(HoverButtonInput, HoverPressedAndLeaveWithRealMouse)
{
    CProgressDlg dialog;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(dialog.m_hWnd);

    // A button of the module's own "VSButton" class with the Cancel faces, away from Cancel
    // so that a click ends nothing.
    CHoverButton button;
    button.m_faces = dialog.m_faces.Get();
    button.m_faceBase = 8;
    const RECT rect = {30, 130, 105, 154};
    HWND window = button.Create(dialog.m_hWnd, rect, "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 1000);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, button.m_hWnd);
    PumpUntil([] { return false; }, 100);

    MoveMouseTo(POINT{5, 5});
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Face::Normal, FaceAt(window)) << Name(FaceAt(window));

    MoveMouseTo(CentreOf(window));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bHover; }, 3000)) << "no hover";
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Face::Hovered, FaceAt(window)) << Name(FaceAt(window));

    MouseButton(true);
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(Face::Pressed, FaceAt(window)) << Name(FaceAt(window));

    MouseButton(false);
    PumpUntil([] { return false; }, 150);
    EXPECT_TRUE(button.m_bHover);
    EXPECT_EQ(Face::Hovered, FaceAt(window)) << Name(FaceAt(window));

    MoveMouseTo(POINT{5, 5});
    EXPECT_TRUE(PumpUntil([&] { return !button.m_bHover; }, 3000)) << "no leave";
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Face::Normal, FaceAt(window)) << Name(FaceAt(window));

    DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ(nullptr, button.m_hWnd);
}
