// The overlay's font height and middle line, shared by the monitor's overlay and
// the settings application's preview. Portable C++.
#pragma once

#include <cstdint>

// Rounds to the nearest integer, halves to the even neighbour.
int32_t RoundHalfEven(double value);

// The font height in pixels: with autosize, width times round(dpi / 9) / 320;
// otherwise fontSize / 72 times dpi; each rounded half to even.
int32_t OverlayFontHeight(bool autosize, int32_t fontSize, int32_t dpi, int32_t width);

// Half the height, rounded half to even.
int32_t OverlayMiddle(int32_t height);
