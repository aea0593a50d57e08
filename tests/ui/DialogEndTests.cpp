// How the modal dialogs end: keys, buttons and the frame's close button, driven from a helper
// thread as a user would, with the end code and the confirmation state that come back.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "support/DialogAnswerer.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"

using namespace uitest;

namespace {

const char kCaption[] = "Talmior 2005 Trial";
enum Way { kEnter, kEscape, kOk, kCancel, kCloseButton };
const char *const kWayNames[] = {"Enter", "Escape", "OK", "Cancel", "close button"};

Action Act(Way way)
{
    const DWORD thread = GetCurrentThreadId();
    return [thread, way](HWND dialog) {
        if (way == kEnter || way == kEscape)
            PressKey(thread, way == kEnter ? VK_RETURN : VK_ESCAPE);
        else if (way == kCloseButton)
            ClickAt(CentreOf(FindWindowExA(dialog, nullptr, "VSButton", nullptr)));
        else
            ClickAt(CentreOf(GetDlgItem(dialog, way == kOk ? IDOK : IDCANCEL)));
    };
}

} // namespace

TEST(MessageDlgEnd, EnterAndOkGiveOneEscapeAndCloseButtonTwo)
{
    const struct { Way way; int code; } rows[] = {{kEnter, 1}, {kOk, 1}, {kEscape, 2}, {kCloseButton, 2}};
    for (const auto &row : rows) {
        SCOPED_TRACE(kWayNames[row.way]);
        CMessageDlg dialog;
        EXPECT_EQ(row.code, Drive(Act(row.way), [&] { return dialog.Show("The file could not be deleted.", kCaption); }));
    }
}

// One dialog object for every showing: each refusal follows a confirmation, so a
// confirmation that carried over to the next showing would show.
TEST(ConfirmDlgEnd, EnterAndOkConfirmEscapeCloseButtonAndCancelRefuse)
{
    const struct { Way way; int code; } rows[] = {
        {kEnter, 1}, {kEscape, 2}, {kOk, 1}, {kCloseButton, 2}, {kOk, 1}, {kCancel, 2}};
    CConfirmDlg dialog;
    for (const auto &row : rows) {
        SCOPED_TRACE(kWayNames[row.way]);
        EXPECT_EQ(row.code, Drive(Act(row.way), [&] { return dialog.Show("Delete the 2 selected items?", kCaption); }));
        EXPECT_EQ(row.code == 1, dialog.m_bConfirmed);
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
