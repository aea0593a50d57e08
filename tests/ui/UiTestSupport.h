#pragma once
#include <windows.h>
#include <functional>

// Driving the module's dialogs as a user would and reading back what they paint.
namespace uitest {

using Action = std::function<void(HWND)>;

// Runs show() (which shows a modal dialog on this thread) while a helper thread waits for the
// dialog, lets it paint, calls act(dialog) and waits for it to go. A dialog that does not appear
// or does not go within timeoutMs fails the test and is closed with id 2, so nothing hangs.
int Drive(const Action &act, const std::function<int()> &show, DWORD timeoutMs = 10000);

// Input as a user gives it: a key to the focused window, real mouse input through SendInput.
void PressKey(DWORD thread, WORD key);
void MoveMouseTo(POINT screen);
void MouseButton(bool down);
void ClickAt(POINT screen);
POINT CentreOf(HWND window);

// Runs the thread's message loop until done() or the timeout; returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

COLORREF PixelAt(HWND window, int x, int y);
// Size of a text in the font of a window (a dialog: WM_GETFONT).
SIZE TextExtent(HWND window, const char *text);
// Window rectangle of a control in its parent's client coordinates.
RECT ChildRect(HWND control);
inline int Width(const RECT &r) { return r.right - r.left; }
inline int Height(const RECT &r) { return r.bottom - r.top; }

// Process-wide GDI and USER object counts. Wine's GetGuiResources answers 0, so there the
// handle tables are probed instead (a 16-bit handle value matches any generation).
DWORD GdiObjectCount();
DWORD UserObjectCount();

} // namespace uitest
