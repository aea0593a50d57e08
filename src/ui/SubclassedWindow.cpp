#include "ui/SubclassedWindow.h"
#include "module/Module.h"

// The object of an attached window lives in the window's user data: looked up for every
// message, it must cost no more than reading the window (a property is a trip to the server
// on some systems, Wine among them).
static CSubclassedWindow *ObjectOf(HWND window)
{
    return reinterpret_cast<CSubclassedWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

static void SetObjectOf(HWND window, CSubclassedWindow *object)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

CSubclassedWindow::~CSubclassedWindow()
{
    // An object that goes before its window must not be called again by it.
    if (m_hWnd && IsWindow(m_hWnd)) {
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == WindowProc)
            SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
        SetObjectOf(m_hWnd, nullptr);
    }
}

bool CSubclassedWindow::SubclassWindow(HWND window)
{
    if (!window || m_hWnd || ObjectOf(window))
        return false;
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (!previous)
        return false;
    m_prevProc = previous;
    Attach(window);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    return true;
}

void CSubclassedWindow::Attach(HWND window)
{
    OnAttach();
    m_hWnd = window;
    SetObjectOf(window, this);
}

bool CSubclassedWindow::ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT &)
{
    return false;
}

LRESULT CSubclassedWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(m_prevProc, m_hWnd, message, wParam, lParam);
}

LRESULT CSubclassedWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY) {
        // Let the window go: the previous procedure comes back unless someone subclassed
        // on top of us, and the object can be attached to a new window afterwards.
        HWND window = m_hWnd;
        WNDPROC previous = m_prevProc;
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == WindowProc)
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SetObjectOf(window, nullptr);
        m_hWnd = nullptr;
        return CallWindowProcA(previous, window, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        if (ProcessWindowMessage(message, wParam, lParam, result))
            return result;
    } catch (...) {
        // Nothing may unwind into the host's message loop; the control's own procedure
        // answers instead.
    }
    return DefaultProc(message, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSubclassedWindow *object = ObjectOf(window);
    if (!object)
        return DefWindowProcA(window, message, wParam, lParam);
    return object->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSubclassedWindow *object = ObjectOf(window);
    if (!object) {
        object = static_cast<CSubclassedWindow *>(g_module.TakeCreateRecord());
        if (!object)
            return DefWindowProcA(window, message, wParam, lParam);
        object->Attach(window);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    }
    return object->Dispatch(message, wParam, lParam);
}
