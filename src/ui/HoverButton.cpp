#include "ui/HoverButton.h"
#include "module/Module.h"

#include <olectl.h>
#include <algorithm>

static const char kClassName[] = "VSButton";
static const DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static const DWORD kHoverTime = 1;
static const LPARAM kKeyWasDown = LPARAM(1) << 30; // a key-down's previous-state bit: a repeat

// A key the dialog manager or the button itself presses a button with.
static bool IsPressingKey(WPARAM key)
{
    return key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE;
}

// The repeat of such a key: it has been held since before (the Enter that answered the dialog
// before this one, say) and is no new answer.
static bool IsHeldPress(UINT message, WPARAM key, LPARAM keyData)
{
    return message == WM_KEYDOWN && (keyData & kKeyWasDown) && IsPressingKey(key);
}

CHoverButton::CHoverButton() : m_cursor(LoadCursorA(nullptr, IDC_ARROW))
{
}

void CHoverButton::OnAttach()
{
    // An earlier window may have gone while hovered: its face would stick, and tracking armed
    // for it would never be armed again.
    m_bHover = false;
    m_bTracking = false;
    m_savedCursor = nullptr;
}

bool CHoverButton::SubclassOwnerDraw(HWND button)
{
    if (!SubclassWindow(button))
        return false;
    const LONG style = GetWindowLongA(button, GWL_STYLE);
    if ((style & BS_TYPEMASK) != BS_OWNERDRAW)
        SetWindowLongA(button, GWL_STYLE, style | BS_OWNERDRAW);
    return true;
}

ATOM CHoverButton::RegisterClassOnce(WNDPROC *buttonProc)
{
    WNDCLASSEXA button = {};
    button.cbSize = sizeof(button);
    if (!GetClassInfoExA(nullptr, "BUTTON", &button))
        return 0;
    *buttonProc = button.lpfnWndProc;

    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(g_module.Instance(), kClassName, &existing))
        return 1; // registered earlier in this module's life

    WNDCLASSEXA superclass = button;
    superclass.hInstance = g_module.Instance();
    superclass.lpszClassName = kClassName;
    superclass.lpfnWndProc = StartWindowProc;
    superclass.style &= ~CS_GLOBALCLASS;
    const ATOM atom = RegisterClassExA(&superclass);
    g_module.AddWindowClass(atom);
    return atom;
}

HWND CHoverButton::Create(HWND parent, const RECT &rect, const char *text, DWORD style, DWORD exStyle, UINT id)
{
    if (m_hWnd)
        return nullptr;
    WNDPROC buttonProc = nullptr;
    if (!RegisterClassOnce(&buttonProc))
        return nullptr;
    SetPreviousProc(buttonProc);
    g_module.AddCreateRecord(this);
    HWND window = CreateWindowExA(exStyle, kClassName, text ? text : "", style ? style : kDefaultStyle, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), g_module.Instance(), nullptr);
    if (!m_hWnd) {
        // The window never reached its start procedure: our record is still waiting.
        g_module.TakeCreateRecord();
    }
    return window;
}

void CHoverButton::SizeToFace(int shift) const
{
    RECT rect;
    int width = 0;
    int height = 0;
    if (!m_faces || !ImageList_GetIconSize(m_faces, &width, &height) || !GetWindowRect(m_hWnd, &rect))
        return;
    MapWindowPoints(nullptr, GetParent(m_hWnd), reinterpret_cast<POINT *>(&rect), 2);
    SetWindowPos(m_hWnd, nullptr, rect.left + shift, rect.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CHoverButton::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (m_savedCursor)
            SetCursor(m_cursor);
        if (!m_bTracking) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, m_hWnd, kHoverTime};
            m_bTracking = _TrackMouseEvent(&track) != FALSE;
        }
        return false;
    case WM_MOUSEHOVER:
        m_bHover = true;
        m_savedCursor = SetCursor(m_cursor);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        result = 0;
        return true;
    case WM_MOUSELEAVE:
        m_bTracking = false;
        m_bHover = false;
        if (m_savedCursor) // a leave without a hover before it has nothing to give back
            SetCursor(m_savedCursor);
        m_savedCursor = nullptr;
        InvalidateRect(m_hWnd, nullptr, FALSE);
        result = 0;
        return true;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
        if (m_savedCursor)
            SetCursor(m_cursor);
        return false;
    case WM_ERASEBKGND:
        result = 1; // the face covers the whole button
        return true;
    case WM_GETDLGCODE:
        // Held keys come to the button, which drops them, rather than to the dialog manager,
        // which would press a button with them.
        if (const MSG *key = reinterpret_cast<const MSG *>(lParam)) {
            if (IsHeldPress(key->message, key->wParam, key->lParam)) {
                result = DLGC_WANTMESSAGE;
                return true;
            }
        }
        // To the dialog manager an owner-drawn button is no push button, so Enter would give the
        // default id whatever has the focus: Enter on a focused Cancel would confirm. The focused
        // button answers as the default one, and Enter presses it.
        result = DLGC_BUTTON | (GetFocus() == m_hWnd ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        return true;
    case BM_SETSTYLE:
        // The dialog manager marks the default by switching push-button styles; ours stay owner-drawn.
        result = DefaultProc(message, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
        return true;
    case WM_KEYDOWN:
        // A user who confirmed with Enter and holds it on must not cancel the run that just started.
        if (IsHeldPress(message, wParam, lParam)) {
            result = 0;
            return true;
        }
        // Where no dialog manager takes these keys first (the progress dialog runs under the
        // deletion's own message pump), Enter presses the button as Space does and Escape cancels.
        if (wParam == VK_RETURN)
            NotifyDialog(GetDlgCtrlID(m_hWnd), m_hWnd);
        else if (wParam == VK_ESCAPE)
            NotifyDialog(IDCANCEL, GetDlgItem(GetParent(m_hWnd), IDCANCEL));
        else
            return false;
        result = 0;
        return true;
    case OCM_DRAWITEM:
        Draw(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        result = TRUE;
        return true;
    case OCM_COMMAND: case OCM_NOTIFY: case OCM_PARENTNOTIFY: case OCM_MEASUREITEM: case OCM_COMPAREITEM:
    case OCM_DELETEITEM: case OCM_VKEYTOITEM: case OCM_CHARTOITEM: case OCM_HSCROLL: case OCM_VSCROLL:
    case OCM_CTLCOLORBTN: case OCM_CTLCOLORDLG: case OCM_CTLCOLOREDIT: case OCM_CTLCOLORLISTBOX:
    case OCM_CTLCOLORMSGBOX: case OCM_CTLCOLORSCROLLBAR: case OCM_CTLCOLORSTATIC:
        // Reflected notifications mean nothing to the button.
        result = DefWindowProcA(m_hWnd, message - OCM__BASE, wParam, lParam);
        return true;
    default:
        return CSubclassedWindow::ProcessWindowMessage(message, wParam, lParam, result);
    }
}

void CHoverButton::NotifyDialog(int id, HWND control) const
{
    SendMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void CHoverButton::Draw(const DRAWITEMSTRUCT &item) const
{
    int face = m_faceBase;
    if (item.itemState & ODS_DISABLED)
        face += kDisabled;
    else if (item.itemState & ODS_SELECTED)
        face += kPressed;
    else if (m_bHover)
        face += kHovered;
    if (!m_faces || face < 0 || face >= ImageList_GetImageCount(m_faces))
        return;
    // A button larger than its face shows the face clipped, never the neighbouring faces.
    int faceWidth = 0;
    int faceHeight = 0;
    ImageList_GetIconSize(m_faces, &faceWidth, &faceHeight);
    const int width = std::min<int>(item.rcItem.right - item.rcItem.left, faceWidth);
    const int height = std::min<int>(item.rcItem.bottom - item.rcItem.top, faceHeight);
    ImageList_DrawEx(m_faces, face, item.hDC, item.rcItem.left, item.rcItem.top, width, height, CLR_NONE, CLR_NONE,
                     ILD_NORMAL);
}
