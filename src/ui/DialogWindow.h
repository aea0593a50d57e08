#pragma once
#include <windows.h>

// Dialog plumbing: a dialog object attached to its window through the module's creation
// records, a message map (one handler per message with a handled flag) and the platform's
// rules for handing results back from a dialog procedure.
class CDialogWindow
{
public:
    CDialogWindow() = default;
    virtual ~CDialogWindow();
    CDialogWindow(const CDialogWindow &) = delete;
    CDialogWindow &operator=(const CDialogWindow &) = delete;

    // Message map: true when handled, with the result in result.
    virtual bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);

    HWND m_hWnd = nullptr; // null whenever no window is attached

protected:
    // First message of the window: m_hWnd is set.
    virtual void OnAttach() {}
    // Last message of the window: what the dialog held only for its window goes here.
    virtual void OnFinalMessage() {}

    // Runs the dialog from the module's template modally; the end code, or -1.
    INT_PTR RunModal(UINT templateId, HWND owner);
    // Creates the dialog modeless from the module's template; its window or null.
    HWND CreateModeless(UINT templateId, HWND parent);

private:
    static INT_PTR CALLBACK StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Enter();
    void LeaveIfUnattached();

    bool m_bAttached = false;
};
