#include "shared/overlay_metrics.h"

#include <cmath>

int32_t RoundHalfEven(double value) {
  // Explicit, so that no floating-point rounding mode can change the result.
  double lower = std::floor(value);
  double fraction = value - lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) lower += 1.0;
  return static_cast<int32_t>(lower);
}

int32_t OverlayFontHeight(bool autosize, int32_t fontSize, int32_t dpi, int32_t width) {
  if (autosize) {
    int64_t step = RoundHalfEven(dpi * (1.0 / 9.0));
    int64_t product = static_cast<int64_t>(width) * step;
    return RoundHalfEven(static_cast<double>(product) / 320.0);
  }
  return RoundHalfEven(fontSize / 72.0 * dpi);
}

int32_t OverlayMiddle(int32_t height) { return RoundHalfEven(height / 2.0); }
