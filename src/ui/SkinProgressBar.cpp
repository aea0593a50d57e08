#include "ui/SkinProgressBar.h"
#include "ui/SkinFrame.h"

static const int kBitmapBlockBottom = 14;
static const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

bool CSkinProgressBar::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_ENABLE:
        RedrawWindow(m_hWnd, nullptr, nullptr, kRedrawNow);
        result = 0;
        return true;
    case WM_ERASEBKGND:
        result = 0; // the dialog's trough shows through
        return true;
    case WM_NCHITTEST:
        result = HTTRANSPARENT;
        return true;
    default:
        return CSubclassedWindow::ProcessWindowMessage(message, wParam, lParam, result);
    }
}

void CSkinProgressBar::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (!dc)
        return;
    const int saved = SaveDC(dc);
    const LONG exStyle = GetWindowLongA(m_hWnd, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_TRANSPARENT))
        SetWindowLongA(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_TRANSPARENT);
    SetBkMode(dc, TRANSPARENT);
    CBrush blockBrush(CreateSolidBrush(m_blockColor));

    RECT client;
    GetClientRect(m_hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int pitch = m_blockWidth + m_gap;
    const LONGLONG fitting = pitch > 0 ? width / pitch : 0;

    if (m_pos == 0) {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    } else if (m_upper != 0) {
        const LONGLONG last = static_cast<LONGLONG>(static_cast<ULONGLONG>(fitting) * m_pos / m_upper);
        for (LONGLONG i = 0; i <= last; ++i) {
            RECT block;
            block.left = static_cast<LONG>(pitch * i + m_gap);
            block.right = block.left + m_blockWidth;
            if (m_blockBitmap) {
                block.top = 0;
                block.bottom = kBitmapBlockBottom;
                CSkinFrame::StretchBitmap(dc, block, m_blockBitmap.Get(), nullptr);
            } else if (blockBrush) {
                block.top = height / 2 - m_blockHeight / 2;
                block.bottom = height / 2 + m_blockHeight / 2;
                FillRect(dc, &block, blockBrush.Get());
            }
        }
    }
    RestoreDC(dc, saved);
    EndPaint(m_hWnd, &ps);
}
