#include "UiTestSupport.h"
#include "support/DialogAnswerer.h"

namespace uitest {

DialogDriver::DialogDriver(std::function<void(HWND)> act, DWORD timeoutMs, DWORD thread)
    : m_act(std::move(act)), m_timeout(timeoutMs), m_thread(thread), m_worker(nullptr), m_ok(false)
{
    m_worker = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

DialogDriver::~DialogDriver()
{
    Finish();
}

bool DialogDriver::Finish()
{
    if (m_worker) {
        WaitForSingleObject(m_worker, INFINITE);
        CloseHandle(m_worker);
        m_worker = nullptr;
    }
    return m_ok;
}

DWORD WINAPI DialogDriver::ThreadProc(void *self)
{
    static_cast<DialogDriver *>(self)->Run();
    return 0;
}

void DialogDriver::Run()
{
    const DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while (!dialog && GetTickCount() - start < m_timeout) {
        std::vector<HWND> dialogs = ThreadDialogs(m_thread);
        if (!dialogs.empty())
            dialog = dialogs.front();
        else
            Sleep(5);
    }
    if (!dialog)
        return;
    // Let the dialog finish its first paint before it is looked at.
    Sleep(100);
    m_act(dialog);
    while (IsWindow(dialog) && IsWindowVisible(dialog) && GetTickCount() - start < m_timeout)
        Sleep(5);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    m_ok = true;
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

void MoveMouseTo(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
}

void MouseButton(bool down)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(input));
}

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

DWORD GdiObjectCount()
{
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported)
        return reported;
    DWORD count = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)))
            ++count;
    }
    return count;
}

DWORD UserObjectCount()
{
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (reported)
        return reported;
    const DWORD process = GetCurrentProcessId();
    DWORD count = 0;
    // User handles are even values from 0x20 on.
    for (ULONG_PTR value = 0x20; value < 0xFFF0; value += 2) {
        HWND window = reinterpret_cast<HWND>(value);
        DWORD owner = 0;
        if (IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == process) {
            ++count;
            continue;
        }
        if (IsMenu(reinterpret_cast<HMENU>(value))) {
            ++count;
            continue;
        }
        ICONINFO info = {};
        if (GetIconInfo(reinterpret_cast<HICON>(value), &info)) {
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            if (info.hbmMask)
                DeleteObject(info.hbmMask);
            ++count;
        }
    }
    return count;
}

RECT ChildRect(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

} // namespace uitest
