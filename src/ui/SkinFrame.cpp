#include "ui/SkinFrame.h"
#include "module/Module.h"
#include "resource.h"

#include <olectl.h>

namespace {

const int kCornerEllipse = 11;
const int kSquareFromRow = 30;
const int kCloseButtonRight = 8;
const int kCloseButtonSize = 16;
const int kCloseButtonTop = 6;
const int kCloseFaceBase = 3;
const int kCaptionButtonFaces = 6;
const RECT kEmblem = {5, 5, 25, 22};
const RECT kExtraRect = {15, 85, 370, 105};
const int kTitleLeft = 27;
const int kCaptionRightEnd = 74;

const COLORREF kBorderOuter = RGB(88, 88, 88);
const COLORREF kBorderMiddle = RGB(97, 97, 97);
const COLORREF kBorderInner = RGB(113, 113, 113);
const COLORREF kPanel = RGB(255, 199, 31);
const COLORREF kPanelLight = RGB(255, 215, 97);
const COLORREF kInsetLine = RGB(127, 127, 127);
const COLORREF kWhite = RGB(255, 255, 255);

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

HICON LoadModuleIcon(int cx, int cy)
{
    return static_cast<HICON>(LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(IDI_ORVEX), IMAGE_ICON, cx, cy, 0));
}

// A copy of the strip, height rows tall, filled with the colour below the strip's own rows.
HBITMAP PadStrip(HBITMAP strip, SIZE size, int height, COLORREF fill)
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return nullptr;
    CBitmap padded(CreateCompatibleBitmap(screen, size.cx, height));
    CMemoryDC source(CreateCompatibleDC(screen));
    CMemoryDC target(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    if (!padded || !source || !target)
        return nullptr;
    HGDIOBJ oldSource = SelectObject(source.Get(), strip);
    HGDIOBJ oldTarget = SelectObject(target.Get(), padded.Get());
    const RECT all = {0, 0, size.cx, height};
    SetBkColor(target.Get(), fill);
    ExtTextOutA(target.Get(), 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    BitBlt(target.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
    SelectObject(source.Get(), oldSource);
    SelectObject(target.Get(), oldTarget);
    return padded.Detach();
}

} // namespace

BOOL CSkinFrame::InitSkin()
{
    RECT window;
    GetWindowRect(m_hWnd, &window);
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;

    // Only the two top corners are rounded: a rounded rectangle joined with a square lower part.
    CRegion shape(CreateRoundRectRgn(0, 0, w + 1, h, kCornerEllipse, kCornerEllipse));
    CRegion square(CreateRectRgn(0, kSquareFromRow, w, h));
    if (shape && square && CombineRgn(shape.Get(), shape.Get(), square.Get(), RGN_OR) != ERROR &&
        SetWindowRgn(m_hWnd, shape.Get(), FALSE))
        shape.Detach(); // the window owns it now

    m_closeFaces.Reset(
        CreateFaceList(IDB_CAPTION_BUTTONS, kCloseButtonSize, kCloseButtonSize, kCaptionButtonFaces, CLR_NONE));

    m_bigIcon.Reset(LoadModuleIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    m_smallIcon.Reset(LoadModuleIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));

    m_close.m_faces = m_closeFaces.Get();
    m_close.m_faceBase = kCloseFaceBase;
    const RECT closeRect = {w - kCloseButtonSize - kCloseButtonRight, kCloseButtonTop, w - kCloseButtonRight,
                            kCloseButtonTop + kCloseButtonSize};
    m_close.Create(m_hWnd, closeRect, nullptr, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, IDCANCEL);
    return TRUE;
}

void CSkinFrame::OnFinalMessage()
{
    m_close.m_faces = nullptr;
    m_closeFaces.Reset();
    m_bigIcon.Reset();
    m_smallIcon.Reset();
}

HIMAGELIST CSkinFrame::CreateFaceList(UINT bitmapId, int cx, int cy, int count, COLORREF maskColor)
{
    CBitmap strip(static_cast<HBITMAP>(
        LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!strip)
        return nullptr;
    const bool masked = maskColor != CLR_NONE;
    // A strip with fewer rows than the faces (the OK strip has 23) gets the missing rows in the
    // mask colour, so they come out transparent instead of black.
    const SIZE size = BitmapSize(strip.Get());
    if (masked && size.cy < cy)
        strip.Reset(PadStrip(strip.Get(), size, cy, maskColor));
    if (!strip)
        return nullptr;
    CImageList list(ImageList_Create(cx, cy, ILC_COLOR24 | (masked ? ILC_MASK : 0), count, 0));
    if (!list)
        return nullptr;
    const int added = masked ? ImageList_AddMasked(list.Get(), strip.Get(), maskColor)
                             : ImageList_Add(list.Get(), strip.Get(), nullptr);
    if (added < 0)
        return nullptr;
    return list.Detach();
}

HIMAGELIST CSkinFrame::CreateButtonFaces(UINT bitmapId, int count)
{
    return CreateFaceList(bitmapId, CHoverButton::kFaceWidth, CHoverButton::kFaceHeight, count, kFaceMask);
}

void CSkinFrame::AttachWarningPicture(CImageStatic &picture, CImageList &list)
{
    const int width = 32;
    const int height = 28;
    list.Reset(CreateFaceList(IDB_WARNING, width, height, 1, kPictureMask));
    picture.AttachWithList(GetDlgItem(m_hWnd, IDC_PICTURE), list.Get());
}

void CSkinFrame::AttachTextLabel(CSkinLabel &label)
{
    label.SubclassWindow(GetDlgItem(m_hWnd, IDC_TEXT));
    label.SetTextColor(kTextColor);
}

SIZE CSkinFrame::MeasureOneLine(const String &text) const
{
    SIZE extent = {0, 0};
    CMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc)
        return extent;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc.Get(), font) : nullptr;
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.Length()), &extent);
    if (old)
        SelectObject(dc.Get(), old);
    return extent;
}

void CSkinFrame::SetControlLeft(HWND control, int left) const
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&rect), 2);
    SetWindowPos(control, nullptr, left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CSkinFrame::WindowWidth(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

void CSkinFrame::ResizeControl(int id, int width, int height) const
{
    SetWindowPos(GetDlgItem(m_hWnd, id), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinFrame::UseModuleBitmaps()
{
    m_captionBitmap = g_module.CaptionBitmap();
    m_bodyBitmap = g_module.BodyBitmap();
}

LRESULT CSkinFrame::HitTest(LPARAM screenPoint) const
{
    RECT window;
    GetWindowRect(m_hWnd, &window);
    // Signed: a monitor left of or above the primary one has negative coordinates.
    const POINT point = {static_cast<short>(LOWORD(screenPoint)) - window.left,
                         static_cast<short>(HIWORD(screenPoint)) - window.top};
    if (!m_captionBitmap)
        return HTCLIENT;
    if (point.y >= BitmapSize(m_captionBitmap).cy)
        return HTCLIENT;
    return PtInRect(&kEmblem, point) ? HTSYSMENU : HTCAPTION;
}

bool CSkinFrame::PaintBackground(HDC dc)
{
    if (!m_captionBitmap || !m_bodyBitmap)
        return false;
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int R = client.right;
    const int B = client.bottom;
    const SIZE caption = BitmapSize(m_captionBitmap);
    const int bw = caption.cx;
    const int bh = caption.cy;

    StretchBitmap(dc, RECT{0, bh - 1, R - 1, B}, m_bodyBitmap, nullptr);

    const RECT leftEnd = {0, 0, kTitleLeft, bh};
    const RECT rightEnd = {bw - kCaptionRightEnd, 0, bw, bh};
    const RECT middle = {kTitleLeft, 0, bw - kCaptionRightEnd, bh};
    DrawBitmapAt(dc, 0, 0, m_captionBitmap, &leftEnd);
    DrawBitmapAt(dc, R - (kCaptionRightEnd - 1), 0, m_captionBitmap, &rightEnd);
    StretchBitmap(dc, RECT{kTitleLeft - 1, 0, R - (kCaptionRightEnd - 1), bh - 1}, m_captionBitmap, &middle);

    DrawOpenFrame(dc, RECT{0, bh - 2, R - 1, B - 1}, kBorderOuter);
    DrawOpenFrame(dc, RECT{1, bh - 2, R - 2, B - 2}, kBorderMiddle);
    DrawOpenFrame(dc, RECT{2, bh - 2, R - 3, B - 3}, kBorderInner);

    const RECT panel = {4, bh - 1, R - 4, B - 4};
    SetBkColor(dc, kPanel);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &panel, nullptr, 0, nullptr);
    DrawFrameRect(dc, 3, bh - 2, R - 6, B - bh - 1, kPanelLight, kPanelLight);

    const int ellipse = 10;
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    DrawRoundFrame(dc, RECT{8, bh + 3, R - 9, B - 10}, ellipse, ellipse, kInsetLine, 1);
    DrawRoundFrame(dc, RECT{8, bh + 3, R - 8, B - 9}, ellipse, ellipse, kInsetLine, 1);
    DrawRoundFrame(dc, RECT{7, bh + 2, R - 6, B - 7}, ellipse, ellipse, kPanelLight, 2);
    CBrush white(CreateSolidBrush(kWhite));
    if (white)
        SelectObject(dc, white.Get());
    DrawRoundFrame(dc, RECT{8, bh + 3, R - 7, B - 8}, ellipse, ellipse, kInsetLine, 1);
    SelectObject(dc, oldBrush);

    CFont font(CreateFontA(13, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "tahoma"));
    HGDIOBJ oldFont = font ? SelectObject(dc, font.Get()) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    RECT titleRect = {kTitleLeft, 0, R, bh - 1};
    DrawTextA(dc, m_title.c_str(), static_cast<int>(m_title.Length()), &titleRect, DT_VCENTER | DT_SINGLELINE);
    if (oldFont)
        SelectObject(dc, oldFont);

    if (m_bExtra)
        StretchBitmap(dc, kExtraRect, m_extraBitmap, nullptr);
    return true;
}

void CSkinFrame::CenterOnOwner(HWND owner)
{
    const bool child = (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0;
    if (!child && owner && (!IsWindowVisible(owner) || IsIconic(owner)))
        owner = nullptr;

    RECT dialog;
    GetWindowRect(m_hWnd, &dialog);
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;

    RECT area;
    RECT reference;
    HWND parent = GetParent(m_hWnd);
    if (child && parent) {
        GetClientRect(parent, &area);
        reference = area;
        if (owner) {
            GetClientRect(owner, &reference);
            MapWindowPoints(owner, parent, reinterpret_cast<POINT *>(&reference), 2);
        }
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        reference = area;
        if (owner)
            GetWindowRect(owner, &reference);
    }

    int left = (reference.left + reference.right) / 2 - width / 2;
    int top = (reference.top + reference.bottom) / 2 - height / 2;
    if (left < area.left)
        left = area.left;
    else if (left + width > area.right)
        left = area.right - width;
    if (top < area.top)
        top = area.top;
    else if (top + height > area.bottom)
        top = area.bottom - height;
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CSkinFrame::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = InitSkin();
        return true;
    case WM_NCHITTEST:
        result = HitTest(lParam);
        return true;
    case WM_ERASEBKGND:
        if (!PaintBackground(reinterpret_cast<HDC>(wParam)))
            return false;
        result = 1;
        return true;
    default:
        return ReflectNotification(message, wParam, lParam, result);
    }
}

bool CSkinFrame::ReflectNotification(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    HWND control = nullptr;
    switch (message) {
    case WM_COMMAND:
        control = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        control = reinterpret_cast<const NMHDR *>(lParam)->hwndFrom;
        break;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            control = reinterpret_cast<HWND>(lParam);
            break;
        default:
            control = GetDlgItem(m_hWnd, HIWORD(wParam));
            break;
        }
        break;
    case WM_DRAWITEM:
        if (wParam)
            control = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (wParam)
            control = GetDlgItem(m_hWnd, reinterpret_cast<const MEASUREITEMSTRUCT *>(lParam)->CtlID);
        break;
    case WM_COMPAREITEM:
        if (wParam)
            control = reinterpret_cast<const COMPAREITEMSTRUCT *>(lParam)->hwndItem;
        break;
    case WM_DELETEITEM:
        if (wParam)
            control = reinterpret_cast<const DELETEITEMSTRUCT *>(lParam)->hwndItem;
        break;
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_HSCROLL: case WM_VSCROLL:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        control = reinterpret_cast<HWND>(lParam);
        break;
    default:
        return false;
    }
    if (!control || !IsWindow(control))
        return false;
    result = SendMessageA(control, OCM__BASE + message, wParam, lParam);
    return true;
}

void CSkinFrame::StretchBitmap(HDC dc, const RECT &dest, HBITMAP bitmap, const RECT *source)
{
    const SIZE size = BitmapSize(bitmap);
    if (!size.cx)
        return;
    const RECT whole = {0, 0, size.cx - 1, size.cy - 1};
    const RECT &from = source ? *source : whole;
    CMemoryDC memory(CreateCompatibleDC(dc));
    if (!memory)
        return;
    HGDIOBJ old = SelectObject(memory.Get(), bitmap);
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    if (!oldMode)
        oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, memory.Get(), from.left,
               from.top, from.right - from.left, from.bottom - from.top, SRCCOPY);
    if (oldMode)
        SetStretchBltMode(dc, oldMode);
    SelectObject(memory.Get(), old);
}

void CSkinFrame::DrawBitmapAt(HDC dc, int x, int y, HBITMAP bitmap, const RECT *source)
{
    const SIZE size = BitmapSize(bitmap);
    if (!size.cx)
        return;
    const RECT whole = {0, 0, size.cx - 1, size.cy - 1};
    const RECT &from = source ? *source : whole;
    const RECT dest = {x, y, x + (from.right - from.left) - 1, y + (from.bottom - from.top) - 1};
    StretchBitmap(dc, dest, bitmap, &from);
}

static void FillOpaque(HDC dc, int left, int top, int right, int bottom, COLORREF color)
{
    // Inclusive ranges.
    const RECT rect = {left, top, right + 1, bottom + 1};
    SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void CSkinFrame::DrawFrameRect(HDC dc, int x, int y, int width, int height, COLORREF topLeft, COLORREF bottomRight)
{
    FillOpaque(dc, x, y, x + width - 2, y, topLeft);
    FillOpaque(dc, x, y, x, y + height - 2, topLeft);
    FillOpaque(dc, x + width - 1, y, x + width - 1, y + height - 1, bottomRight);
    FillOpaque(dc, x, y + height - 1, x + width - 1, y + height - 1, bottomRight);
}

void CSkinFrame::DrawOpenFrame(HDC dc, const RECT &rect, COLORREF color)
{
    CPen pen(CreatePen(PS_SOLID, 1, color));
    if (!pen)
        return;
    HGDIOBJ old = SelectObject(dc, pen.Get());
    MoveToEx(dc, rect.left, rect.top, nullptr);
    LineTo(dc, rect.left, rect.bottom);
    LineTo(dc, rect.right, rect.bottom);
    LineTo(dc, rect.right, rect.top);
    SelectObject(dc, old);
}

void CSkinFrame::DrawRoundFrame(HDC dc, const RECT &rect, int ellipseWidth, int ellipseHeight, COLORREF color,
                                int penWidth)
{
    CPen pen(CreatePen(PS_SOLID, penWidth, color));
    if (!pen)
        return;
    HGDIOBJ old = SelectObject(dc, pen.Get());
    SetBkMode(dc, TRANSPARENT);
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
    SelectObject(dc, old);
}
