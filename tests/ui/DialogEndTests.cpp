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

HWND CloseButtonOf(HWND dialog)
{
    return FindWindowExA(dialog, nullptr, "VSButton", nullptr);
}

std::function<void(HWND)> Press(WORD key)
{
    const DWORD thread = GetCurrentThreadId();
    return [thread, key](HWND) { PressKey(thread, key); };
}

std::function<void(HWND)> ClickCloseButton()
{
    return [](HWND dialog) { ClickAt(CentreOf(CloseButtonOf(dialog))); };
}

std::function<void(HWND)> ClickControl(int id)
{
    return [id](HWND dialog) { ClickAt(CentreOf(GetDlgItem(dialog, id))); };
}

int ShowMessage(std::function<void(HWND)> act)
{
    DialogDriver driver(std::move(act));
    CMessageDlg dialog;
    const int code = dialog.Show("The file could not be deleted.", kCaption);
    EXPECT_TRUE(driver.Finish()) << "the message dialog did not appear or did not close";
    return code;
}

struct ConfirmOutcome
{
    int code;
    bool confirmed;
};

ConfirmOutcome ShowConfirm(std::function<void(HWND)> act)
{
    DialogDriver driver(std::move(act));
    CConfirmDlg dialog;
    const int code = dialog.Show("Delete the 2 selected items?", kCaption);
    EXPECT_TRUE(driver.Finish()) << "the confirmation dialog did not appear or did not close";
    return ConfirmOutcome{code, dialog.m_bConfirmed};
}

} // namespace

TEST(MessageDlgEnd, EnterAndOkGiveOne)
{
    EXPECT_EQ(1, ShowMessage(Press(VK_RETURN)));
    EXPECT_EQ(1, ShowMessage(ClickControl(IDOK)));
}

TEST(MessageDlgEnd, EscapeAndCloseButtonGiveTwo)
{
    EXPECT_EQ(2, ShowMessage(Press(VK_ESCAPE)));
    EXPECT_EQ(2, ShowMessage(ClickCloseButton()));
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

TEST(ConfirmDlgEnd, EnterAndOkConfirm)
{
    ConfirmOutcome enter = ShowConfirm(Press(VK_RETURN));
    EXPECT_EQ(1, enter.code);
    EXPECT_TRUE(enter.confirmed);
    ConfirmOutcome ok = ShowConfirm(ClickControl(IDOK));
    EXPECT_EQ(1, ok.code);
    EXPECT_TRUE(ok.confirmed);
}

TEST(ConfirmDlgEnd, EscapeCloseButtonAndCancelRefuse)
{
    for (auto act : {Press(VK_ESCAPE), ClickCloseButton(), ClickControl(IDCANCEL)}) {
        ConfirmOutcome outcome = ShowConfirm(act);
        EXPECT_EQ(2, outcome.code);
        EXPECT_FALSE(outcome.confirmed);
    }
}

TEST(ConfirmDlgEnd, ConfirmationDoesNotCarryOverToTheNextShowing)
{
    CConfirmDlg dialog;
    {
        DialogDriver driver(ClickControl(IDOK));
        EXPECT_EQ(1, dialog.Show("First?", kCaption));
        EXPECT_TRUE(driver.Finish());
    }
    EXPECT_TRUE(dialog.m_bConfirmed);
    {
        DialogDriver driver(Press(VK_ESCAPE));
        EXPECT_EQ(2, dialog.Show("Second?", kCaption));
        EXPECT_TRUE(driver.Finish());
    }
    EXPECT_FALSE(dialog.m_bConfirmed);
}

namespace {
// A dialog whose template is not in the module.
struct CMissingTemplateDlg : CSkinDialog<CMissingTemplateDlg>
{
    static const UINT kTemplateId = 9999;
    INT_PTR Run() { return DoModal(nullptr); }
};
} // namespace

TEST(DialogCreation, MissingTemplateGivesMinusOne)
{
    // The caller must see a refusal, not a hang, and the object must stay usable.
    CMissingTemplateDlg broken;
    EXPECT_EQ(-1, broken.Run());
    EXPECT_EQ(nullptr, broken.m_hWnd);
}
