// Pixels of windows under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The colour of a pixel in the window's client area as it is painted now.
COLORREF ClientPixel(HWND hwnd, int x, int y);

// A window's client area as it is painted now.
struct ClientImage {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;  // row by row from the top
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
ClientImage CaptureClient(HWND hwnd);
// Writes the window as shown (frame included), as a 24-bit .bmp file; false on failure.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);
