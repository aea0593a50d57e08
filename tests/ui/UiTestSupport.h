#pragma once
#include <windows.h>
#include <functional>

// Helpers for driving the module's dialogs as a user would and reading back what they paint.
namespace uitest {

// Acts on the first visible dialog of a thread from a helper thread: waits for it to appear,
// calls act(dialog), then waits for it to go. If no dialog appears, or it is still there
// after the timeout, it is recorded as timed out and the dialog is closed with id 2, so a
// test can never hang on a modal loop.
class DialogDriver
{
public:
    explicit DialogDriver(std::function<void(HWND)> act, DWORD timeoutMs = 10000, DWORD thread = GetCurrentThreadId());
    ~DialogDriver();
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    // Waits for the helper to finish; true when the dialog appeared, was acted on and went.
    bool Finish();

private:
    static DWORD WINAPI ThreadProc(void *self);
    void Run();

    std::function<void(HWND)> m_act;
    DWORD m_timeout;
    DWORD m_thread;
    HANDLE m_worker;
    bool m_ok;
};

// Keyboard: a key press delivered to the window that has the focus on the thread.
void PressKey(DWORD thread, WORD key);
// Mouse: real input through SendInput at a screen point.
void MoveMouseTo(POINT screen);
void MouseButton(bool down);
void ClickAt(POINT screen);
// Centre of a window in screen coordinates.
POINT CentreOf(HWND window);

// Runs the thread's message loop for a while, or until done() is true. Returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);

// Pixel of a window's client area as painted on screen.
COLORREF PixelAt(HWND window, int x, int y);

// Process-wide counts of GDI and USER objects. Wine's GetGuiResources answers 0, so there
// the handle tables are probed instead (a 16-bit handle value matches any generation).
DWORD GdiObjectCount();
DWORD UserObjectCount();

// Window rectangle of a control in its parent's client coordinates.
RECT ChildRect(HWND control);

} // namespace uitest
