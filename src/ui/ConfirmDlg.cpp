#include "ui/ConfirmDlg.h"

#include <algorithm>

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
    m_cancel.m_faceBase = kCancelFaceBase;
    m_cancel.SubclassOwnerDraw(GetDlgItem(m_hWnd, IDCANCEL));
    m_ok.m_faceBase = 0;
    m_ok.SubclassOwnerDraw(GetDlgItem(m_hWnd, IDOK));
    AttachTextLabel(m_text);
    SetDlgItemTextA(m_hWnd, IDC_TEXT, m_message.c_str());
    LayOut();

    UseModuleBitmaps();
    InitSkin();
    CenterOnOwner(Owner());
    PlaceButtons();
    return TRUE;
}

void CConfirmDlg::LayOut()
{
    m_okFaces.Reset(CreateButtonFaces(IDB_OK_FACES, kOkFaces));
    m_cancelFaces.Reset(CreateButtonFaces(IDB_BUTTON_FACES, kButtonStripFaces));
    m_ok.m_faces = m_okFaces.Get();
    m_cancel.m_faces = m_cancelFaces.Get();
    // The template's buttons fit the faces at 96 DPI only; at others the text is wider or narrower.
    m_ok.SizeToFace(0);
    m_cancel.SizeToFace(0);
    AttachWarningPicture(m_picture, m_pictureList);
    const SIZE extent = MeasureOneLine(m_message);
    // At 96 DPI the text ends where the buttons begin; at others the template's units round
    // differently from the skin's pixels, and the buttons' top still wins.
    const int room = ControlRect(m_ok.m_hWnd).top - ControlRect(m_text.m_hWnd).top;
    ResizeControl(IDC_TEXT, extent.cx + m_scale(kTextExtraWidth),
                  std::min<int>(extent.cy + m_scale(kTextExtraHeight), room));
}

void CConfirmDlg::PlaceButtons()
{
    const int width = WindowWidth(m_hWnd);
    SetControlLeft(m_ok.m_hWnd, (width - WindowWidth(m_ok.m_hWnd)) / 2 + m_scale(kOkShiftFromCentre));
    SetControlLeft(m_cancel.m_hWnd, (width - WindowWidth(m_cancel.m_hWnd)) / 2 + m_scale(kCancelShiftFromCentre));
}

void CConfirmDlg::OnDpiChanged()
{
    LayOut();
    PlaceButtons();
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
