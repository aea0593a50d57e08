#include "ui/DpiScale.h"

CDpiScale CDpiScale::OfWindow(HWND window)
{
    // Not before Windows 10 1607: older systems have one DPI for the whole screen.
    using GetDpiForWindowFn = UINT(WINAPI *)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window))
            return CDpiScale(static_cast<int>(dpi));
    }
    HDC screen = GetDC(nullptr);
    if (!screen)
        return CDpiScale();
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return CDpiScale(dpi);
}

RECT CDpiScale::operator()(const RECT &rect) const
{
    return RECT{(*this)(rect.left), (*this)(rect.top), (*this)(rect.right), (*this)(rect.bottom)};
}
