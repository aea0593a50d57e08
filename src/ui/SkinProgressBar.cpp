#include "ui/SkinProgressBar.h"
#include "ui/SkinFrame.h"

#include <utility>

static const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

bool CSkinProgressBar::StripKey::operator==(const StripKey &other) const
{
    return width == other.width && height == other.height && blockWidth == other.blockWidth &&
           blockHeight == other.blockHeight && blockBitmapHeight == other.blockBitmapHeight && gap == other.gap &&
           blockBitmap == other.blockBitmap && blockColor == other.blockColor;
}

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
    case WM_DESTROY:
        // The next run's window starts from its own bitmaps.
        m_stripDC.Reset();
        m_strip.Reset();
        m_blockShapes.Reset();
        return false;
    default:
        return CSubclassedWindow::ProcessWindowMessage(message, wParam, lParam, result);
    }
}

CSkinProgressBar::StripKey CSkinProgressBar::CurrentKey(int width, int height) const
{
    return StripKey{width, height, m_blockWidth, m_blockHeight, m_blockBitmapHeight,
                    m_gap, m_blockBitmap.Get(), m_blockColor};
}

RECT CSkinProgressBar::BlockRect(LONGLONG index, int height) const
{
    RECT block;
    block.left = static_cast<LONG>((m_blockWidth + m_gap) * index + m_gap);
    block.right = block.left + m_blockWidth;
    if (m_blockBitmap) {
        block.top = 0;
        block.bottom = m_blockBitmapHeight;
    } else {
        block.top = height / 2 - m_blockHeight / 2;
        block.bottom = height / 2 + m_blockHeight / 2;
    }
    return block;
}

void CSkinProgressBar::DrawBlock(HDC dc, const RECT &block, HBRUSH brush) const
{
    if (m_blockBitmap)
        CSkinFrame::StretchBitmap(dc, block, m_blockBitmap.Get(), nullptr);
    else if (brush)
        FillRect(dc, &block, brush);
}

// Blocks 0 to N, where N blocks fit: the one after N starts beyond the right edge, so no
// position shows more. The strip has the client's size, so that a block cut by an edge is
// stretched as the window cuts it; whole blocks are copies of the first one.
bool CSkinProgressBar::PrepareStrip(HDC dc, const StripKey &key)
{
    if (m_stripDC && m_blockShapes && key == m_stripKey)
        return true;
    m_stripDC.Reset();
    m_strip.Reset();
    m_blockShapes.Reset();
    const int pitch = m_blockWidth + m_gap;
    const LONGLONG fitting = pitch > 0 ? key.width / pitch : 0;
    const RECT first = BlockRect(0, key.height);
    const int stripHeight = first.bottom < key.height ? first.bottom : key.height;
    if (first.left < 0 || first.right <= first.left || first.bottom <= first.top || stripHeight <= 0 ||
        first.left >= key.width)
        return false;

    CBitmap strip(CreateCompatibleBitmap(dc, key.width, stripHeight));
    CMemoryDC memory(CreateCompatibleDC(dc));
    CRegion shapes(CreateRectRgn(0, 0, 0, 0));
    if (!strip || !memory || !shapes)
        return false;
    SelectObject(memory.Get(), strip.Get());
    const CBrush brush(CreateSolidBrush(m_blockColor));
    bool ok = true;
    for (LONGLONG i = 0; i <= fitting && ok; ++i) {
        const RECT block = BlockRect(i, key.height);
        if (block.left >= key.width)
            break;
        if (i == 0 || block.right > key.width)
            DrawBlock(memory.Get(), block, brush.Get());
        else
            BitBlt(memory.Get(), block.left, 0, m_blockWidth, stripHeight, memory.Get(), first.left, 0, SRCCOPY);
        CRegion one(CreateRectRgnIndirect(&block));
        ok = one && CombineRgn(shapes.Get(), shapes.Get(), one.Get(), RGN_OR) != ERROR;
    }
    if (!ok)
        return false;
    m_strip = std::move(strip);
    m_stripDC = std::move(memory);
    m_blockShapes = std::move(shapes);
    m_stripKey = key;
    m_stripHeight = stripHeight;
    return true;
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

    RECT client;
    GetClientRect(m_hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int pitch = m_blockWidth + m_gap;
    const LONGLONG fitting = pitch > 0 ? width / pitch : 0;

    if (m_pos == 0) {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    } else if (m_upper != 0 && PrepareStrip(dc, CurrentKey(width, height))) {
        const LONGLONG last = static_cast<LONGLONG>(static_cast<ULONGLONG>(fitting) * m_pos / m_upper);
        // Blocks past N lie wholly beyond the right edge.
        const RECT lastBlock = BlockRect(last < fitting ? last : fitting, height);
        if (last >= 0 && SelectClipRgn(dc, m_blockShapes.Get()) != ERROR)
            BitBlt(dc, 0, 0, lastBlock.right < width ? lastBlock.right : width, m_stripHeight, m_stripDC.Get(), 0, 0,
                   SRCCOPY);
    }
    RestoreDC(dc, saved);
    EndPaint(m_hWnd, &ps);
}
