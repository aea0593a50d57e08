#include "UiTestSupport.h"
#include "common/Scoped.h"

#include <gtest/gtest.h>

namespace uitest {

void PressKey(DWORD thread, WORD key)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(thread, &info) || !info.hwndFocus)
        return;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16;
    PostMessageA(info.hwndFocus, WM_KEYDOWN, key, 1 | scan);
    PostMessageA(info.hwndFocus, WM_KEYUP, key, 1 | scan | 0xC0000000);
}

namespace {

void SendMouse(DWORD flags, POINT screen = POINT{0, 0})
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

} // namespace

void MoveMouseTo(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen);
}

void MouseButton(bool down) { SendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); }

void ClickAt(POINT screen)
{
    MoveMouseTo(screen);
    Sleep(30);
    MouseButton(true);
    Sleep(30);
    MouseButton(false);
}

POINT CentreOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

COLORREF PixelAt(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    const COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return color;
}

int CountPixels(HWND window, const std::function<bool(COLORREF)> &match, int step)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = 0; y < client.bottom; y += step)
        for (int x = 0; x < client.right; x += step)
            count += match(GetPixel(dc, x, y)) ? 1 : 0;
    ReleaseDC(window, dc);
    return count;
}

RECT ChildRect(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

DWORD GdiObjectCount()
{
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return reported;
    DWORD count = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) ? 1 : 0;
    return count;
}

DWORD UserObjectCount()
{
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS))
        return reported;
    const DWORD process = GetCurrentProcessId();
    DWORD count = 0;
    // User handles are even values from 0x20 on: windows of this process, menus, icons/cursors.
    for (ULONG_PTR value = 0x20; value < 0xFFF0; value += 2) {
        HWND window = reinterpret_cast<HWND>(value);
        DWORD owner = 0;
        ICONINFO icon = {};
        if ((IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == process) ||
            IsMenu(reinterpret_cast<HMENU>(value))) {
            ++count;
        } else if (GetIconInfo(reinterpret_cast<HICON>(value), &icon)) {
            DeleteObject(icon.hbmColor);
            DeleteObject(icon.hbmMask);
            ++count;
        }
    }
    return count;
}

} // namespace uitest
