// The event log as the settings application will show it: which lines, in
// which order, only when asked for, within its bound.
#include "shared/instance.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

using Texts = std::vector<std::string>;

class EventLogTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    UseTestFolder();
  }
  void PowerLost() {
    MarkTime();
    SetAc(AC_LINE_OFFLINE);
  }
  void WaitForNotice() {
    ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('T', Line(2)) >= 0; }));
  }
  void MovePointer() {
    TMouseEventData data = {};
    OnOverlayMouseMove(monitor, monitor->Label1, data);
    ASSERT_FALSE(OverlayVisible());
  }
  bool WaitForSettingsLog(bool on) {
    return PumpUntil(3000, [on] { return monitorSettings.event_log == on; });
  }
  // A power call's line is written once the call has returned, which may be
  // after the power log has it: power back sent before then would come first.
  bool WaitForLoggedPowerCalls(size_t calls, size_t lines) {
    return WaitForPowerCalls(calls, 10000) && PumpUntil(3000, [this, lines] {
             size_t found = 0;
             for (const std::string& text : EventLogTexts())
               found += text.rfind("power call:", 0) == 0;
             return found >= lines;
           });
  }
};

const char kDefaults[] =
    "power_action=0 force_power=0 cancel_time=2 delay_time=1 critical_battery=0 "
    "warning_sound=0 event_log=1 background_color=65280 text_color=0 font_size=8 "
    "font_autosize=1 lng_file=";

// Every way a countdown ends, in the order the user saw it.
TEST_F(EventLogTest, TheLogTellsEachCountdownAndHowItEnded) {
  // Long enough for power to come back within the delay, even on a loaded
  // machine (two changes of the AC line, each waited for).
  SetTickIntervalForTesting(1000);
  SaveSettings({"delay_time=1", "cancel_time=2", "event_log=1"});
  StartMonitor();
  // Runs out.
  PowerLost();
  ASSERT_TRUE(WaitForLoggedPowerCalls(1, 1));
  SetAcAndWait(AC_LINE_ONLINE);
  // Cancelled by the pointer, then power back.
  PowerLost();
  WaitForNotice();
  MovePointer();
  SetAcAndWait(AC_LINE_ONLINE);
  // Cancelled by power back, while the notice shows and during the delay.
  PowerLost();
  WaitForNotice();
  SetAcAndWait(AC_LINE_ONLINE);
  SetAcAndWait(AC_LINE_OFFLINE);
  SetAcAndWait(AC_LINE_ONLINE);
  // Cancelled by the close.
  PowerLost();
  WaitForNotice();
  CloseMonitor();
  EXPECT_EQ((Texts{"monitor started",
                   std::string("settings read: ") + kDefaults,
                   "power lost",
                   "notice shown",
                   "power call: state=0x00200000 flags=0x00000000 result=ok",
                   "power back",
                   "power lost",
                   "notice shown",
                   "cancelled by the pointer",
                   "power back",
                   "power lost",
                   "notice shown",
                   "power back",
                   "cancelled by power back",
                   "power lost",
                   "power back",
                   "cancelled by power back",
                   "power lost",
                   "notice shown",
                   "cancelled by the close",
                   "monitor ended"}),
            EventLogTexts());
  EXPECT_EQ(1u, PowerCalls().size());
}

// Off (the default, or 0), and in a second copy beside a running one, the
// monitor writes no log at all, whatever happens.
TEST_F(EventLogTest, WithTheLogOffNothingIsWritten) {
  for (const char* setting : {"delay_time=0", "event_log=0"}) {
    SCOPED_TRACE(setting);
    SaveSettings({"delay_time=0", "cancel_time=2", setting});
    StartMonitor();
    PowerLost();
    ASSERT_TRUE(WaitForPowerCalls(1, 5000));
    SetAcAndWait(AC_LINE_ONLINE);
    PowerLost();
    WaitForNotice();
    MovePointer();
    SetAcAndWait(AC_LINE_ONLINE);
    SaveSettings({"delay_time=0", "cancel_time=3", setting});
    ASSERT_TRUE(PumpUntil(3000, [] { return monitorSettings.cancel_time == 3; }));
    CloseMonitor();
    EXPECT_FALSE(EventLogExists());
    DeleteFileW(folder.File(L"power.log").c_str());
  }
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, kMonitorInstanceName);
  SaveSettings({"event_log=1"});
  StartMonitor();
  CloseMonitor();
  CloseHandle(first);
  EXPECT_FALSE(EventLogExists());
}

// Turned on by a reload, the log starts with the settings that turned it on;
// turned off, it ends with those that turned it off.
TEST_F(EventLogTest, AReloadTurnsTheLogOnAndOff) {
  SaveSettings({"delay_time=0", "cancel_time=1"});
  StartMonitor();
  PowerLost();
  ASSERT_TRUE(WaitForPowerCalls(1, 5000));
  SetAcAndWait(AC_LINE_ONLINE);
  EXPECT_FALSE(EventLogExists());

  SaveSettings({"delay_time=0", "cancel_time=1", "event_log=1"});
  ASSERT_TRUE(WaitForSettingsLog(true));
  PowerLost();
  ASSERT_TRUE(WaitForLoggedPowerCalls(2, 1));
  SetAcAndWait(AC_LINE_ONLINE);
  SaveSettings({"delay_time=0", "cancel_time=1", "event_log=0"});
  ASSERT_TRUE(WaitForSettingsLog(false));
  PowerLost();
  ASSERT_TRUE(WaitForPowerCalls(3, 5000));
  SetAcAndWait(AC_LINE_ONLINE);
  CloseMonitor();
  const std::string common =
      "power_action=0 force_power=0 cancel_time=1 delay_time=0 critical_battery=0 "
      "warning_sound=0 event_log=";
  const std::string view =
      " background_color=65280 text_color=0 font_size=8 font_autosize=1 lng_file=";
  EXPECT_EQ((Texts{"settings reread: " + common + "1" + view, "power lost", "notice shown",
                   "power call: state=0x00200000 flags=0x00000000 result=ok", "power back",
                   "settings reread: " + common + "0" + view}),
            EventLogTexts());
}

}  // namespace
