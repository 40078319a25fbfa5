// The overlay's layout on a real form: font height, the middle line, and what
// every show restores.
#include "shared/overlay_metrics.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

class OverlayTest : public MonitorTest {
 protected:
  void Show(const std::wstring& line1 = L"Device will be suspended after 10 second") {
    ShowOverlay(monitor, line1, messageTexts.cancel);
    Pump(10);
  }
  int FontPx(TControl* label) { return -GetFontHeight(GetFont(label)); }
};

TEST_F(OverlayTest, FontHeightFollowsSizeAndResolutionOrScreenWidth) {
  struct {
    bool autosize;
    uint8_t fontSize;
    int dpi;
    int px;  // autosize rows: for a screen 1024 pixels wide
  } const cases[] = {
      {false, 8, 96, 11},   // 10.67
      {false, 8, 192, 21},  // 21.33
      {false, 12, 96, 16},
      {true, 8, 96, 35},    // step 11: 35.2
      {true, 8, 128, 45},   // step 14: 44.8
      {true, 72, 192, 67},  // step 21: 67.2; the size does not count
  };
  StartMonitor();
  for (const auto& c : cases) {
    if (c.autosize && GetScreenRect().right != 1024) continue;  // rows assume the test display
    SCOPED_TRACE(testing::Message() << c.autosize << " " << int(c.fontSize) << " " << c.dpi);
    monitorSettings.font_autosize = c.autosize;
    monitorSettings.font_size = c.fontSize;
    screenDpi = c.dpi;
    Show();
    EXPECT_EQ(c.px, FontPx(monitor->Label1));
    EXPECT_EQ(c.px, FontPx(monitor->Label2));
    EXPECT_EQ(kFontBold, GetFontStyle(GetFont(monitor->Label1)) & kFontBold);
    EXPECT_EQ(0u, GetFontStyle(GetFont(monitor->Label2)) & kFontBold);
    ResetOverlay(monitor);
  }
}

TEST_F(OverlayTest, LabelsSitAroundTheMiddleLineAcrossTheFullWidth) {
  StartMonitor();
  Show();
  int width = GetClientWidth(monitor->form);
  int middle = OverlayMiddle(GetClientHeight(monitor->form));
  EXPECT_EQ(GetScreenRect().right, width);
  for (TControl* label : {monitor->Label1, monitor->Label2}) {
    EXPECT_EQ(0, GetLeft(label));
    EXPECT_EQ(width, GetWidth(label));
    EXPECT_GT(GetHeight(label), FontPx(label));  // fitted to one line of text
  }
  EXPECT_EQ(middle, GetTop(monitor->Label1) + GetHeight(monitor->Label1));
  // One empty band as high as Label2 between the two.
  EXPECT_EQ(middle + GetHeight(monitor->Label2), GetTop(monitor->Label2));
}

TEST_F(OverlayTest, ALongCountdownLineGrowsUpwardsFromTheMiddle) {
  StartMonitor();
  Show();
  int oneLine = GetHeight(monitor->Label1);
  std::wstring longLine;
  for (int i = 0; i < 40; ++i) longLine += L"Device will be suspended after 10 second ";
  ResetOverlay(monitor);
  Show(longLine);
  int middle = OverlayMiddle(GetClientHeight(monitor->form));
  EXPECT_GT(GetHeight(monitor->Label1), 2 * oneLine);
  EXPECT_EQ(middle, GetTop(monitor->Label1) + GetHeight(monitor->Label1));
}

TEST_F(OverlayTest, EveryShowRestoresFullScreenTopmostAndNoCaption) {
  StartMonitor();
  Show();
  ResetOverlay(monitor);
  SetBoundsRect(monitor->form, RECT{10, 20, 300, 200});
  SetTopmost(monitor->form, false);
  SetHasBorder(monitor->form, true);
  ASSERT_FALSE(IsTopmost(monitor->form));
  ASSERT_TRUE(HasBorder(monitor->form));

  Show();
  EXPECT_TRUE(SameRect(GetScreenRect(), GetBoundsRect(monitor->form)));
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(HasBorder(monitor->form));
  EXPECT_EQ(0, GetWindowLongW(monitor->form->handle, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(OverlayVisible());
}

TEST_F(OverlayTest, ResetHidesAndLeavesTheRecoveryTexts) {
  StartMonitor();
  Show();
  ResetOverlay(monitor);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(HasBorder(monitor->form));
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
  EXPECT_EQ(L"Please wait...", GetText(monitor->Label2));
  // The next show replaces both before the overlay becomes visible.
  Show(L"again");
  EXPECT_EQ(L"again", GetText(monitor->Label1));
  EXPECT_EQ(L"Use move on the screen to cancel...", GetText(monitor->Label2));
}
