// The three dialogs as a user meets them: how each ends for every key and click, how it is laid
// out, where it appears, and that showing them again and again leaves nothing behind.
#include "UiTestSupport.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

#include <algorithm>

using namespace uitest;

namespace {

const char kCaption[] = "Talmior 2005 Trial";
const char kMessage[] = "Unable to corrupt file budget-2005.xls";
const char kQuestion[] = "Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?";
const int kCloseButton = -1;

// What the user does: keys pressed in turn on whatever has the focus, then a click on a button
// (IDOK, IDCANCEL, the frame's close button) or none.
struct Way
{
    const char *name;
    std::vector<WORD> keys;
    int click;
};

// The dialog as the user sees it: its text whole, its buttons in the panel below the text, side
// by side around the middle and apart; a shaped frame with round top corners whose title bar
// drags the window.
void ExpectLaidOut(HWND dialog)
{
    RECT window, client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    HWND textControl = GetDlgItem(dialog, IDC_TEXT);
    const RECT text = ChildRect(textControl);
    char shown[512] = {};
    GetWindowTextA(textControl, shown, sizeof(shown));
    RECT needed = {0, 0, 0, 0};
    HDC dc = GetDC(textControl);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(textControl, WM_GETFONT, 0, 0)));
    DrawTextA(dc, shown, -1, &needed, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(textControl, dc);
    // The control may run past the right edge (the confirmation sizes it by its text as one line);
    // what counts is that the lines as shown fit in the part the user sees.
    EXPECT_GE(std::min(text.right, client.right) - text.left, needed.right) << "clipped text: " << shown;
    EXPECT_GE(text.bottom - text.top, needed.bottom) << "clipped text: " << shown;
    EXPECT_GE(text.left, 0) << "text outside the window";
    // OK and Cancel, left to right; the frame's close button carries id 2 too, but sits in the title.
    std::vector<RECT> buttons;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char type[16] = {};
        GetClassNameA(child, type, sizeof(type));
        const int id = GetDlgCtrlID(child);
        if ((id == IDOK || id == IDCANCEL) && lstrcmpiA(type, "VSButton") != 0)
            buttons.push_back(ChildRect(child));
    }
    ASSERT_FALSE(buttons.empty());
    std::sort(buttons.begin(), buttons.end(), [](const RECT &a, const RECT &b) { return a.left < b.left; });
    // The questions' buttons sit around the middle, the progress window's Cancel at the right.
    const int middle = client.right / 2;
    const int pairMiddle = (buttons.front().left + buttons.back().right) / 2;
    if (GetDlgItem(dialog, IDC_PROGRESS_BAR)) {
        EXPECT_GT(buttons.front().left, middle) << "Cancel not at the right";
    } else {
        EXPECT_NEAR(middle, pairMiddle, 5) << "buttons off the middle";
    }
    for (const RECT &button : buttons) {
        EXPECT_GE(button.top, text.bottom) << "a button over the text";
        EXPECT_LE(button.bottom, client.bottom) << "a button outside the window";
        EXPECT_EQ(buttons.front().top, button.top);
    }
    if (buttons.size() == 2) {
        EXPECT_GT(buttons.back().left, buttons.front().right + 4) << "buttons not apart";
    }
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(dialog, region));
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "a square top-left corner";
    EXPECT_TRUE(PtInRegion(region, (window.right - window.left) / 2, 0));
    DeleteObject(region);
    POINT inText = {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
    ClientToScreen(dialog, &inText);
    EXPECT_EQ(HTCAPTION, SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(window.left + 100, window.top + 12)));
    EXPECT_EQ(HTCLIENT, SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(inText.x, inText.y)));
}

std::function<void(HWND)> Act(const Way &way, DWORD thread)
{
    return [thread, way](HWND dialog) {
        ExpectLaidOut(dialog);
        for (WORD key : way.keys) {
            PressKey(thread, key);
            Sleep(50); // the focus moves before the next key
        }
        if (way.click)
            ClickAt(CentreOf(way.click == kCloseButton ? FindWindowExA(dialog, nullptr, "VSButton", nullptr)
                                                        : GetDlgItem(dialog, way.click)));
    };
}

} // namespace

// Enter and Space press the focused button (the focus starts on OK, Tab moves it on), Escape and
// the close button cancel. The confirmation is one object for every showing: a confirmation that
// carried over to the next showing would show. The progress dialog, which has no dialog manager
// in its loop (the run dispatches one message at a time), raises the cancel flag and hides.
TEST(DialogEnd, EachKeyAndClickEndsTheDialogAsTheUserMeansIt)
{
    const Way enter = {"Enter", {VK_RETURN}, 0}, space = {"Space", {VK_SPACE}, 0}, escape = {"Escape", {VK_ESCAPE}, 0};
    const Way tab = {"Tab", {VK_TAB}, 0}, tabEnter = {"Tab, Enter", {VK_TAB, VK_RETURN}, 0};
    const Way tabSpace = {"Tab, Space", {VK_TAB, VK_SPACE}, 0}, tabTabEnter = {"Tab, Tab, Enter", {VK_TAB, VK_TAB, VK_RETURN}, 0};
    const Way ok = {"OK", {}, IDOK}, cancel = {"Cancel", {}, IDCANCEL}, close = {"close button", {}, kCloseButton};
    enum Kind { Message, Confirm, Progress };
    const struct
    {
        Kind dialog;
        const Way &way;
        int code; // for the progress dialog: 2 when it is cancelled
    } rows[] = {
        {Message, enter, 1},    {Message, ok, 1},     {Message, escape, 2},      {Message, space, 1},
        {Message, close, 2},    {Message, tabEnter, 1}, {Confirm, enter, 1},     {Confirm, escape, 2},
        {Confirm, ok, 1},       {Confirm, close, 2},  {Confirm, space, 1},       {Confirm, tabEnter, 2},
        {Confirm, tabTabEnter, 1}, {Confirm, tabSpace, 2}, {Confirm, ok, 1},     {Confirm, cancel, 2},
        {Progress, cancel, 2},  {Progress, close, 2}, {Progress, enter, 2},      {Progress, tab, 0},
        {Progress, space, 2},   {Progress, escape, 2},
    };
    CConfirmDlg confirm;
    CProgressDlg progress;
    const DWORD thread = GetCurrentThreadId();
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "dialog " << row.dialog << ", " << row.way.name);
        if (row.dialog == Progress) {
            bool cancelled = false;
            ASSERT_NE(nullptr, progress.Create(nullptr));
            progress.SetCancelFlag(&cancelled);
            ShowWindow(progress.m_hWnd, SW_SHOWNORMAL);
            SetForegroundWindow(progress.m_hWnd);
            PumpFor(100);
            Act(row.way, thread)(progress.m_hWnd);
            EXPECT_EQ(row.code == 2, PumpUntil([&] { return cancelled; }, row.code ? 3000 : 500));
            EXPECT_EQ(row.code != 2, IsWindowVisible(progress.m_hWnd) != FALSE);
            DestroyWindow(progress.m_hWnd);
            continue;
        }
        DialogAnswerer answers({DialogAnswerer::Answer(Act(row.way, thread))});
        if (row.dialog == Message) {
            EXPECT_EQ(row.code, CMessageDlg().Show(kMessage, kCaption));
        } else {
            EXPECT_EQ(row.code, confirm.Show(kQuestion, kCaption));
            EXPECT_EQ(row.code == 1, confirm.m_bConfirmed);
        }
    }
}

// On a visible owner a dialog appears centred on it, without one centred on the work area; the
// frame answers hit tests at negative screen coordinates too (left of or above the main monitor).
TEST(DialogPlacement, CentresOnItsOwnerOrTheWorkAreaAndDragsAnywhere)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 60, 80, 500, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    SetActiveWindow(owner);
    RECT shown = {};
    DialogAnswerer answers({DialogAnswerer::Answer([&](HWND dialog) {
        GetWindowRect(dialog, &shown);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    })});
    CMessageDlg().Show(kMessage, kCaption);
    DestroyWindow(owner);
    EXPECT_NEAR(60 + 250, (shown.left + shown.right) / 2, 1);
    EXPECT_NEAR(80 + 150, (shown.top + shown.bottom) / 2, 1);

    CProgressDlg progress;
    ASSERT_NE(nullptr, progress.Create(nullptr));
    RECT area, window;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(progress.m_hWnd, &window);
    EXPECT_NEAR((area.left + area.right) / 2, (window.left + window.right) / 2, 1);
    EXPECT_NEAR((area.top + area.bottom) / 2, (window.top + window.bottom) / 2, 1);
    for (const POINT at : {POINT{100, 120}, POINT{-300, -200}}) {
        SetWindowPos(progress.m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(HTCAPTION, SendMessageA(progress.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(at.x + 100, at.y + 12))) << at.x;
        EXPECT_EQ(HTCLIENT, SendMessageA(progress.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(at.x + 100, at.y + 60))) << at.x;
    }
    DestroyWindow(progress.m_hWnd);
}

// GDI and USER hygiene: one dialog of each kind answered as a user would, the progress dialog
// painted mid-run with its label replaced, 67 times over, gives back every object.
TEST(GuiObjects, TwoHundredDialogsLeaveTheCountsWhereTheyWere)
{
    const auto showOneOfEach = [](int round) {
        {
            DialogAnswerer answers({round % 2 ? IDOK : IDCANCEL, IDOK});
            CMessageDlg().Show(kMessage, kCaption);
            CConfirmDlg().Show(kQuestion, kCaption);
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
    };
    // The first showings load what stays for the process (class registration, cursors, and
    // under Wine regions of its device-context cache, made in round 0, 1 or 2).
    for (int round = 0; round < 5; ++round)
        showOneOfEach(round);
    const DWORD gdiBefore = GdiObjectCount(), userBefore = UserObjectCount();
    ASSERT_GT(gdiBefore, 0u);
    ASSERT_GT(userBefore, 0u);
    for (int round = 5; round < 5 + 67; ++round)
        showOneOfEach(round);
    // Wine's device-context cache may still add a few regions in any round; one object kept per
    // showing would add at least 67.
    const DWORD gdiAfter = GdiObjectCount();
    EXPECT_LE(gdiAfter, gdiBefore + 8) << "GDI objects before " << gdiBefore;
    EXPECT_EQ(userBefore, UserObjectCount());
    // The counting itself notices an object not given back (under Wine a thread's top-level window
    // brings an input-method window along: USER may rise by more than one).
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(gdiAfter + 1, GdiObjectCount());
    EXPECT_LT(userBefore, UserObjectCount());
    DestroyWindow(window);
    DeleteObject(brush);
}
