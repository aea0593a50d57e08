#include "ui/ProgressDlg.h"
#include "module/Module.h"

#include <commctrl.h>

namespace {
const char kTitle[] = "Deleting\\Corrupting";
const int kButtonFaces = 12;
const int kCancelFaceBase = 8;
const int kBlockSize = 10;
const int kBlockGap = 2;
const int kCancelShiftRight = 7;
const int kBlockBitmapHeight = 14;
const RECT kTroughMargins = {1, 2, 1, 2}; // around the bar
const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

HBITMAP LoadModuleBitmap(UINT id)
{
    return LoadBitmapA(g_module.Instance(), MAKEINTRESOURCEA(id));
}
} // namespace

CProgressDlg::CProgressDlg() : m_pBar(&m_bar), m_trough(LoadModuleBitmap(IDB_TROUGH))
{
    m_bExtra = true;
    m_extraBitmap = m_trough.Get();
}

HWND CProgressDlg::Create(HWND parent)
{
    // The template's bar is a common control; the host may not have registered it.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return CreateModeless(parent);
}

void CProgressDlg::SetStatusText(const String &text)
{
    // A short "1" first: the label is cleared and painted once before the new text.
    m_status.m_label = "1";
    m_status.m_bClearOnce = true;
    if (m_status.m_hWnd)
        RedrawWindow(m_status.m_hWnd, nullptr, nullptr, kRedrawNow);
    m_status.m_label = text;
    m_status.m_bClearOnce = true;
    if (m_status.m_hWnd)
        RedrawWindow(m_status.m_hWnd, nullptr, nullptr, kRedrawNow);
}

bool CProgressDlg::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            if (m_pCancel)
                *m_pCancel = true;
            EndDialog(m_hWnd, IDCANCEL);
            result = 0;
            return true;
        }
        break;
    }
    return CSkinFrame::ProcessWindowMessage(message, wParam, lParam, result);
}

BOOL CProgressDlg::OnInitDialog()
{
    SetWindowTextA(m_hWnd, kTitle);
    SetTitle(kTitle);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE));

    m_cancel.m_faceBase = kCancelFaceBase;
    m_cancel.SubclassOwnerDraw(GetDlgItem(m_hWnd, IDCANCEL));

    AttachTextLabel(m_status);
    HWND status = GetDlgItem(m_hWnd, IDC_TEXT);
    SetWindowLongA(status, GWL_EXSTYLE, GetWindowLongA(status, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    SetDlgItemTextA(m_hWnd, IDC_TEXT, m_initialText.c_str());

    HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    m_bar.SubclassWindow(bar);
    SetWindowLongA(bar, GWL_EXSTYLE, GetWindowLongA(bar, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    m_bar.m_blockBitmap.Reset(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BLOCK)));
    m_bar.m_troughBitmap.Reset(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_TROUGH)));
    LayOut();

    UseModuleBitmaps();
    InitSkin();
    CenterOnOwner(Owner());
    m_cancel.SizeToFace(m_scale(kCancelShiftRight));
    return TRUE;
}

void CProgressDlg::LayOut()
{
    m_faces.Reset(CreateButtonFaces(IDB_BUTTON_FACES, kButtonFaces));
    m_cancel.m_faces = m_faces.Get();
    m_bar.m_blockWidth = m_scale(kBlockSize);
    m_bar.m_blockHeight = m_scale(kBlockSize);
    m_bar.m_blockBitmapHeight = m_scale(kBlockBitmapHeight);
    m_bar.m_gap = m_scale(kBlockGap);

    // The trough frames the bar wherever the template's font puts it, so the blocks stay inside.
    const RECT bar = ControlRect(m_bar.m_hWnd);
    const RECT margins = m_scale(kTroughMargins);
    m_extraRect = RECT{bar.left - margins.left, bar.top - margins.top, bar.right + margins.right,
                       bar.bottom + margins.bottom};
}

void CProgressDlg::OnDpiChanged()
{
    LayOut();
    m_cancel.SizeToFace(0);
}

void CProgressDlg::OnFinalMessage()
{
    m_cancel.m_faces = nullptr;
    m_faces.Reset();
    m_bar.m_blockBitmap.Reset();
    m_bar.m_troughBitmap.Reset();
    CSkinFrame::OnFinalMessage();
}
