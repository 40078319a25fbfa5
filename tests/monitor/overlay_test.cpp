// The overlay's layout on a real form: font height, the middle line, and what
// every show restores.
#include "tests/monitor/monitor_fixture.h"

class OverlayTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    StartMonitor();
  }
  void Show(const std::wstring& line1 = Line(10)) {
    ResetOverlay(monitor);
    ShowOverlay(monitor, line1, messageTexts.cancel);
    Pump(10);
  }
  int FontPx(TControl* label) { return -GetFontHeight(GetFont(label)); }
};

TEST_F(OverlayTest, FontHeightFollowsSizeAndResolutionOrScreenWidth) {
  struct {
    bool autosize;
    uint8_t fontSize;
    int dpi, px;  // autosize rows: for a screen 1024 pixels wide
  } const cases[] = {
      {false, 8, 96, 11},  {false, 8, 192, 21},
      {false, 12, 96, 16}, {true, 8, 96, 35},  // step 11: 35.2
      {true, 8, 128, 45},                      // step 14: 44.8
      {true, 72, 192, 67},                     // step 21: 67.2, whatever the size
  };
  for (const auto& c : cases) {
    if (c.autosize && GetScreenRect().right != 1024) continue;  // rows assume the test display
    SCOPED_TRACE(testing::Message() << c.autosize << " " << int(c.fontSize) << " " << c.dpi);
    monitorSettings.font_autosize = c.autosize;
    monitorSettings.font_size = c.fontSize;
    screenDpi = c.dpi;
    Show();
    EXPECT_EQ(c.px, FontPx(monitor->Label1));
    EXPECT_EQ(c.px, FontPx(monitor->Label2));
  }
  EXPECT_EQ(kFontBold, GetFontStyle(GetFont(monitor->Label1)) & kFontBold);
  EXPECT_EQ(0u, GetFontStyle(GetFont(monitor->Label2)) & kFontBold);
}

// Label1's bottom on the middle line, one Label2-high band, Label2 below; a
// wrapped countdown line grows upwards.
TEST_F(OverlayTest, LabelsSitAroundTheMiddleLineAcrossTheFullWidth) {
  std::wstring longLine;
  for (int i = 0; i < 40; ++i) longLine += Line(10) + L" ";
  int oneLine = 0;
  for (const std::wstring& line1 : {Line(10), longLine}) {
    Show(line1);
    int width = GetClientWidth(monitor->form);
    ASSERT_EQ(768, GetClientHeight(monitor->form)) << "the full test display";
    const int middle = 384;
    EXPECT_EQ(GetScreenRect().right, width);
    for (TControl* label : {monitor->Label1, monitor->Label2}) {
      EXPECT_EQ(0, GetLeft(label));
      EXPECT_EQ(width, GetWidth(label));
    }
    EXPECT_EQ(middle, GetTop(monitor->Label1) + GetHeight(monitor->Label1));
    EXPECT_EQ(middle + GetHeight(monitor->Label2), GetTop(monitor->Label2));
    if (!oneLine) oneLine = GetHeight(monitor->Label1);
  }
  EXPECT_GT(oneLine, FontPx(monitor->Label1));
  EXPECT_GT(GetHeight(monitor->Label1), 2 * oneLine);
}

TEST_F(OverlayTest, EveryShowRestoresFullScreenTopmostAndNoCaption) {
  Show();
  ResetOverlay(monitor);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
  EXPECT_EQ(L"Please wait...", GetText(monitor->Label2));
  SetBoundsRect(monitor->form, RECT{10, 20, 300, 200});
  SetTopmost(monitor->form, false);
  SetHasBorder(monitor->form, true);
  ASSERT_TRUE(HasBorder(monitor->form) && !IsTopmost(monitor->form));

  ShowOverlay(monitor, L"again", messageTexts.cancel);
  RECT bounds = GetBoundsRect(monitor->form), screen = GetScreenRect();
  EXPECT_TRUE(EqualRect(&bounds, &screen));
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(HasBorder(monitor->form));
  EXPECT_EQ(0, GetWindowLongW(monitor->form->handle, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(OverlayVisible());
  EXPECT_EQ(L"again", GetText(monitor->Label1));
  EXPECT_EQ(L"Use move on the screen to cancel...", GetText(monitor->Label2));
}
