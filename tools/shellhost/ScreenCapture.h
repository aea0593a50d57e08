#pragma once
#include <windows.h>
#include <string>

// Saves what the screen shows of a window (its whole rectangle, frame included) as a 24-bit BMP.
bool SaveWindowImage(HWND window, const std::string &path);
