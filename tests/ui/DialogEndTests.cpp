// How the modal dialogs end: keys, buttons and the frame's close button, driven from a helper
// thread as a user would, with the end code and the confirmation state that come back.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "support/DialogAnswerer.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"
#include "ui/ProgressDlg.h"

#include <vector>

using namespace uitest;

namespace {

const char kCaption[] = "Talmior 2005 Trial";
const int kCloseButton = -1;

// What the user does: keys pressed in turn on whatever has the focus, then a click on a button
// (IDOK, IDCANCEL, the frame's close button) or none.
struct Way
{
    const char *name;
    std::vector<WORD> keys;
    int click;
};
const Way kEnter = {"Enter", {VK_RETURN}, 0};
const Way kSpace = {"Space", {VK_SPACE}, 0};
const Way kEscape = {"Escape", {VK_ESCAPE}, 0};
const Way kTab = {"Tab", {VK_TAB}, 0};
const Way kTabEnter = {"Tab, Enter", {VK_TAB, VK_RETURN}, 0};
const Way kTabSpace = {"Tab, Space", {VK_TAB, VK_SPACE}, 0};
const Way kTabTabEnter = {"Tab, Tab, Enter", {VK_TAB, VK_TAB, VK_RETURN}, 0};
const Way kOk = {"OK", {}, IDOK};
const Way kCancel = {"Cancel", {}, IDCANCEL};
const Way kClose = {"close button", {}, kCloseButton};

Action Act(const Way &way)
{
    const DWORD thread = GetCurrentThreadId();
    return [thread, way](HWND dialog) {
        for (WORD key : way.keys) {
            PressKey(thread, key);
            Sleep(50); // the focus moves before the next key
        }
        if (way.click == kCloseButton)
            ClickAt(CentreOf(FindWindowExA(dialog, nullptr, "VSButton", nullptr)));
        else if (way.click)
            ClickAt(CentreOf(GetDlgItem(dialog, way.click)));
    };
}

} // namespace

// OK is the only button that takes the focus, so every Enter or Space presses it.
TEST(MessageDlgEnd, EnterSpaceAndOkGiveOneEscapeAndCloseButtonTwo)
{
    const struct { const Way &way; int code; } rows[] = {
        {kEnter, 1}, {kOk, 1}, {kEscape, 2}, {kSpace, 1}, {kClose, 2}, {kTabEnter, 1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.way.name);
        CMessageDlg dialog;
        EXPECT_EQ(row.code, Drive(Act(row.way), [&] { return dialog.Show("The file could not be deleted.", kCaption); }));
    }
}

// One dialog object for every showing: each refusal follows a confirmation, so a confirmation
// that carried over to the next showing would show. The focus starts on OK and Tab moves it to
// Cancel: Enter and Space press the focused button, whichever it is.
TEST(ConfirmDlgEnd, TheFocusedButtonOrOkConfirmsEscapeCloseButtonAndCancelRefuse)
{
    const struct { const Way &way; int code; } rows[] = {
        {kEnter, 1}, {kEscape, 2}, {kOk, 1}, {kClose, 2}, {kSpace, 1}, {kTabEnter, 2},
        {kTabTabEnter, 1}, {kTabSpace, 2}, {kOk, 1}, {kCancel, 2}};
    CConfirmDlg dialog;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.way.name);
        EXPECT_EQ(row.code, Drive(Act(row.way), [&] { return dialog.Show("Delete the 2 selected items?", kCaption); }));
        EXPECT_EQ(row.code == 1, dialog.m_bConfirmed);
    }
}

// The progress dialog has no dialog manager in its message loop: the run dispatches one message
// at a time. Its Cancel has the focus; one dialog object is created afresh for each run.
TEST(ProgressDlgEnd, CancelCloseButtonEnterSpaceAndEscapeRaiseTheFlagAndEndTheDialog)
{
    const struct { const Way &way; bool cancels; } rows[] = {
        {kCancel, true}, {kClose, true}, {kEnter, true}, {kTab, false}, {kSpace, true}, {kEscape, true}};
    CProgressDlg dialog;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.way.name);
        bool cancelled = false;
        ASSERT_NE(nullptr, dialog.Create(nullptr));
        dialog.SetCancelFlag(&cancelled);
        ShowWindow(dialog.m_hWnd, SW_SHOWNORMAL);
        SetForegroundWindow(dialog.m_hWnd);
        PumpFor(100);
        Act(row.way)(dialog.m_hWnd);
        EXPECT_EQ(row.cancels, PumpUntil([&] { return cancelled; }, row.cancels ? 3000 : 500));
        EXPECT_EQ(!row.cancels, IsWindowVisible(dialog.m_hWnd) != FALSE) << "EndDialog hides a modeless dialog";
        DestroyWindow(dialog.m_hWnd);
        EXPECT_EQ(nullptr, dialog.m_hWnd);
        EXPECT_EQ(nullptr, dialog.m_pBar->m_hWnd);
    }
}

TEST(MessageDlgEnd, AnswererSeesTextOfControl202)
{
    DialogAnswerer answers({IDOK});
    CMessageDlg dialog;
    EXPECT_EQ(1, dialog.Show("Unable to delete file: S:\\a.txt", kCaption));
    ASSERT_EQ(1u, answers.Texts().size());
    EXPECT_EQ("Unable to delete file: S:\\a.txt", answers.Texts()[0]);
    EXPECT_EQ(0u, answers.Unexpected());
}

namespace {
struct CMissingTemplateDlg : CSkinDialog<CMissingTemplateDlg>
{
    static const UINT kTemplateId = 9999;
    INT_PTR Run() { return DoModal(nullptr); }
};
} // namespace

// A refusal, not a hang, and the object stays usable.
TEST(DialogCreation, MissingTemplateGivesMinusOne)
{
    CMissingTemplateDlg broken;
    EXPECT_EQ(-1, broken.Run());
    EXPECT_EQ(nullptr, broken.m_hWnd);
}
