#include "ScreenCapture.h"

#include <vector>

namespace {

// Closes what the capture opened, whichever way it ends.
struct CaptureDCs
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = nullptr;
    ~CaptureDCs()
    {
        if (bitmap)
            DeleteObject(bitmap);
        if (memory)
            DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
};

bool WriteBitmapFile(const std::string &path, const BITMAPINFOHEADER &info, const std::vector<BYTE> &pixels)
{
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof(header), &written, nullptr) && written == sizeof(header);
    ok = ok && WriteFile(file, &info, sizeof(info), &written, nullptr) && written == sizeof(info);
    ok = ok && WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr) &&
         written == pixels.size();
    CloseHandle(file);
    return ok;
}

} // namespace

bool SaveWindowImage(HWND window, const std::string &path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    CaptureDCs dcs;
    dcs.bitmap = CreateCompatibleBitmap(dcs.screen, width, height);
    if (!dcs.memory || !dcs.bitmap)
        return false;
    HGDIOBJ previous = SelectObject(dcs.memory, dcs.bitmap);
    const BOOL copied = BitBlt(dcs.memory, 0, 0, width, height, dcs.screen, rect.left, rect.top, SRCCOPY);
    SelectObject(dcs.memory, previous);
    if (!copied)
        return false;

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = ((width * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
    if (!GetDIBits(dcs.memory, dcs.bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
                   DIB_RGB_COLORS))
        return false;
    return WriteBitmapFile(path, info, pixels);
}
