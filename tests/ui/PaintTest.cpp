// What the progress dialog and its Cancel button paint, read back from the screen.
#include "UiTestSupport.h"
#include "support/TestSupport.h"
#include "ui/ProgressDlg.h"
#include "ui/SkinFrame.h"

#include <cstring>

using namespace uitest;

namespace {

// A window's client pixels, row by row.
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

// The bar as it used to paint: every one of its K + 1 blocks stretched on its own, straight onto
// the window, or a white rectangle at 0.
void PaintBlockByBlock(const CSkinProgressBar &bar, HDC dc, int width, int height)
{
    const int pitch = bar.m_blockWidth + bar.m_gap;
    const LONGLONG last = static_cast<LONGLONG>(static_cast<ULONGLONG>(width / pitch) * bar.m_pos / bar.m_upper);
    if (bar.m_pos == 0) {
        const RECT client = {0, 0, width, height};
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    const CBrush brush(CreateSolidBrush(bar.m_blockColor));
    for (LONGLONG i = 0; i <= last; ++i) {
        RECT block = {static_cast<LONG>(pitch * i + bar.m_gap), 0, static_cast<LONG>(pitch * i + bar.m_gap + bar.m_blockWidth), 14};
        if (bar.m_blockBitmap) {
            CSkinFrame::StretchBitmap(dc, block, bar.m_blockBitmap.Get(), nullptr);
        } else {
            block.top = height / 2 - bar.m_blockHeight / 2;
            block.bottom = height / 2 + bar.m_blockHeight / 2;
            FillRect(dc, &block, brush.Get());
        }
    }
}

// Face colours away from the caption (resources/art/make_art.py): silver resting, amber hovered,
// darker grey-blue pressed.
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

bool FaceBecomes(HWND button, const char *face)
{
    return PumpUntil([&] { return std::strcmp(FaceAt(button), face) == 0; }, 3000);
}

class Progress : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_dialog.Create(nullptr));
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNORMAL);
        SetForegroundWindow(m_dialog.m_hWnd);
        PumpFor(100);
    }
    void TearDown() override { DestroyWindow(m_dialog.m_hWnd); }
    CProgressDlg m_dialog;
};

} // namespace

// The bar paints in one step exactly what stretching every block on its own painted, at every
// position, over a background of its own colour so that a pixel painted in a gap shows. At 245 px
// the 21st block at the upper bound lies partly inside the bar.
TEST_F(Progress, TheBarPaintsTheSamePixelsAsStretchingEveryBlockOnItsOwn)
{
    const struct { int width; bool blockBitmap; ULONGLONG pos, upper; } rows[] = {
        {240, true, 0, 300},   {240, true, 1, 300},    {240, true, 150, 300},  {240, true, 300, 300},
        {245, true, 1, 300},   {245, true, 299, 300},  {245, true, 300, 300},  {245, false, 1, 300},
        {245, false, 150, 300}, {245, false, 300, 300},
    };
    CSkinProgressBar &bar = *m_dialog.m_pBar;
    const CBrush background(CreateSolidBrush(RGB(40, 90, 160)));
    const auto paint = [&](bool byBlock, int width) {
        HDC dc = GetDC(bar.m_hWnd);
        const RECT all = {0, 0, 400, 100};
        FillRect(dc, &all, background.Get());
        if (byBlock)
            PaintBlockByBlock(bar, dc, width, 16);
        ReleaseDC(bar.m_hWnd, dc);
        if (!byBlock) {
            InvalidateRect(bar.m_hWnd, nullptr, TRUE);
            UpdateWindow(bar.m_hWnd);
        }
        return ClientPixels(bar.m_hWnd);
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.pos << " of " << row.upper << ", " << row.width << " px"
                                        << (row.blockBitmap ? "" : ", no block bitmap"));
        if (!row.blockBitmap)
            bar.m_blockBitmap.Reset();
        SetWindowPos(bar.m_hWnd, nullptr, 0, 0, row.width, 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        bar.m_upper = row.upper;
        bar.m_pos = row.pos;
        PumpFor(20);
        const std::vector<COLORREF> painted = paint(false, row.width), expected = paint(true, row.width);
        ASSERT_EQ(expected.size(), painted.size());
        const auto differs = std::mismatch(painted.begin(), painted.end(), expected.begin());
        EXPECT_TRUE(differs.first == painted.end())
            << "first difference at x = " << (differs.first - painted.begin()) % row.width
            << ", y = " << (differs.first - painted.begin()) / row.width;
    }
}

// The label shows its text in black from its left edge, and a shorter text leaves nothing of a
// longer one. Disabling and enabling repaint it at once and only as the label paints: engraved
// grey text when disabled, black when enabled, never the static control's own grey box.
TEST_F(Progress, TheLabelPaintsItsTextItselfEnabledOrNot)
{
    HWND label = m_dialog.m_status.m_hWnd;
    const auto isGrey = [](COLORREF c) { return c == GetSysColor(COLOR_GRAYTEXT); };
    const auto isBlack = [](COLORREF c) { return c == RGB(0, 0, 0); };
    // The rightmost column with text in it; -1 for none.
    const auto inkEnd = [&] {
        RECT client;
        GetClientRect(label, &client);
        for (int x = client.right - 1; x >= 0; --x)
            for (int y = 0; y < client.bottom; ++y)
                if (isBlack(PixelAt(label, x, y)) || isGrey(PixelAt(label, x, y)))
                    return x;
        return -1;
    };
    EXPECT_EQ(-1, inkEnd()) << "the initial text is empty";
    const struct { const char *text; BOOL enabled; } rows[] = {
        {"Corrupting file: a-rather-long-file-name.bin", TRUE}, {"Corrupting file: b", TRUE},
        {"Corrupting file: b", FALSE}, {"Corrupting file: b", TRUE}, {"Corrupting file: b", FALSE}};
    int longEnd = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.text << (row.enabled ? "" : ", disabled"));
        m_dialog.SetStatusText(row.text);
        EnableWindow(label, row.enabled); // nothing else repaints the label
        const int end = inkEnd();
        longEnd = std::max(longEnd, end);
        EXPECT_GT(end, 20);
        if (std::strlen(row.text) < 20) {
            EXPECT_LT(end, longEnd / 2) << "the longer text is still there";
        }
        // A few smoothed text pixels may match the face colour by chance; the box covers thousands.
        EXPECT_LT(CountPixels(label, [](COLORREF c) { return c == GetSysColor(COLOR_3DFACE); }), 100)
            << "the static control painted its background over the skin";
        EXPECT_EQ(!row.enabled, CountPixels(label, isGrey) > 20);
        EXPECT_EQ(row.enabled != FALSE, CountPixels(label, isBlack) > 20);
    }
}

// Cancel shows its hover face under the mouse, its pressed face while held, and its normal face
// when the mouse leaves. One dialog object serves every run of a handler: a run that ended with
// the mouse on Cancel and a status line leaves neither to the next, which starts with the empty
// text and the normal face, and whose Cancel hovers and leaves again.
TEST_F(Progress, ASecondRunStartsWithTheInitialTextAndAButtonThatHoversAgain)
{
    MoveMouseTo(POINT{5, 5});
    HWND cancel = GetDlgItem(m_dialog.m_hWnd, IDCANCEL);
    m_dialog.SetStatusText("Corrupting file: first-run.bin");
    EXPECT_TRUE(FaceBecomes(cancel, "normal"));
    MoveMouseTo(CentreOf(cancel));
    EXPECT_TRUE(FaceBecomes(cancel, "hovered"));
    m_dialog.SetCancelFlag(nullptr);
    MouseButton(true);
    EXPECT_TRUE(FaceBecomes(cancel, "pressed"));
    DestroyWindow(m_dialog.m_hWnd); // the run ends under the mouse, the button held
    MouseButton(false);
    MoveMouseTo(POINT{5, 5});

    SetUp();
    cancel = GetDlgItem(m_dialog.m_hWnd, IDCANCEL);
    EXPECT_EQ(0, CountPixels(m_dialog.m_status.m_hWnd, [](COLORREF c) { return c == RGB(0, 0, 0); }))
        << "the first run's status text";
    EXPECT_STREQ("normal", FaceAt(cancel));
    MoveMouseTo(CentreOf(cancel));
    EXPECT_TRUE(FaceBecomes(cancel, "hovered")) << FaceAt(cancel);
    MoveMouseTo(POINT{5, 5});
    EXPECT_TRUE(FaceBecomes(cancel, "normal")) << FaceAt(cancel);
}
