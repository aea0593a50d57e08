#include "ui/MessageDlg.h"

namespace {
const int kWidthBeyondText = 95;
const int kTextPadding = 10;
const int kOkFaces = 4;
const int kNudgeRight3 = 2;
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
    m_okFaces.Reset(CreateButtonFaces(IDB_OK_FACES, kOkFaces));
    m_ok.m_faces = m_okFaces.Get();
    m_ok.m_faceBase = 0;
    HWND ok = GetDlgItem(m_hWnd, IDOK);
    m_ok.SubclassWindow(ok);
    SetWindowLongA(ok, GWL_STYLE, GetWindowLongA(ok, GWL_STYLE) | BS_OWNERDRAW);
    CHoverButton::SizeButtonToFace(ok, kNudgeRight3); // centred again below

    AttachTextLabel(m_text);
    AttachWarningPicture(m_picture, m_pictureList);

    SetDlgItemTextA(m_hWnd, IDC_TEXT, m_message.c_str());
    const SIZE extent = MeasureOneLine(m_message);

    RECT window;
    GetWindowRect(m_hWnd, &window);
    SetWindowPos(m_hWnd, nullptr, 0, 0, extent.cx + kWidthBeyondText, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeControl(IDC_TEXT, extent.cx + kTextPadding, extent.cy + kTextPadding);

    // The region and the close button follow the window's size as it is now.
    UseModuleBitmaps();
    InitSkin();
    CenterOnOwner(Owner());

    SetControlLeft(ok, (WindowWidth(m_hWnd) - WindowWidth(ok)) / 2);

    if (!m_caption.IsEmpty())
        SetWindowTextA(m_hWnd, m_caption.c_str());
    return TRUE;
}

void CMessageDlg::OnFinalMessage()
{
    m_ok.m_faces = nullptr;
    m_picture.m_list = nullptr;
    m_okFaces.Reset();
    m_pictureList.Reset();
    CSkinFrame::OnFinalMessage();
}
