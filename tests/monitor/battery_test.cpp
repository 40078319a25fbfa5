// The critical battery: the battery's own notice on battery power, what never
// brings it, and when it comes again after a cancel. The expected texts and
// orders are the rules' own, written out by hand.
#include "platform/desktop/power_standin.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

// The battery's countdown line with the default texts and the suspend action.
std::wstring BatteryLine(int seconds) {
  return L"Battery low: device will be suspended after " + std::to_wstring(seconds) + L" second";
}

}  // namespace

class BatteryTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    monitorSettings.critical_battery = 10;
    monitorSettings.delay_time = 2;  // the power loss's; the battery's notice has none
    monitorSettings.cancel_time = 50;
  }
  // Started on battery: no power-loss countdown, as the listener only counts
  // down for a loss it sees.
  void StartOnBattery(BYTE percent) {
    SetAc(AC_LINE_OFFLINE);
    SetBattery(percent);
    StartMonitor();
  }
  bool Shows() {
    return PumpUntil(2000, [&] { return OverlayVisible(); });
  }
  // Sets the level and checks that no notice comes for a few ticks.
  void ExpectNoNoticeAt(BYTE percent) {
    SCOPED_TRACE(testing::Message() << "level " << int(percent));
    MarkTime();
    SetBatteryAndWait(percent);
    Pump(4 * kTestTick);
    EXPECT_LT(FirstEvent('S'), 0) << "a notice came";
  }
  void Cancel() {
    TMouseEventData data = {};
    OnOverlayMouseMove(monitor, monitor->Label1, data);
    EXPECT_FALSE(OverlayVisible());
  }
};

TEST(BatteryLevel, OnlyAPercentWithAFlagThatKnowsItCounts) {
  const struct {
    BYTE flag, percent, level;
  } cases[] = {
      {BATTERY_FLAG_HIGH, 100, 100},
      {BATTERY_FLAG_LOW, 10, 10},
      {BATTERY_FLAG_CRITICAL, 0, 0},
      {BATTERY_FLAG_LOW | BATTERY_FLAG_CHARGING, 20, 20},
      {0, 50, 50},                         // between low and high: no bit
      {BATTERY_FLAG_UNKNOWN, 10, 255},     // a percent the flag disowns
      {BATTERY_FLAG_NO_BATTERY, 10, 255},  // no battery at all
      {BATTERY_FLAG_CRITICAL, 255, 255},   // the unknown percent
      {BATTERY_FLAG_LOW, 101, 255},        // no percent at all
  };
  for (const auto& c : cases) {
    TPowerReading reading = {AC_LINE_OFFLINE, c.flag, c.percent};
    EXPECT_EQ(c.level, KnownBatteryLevel(reading))
        << "flag " << int(c.flag) << " percent " << int(c.percent);
  }
}

// critical_battery 10, cancel_time 3: the battery's notice comes at 10 on the
// notification itself, not after the power loss's delay of 2, with the battery
// text, counts down 3, 2, 1 and makes the configured power call.
TEST_F(BatteryTest, AtTheCriticalLevelTheBatteryNoticeComesAtOnceAndActs) {
  monitorSettings.cancel_time = 3;
  monitorSettings.power_action = POWER_STATE_OFF;
  monitorSettings.force_power = true;
  SetTickIntervalForTesting(kTimedTick);
  StartOnBattery(50);
  ExpectNoNoticeAt(11);
  MarkTime();
  SetBattery(10);
  ASSERT_TRUE(Shows());
  EXPECT_EQ(L"Use move on the screen to cancel...", GetText(monitor->Label2));
  ASSERT_TRUE(WaitForPowerCalls(1, 4 * kTimedTick + 3000));
  Pump(kTestTick);
  const std::wstring off = L"Battery low: device will be turned off after ";
  std::vector<std::wstring> expected = {off + L"3 second", off + L"2 second", off + L"1 second",
                                        L"hidden", L"power call"};
  EXPECT_EQ(expected, Timeline());
  EXPECT_TRUE(OnSchedule(0, FirstEvent('S')));
  EXPECT_TRUE(OnSchedule(3 * kTimedTick, FirstEvent('H')));
  ASSERT_EQ(1u, PowerCalls().size());
  EXPECT_NE(std::string::npos, PowerCalls()[0].find("state=0x00020000 flags=0x00001000"));
}

// No notice for: a low reading with external power there (or perhaps there),
// a level not known, a level above critical_battery, or critical_battery 0 (a
// settings file from before the setting, or the setting off).
TEST_F(BatteryTest, NoNoticeOnMainsForAnUnknownLevelAboveTheLevelOrWhenOff) {
  StartMonitor();
  ExpectNoNoticeAt(3);  // on mains
  SetAcAndWait(AC_LINE_UNKNOWN);
  ExpectNoNoticeAt(2);
  SetAcAndWait(AC_LINE_ONLINE);
  CloseMonitor();

  StartOnBattery(50);
  ExpectNoNoticeAt(BATTERY_PERCENTAGE_UNKNOWN);
  ExpectNoNoticeAt(11);
  CloseMonitor();

  monitorSettings.critical_battery = 0;
  StartOnBattery(50);
  ExpectNoNoticeAt(1);
  ExpectNoNoticeAt(0);
  EXPECT_TRUE(PowerCalls().empty());
}

// Power lost with the level already low: the power loss's own notice after its
// delay, with its own text, and no battery notice over or after it.
TEST_F(BatteryTest, APowerLossAtALowLevelShowsOnlyThePowerLossNotice) {
  monitorSettings.cancel_time = 3;
  StartMonitor();
  SetBatteryAndWait(5);  // on mains: nothing
  MarkTime();
  SetAc(AC_LINE_OFFLINE);
  Pump(kTestTick);
  SetBattery(4);  // during the delay
  ASSERT_TRUE(WaitForPowerCalls(1, 3000 + 6 * kTestTick));
  Pump(kTestTick);
  std::vector<std::wstring> expected = {Line(3), Line(2), Line(1), L"hidden", L"power call"};
  EXPECT_EQ(expected, Timeline());
  EXPECT_EQ(1u, PowerCalls().size());
}

// After a cancel at level L the battery's notice comes again only at L - 5 or
// below, whatever the notifications in between; the same holds after a cancel
// of the power loss's notice.
TEST_F(BatteryTest, AfterACancelTheNoticeComesAgainFivePointsLower) {
  StartOnBattery(50);
  SetBattery(10);
  ASSERT_TRUE(Shows());
  EXPECT_EQ(BatteryLine(50), TextsWhileShown().at(0));
  Cancel();
  for (BYTE level : {10, 9, 8, 7, 6}) ExpectNoNoticeAt(level);
  BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);  // a notification at 6
  Pump(4 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  SetBattery(5);
  ASSERT_TRUE(Shows());
  Cancel();
  ExpectNoNoticeAt(1);
  SetBattery(0);
  ASSERT_TRUE(Shows());
  Cancel();

  // The power loss's notice cancelled at 8 (with external power gone at 8).
  CloseMonitor();
  SetAc(AC_LINE_ONLINE);
  SetBattery(8);
  monitorSettings.delay_time = 0;
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(Shows());
  EXPECT_EQ(Line(50), TextsWhileShown().at(0));
  Cancel();
  for (BYTE level : {7, 4}) ExpectNoNoticeAt(level);
  MarkTime();
  SetBattery(3);
  ASSERT_TRUE(Shows());
  EXPECT_EQ(BatteryLine(50), TextsWhileShown().at(0));
  EXPECT_TRUE(PowerCalls().empty());
}

// External power that comes and goes again re-arms the notice: the power
// loss's countdown runs out (the power call), and the next notification on
// battery at 7, after a cancel at 8, brings the battery's notice.
TEST_F(BatteryTest, PowerThatComesAndGoesAgainReArmsTheNotice) {
  monitorSettings.delay_time = 1;
  StartOnBattery(8);
  BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(Shows());
  Cancel();
  ExpectNoNoticeAt(7);
  monitorSettings.cancel_time = 2;
  SetAcAndWait(AC_LINE_ONLINE);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(WaitForPowerCalls(1, 3000 + 4 * kTestTick));
  Pump(2 * kTestTick);  // the call returns (on a device: at resume)
  EXPECT_FALSE(OverlayVisible());
  MarkTime();
  SetBattery(6);
  ASSERT_TRUE(Shows());
  EXPECT_EQ(BatteryLine(2), TextsWhileShown().at(0));
}

// Power back cancels the battery's countdown as the power loss's; power back
// whose notification is not read yet still keeps the power call from being made.
TEST_F(BatteryTest, PowerBackCancelsTheBatteryCountdown) {
  monitorSettings.cancel_time = 3;
  StartOnBattery(50);
  SetBattery(9);
  ASSERT_TRUE(Shows());
  // The listener has the status once it starts handling it; the stop follows.
  SetAcAndWait(AC_LINE_ONLINE);
  EXPECT_TRUE(PumpUntil(2000, [&] { return !OverlayVisible(); }));
  Pump(5 * kTestTick);
  EXPECT_FALSE(OverlayVisible());

  // Gone again: the power loss's notice (after its delay) over the low level.
  MarkTime();
  SetAcAndWait(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3000, [&] { return OverlayVisible(); }));
  EXPECT_EQ(Line(3), TextsWhileShown().at(0));
  SetAcAndWait(AC_LINE_ONLINE);
  CloseMonitor();

  StartOnBattery(50);
  MarkTime();
  SetBattery(9);
  ASSERT_TRUE(Shows());
  StoreAcSilently(AC_LINE_ONLINE);
  ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('H') >= 0; }));
  Pump(4 * kTestTick);
  EXPECT_TRUE(PowerCalls().empty()) << "suspended on external power";
}
