#pragma once
#include <windows.h>
#include <functional>

// Driving the module's windows as a user would and reading back what they paint.
namespace uitest {

// Input as a user gives it: a key to the focused window of a thread, real mouse input.
void PressKey(DWORD thread, WORD key);
void MoveMouseTo(POINT screen);
void MouseButton(bool down);
void ClickAt(POINT screen);
POINT CentreOf(HWND window);

// Runs the thread's message loop until done() or the timeout; returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

COLORREF PixelAt(HWND window, int x, int y);
// How many pixels of a window's client area (every step-th row and column) match.
int CountPixels(HWND window, const std::function<bool(COLORREF)> &match, int step = 1);
// Window rectangle of a control in its parent's client coordinates.
RECT ChildRect(HWND control);

// Process-wide GDI and USER object counts. Wine's GetGuiResources answers 0, so there the
// handle tables are probed instead (a 16-bit handle value matches any generation).
DWORD GdiObjectCount();
DWORD UserObjectCount();

} // namespace uitest
