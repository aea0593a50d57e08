// End codes and confirmation state of the modal dialogs, answered from a helper thread.
#include <gtest/gtest.h>

#include "support/DialogAnswerer.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"

TEST(MessageDlgEnd, OkGivesOneAndEscapeGivesTwo)
{
    {
        DialogAnswerer answers({IDOK});
        CMessageDlg dialog;
        EXPECT_EQ(1, dialog.Show("The file could not be overwritten.", "Talmior 2005 Trial"));
        ASSERT_EQ(1u, answers.Texts().size());
        EXPECT_EQ("The file could not be overwritten.", answers.Texts()[0]);
        EXPECT_EQ(0u, answers.Unexpected());
    }
    {
        DialogAnswerer answers({IDCANCEL});
        CMessageDlg dialog;
        EXPECT_EQ(2, dialog.Show("x", "y"));
    }
}

TEST(ConfirmDlgEnd, OkConfirmsCancelDoesNot)
{
    {
        DialogAnswerer answers({IDOK});
        CConfirmDlg dialog;
        EXPECT_EQ(1, dialog.Show("Delete these files?", "Talmior 2005 Trial"));
        EXPECT_TRUE(dialog.m_bConfirmed);
    }
    {
        DialogAnswerer answers({IDCANCEL});
        CConfirmDlg dialog;
        EXPECT_EQ(2, dialog.Show("Delete these files?", "Talmior 2005 Trial"));
        EXPECT_FALSE(dialog.m_bConfirmed);
    }
}
