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
};

const char kDefaults[] =
    "power_action=0 force_power=0 cancel_time=2 delay_time=1 critical_battery=0 "
    "warning_sound=0 event_log=1 background_color=65280 text_color=0 font_size=8 "
    "font_autosize=1 lng_file=";

// Every way a countdown ends, in the order the user saw it.
TEST_F(EventLogTest, TheLogTellsEachCountdownAndHowItEnded) {
  // Long enough for power to come back within the delay.
  SetTickIntervalForTesting(300);
  SaveSettings({"delay_time=1", "cancel_time=2", "event_log=1"});
  StartMonitor();
  // Runs out.
  PowerLost();
  ASSERT_TRUE(WaitForPowerCalls(1, 5000));
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

// Each power call with its state, its flags and what it returned: a call the
// stand-in refuses (a configuration it does not know) returns its error.
TEST_F(EventLogTest, PowerCallsAreLoggedWithTheirResult) {
  SaveSettings({"delay_time=0", "cancel_time=0", "event_log=1"});
  StartMonitor();
  StoreAcSilently(AC_LINE_OFFLINE);
  const uint32_t states[] = {POWER_STATE_SUSPEND, POWER_STATE_OFF, POWER_STATE_RESET};
  for (uint32_t state : states) {
    monitorSettings.power_action = state;
    monitorSettings.force_power = state != POWER_STATE_SUSPEND;
    RunOnListener([] { StartSequence(theMonitor); });
  }
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"unknown");
  RunOnListener([] { StartSequence(theMonitor); });
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  Pump(20);
  Texts log = EventLogTexts();
  ASSERT_EQ(10u, log.size());
  EXPECT_EQ("power call: state=0x00200000 flags=0x00000000 result=ok", log[3]);
  EXPECT_EQ("power call: state=0x00020000 flags=0x00001000 result=ok", log[5]);
  EXPECT_EQ("power call: state=0x00800000 flags=0x00001000 result=ok", log[7]);
  // ERROR_BAD_CONFIGURATION
  EXPECT_EQ("power call: state=0x00800000 flags=0x00001000 result=error 1610", log[9]);
  EXPECT_EQ(3u, PowerCalls().size());
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
  HANDLE first = CreateMutexW(nullptr, FALSE, kMonitorInstanceName);
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
  ASSERT_TRUE(WaitForPowerCalls(2, 5000));
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

// A full log (1024 lines of 64 bytes, 64 KiB) loses its older half when the
// monitor adds to it: lines 513 to 1024 stay, the monitor's follow.
TEST_F(EventLogTest, AFullLogLosesItsOlderHalf) {
  std::string old;
  for (int n = 1; n <= 1024; ++n) {
    std::string line = "2000-01-01 00:00:00 old " + std::to_string(10000 + n);
    line.resize(62, '.');
    old += line + "\r\n";
  }
  ASSERT_EQ(65536u, old.size());
  folder.Write(L"vorlix.log", old);
  SaveSettings({"event_log=1"});
  StartMonitor();
  CloseMonitor();
  std::string log = folder.Read(L"vorlix.log");
  EXPECT_LE(log.size(), 65536u);
  ASSERT_GT(log.size(), 32768u);
  EXPECT_EQ(old.substr(32768), log.substr(0, 32768));
  std::string added = log.substr(32768);
  EXPECT_NE(std::string::npos, added.find(" monitor started\r\n"));
  EXPECT_NE(std::string::npos, added.find(" settings read: "));
  EXPECT_EQ(" monitor ended\r\n", added.substr(added.size() - 16));
}

}  // namespace
