#include "ui/DialogWindow.h"
#include "module/Module.h"

// The dialog's own slot for its owner's data: read for every message, it costs no more than
// reading the window (a property is a trip to the server on some systems, Wine among them).
static CDialogWindow *ObjectOf(HWND dialog)
{
    return reinterpret_cast<CDialogWindow *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

static void SetObjectOf(HWND dialog, CDialogWindow *object)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
}

CDialogWindow::~CDialogWindow()
{
    // The window must not call an object that is gone.
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetObjectOf(m_hWnd, nullptr);
        DestroyWindow(m_hWnd);
    }
}

bool CDialogWindow::ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT &)
{
    return false;
}

void CDialogWindow::Enter()
{
    m_bAttached = false;
    g_module.AddCreateRecord(this);
}

void CDialogWindow::LeaveIfUnattached()
{
    // A dialog that failed before its first message leaves its record behind.
    if (!m_bAttached)
        g_module.TakeCreateRecord();
}

INT_PTR CDialogWindow::RunModal(UINT templateId, HWND owner)
{
    if (m_hWnd)
        return -1;
    Enter();
    const INT_PTR code = DialogBoxParamA(g_module.Instance(), MAKEINTRESOURCEA(templateId), owner, StartDialogProc, 0);
    LeaveIfUnattached();
    return code;
}

HWND CDialogWindow::CreateModeless(UINT templateId, HWND parent)
{
    if (m_hWnd)
        return nullptr;
    Enter();
    HWND dialog = CreateDialogParamA(g_module.Instance(), MAKEINTRESOURCEA(templateId), parent, StartDialogProc, 0);
    LeaveIfUnattached();
    return dialog;
}

INT_PTR CALLBACK CDialogWindow::StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogWindow *object = ObjectOf(dialog);
    if (!object) {
        object = static_cast<CDialogWindow *>(g_module.TakeCreateRecord());
        if (!object)
            return FALSE;
        object->m_hWnd = dialog;
        object->m_bAttached = true;
        SetObjectOf(dialog, object);
        SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(DialogProc));
        object->OnAttach();
    }
    return object->Dispatch(message, wParam, lParam);
}

INT_PTR CALLBACK CDialogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogWindow *object = ObjectOf(dialog);
    return object ? object->Dispatch(message, wParam, lParam) : FALSE;
}

// Messages whose dialog-procedure result is the answer itself rather than a handled flag.
static bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG: case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

INT_PTR CDialogWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND dialog = m_hWnd;
    if (message == WM_NCDESTROY) {
        SetObjectOf(dialog, nullptr);
        OnFinalMessage();
        m_hWnd = nullptr;
        return FALSE;
    }
    LRESULT result = 0;
    try {
        if (!ProcessWindowMessage(message, wParam, lParam, result))
            return FALSE;
    } catch (...) {
        return FALSE; // nothing may unwind into the host's message loop
    }
    if (ReturnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}
