#include "ui/SkinFrame.h"
#include "module/Module.h"
#include "resource.h"

#include <olectl.h>
#include <algorithm>
#include <utility>

namespace {

const int kCornerEllipse = 11;
const int kSquareFromRow = 30;
const int kCloseButtonRight = 8;
const int kCloseButtonSize = 16;
const int kCloseButtonTop = 6;
const int kCloseFaceBase = 3;
const int kCaptionButtonFaces = 6;
const RECT kEmblem = {5, 5, 25, 22};
const int kTitleLeft = 27;
const int kTitleHeight = 13;
const UINT kDpiChanged = 0x02E0; // WM_DPICHANGED: Windows 8.1 on, when the window meets another DPI
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

void FillOpaque(HDC dc, const RECT &rect, COLORREF color)
{
    SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// The faces of a strip (count faces of face.cx x face.cy at 96 DPI) stretched by scale; rows the
// strip lacks (the OK strip has 23) come out in the fill colour. A transparent colour must stay
// exact for the mask, so masked faces take the nearest pixel instead of a blend.
HBITMAP ScaleStrip(HBITMAP strip, SIZE size, SIZE face, int count, const CDpiScale &scale, COLORREF fill, bool masked)
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return nullptr;
    const SIZE from = {std::min(size.cx, face.cx * count), std::min(size.cy, face.cy)};
    const SIZE to = {scale(face.cx) * count, scale(face.cy)};
    CBitmap scaled(CreateCompatibleBitmap(screen, to.cx, to.cy));
    CMemoryDC source(CreateCompatibleDC(screen));
    CMemoryDC target(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    if (!scaled || !source || !target)
        return nullptr;
    HGDIOBJ oldSource = SelectObject(source.Get(), strip);
    HGDIOBJ oldTarget = SelectObject(target.Get(), scaled.Get());
    FillOpaque(target.Get(), RECT{0, 0, to.cx, to.cy}, fill);
    SetStretchBltMode(target.Get(), masked ? COLORONCOLOR : HALFTONE);
    StretchBlt(target.Get(), 0, 0, MulDiv(from.cx, to.cx, face.cx * count), MulDiv(from.cy, to.cy, face.cy),
               source.Get(), 0, 0, from.cx, from.cy, SRCCOPY);
    SelectObject(source.Get(), oldSource);
    SelectObject(target.Get(), oldTarget);
    return scaled.Detach();
}

} // namespace

BOOL CSkinFrame::InitSkin()
{
    RECT window;
    GetWindowRect(m_hWnd, &window);
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;

    // Only the two top corners are rounded: a rounded rectangle joined with a square lower part.
    const int corner = m_scale(kCornerEllipse);
    CRegion shape(CreateRoundRectRgn(0, 0, w + 1, h, corner, corner));
    CRegion square(CreateRectRgn(0, m_scale(kSquareFromRow), w, h));
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
    const int size = m_scale(kCloseButtonSize);
    const RECT closeRect = {w - size - m_scale(kCloseButtonRight), m_scale(kCloseButtonTop),
                            w - m_scale(kCloseButtonRight), m_scale(kCloseButtonTop) + size};
    if (m_close.m_hWnd) // a new DPI
        SetWindowPos(m_close.m_hWnd, nullptr, closeRect.left, closeRect.top, size, size, SWP_NOZORDER | SWP_NOACTIVATE);
    else
        m_close.Create(m_hWnd, closeRect, nullptr, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, IDCANCEL);
    return TRUE;
}

void CSkinFrame::OnAttach()
{
    m_scale = CDpiScale::OfWindow(m_hWnd);
}

void CSkinFrame::ChangeDpi(int dpi, const RECT &suggested)
{
    const int oldDpi = m_scale.Dpi();
    if (dpi <= 0 || dpi == oldDpi)
        return;
    m_scale = CDpiScale(dpi);
    const auto scale = [&](LONG length) { return MulDiv(length, dpi, oldDpi); };
    // The dialog manager owns the template's font and deletes it with the window: the frame keeps
    // its own, which the dialog answers for from now on.
    LOGFONTA font = {};
    CFont scaled;
    HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    if (current && GetObjectA(current, sizeof(font), &font)) {
        font.lfHeight = scale(font.lfHeight);
        scaled.Reset(CreateFontIndirectA(&font));
    }
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&rect), 2);
        SetWindowPos(child, nullptr, scale(rect.left), scale(rect.top), scale(rect.right) - scale(rect.left),
                     scale(rect.bottom) - scale(rect.top), SWP_NOZORDER | SWP_NOACTIVATE);
        if (scaled)
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.Get()), FALSE);
    }
    if (scaled)
        m_dpiFont = std::move(scaled); // no child holds the one before any more
    SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    OnDpiChanged();
    // A dialog that sized itself again stays centred where the system put it.
    RECT now;
    GetWindowRect(m_hWnd, &now);
    SetWindowPos(m_hWnd, nullptr, (suggested.left + suggested.right - (now.right - now.left)) / 2,
                 (suggested.top + suggested.bottom - (now.bottom - now.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InitSkin();
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CSkinFrame::OnFinalMessage()
{
    m_close.m_faces = nullptr;
    m_closeFaces.Reset();
    m_dpiFont.Reset();
    m_bigIcon.Reset();
    m_smallIcon.Reset();
}

HIMAGELIST CSkinFrame::CreateFaceList(UINT bitmapId, int cx, int cy, int count, COLORREF maskColor) const
{
    CBitmap strip(static_cast<HBITMAP>(
        LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!strip)
        return nullptr;
    const bool masked = maskColor != CLR_NONE;
    // A strip with fewer rows than the faces (the OK strip has 23) gets the missing rows in the
    // mask colour, so they come out transparent instead of black.
    const SIZE size = BitmapSize(strip.Get());
    if ((masked && size.cy < cy) || m_scale.Dpi() != CDpiScale::kDesignDpi)
        strip.Reset(ScaleStrip(strip.Get(), size, SIZE{cx, cy}, count, m_scale, maskColor, masked));
    if (!strip)
        return nullptr;
    CImageList list(
        ImageList_Create(m_scale(cx), m_scale(cy), ILC_COLOR24 | (masked ? ILC_MASK : 0), count, 0));
    if (!list)
        return nullptr;
    const int added = masked ? ImageList_AddMasked(list.Get(), strip.Get(), maskColor)
                             : ImageList_Add(list.Get(), strip.Get(), nullptr);
    if (added < 0)
        return nullptr;
    return list.Detach();
}

HIMAGELIST CSkinFrame::CreateButtonFaces(UINT bitmapId, int count) const
{
    return CreateFaceList(bitmapId, CHoverButton::kFaceWidth, CHoverButton::kFaceHeight, count, kFaceMask);
}

void CSkinFrame::AttachWarningPicture(CImageStatic &picture, CImageList &list)
{
    const int width = 32;
    const int height = 28;
    list.Reset(CreateFaceList(IDB_WARNING, width, height, 1, kPictureMask));
    // Again at a new DPI: the control is attached already, only the picture changes.
    picture.AttachWithList(GetDlgItem(m_hWnd, IDC_PICTURE), list.Get());
    InvalidateRect(picture.m_hWnd, nullptr, TRUE);
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

RECT CSkinFrame::ControlRect(HWND control) const
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

void CSkinFrame::SetControlLeft(HWND control, int left) const
{
    const RECT rect = ControlRect(control);
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
    if (point.y >= m_scale(BitmapSize(m_captionBitmap).cy))
        return HTCLIENT;
    const RECT emblem = m_scale(kEmblem);
    return PtInRect(&emblem, point) ? HTSYSMENU : HTCAPTION;
}

bool CSkinFrame::PaintBackground(HDC dc)
{
    if (!m_captionBitmap || !m_bodyBitmap)
        return false;
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int R = client.right;
    const int B = client.bottom;
    const CDpiScale &s = m_scale;
    const SIZE caption = BitmapSize(m_captionBitmap);
    const int bw = caption.cx;
    const int bh = caption.cy;

    StretchBitmap(dc, RECT{0, s(bh - 1), R - s(1), B}, m_bodyBitmap, nullptr);

    // The ends of the title bar keep their shape, the middle stretches to the window's width.
    const RECT leftEnd = {0, 0, kTitleLeft, bh};
    const RECT rightEnd = {bw - kCaptionRightEnd, 0, bw, bh};
    const RECT middle = {kTitleLeft, 0, bw - kCaptionRightEnd, bh};
    StretchBitmap(dc, RECT{0, 0, s(kTitleLeft - 1), s(bh - 1)}, m_captionBitmap, &leftEnd);
    StretchBitmap(dc, RECT{R - s(kCaptionRightEnd - 1), 0, R, s(bh - 1)}, m_captionBitmap, &rightEnd);
    StretchBitmap(dc, RECT{s(kTitleLeft - 1), 0, R - s(kCaptionRightEnd - 1), s(bh - 1)}, m_captionBitmap, &middle);

    // Three grey lines down the sides and along the bottom, a light rim and the orange panel,
    // each inside the one before.
    const COLORREF rings[] = {kBorderOuter, kBorderMiddle, kBorderInner, kPanelLight};
    for (int i = 0; i < 4; ++i)
        FillOpaque(dc, RECT{s(i), s(bh - 2), R - s(i), B - s(i)}, rings[i]);
    FillOpaque(dc, RECT{s(4), s(bh - 1), R - s(4), B - s(4)}, kPanel);

    const int ellipse = s(10);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    DrawRoundFrame(dc, RECT{s(8), s(bh + 3), R - s(9), B - s(10)}, ellipse, ellipse, kInsetLine, s(1));
    DrawRoundFrame(dc, RECT{s(8), s(bh + 3), R - s(8), B - s(9)}, ellipse, ellipse, kInsetLine, s(1));
    DrawRoundFrame(dc, RECT{s(7), s(bh + 2), R - s(6), B - s(7)}, ellipse, ellipse, kPanelLight, s(2));
    CBrush white(CreateSolidBrush(kWhite));
    if (white)
        SelectObject(dc, white.Get());
    DrawRoundFrame(dc, RECT{s(8), s(bh + 3), R - s(7), B - s(8)}, ellipse, ellipse, kInsetLine, s(1));
    SelectObject(dc, oldBrush);

    CFont font(
        CreateFontA(s(kTitleHeight), 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "tahoma"));
    HGDIOBJ oldFont = font ? SelectObject(dc, font.Get()) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    RECT titleRect = {s(kTitleLeft), 0, R, s(bh - 1)};
    DrawTextA(dc, m_title.c_str(), static_cast<int>(m_title.Length()), &titleRect, DT_VCENTER | DT_SINGLELINE);
    if (oldFont)
        SelectObject(dc, oldFont);

    if (m_bExtra)
        StretchBitmap(dc, m_extraRect, m_extraBitmap, nullptr);
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
    case kDpiChanged:
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT *>(lParam));
        result = 0;
        return true;
    case WM_GETFONT:
        if (!m_dpiFont)
            return false;
        result = reinterpret_cast<LRESULT>(m_dpiFont.Get());
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
