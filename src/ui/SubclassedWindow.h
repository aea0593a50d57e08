#pragma once
#include <windows.h>

// Base of the skinned controls: an object that takes over the window procedure of a control
// (a template control by subclassing, or a window it creates itself) and passes on what it
// does not handle to the window's previous procedure. The window finds its object through its
// user data (GWLP_USERDATA, which the module's controls leave to it), so no executable thunk
// is needed.
class CSubclassedWindow
{
public:
    CSubclassedWindow() = default;
    virtual ~CSubclassedWindow();
    CSubclassedWindow(const CSubclassedWindow &) = delete;
    CSubclassedWindow &operator=(const CSubclassedWindow &) = delete;

    // Handles the window's messages until WM_NCDESTROY. False when the window is already
    // attached to an object.
    bool SubclassWindow(HWND window);

    // Message map: true when handled, with the message's result in result. A derived class
    // first tries its own handlers and then calls its base class's map.
    virtual bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);

    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Window procedure of windows created by the module's own classes: attaches the object
    // that the creating thread left in the module's creation records, then behaves like the
    // subclassing procedure. The class's original procedure gets what the object leaves.
    static LRESULT CALLBACK StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

protected:
    // What a created window hands on to: the procedure of the class it was built from.
    void SetPreviousProc(WNDPROC proc) { m_prevProc = proc; }
    // A window is attached: what the object kept of an earlier window must not carry over.
    virtual void OnAttach() {}

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_prevProc = DefWindowProcA;
};
