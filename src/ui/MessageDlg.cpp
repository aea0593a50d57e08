#include "ui/MessageDlg.h"

namespace {
const int kWidthBeyondText = 95;
const int kTextPadding = 10;
const int kOkFaces = 4;
const int kOkShiftRight = 3; // centred again below
} // namespace

int CMessageDlg::Show(const String &text, const String &caption)
{
    m_message = text;
    m_caption = caption;
    SetTitle(caption);
    return static_cast<int>(DoModal(GetActiveWindow()));
}

bool CMessageDlg::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(m_hWnd, LOWORD(wParam));
            result = 0;
            return true;
        }
        break;
    }
    return CSkinFrame::ProcessWindowMessage(message, wParam, lParam, result);
}

BOOL CMessageDlg::OnInitDialog()
{
    m_ok.m_faceBase = 0;
    HWND ok = GetDlgItem(m_hWnd, IDOK);
    m_ok.SubclassWindow(ok);
    SetWindowLongA(ok, GWL_STYLE, GetWindowLongA(ok, GWL_STYLE) | BS_OWNERDRAW);
    AttachTextLabel(m_text);
    SetDlgItemTextA(m_hWnd, IDC_TEXT, m_message.c_str());
    LayOut();

    // The region and the close button follow the window's size as it is now.
    UseModuleBitmaps();
    InitSkin();
    CenterOnOwner(Owner());
    CentreButton();

    if (!m_caption.IsEmpty())
        SetWindowTextA(m_hWnd, m_caption.c_str());
    return TRUE;
}

void CMessageDlg::LayOut()
{
    m_okFaces.Reset(CreateButtonFaces(IDB_OK_FACES, kOkFaces));
    m_ok.m_faces = m_okFaces.Get();
    m_ok.SizeToFace(m_scale(kOkShiftRight));
    AttachWarningPicture(m_picture, m_pictureList);

    const SIZE extent = MeasureOneLine(m_message);
    RECT window;
    GetWindowRect(m_hWnd, &window);
    SetWindowPos(m_hWnd, nullptr, 0, 0, extent.cx + m_scale(kWidthBeyondText), window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeControl(IDC_TEXT, extent.cx + m_scale(kTextPadding), extent.cy + m_scale(kTextPadding));
}

void CMessageDlg::CentreButton()
{
    SetControlLeft(m_ok.m_hWnd, (WindowWidth(m_hWnd) - WindowWidth(m_ok.m_hWnd)) / 2);
}

void CMessageDlg::OnDpiChanged()
{
    LayOut();
    CentreButton();
}

void CMessageDlg::OnFinalMessage()
{
    m_ok.m_faces = nullptr;
    m_picture.m_list = nullptr;
    m_okFaces.Reset();
    m_pictureList.Reset();
    CSkinFrame::OnFinalMessage();
}
