// Pixels of windows under test.
#pragma once

#include <windows.h>

#include <string>

// The colour of a pixel in the window's client area as it is painted now.
COLORREF ClientPixel(HWND hwnd, int x, int y);
// Writes the window as shown (frame included), as a 24-bit .bmp file; false on failure.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);
