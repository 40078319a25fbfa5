// Start-up and close of the monitor in-process.
#include "platform/desktop/power_standin.h"
#include "shared/instance.h"
#include "tests/monitor/monitor_fixture.h"

TEST_F(MonitorTest, AfterStartUpTheOverlayIsHiddenTopmostAndReady) {
  monitorSettings.power_action = POWER_STATE_RESET;
  StartMonitor();
  ASSERT_NE(nullptr, monitor->form->handle);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(HasBorder(monitor->form));
  EXPECT_EQ(L"", GetText(monitor->form));
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
  EXPECT_EQ(L"Please wait...", GetText(monitor->Label2));
  EXPECT_EQ(0x0000FF00u, GetColor(monitor->form));
  // The action word is filled once; the seconds are filled per tick.
  EXPECT_EQ(L"Device will be restarted after %second% second", messageTexts.action);
  EXPECT_EQ(L"Battery low: device will be restarted after %second% second", messageTexts.battery);
  EXPECT_TRUE(DelayThread && CountdownThread);
  EXPECT_TRUE(Subscribed());
  EXPECT_FALSE(quitPosted);
}

TEST_F(MonitorTest, AListenerThatCannotStartQuitsWithoutShowingAnything) {
  SetEnvironmentVariableW(L"VORLIX_POWER_SOURCE", L"invalid");
  StartMonitor();
  Pump(20);
  EXPECT_TRUE(quitPosted);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_FALSE(Subscribed());
  EXPECT_FALSE(SwitchPowerListener(true));
  EXPECT_TRUE(SwitchPowerListener(false));
}

// A second start beside a running copy ends quietly: no threads, no listener
// (two would share the power queue), no window shown. Once the first copy has
// ended, a start runs again.
TEST_F(MonitorTest, ASecondCopyEndsQuietlyWhileTheFirstRuns) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"Vorlix.Monitor.Running");
  ASSERT_NE(nullptr, first);
  StartMonitor();
  Pump(20);
  EXPECT_TRUE(quitPosted);
  EXPECT_FALSE(Subscribed());
  EXPECT_TRUE(!DelayThread && !CountdownThread);
  EXPECT_FALSE(OverlayVisible());
  CloseMonitor();
  CloseHandle(first);

  quitPosted = false;
  StartMonitor();
  EXPECT_TRUE(Subscribed());
  EXPECT_FALSE(quitPosted);
  // It holds the mark while it runs, and the settings application sees it.
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, kMonitorInstanceName);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  CloseHandle(second);
  EXPECT_TRUE(MonitorIsRunning());
  CloseMonitor();
  EXPECT_FALSE(MonitorIsRunning());
}

// Closing while ticks keep rewriting the overlay: close lets the tick in
// progress finish (serving its messages), ends both workers and the listener,
// and nothing acts afterwards.
TEST_F(MonitorTest, CloseInTheMiddleOfACountdownEndsEverything) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 100;
  SetTickIntervalForTesting(3);
  StartMonitor();
  HANDLE delay = DelayThread, countdown = CountdownThread;
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('T', Line(90)) >= 0; }));
  bool allow = true;
  OnMonitorClose(monitor, monitor->form, allow);
  EXPECT_TRUE(allow);
  EXPECT_TRUE(!DelayThread && !CountdownThread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(delay, 2000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(countdown, 2000));
  EXPECT_FALSE(Subscribed());
  Pump(100);
  EXPECT_TRUE(PowerCalls().empty());
}
