#include "ui/ConfirmDlg.h"

namespace {
const int kTextExtraWidth = 25;
const int kTextExtraHeight = 50;
const int kOkShiftFromCentre = -52;
const int kCancelShiftFromCentre = 45;
const int kCancelFaceBase = 8;
const int kButtonStripFaces = 12;
const int kOkFaces = 4;
} // namespace

int CConfirmDlg::Show(const String &text, const String &caption)
{
    m_bConfirmed = false;
    m_message = text;
    m_caption = caption;
    SetTitle(caption);
    return static_cast<int>(DoModal(GetActiveWindow()));
}

bool CConfirmDlg::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            m_bConfirmed = true;
            EndDialog(m_hWnd, IDOK);
            result = 0;
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(m_hWnd, IDCANCEL);
            result = 0;
            return true;
        }
        break;
    }
    return CSkinFrame::ProcessWindowMessage(message, wParam, lParam, result);
}

BOOL CConfirmDlg::OnInitDialog()
{
    m_bConfirmed = false;
    m_okFaces.Reset(CreateButtonFaces(IDB_OK_FACES, kOkFaces));
    m_cancelFaces.Reset(CreateButtonFaces(IDB_BUTTON_FACES, kButtonStripFaces));
    HWND ok = GetDlgItem(m_hWnd, IDOK);
    HWND cancel = GetDlgItem(m_hWnd, IDCANCEL);
    m_cancel.m_faces = m_cancelFaces.Get();
    m_cancel.m_faceBase = kCancelFaceBase;
    m_cancel.SubclassOwnerDraw(cancel);
    m_ok.m_faces = m_okFaces.Get();
    m_ok.m_faceBase = 0;
    m_ok.SubclassOwnerDraw(ok);

    AttachTextLabel(m_text);
    AttachWarningPicture(m_picture, m_pictureList);

    SetDlgItemTextA(m_hWnd, IDC_TEXT, m_message.c_str());
    const SIZE extent = MeasureOneLine(m_message);
    ResizeControl(IDC_TEXT, extent.cx + kTextExtraWidth, extent.cy + kTextExtraHeight);

    UseModuleBitmaps();
    InitSkin();
    CenterOnOwner(Owner());

    const int width = WindowWidth(m_hWnd);
    SetControlLeft(ok, (width - WindowWidth(ok)) / 2 + kOkShiftFromCentre);
    SetControlLeft(cancel, (width - WindowWidth(cancel)) / 2 + kCancelShiftFromCentre);
    return TRUE;
}

void CConfirmDlg::OnFinalMessage()
{
    m_ok.m_faces = nullptr;
    m_cancel.m_faces = nullptr;
    m_picture.m_list = nullptr;
    m_okFaces.Reset();
    m_cancelFaces.Reset();
    m_pictureList.Reset();
    CSkinFrame::OnFinalMessage();
}
