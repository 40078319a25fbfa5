// Start-up and close of the monitor in-process.
#include "platform/power_standin.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

bool Subscribed() {
  for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) {
    if (s.processId == GetCurrentProcessId()) return true;
  }
  return false;
}

}  // namespace

TEST_F(MonitorTest, AfterStartUpTheOverlayIsHiddenTopmostAndReady) {
  StartMonitor();
  ASSERT_NE(nullptr, monitor->form->handle);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(HasBorder(monitor->form));
  EXPECT_EQ(L"", GetText(monitor->form));
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
  EXPECT_EQ(L"Please wait...", GetText(monitor->Label2));
  EXPECT_EQ(L"Device will be suspended after %second% second", messageTexts.action);
  EXPECT_EQ(0x0000FF00u, GetColor(monitor->form));
  EXPECT_EQ(0u, GetFontColor(GetFont(monitor->Label1)));
  EXPECT_NE(nullptr, DelayThread.load());
  EXPECT_NE(nullptr, CountdownThread.load());
  EXPECT_TRUE(Subscribed());
  EXPECT_FALSE(quitPosted);
}

TEST_F(MonitorTest, TheActionWordIsFilledOnceFromThePowerState) {
  monitorSettings.power_action = POWER_STATE_RESET;
  StartMonitor();
  EXPECT_EQ(L"Device will be restarted after %second% second", messageTexts.action);
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 7;
  RunOnListener([] { StartSequence(theMonitor); });
  EXPECT_EQ(L"Device will be restarted after 7 second", GetText(monitor->Label1));
}

TEST_F(MonitorTest, AListenerThatCannotStartQuitsWithoutShowingAnything) {
  SetEnvironmentVariableW(L"VORLIX_POWER_SOURCE", L"invalid");
  StartMonitor();
  Pump(20);
  EXPECT_TRUE(quitPosted);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_FALSE(Subscribed());
}

TEST_F(MonitorTest, CloseEndsBothWorkersAndTheListener) {
  StartMonitor();
  HANDLE delay = DelayThread, countdown = CountdownThread;
  bool allow = true;
  OnMonitorClose(monitor, monitor->form, allow);
  EXPECT_TRUE(allow);
  EXPECT_EQ(nullptr, DelayThread.load());
  EXPECT_EQ(nullptr, CountdownThread.load());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(delay, 2000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(countdown, 2000));
  EXPECT_FALSE(Subscribed());
}

// Closing while ticks keep rewriting the overlay: close waits for the tick in
// progress (serving its messages) and nothing acts afterwards.
TEST_F(MonitorTest, CloseInTheMiddleOfACountdownEndsCleanly) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 100;
  SetTickIntervalForTesting(3);
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('T', Line(90)) >= 0; }));
  CloseMonitor();
  Sleep(100);
  EXPECT_TRUE(PowerCalls().empty());
  EXPECT_FALSE(Subscribed());
}
