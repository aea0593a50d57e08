// What the progress dialog and the hover button paint, read back from the screen.
#include <gtest/gtest.h>

#include <vector>

#include "UiTestSupport.h"
#include "common/Scoped.h"
#include "ui/ProgressDlg.h"
#include "ui/SkinFrame.h"

#include <cstring>

using namespace uitest;

namespace {

bool IsGreen(COLORREF c) { return GetGValue(c) > GetRValue(c) + 40 && GetGValue(c) > GetBValue(c) + 40; }
bool IsDark(COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; }

// Counts the pixels of a window's client area (every step-th row and column) that match.
int CountPixels(HWND window, bool (*match)(COLORREF), int step = 1)
{
    RECT client;
    GetClientRect(window, &client);
    int count = 0;
    for (int y = 0; y < client.bottom; y += step)
        for (int x = 0; x < client.right; x += step)
            count += match(PixelAt(window, x, y)) ? 1 : 0;
    return count;
}

// The leftmost and rightmost columns of a label that hold text pixels; -1 when there are none.
struct InkSpan
{
    int left = -1, right = -1;
};

InkSpan InkOf(HWND label)
{
    RECT client;
    GetClientRect(label, &client);
    InkSpan span;
    for (int x = 0; x < client.right; ++x) {
        for (int y = 0; y < client.bottom; ++y) {
            if (IsDark(PixelAt(label, x, y))) {
                span.left = span.left < 0 ? x : span.left;
                span.right = x;
                break;
            }
        }
    }
    return span;
}

// The bar as it used to paint: every block stretched on its own, straight onto the window. The
// reference for the bar's own paint, which must give the same pixels.
void PaintBlockByBlock(const CSkinProgressBar &bar, HDC dc, int width, int height)
{
    const int pitch = bar.m_blockWidth + bar.m_gap;
    const LONGLONG fitting = width / pitch;
    const LONGLONG last = static_cast<LONGLONG>(static_cast<ULONGLONG>(fitting) * bar.m_pos / bar.m_upper);
    if (bar.m_pos == 0) {
        const RECT client = {0, 0, width, height};
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    const CBrush brush(CreateSolidBrush(bar.m_blockColor));
    for (LONGLONG i = 0; i <= last; ++i) {
        RECT block;
        block.left = static_cast<LONG>(pitch * i + bar.m_gap);
        block.right = block.left + bar.m_blockWidth;
        if (bar.m_blockBitmap) {
            block.top = 0;
            block.bottom = 14;
            CSkinFrame::StretchBitmap(dc, block, bar.m_blockBitmap.Get(), nullptr);
        } else {
            block.top = height / 2 - bar.m_blockHeight / 2;
            block.bottom = height / 2 + bar.m_blockHeight / 2;
            FillRect(dc, &block, brush.Get());
        }
    }
}

// A window's client pixels, row by row, as its own device context shows them.
std::vector<COLORREF> ClientPixels(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
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
        // 240 px at a pitch of 12 holds N = 20 blocks.
        SetWindowPos(m_bar->m_hWnd, nullptr, 0, 0, kBarWidth, 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void TearDown() override { DestroyWindow(m_dialog.m_hWnd); }
    // The whole dialog painted afresh, the bar last, as after an UpdateWindow.
    void SetProgress(ULONGLONG pos, ULONGLONG upper)
    {
        m_bar->m_upper = upper;
        m_bar->m_pos = pos;
        RedrawWindow(m_dialog.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpFor(50);
    }
    bool GreenAt(int x) { return IsGreen(PixelAt(m_bar->m_hWnd, x, 6)); }
    // Blocks on the row through their middle, counted by their left edges.
    int VisibleBlocks()
    {
        int blocks = 0;
        for (int x = 0; x < kBarWidth; ++x)
            blocks += GreenAt(x) && (x == 0 || !GreenAt(x - 1)) ? 1 : 0;
        return blocks;
    }

    static const int kBarWidth = 240;
    CProgressDlg m_dialog;
    CSkinProgressBar *m_bar = nullptr;
};

} // namespace

TEST_F(ProgressPaint, PaintsKPlusOneBlocksAndAWhiteRectangleAtZero)
{
    // K = 20 * pos / upper; at K = 20 the 21st block would start at 242, past the right edge.
    const struct { ULONGLONG pos, upper; int blocks; } rows[] = {{1, 300, 1}, {150, 300, 11}, {7, 9, 16}, {9, 9, 20}};
    for (const auto &row : rows) {
        SetProgress(row.pos, row.upper);
        EXPECT_EQ(row.blocks, VisibleBlocks()) << row.pos << "/" << row.upper;
    }
    // Two pixels in, ten wide, at a pitch of twelve.
    SetProgress(150, 300);
    const struct { int x; bool green; } columns[] = {{1, false}, {2, true}, {11, true}, {12, false}, {13, false}, {14, true}};
    for (const auto &column : columns)
        EXPECT_EQ(column.green, GreenAt(column.x)) << "x = " << column.x;

    SetProgress(0, 10);
    EXPECT_EQ(0, CountPixels(m_bar->m_hWnd, [](COLORREF c) { return c != RGB(255, 255, 255); }, 3));
}

// Over a background of its own colour, so that a pixel painted in a gap shows.
TEST_F(ProgressPaint, PaintsTheSamePixelsAsStretchingEveryBlockOnItsOwn)
{
    // 245 px: the 21st block at the upper bound lies partly inside the bar.
    const struct { int width; bool blockBitmap; ULONGLONG pos, upper; } rows[] = {
        {240, true, 0, 300},   {240, true, 1, 300},    {240, true, 150, 300},  {240, true, 300, 300},
        {245, true, 1, 300},   {245, true, 299, 300},  {245, true, 300, 300},  {245, false, 1, 300},
        {245, false, 150, 300}, {245, false, 300, 300},
    };
    HWND bar = m_bar->m_hWnd;
    const CBrush background(CreateSolidBrush(RGB(40, 90, 160)));
    const auto fillBackground = [&] {
        HDC dc = GetDC(bar);
        const RECT all = {0, 0, 400, 100};
        FillRect(dc, &all, background.Get());
        ReleaseDC(bar, dc);
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.pos << " of " << row.upper << ", " << row.width << " px"
                                        << (row.blockBitmap ? "" : ", no block bitmap"));
        if (!row.blockBitmap)
            m_bar->m_blockBitmap.Reset();
        SetWindowPos(bar, nullptr, 0, 0, row.width, 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_bar->m_upper = row.upper;
        m_bar->m_pos = row.pos;
        PumpFor(20);

        fillBackground();
        InvalidateRect(bar, nullptr, TRUE);
        UpdateWindow(bar);
        const std::vector<COLORREF> painted = ClientPixels(bar);

        fillBackground();
        HDC dc = GetDC(bar);
        PaintBlockByBlock(*m_bar, dc, row.width, 16);
        ReleaseDC(bar, dc);
        const std::vector<COLORREF> expected = ClientPixels(bar);

        ASSERT_EQ(expected.size(), painted.size());
        int differing = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] != painted[i] && differing++ == 0)
                ADD_FAILURE() << "first difference at x = " << i % row.width << ", y = " << i / row.width << ": "
                              << std::hex << painted[i] << " instead of " << expected[i];
        }
        EXPECT_EQ(0, differing);
    }
}

TEST_F(ProgressPaint, WithoutBlockBitmapBlocksAreSolidGreen)
{
    m_bar->m_blockBitmap.Reset();
    SetProgress(150, 300);
    EXPECT_EQ(RGB(0, 225, 0), PixelAt(m_bar->m_hWnd, 2, 8));
    EXPECT_EQ(11, VisibleBlocks());
}

TEST_F(ProgressPaint, StatusTextIsPaintedAndReplacesTheOldText)
{
    HWND label = m_dialog.m_status.m_hWnd;
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(-1, InkOf(label).left) << "the initial text is empty";
    // The shorter text must leave nothing of the longer one behind.
    for (const char *text : {"Corrupting file: a-rather-long-file-name.bin", "Corrupting file: b"}) {
        m_dialog.SetStatusText(text);
        const InkSpan ink = InkOf(label);
        EXPECT_GE(ink.left, 0) << text;
        EXPECT_LE(ink.left, 2) << text;
        EXPECT_NEAR(TextExtent(m_dialog.m_hWnd, text).cx, ink.right, 3) << text;
    }
}

// Disabling and enabling the label repaint it at once, and only as the label paints: engraved
// grey text when disabled, black when enabled, never the static control's own grey box.
TEST_F(ProgressPaint, EnablingAndDisablingRepaintTheLabelItself)
{
    HWND label = m_dialog.m_status.m_hWnd;
    m_dialog.SetStatusText("Corrupting file: disabled.bin");
    const struct { BOOL enable; bool greyText; } rows[] = {{FALSE, true}, {TRUE, false}, {FALSE, true}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.enable ? "enabled" : "disabled");
        EnableWindow(label, row.enable); // nothing else repaints the label
        // A few smoothed text pixels may match the face colour by chance; the box covers thousands.
        EXPECT_LT(CountPixels(label, [](COLORREF c) { return c == GetSysColor(COLOR_3DFACE); }), 100)
            << "the static control painted its background over the skin";
        const int grey = CountPixels(label, [](COLORREF c) { return c == GetSysColor(COLOR_GRAYTEXT); });
        const int black = CountPixels(label, [](COLORREF c) { return c == RGB(0, 0, 0); });
        EXPECT_EQ(row.greyText, grey > 20) << grey << " grey pixels";
        EXPECT_EQ(!row.greyText, black > 20) << black << " black pixels: the black text colour is for enabled labels only";
    }
}

namespace {

// Face colours at a point away from the caption (see resources/art/make_art.py): silver when
// resting, amber when hovered, darker grey-blue when pressed.
const char *FaceAt(HWND button)
{
    const COLORREF c = PixelAt(button, 8, 5);
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (r > 240 && b < 200 && g > 150)
        return "hovered";
    if (r > 215 && g > 215 && b > 215)
        return "normal";
    return r < 200 && b > r ? "pressed" : "other";
}

} // namespace

TEST(HoverButtonInput, HoverPressedAndLeaveWithRealMouse)
{
    CProgressDlg dialog;
    ASSERT_NE(nullptr, dialog.Create(nullptr));
    ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(dialog.m_hWnd);
    // A button of the module's "VSButton" class with the Cancel faces, away from Cancel so that
    // a click ends nothing.
    CHoverButton button;
    button.m_faces = dialog.m_faces.Get();
    button.m_faceBase = 8;
    const RECT rect = {30, 130, 105, 154};
    HWND window = button.Create(dialog.m_hWnd, rect, "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 1000);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, button.m_hWnd);
    PumpFor(100);

    MoveMouseTo(POINT{5, 5});
    PumpFor(100);
    EXPECT_STREQ("normal", FaceAt(window));
    MoveMouseTo(CentreOf(window));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bHover; }, 3000)) << "no hover";
    PumpFor(50);
    EXPECT_STREQ("hovered", FaceAt(window));
    MouseButton(true);
    PumpFor(150);
    EXPECT_STREQ("pressed", FaceAt(window));
    MouseButton(false);
    PumpFor(150);
    EXPECT_TRUE(button.m_bHover);
    EXPECT_STREQ("hovered", FaceAt(window));
    MoveMouseTo(POINT{5, 5});
    EXPECT_TRUE(PumpUntil([&] { return !button.m_bHover; }, 3000)) << "no leave";
    PumpFor(50);
    EXPECT_STREQ("normal", FaceAt(window));

    // The dialog manager marks the default push button by switching its style: the face, with
    // its dark caption, stays.
    for (WPARAM style : {BS_DEFPUSHBUTTON, BS_PUSHBUTTON}) {
        SendMessageA(window, BM_SETSTYLE, style, TRUE);
        PumpFor(50);
        EXPECT_STREQ("normal", FaceAt(window)) << "style " << style;
        EXPECT_GT(CountPixels(window, IsDark), 10) << "style " << style;
    }

    DestroyWindow(dialog.m_hWnd);
    EXPECT_EQ(nullptr, button.m_hWnd);
}

// One dialog object serves every run of a handler. A run that ended with the mouse on Cancel
// and a status line leaves neither to the next run: it starts with the empty initial text and
// the normal face, and its Cancel hovers and leaves again.
TEST(HoverButtonInput, ASecondRunStartsWithTheInitialTextAndAButtonThatHoversAgain)
{
    CProgressDlg dialog;
    const auto showRun = [&] {
        EXPECT_NE(nullptr, dialog.Create(nullptr));
        ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
        SetForegroundWindow(dialog.m_hWnd);
        PumpFor(100);
        return GetDlgItem(dialog.m_hWnd, IDCANCEL);
    };
    const auto faceBecomes = [](HWND button, const char *face) {
        return PumpUntil([&] { return std::strcmp(FaceAt(button), face) == 0; }, 3000);
    };
    MoveMouseTo(POINT{5, 5});
    HWND cancel = showRun();
    dialog.SetStatusText("Corrupting file: first-run.bin");
    MoveMouseTo(CentreOf(cancel));
    ASSERT_TRUE(faceBecomes(cancel, "hovered"));
    DestroyWindow(dialog.m_hWnd); // the run ends under the mouse
    MoveMouseTo(POINT{5, 5});

    cancel = showRun();
    EXPECT_EQ(-1, InkOf(dialog.m_status.m_hWnd).left) << "the first run's status text";
    EXPECT_STREQ("normal", FaceAt(cancel));
    MoveMouseTo(CentreOf(cancel));
    EXPECT_TRUE(faceBecomes(cancel, "hovered")) << FaceAt(cancel);
    MoveMouseTo(POINT{5, 5});
    EXPECT_TRUE(faceBecomes(cancel, "normal")) << FaceAt(cancel);
    DestroyWindow(dialog.m_hWnd);
}
