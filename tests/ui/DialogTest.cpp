// The three dialogs as a user meets them, on real windows: how each ends for every key and click,
// how it is laid out and placed, what the progress bar paints, and that showing them again and
// again leaves nothing behind.
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/SkinFrame.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

const char kCaption[] = "Talmior 2005 Trial";
const char kMessage[] = "Unable to corrupt file budget-2005.xls";
const char kQuestion[] = "Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?";
const int kCloseButton = -1;
const char kHeld = '~'; // before a key in Act: it comes as a repeat, held down since before the dialog
const UINT kDpiChanged = 0x02E0; // WM_DPICHANGED
const char kDesktopKey[] = "Control Panel\\Desktop";

// Runs the thread's message loop until done() or the timeout; returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    MSG msg;
    for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < timeoutMs; Sleep(10))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    return done();
}

// A real click in the middle of a window: the mouse moves there (the cursor is set too, as Wine may
// not move it), then its left button goes down and up.
void ClickOn(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    const POINT at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    for (DWORD flags : {MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
        Sleep(30);
        INPUT input = {INPUT_MOUSE, {{MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1),
                                      MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1), 0, flags, 0, 0}}};
        if (flags & MOUSEEVENTF_MOVE)
            SetCursorPos(at.x, at.y);
        SendInput(1, &input, sizeof(input));
    }
}

// A window's client pixels (its top rows only, if asked), row by row: repainted, or as they are
// (what the test drew itself).
std::vector<COLORREF> Pixels(HWND window, bool repaint = true, LONG rows = LONG_MAX)
{
    if (repaint)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT client;
    GetClientRect(window, &client);
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    for (int i = 0; i < client.right * std::min(rows, client.bottom); ++i)
        pixels.push_back(GetPixel(dc, i % client.right, i / client.right));
    ReleaseDC(window, dc);
    return pixels;
}

// The progress dialog of a run, shown in front as a run shows it.
HWND Show(CProgressDlg &dialog, DWORD settleMs = 100)
{
    HWND window = dialog.Create(nullptr);
    EXPECT_NE(nullptr, window);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    PumpUntil([] { return false; }, settleMs);
    return window;
}

// The progress window's frame: the bar's blocks at the end of a file lie inside their trough, and
// the trough clear of the label (the trough is what the frame adds with its extra picture under the
// hidden bar, the blocks what the bar adds over it); the caption drags the window and the emblem
// opens its system menu also where screen coordinates are negative (on a monitor left of or above
// the main one). Only here, on its own thread: moving a modal dialog from another thread would
// take its focus under Wine.
void ExpectProgressFrame(CProgressDlg &dialog)
{
    RECT window, client, label, troughBox = {}, blocks = {}, both;
    GetWindowRect(dialog.m_hWnd, &window);
    SetWindowPos(dialog.m_hWnd, nullptr, -300, -200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(HTSYSMENU, SendMessageA(dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(-290, -190))) << "the emblem";
    EXPECT_EQ(HTCAPTION, SendMessageA(dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(-200, -188)));
    EXPECT_EQ(HTCLIENT, SendMessageA(dialog.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(-200, -140)));
    SetWindowPos(dialog.m_hWnd, nullptr, window.left, window.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const auto shot = [&](bool extra, bool bar) {
        dialog.m_bExtra = extra;
        ShowWindow(dialog.m_pBar->m_hWnd, bar ? SW_SHOWNA : SW_HIDE);
        return Pixels(dialog.m_hWnd);
    };
    dialog.m_pBar->m_upper = dialog.m_pBar->m_pos = 9;
    const std::vector<COLORREF> plain = shot(false, false), trough = shot(true, false), full = shot(true, true);
    GetClientRect(dialog.m_hWnd, &client);
    for (LONG i = 0; i < LONG(plain.size()); ++i) {
        const RECT pixel = {i % client.right, i / client.right, i % client.right + 1, i / client.right + 1};
        UnionRect(plain[i] != trough[i] ? &troughBox : &both, &troughBox, &pixel);
        UnionRect(trough[i] != full[i] ? &blocks : &both, &blocks, &pixel);
    }
    GetWindowRect(GetDlgItem(dialog.m_hWnd, IDC_TEXT), &label);
    MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT *>(&label), 2);
    EXPECT_TRUE(!IsRectEmpty(&blocks) && UnionRect(&both, &blocks, &troughBox) && EqualRect(&both, &troughBox))
        << "blocks " << blocks.top << "-" << blocks.bottom << " outside the trough " << troughBox.top << "-"
        << troughBox.bottom << " or its ends " << troughBox.left << ", " << troughBox.right;
    EXPECT_FALSE(IntersectRect(&both, &label, &troughBox)) << "the trough over the label";
}

// The message the system sends when the window moves to a screen of another DPI, with the window
// rectangle it suggests: the same middle, the size in proportion. The text grows with the screen
// (the layout that follows is checked against the text).
void MoveToDpi(HWND dialog, int dpi)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    HDC screen = GetDC(nullptr);
    const int from = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    InflateRect(&rect, MulDiv(rect.right - rect.left, dpi - from, 2 * from),
                MulDiv(rect.bottom - rect.top, dpi - from, 2 * from));
    LOGFONTA before = {}, after = {};
    const auto font = [&] { return HGDIOBJ(SendMessageA(GetDlgItem(dialog, IDC_TEXT), WM_GETFONT, 0, 0)); };
    GetObjectA(font(), sizeof(before), &before);
    SendMessageA(dialog, kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
    GetObjectA(font(), sizeof(after), &after);
    EXPECT_NEAR(MulDiv(before.lfHeight, dpi, from), after.lfHeight, 1) << "the text kept its size at " << dpi << " DPI";
}

// The dialog as the user sees it: its text whole in the part that shows, its buttons below the
// text, side by side around the middle and apart (the progress window's Cancel at the right); the
// title bar grown with the text (the bar, where the window drags, two lines tall, the close button
// one, the title's white letters between them over half of one); with no owner, centred on the
// work area.
void ExpectLaidOut(HWND dialog)
{
    RECT window, client, text, close, area, needed = {};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT *>(&client), 2);
    HWND label = GetDlgItem(dialog, IDC_TEXT);
    GetWindowRect(label, &text);
    char shown[512] = {};
    GetWindowTextA(label, shown, sizeof(shown));
    HDC dc = GetDC(label);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    DrawTextA(dc, shown, -1, &needed, DT_CALCRECT | DT_NOPREFIX);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    const int line = metrics.tmHeight; // what every part of the skin grows with
    const char *dpi = std::getenv("ORVEX_DPI");
    EXPECT_TRUE(!dpi || std::atoi(dpi) == GetDeviceCaps(dc, LOGPIXELSY)) << "the prefix's DPI did not take";
    EXPECT_TRUE(std::min(text.right, client.right) - std::max(text.left, client.left) >= needed.right &&
                text.bottom - text.top >= needed.bottom) << "clipped text: " << shown;
    std::vector<RECT> buttons; // OK and Cancel in order; the frame's close button (id 2 too) is a "VSButton"
    for (HWND button = nullptr; (button = FindWindowExA(dialog, button, "Button", nullptr)) != nullptr;) {
        buttons.push_back(RECT{});
        GetWindowRect(button, &buttons.back());
        const RECT &last = buttons.back();
        EXPECT_TRUE(last.top >= text.bottom && last.bottom <= client.bottom && last.top == buttons.front().top)
            << "a button over the text, outside the window or not beside the other: button " << last.top << "-"
            << last.bottom << ", text bottom " << text.bottom << ", client bottom " << client.bottom;
        char caption[32] = {};
        SIZE extent = {};
        GetTextExtentPoint32A(dc, caption, GetWindowTextA(button, caption, sizeof(caption)), &extent);
        EXPECT_TRUE(last.bottom - last.top >= line * 3 / 2 && last.right - last.left >= extent.cx + line)
            << "button " << caption << " not around its text";
    }
    SelectObject(dc, font);
    ReleaseDC(label, dc);
    GetWindowRect(FindWindowExA(dialog, nullptr, "VSButton", nullptr), &close);
    const LONG along = window.left + line * 5, width = client.right - client.left, letters = close.left - window.left;
    int bar = 0, titleRows = 0;
    while (bar < 400 && SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(along, window.top + bar)) == HTCAPTION)
        ++bar;
    const std::vector<COLORREF> title = Pixels(dialog, false, bar); // the frame's client is the whole window
    for (LONG row = 0; (row + 1) * width <= LONG(title.size()); ++row)
        titleRows += std::count(&title[row * width + line * 3], &title[row * width + letters], RGB(255, 255, 255)) > 0;
    EXPECT_TRUE(bar >= line * 2 && close.bottom - close.top >= line && titleRows * 2 >= line)
        << "title bar " << bar << ", close button " << close.bottom - close.top << ", title letters " << titleRows
        << " for a line of " << line;
    ASSERT_FALSE(buttons.empty());
    const int middle = (client.left + client.right) / 2;
    const int off = (buttons.front().left + buttons.back().right) / 2 - middle;
    EXPECT_TRUE(GetDlgItem(dialog, IDC_PROGRESS_BAR) ? buttons.front().left > middle : std::abs(off) <= line / 2)
        << "buttons off the middle (" << off << "), or the progress window's Cancel not at the right";
    EXPECT_TRUE(buttons.size() == 1 || buttons.back().left > buttons.front().right + 4) << "buttons not apart";
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((area.left + area.right) / 2, (window.left + window.right) / 2, 1) << "not centred";
    EXPECT_NEAR((area.top + area.bottom) / 2, (window.top + window.bottom) / 2, 1) << "not centred";
}

// Moves the dialog to a screen of another DPI if asked, checks the layout, then presses the keys in
// turn on whatever has the focus in the dialog's thread (their virtual-key codes are their
// characters; see kHeld) and clicks a button (IDOK, IDCANCEL, kCloseButton) or none.
std::function<void(HWND)> Act(const char *keys, int click, int movedToDpi)
{
    return [=](HWND dialog) {
        if (movedToDpi)
            MoveToDpi(dialog, movedToDpi);
        ExpectLaidOut(dialog);
        for (const char *key = keys; *key; ++key, Sleep(50)) { // the focus moves before the next key
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
            const LPARAM down = *key == kHeld ? (++key, 0x40000001) : 1;
            const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(*key, 0)) << 16;
            for (UINT message : {WM_KEYDOWN, WM_KEYUP})
                PostMessageA(info.hwndFocus, message, *key, scan | (message == WM_KEYUP ? 0xC0000001 : down));
        }
        if (click)
            ClickOn(click == kCloseButton ? FindWindowExA(dialog, nullptr, "VSButton", nullptr)
                                          : GetDlgItem(dialog, click));
    };
}

// Process-wide GDI or USER objects. Wine's GetGuiResources answers 0: there the handle tables are
// probed (a 16-bit handle value matches any generation; USER handles are even, from 0x20 on).
DWORD GuiObjects(DWORD kind)
{
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), kind))
        return reported;
    DWORD count = 0, owner = 0;
    const bool gdi = kind == GR_GDIOBJECTS;
    for (ULONG_PTR value = gdi ? 1 : 0x20; value < 0x10000; value += gdi ? 1 : 2) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        ICONINFO icon = {};
        if (gdi)
            count += GetObjectType(handle) != 0;
        else if (IsWindow(HWND(handle)))
            count += GetWindowThreadProcessId(HWND(handle), &owner) && owner == GetCurrentProcessId();
        else if (IsMenu(HMENU(handle)) || GetIconInfo(HICON(handle), &icon)) {
            DeleteObject(icon.hbmColor); // the icon's copies; none for a menu
            DeleteObject(icon.hbmMask);
            ++count;
        }
    }
    return count;
}

} // namespace

// Enter and Space press the focused button (the focus starts on OK, Tab moves it on), Escape and
// the close button cancel; held on from before (a repeat), none of them presses anything, and on a
// screen of another DPI they work alike. The confirmation is one object for every showing, and its
// rows alternate: a confirmation that carried over to the next showing would show. The progress
// dialog, which has no dialog manager in its loop, raises the cancel flag and hides; it is also
// where the hit tests at negative coordinates and the trough run (it is on this thread).
TEST(DialogEnd, EachKeyAndClickEndsTheDialogAsTheUserMeansIt)
{
    enum Kind { Message, Confirm, Progress };
    const struct { Kind dialog; const char *keys; int click, code, movedToDpi = 0; } rows[] = { // code 2: cancelled
        {Message, "\r", 0, 1}, {Message, "", IDOK, 1}, {Message, "\x1b", 0, 2}, {Message, " ", 0, 1},
        {Message, "", kCloseButton, 2}, {Message, "\t\r", 0, 1}, {Confirm, "\r", 0, 1}, {Confirm, "\x1b", 0, 2},
        {Confirm, "", IDOK, 1}, {Confirm, "", kCloseButton, 2}, {Confirm, " ", 0, 1}, {Confirm, "\t\r", 0, 2},
        {Confirm, "\t\t\r", 0, 1}, {Confirm, "\t ", 0, 2}, {Confirm, "", IDOK, 1}, {Confirm, "", IDCANCEL, 2},
        {Progress, "", IDCANCEL, 2}, {Progress, "", kCloseButton, 2}, {Progress, "\r", 0, 2},
        {Progress, "\t", 0, 0}, {Progress, " ", 0, 2}, {Progress, "\x1b", 0, 2},
        {Message, "~\r\x1b", 0, 2}, {Confirm, "~ \x1b", 0, 2}, {Confirm, "~\x1b\r", 0, 1},
        {Progress, "~\r", 0, 0}, {Progress, "~\x1b~ ", 0, 0},
        {Message, "\r", 0, 1, 144}, {Confirm, "", IDOK, 1, 192}, {Progress, "", IDCANCEL, 2, 120},
    };
    CConfirmDlg confirm;
    CProgressDlg progress;
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "dialog " << row.dialog << ", keys " << testing::PrintToString(row.keys)
                                        << ", click " << row.click);
        const auto act = Act(row.keys, row.click, row.movedToDpi);
        if (row.dialog != Progress) {
            DialogAnswerer answers({DialogAnswerer::Answer(act)});
            EXPECT_EQ(row.code, row.dialog == Message ? CMessageDlg().Show(kMessage, kCaption)
                                                      : confirm.Show(kQuestion, kCaption));
            EXPECT_TRUE(row.dialog == Message || confirm.m_bConfirmed == (row.code == 1)) << "confirmed";
            continue;
        }
        bool cancelled = false;
        progress.SetCancelFlag(&cancelled);
        HWND window = Show(progress);
        ExpectProgressFrame(progress);
        act(window);
        EXPECT_EQ(row.code == 2, PumpUntil([&] { return cancelled; }, row.code ? 3000 : 500));
        EXPECT_EQ(row.code != 2, IsWindowVisible(progress.m_hWnd) != FALSE);
        DestroyWindow(progress.m_hWnd);
    }
}

// The table above at the scalings of today's screens (125, 150 and 200 %): in a process of its own
// each time, as the prefix's DPI is read when a process starts. The prefix keeps 96 for the rest.
TEST(DialogEnd, TheSameAtEveryDpi)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (DWORD dpi : {120, 144, 192}) {
        EXPECT_EQ(0, SHSetValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof(dpi)));
        SetEnvironmentVariableA("ORVEX_DPI", std::to_string(dpi).c_str());
        const RunResult run = RunProgram('"' + std::string(self) + "\" --gtest_filter=DialogEnd.EachKey*");
        EXPECT_EQ(0u, run.exitCode) << dpi << " DPI:\n" << run.output;
    }
    SetEnvironmentVariableA("ORVEX_DPI", nullptr);
    SHDeleteValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels"); // the prefix's default: 96
}

// One dialog of each kind answered as a user would, the progress dialog painted mid-run with its
// label replaced, 67 times over, gives back every GDI and USER object.
TEST(GuiObjects, TwoHundredDialogsLeaveTheCountsWhereTheyWere)
{
    DWORD gdi = 0, user = 0;
    for (int round = 0; round < 5 + 67; ++round) {
        // The first showings load what stays for the process (class registration, cursors, and
        // under Wine regions of its device-context cache, made in round 0, 1 or 2).
        if (round == 5)
            gdi = GuiObjects(GR_GDIOBJECTS), user = GuiObjects(GR_USEROBJECTS);
        DialogAnswerer answers({round % 2 ? IDOK : IDCANCEL, IDOK});
        CMessageDlg().Show(kMessage, kCaption);
        CConfirmDlg().Show(kQuestion, kCaption);
        CProgressDlg progress;
        Show(progress, 0);
        progress.m_pBar->m_upper = 10;
        progress.m_pBar->m_pos = round % 10;
        progress.SetStatusText("Corrupting file: a.txt");
        RedrawWindow(progress.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DestroyWindow(progress.m_hWnd);
    }
    // Wine's device-context cache may still add a few regions in any round; one object kept per
    // showing would add at least 67.
    EXPECT_LE(GuiObjects(GR_GDIOBJECTS), gdi + 8) << "GDI objects before " << gdi;
    EXPECT_EQ(user, GuiObjects(GR_USEROBJECTS));
}

// The bar paints in one step exactly what stretching each of its first K + 1 blocks on its own
// paints (white at 0), over a background of its own colour so that a pixel painted in a gap
// shows. At 245 px the 21st block at the upper bound lies partly inside the bar.
TEST(ProgressPaint, TheBarPaintsTheSamePixelsAsStretchingEveryBlockOnItsOwn)
{
    const struct { int width, pos; } rows[] = { // of 300
        {240, 0}, {240, 1}, {240, 150}, {240, 300}, {245, 1}, {245, 150}, {245, 299}, {245, 300}};
    CProgressDlg dialog;
    Show(dialog);
    CSkinProgressBar &bar = *dialog.m_pBar;
    const int pitch = bar.m_blockWidth + bar.m_gap;
    const CBrush background(CreateSolidBrush(RGB(40, 90, 160)));
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.pos << " of 300, " << row.width << " px");
        SetWindowPos(bar.m_hWnd, nullptr, 0, 0, row.width, 16, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        bar.m_upper = 300;
        bar.m_pos = row.pos;
        const auto paint = [&](bool byHand) { // on the background: the bar's own paint, or the blocks by hand
            HDC dc = GetDC(bar.m_hWnd);
            RECT block = {0, 0, row.width, 16};
            FillRect(dc, &block, byHand && !row.pos ? HBRUSH(GetStockObject(WHITE_BRUSH)) : background.Get());
            for (int i = 0; byHand && row.pos && i <= row.width / pitch * row.pos / 300; ++i) {
                SetRect(&block, pitch * i + bar.m_gap, 0, pitch * i + bar.m_gap + bar.m_blockWidth, 14);
                CSkinFrame::StretchBitmap(dc, block, bar.m_blockBitmap.Get(), nullptr);
            }
            ReleaseDC(bar.m_hWnd, dc);
            return Pixels(bar.m_hWnd, !byHand);
        };
        const std::vector<COLORREF> painted = paint(false), expected = paint(true);
        const auto differs = std::mismatch(painted.begin(), painted.end(), expected.begin()).first - painted.begin();
        EXPECT_EQ(painted.size(), size_t(differs))
            << "first difference at x = " << differs % row.width << ", y = " << differs / row.width;
    }
}
