#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"

int CMessageDlg::Show(const String &, const String &) { return -1; }
int CConfirmDlg::Show(const String &, const String &) { return -1; }
