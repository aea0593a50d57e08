#include "UiTestSupport.h"
#include "common/Scoped.h"
#include "support/DialogAnswerer.h"

#include <gtest/gtest.h>

namespace uitest {

namespace {

struct Driver
{
    const Action &act;
    DWORD thread;
    DWORD timeout;
    bool ok;
};

DWORD WINAPI DriverThread(void *param)
{
    Driver &driver = *static_cast<Driver *>(param);
    const DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while (!dialog && GetTickCount() - start < driver.timeout) {
        const std::vector<HWND> dialogs = ThreadDialogs(driver.thread);
        dialog = dialogs.empty() ? nullptr : dialogs.front();
        Sleep(5);
    }
    if (!dialog)
        return 0;
    Sleep(100); // its first paint
    driver.act(dialog);
    while (IsWindow(dialog) && IsWindowVisible(dialog) && GetTickCount() - start < driver.timeout)
        Sleep(5);
    driver.ok = !IsWindow(dialog) || !IsWindowVisible(dialog);
    if (!driver.ok)
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
}

} // namespace

int Drive(const Action &act, const std::function<int()> &show, DWORD timeoutMs)
{
    Driver driver{act, GetCurrentThreadId(), timeoutMs, false};
    CKernelHandle worker(CreateThread(nullptr, 0, DriverThread, &driver, 0, nullptr));
    const int code = show();
    WaitForSingleObject(worker.Get(), INFINITE);
    EXPECT_TRUE(driver.ok) << "the dialog did not appear or did not close";
    return code;
}

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

SIZE TextExtent(HWND window, const char *text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size;
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
