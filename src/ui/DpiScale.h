#pragma once
#include <windows.h>

// The skin is drawn for 96 dots per inch; a window on a finer screen gets every length of it
// (bitmaps, offsets, line widths) stretched by the same factor as its dialog font.
class CDpiScale
{
public:
    static const int kDesignDpi = 96;

    CDpiScale() = default;
    explicit CDpiScale(int dpi) : m_dpi(dpi > 0 ? dpi : kDesignDpi) {}
    // The window's own DPI where the system keeps one per window, else the screen's.
    static CDpiScale OfWindow(HWND window);

    int Dpi() const { return m_dpi; }
    int operator()(int length) const { return MulDiv(length, m_dpi, kDesignDpi); }
    RECT operator()(const RECT &rect) const;

private:
    int m_dpi = kDesignDpi;
};
