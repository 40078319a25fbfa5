// The warning sound, as the stand-in writes it down: one sound as the notice
// appears, another at each tick that shows 3, 2 or 1, nothing otherwise.
#include "tests/monitor/monitor_fixture.h"

namespace {

const std::wstring kAppears = L"beep 0x00000030";  // MB_ICONEXCLAMATION
const std::wstring kSecond = L"beep 0x00000000";   // MB_OK

}  // namespace

class WarningSoundTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    monitorSettings.warning_sound = true;
    monitorSettings.delay_time = 0;
  }
};

// Written out from the rule for each countdown length: with fewer than three
// seconds, the ones there are; the appearance is one sound even when it shows 3.
TEST_F(WarningSoundTest, TheNoticeSoundsAsItAppearsAndInItsLastThreeSeconds) {
  const std::vector<std::wstring> end = {L"hidden", L"power call"};
  struct {
    uint8_t cancelTime;
    std::vector<std::wstring> timeline;
  } const cases[] = {
      {5, {Line(5), kAppears, Line(4), Line(3), kSecond, Line(2), kSecond, Line(1), kSecond}},
      {4, {Line(4), kAppears, Line(3), kSecond, Line(2), kSecond, Line(1), kSecond}},
      {3, {Line(3), kAppears, Line(2), kSecond, Line(1), kSecond}},
      {2, {Line(2), kAppears, Line(1), kSecond}},
      {1, {Line(1), kAppears}},
      {0, {Line(0), kAppears}},
  };
  StartMonitor();
  size_t calls = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "cancel_time " << int(c.cancelTime));
    monitorSettings.cancel_time = c.cancelTime;
    MarkTime();
    SetAc(AC_LINE_OFFLINE);
    ASSERT_TRUE(WaitForPowerCalls(++calls, 3000 + (c.cancelTime + 1) * kTestTick));
    std::vector<std::wstring> expected = c.timeline;
    expected.insert(expected.end(), end.begin(), end.end());
    EXPECT_EQ(expected, Timeline());
    SetAcAndWait(AC_LINE_ONLINE);
  }
}

// The battery's notice sounds the same; a cancel ends the sounds with the notice.
TEST_F(WarningSoundTest, TheBatteryNoticeSoundsTooAndACancelSilencesIt) {
  monitorSettings.critical_battery = 20;
  monitorSettings.cancel_time = 2;
  SetAc(AC_LINE_OFFLINE);
  StartMonitor();
  SetBattery(20);
  ASSERT_TRUE(WaitForPowerCalls(1, 3000 + 3 * kTestTick));
  auto battery = [](int seconds) {
    return L"Battery low: device will be suspended after " + std::to_wstring(seconds) + L" second";
  };
  std::vector<std::wstring> expected = {battery(2), kAppears,  battery(1),
                                        kSecond,    L"hidden", L"power call"};
  EXPECT_EQ(expected, Timeline());
  SetAcAndWait(AC_LINE_ONLINE);

  monitorSettings.cancel_time = 8;
  SetTickIntervalForTesting(kTimedTick);  // the cancel lands well inside the tick showing 6
  MarkTime();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3000 + 2 * kTimedTick, [&] { return FirstEvent('T', Line(6)) >= 0; }));
  TMouseEventData data = {};
  OnOverlayMouseMove(monitor, monitor->Label1, data);
  Pump(3 * kTimedTick);
  expected = {Line(8), kAppears, Line(7), Line(6), L"hidden"};
  EXPECT_EQ(expected, Timeline());
  EXPECT_EQ(std::vector<UINT>({kNoticeBeep, kLastSecondsBeep, kNoticeBeep}), Beeps());
}

// Off (the default, and what a settings file without the key gives): silent.
TEST_F(MonitorTest, WithoutTheWarningSoundNothingSounds) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 4;
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(WaitForPowerCalls(1, 3000 + 5 * kTestTick));
  EXPECT_TRUE(Beeps().empty());
  std::vector<std::wstring> expected = {Line(4), Line(3),   Line(2),
                                        Line(1), L"hidden", L"power call"};
  EXPECT_EQ(expected, Timeline());
}
