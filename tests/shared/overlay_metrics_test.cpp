#include "shared/overlay_metrics.h"

#include <gtest/gtest.h>

TEST(OverlayMetrics, FontHeightTable) {
  struct {
    bool autosize;
    int fontSize, dpi, width, px;
  } const cases[] = {
      {true, 8, 96, 240, 8},     // step 11, 8.25
      {true, 8, 96, 320, 11},    // step 11, 11.0
      {true, 8, 128, 240, 10},   // step 14, 10.5 -> even
      {true, 8, 192, 480, 32},   // step 21, 31.5 -> even
      {false, 8, 96, 240, 11},   // 10.67
      {false, 8, 192, 240, 21},  // 21.33
      {false, 12, 96, 999, 16}, {false, 6, 96, 0, 8},
      {false, 72, 96, 0, 96},   {true, 8, 1, 320, 0},  // step round(0.111) = 0
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.px, OverlayFontHeight(c.autosize, c.fontSize, c.dpi, c.width))
        << c.autosize << " " << c.fontSize << " " << c.dpi << " " << c.width;
  }
}

TEST(OverlayMetrics, LargeWidthsUseA64BitProduct) {
  // 300000000 x 21 overflows 32 bits.
  EXPECT_EQ(19687500, OverlayFontHeight(true, 8, 192, 300000000));
}

TEST(OverlayMetrics, MiddleRoundsHalfToEven) {
  EXPECT_EQ(146, OverlayMiddle(293));
  EXPECT_EQ(147, OverlayMiddle(294));
  EXPECT_EQ(148, OverlayMiddle(295));
  EXPECT_EQ(0, OverlayMiddle(1));
  EXPECT_EQ(2, OverlayMiddle(3));
  EXPECT_EQ(-2, RoundHalfEven(-2.5));
  EXPECT_EQ(-3, RoundHalfEven(-2.6));
}
