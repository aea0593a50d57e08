#include "ui/SkinLabel.h"

static const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

void CSkinLabel::SetTextColor(COLORREF color)
{
    if (color == m_textColor)
        return;
    m_textColor = color;
    Redraw();
}

void CSkinLabel::Redraw()
{
    if (m_hWnd)
        RedrawWindow(m_hWnd, nullptr, nullptr, kRedrawNow);
}

void CSkinLabel::OnAttach()
{
    // The progress dialog's label is attached again for every run; the last run's line must go.
    m_label = String();
    m_bClearOnce = false;
}

bool CSkinLabel::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_ERASEBKGND:
        result = 1; // the paint covers what it needs to
        return true;
    case WM_SETTEXT:
        result = DefaultProc(message, wParam, lParam);
        Redraw();
        return true;
    case WM_ENABLE:
        // Handled here: the static control would paint its own grey box over the skin.
        Redraw();
        result = 0;
        return true;
    case WM_NCHITTEST:
        result = HTTRANSPARENT; // clicks go to the dialog beneath
        return true;
    default:
        return CSubclassedWindow::ProcessWindowMessage(message, wParam, lParam, result);
    }
}

void CSkinLabel::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (!dc)
        return;
    const int saved = SaveDC(dc);
    RECT client;
    GetClientRect(m_hWnd, &client);
    HWND parent = GetParent(m_hWnd);

    if (m_bClearOnce) {
        m_bClearOnce = false;
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hWnd));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_bParentFont ? parent : m_hWnd, WM_GETFONT, 0, 0));
    if (font)
        SelectObject(dc, font);

    if (GetWindowLongA(m_hWnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT) {
        SetBkMode(dc, TRANSPARENT);
        // The dialog paints what lies beneath first; the text goes on top of it.
        RECT beneath = client;
        MapWindowPoints(m_hWnd, parent, reinterpret_cast<POINT *>(&beneath), 2);
        RedrawWindow(parent, &beneath, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
    } else if (m_backColor != kNoColor) {
        SetBkColor(dc, m_backColor);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
        SetBkMode(dc, OPAQUE);
    }

    String text = m_label;
    if (text.IsEmpty()) {
        const int length = GetWindowTextLengthA(m_hWnd);
        if (length > 0) {
            GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
            text.ReleaseBuffer();
        }
    }
    if (!text.IsEmpty()) {
        const LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
        const DWORD align = style & SS_TYPEMASK;
        UINT format = DT_WORDBREAK;
        if (align == SS_RIGHT)
            format = DT_RIGHT;
        else if (align == SS_CENTER)
            format = DT_CENTER;
        if (style & SS_CENTERIMAGE)
            format |= DT_VCENTER | DT_SINGLELINE;
        const int length = static_cast<int>(text.Length());
        if (IsWindowEnabled(m_hWnd)) {
            ::SetTextColor(dc, m_textColor);
            DrawTextA(dc, text.c_str(), length, &client, format);
        } else {
            // Engraved: a highlight one pixel down and right, grey text on top.
            RECT shifted = client;
            OffsetRect(&shifted, 1, 1);
            ::SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
            DrawTextA(dc, text.c_str(), length, &shifted, format);
            ::SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            DrawTextA(dc, text.c_str(), length, &client, format);
        }
    }
    RestoreDC(dc, saved);
    EndPaint(m_hWnd, &ps);
}
