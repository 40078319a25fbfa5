// The delay and countdown engine on its real threads, with a short tick.
#include <random>

#include "tests/monitor/monitor_fixture.h"

TEST_F(MonitorTest, DefaultTimelineShowsAfterTheDelayAndActsAfterTheCountdown) {
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();  // delay_time 2, cancel_time 10
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(WaitForPowerCalls(1, 12 * kTimedTick + 3000));
  Pump(kTestTick);
  std::vector<std::wstring> countdown;
  for (int n = 10; n >= 1; --n) countdown.push_back(Line(n));
  EXPECT_EQ(countdown, TextsWhileShown());
  // One schedule from the loss: the show two ticks after it, and the countdown
  // on from there, however long the show took.
  EXPECT_TRUE(OnSchedule(2 * kTimedTick, FirstEvent('S')));
  EXPECT_TRUE(OnSchedule(3 * kTimedTick, FirstEvent('T', Line(9))));
  EXPECT_TRUE(OnSchedule(11 * kTimedTick, FirstEvent('T', Line(1))));
  EXPECT_TRUE(OnSchedule(12 * kTimedTick, FirstEvent('H')));
  ASSERT_EQ(1u, PowerCalls().size());
  EXPECT_NE(std::string::npos, PowerCalls()[0].find("state=0x00200000 flags=0x00000000"));
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
  EXPECT_EQ(L"Please wait...", GetText(monitor->Label2));
}

TEST_F(MonitorTest, WithoutDelayTheListenerShowsTheOverlayItself) {
  monitorSettings.delay_time = 0;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  MarkTime();
  RunOnListener([] { StartSequence(theMonitor); });
  EXPECT_TRUE(OverlayVisible());  // before StartSequence returned
  EXPECT_EQ(Line(10), GetText(monitor->Label1));
  EXPECT_EQ(L"Use move on the screen to cancel...", GetText(monitor->Label2));
  ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('T', Line(9)) >= 0; }));
  EXPECT_TRUE(OnSchedule(kTimedTick, FirstEvent('T', Line(9))));
}

TEST_F(MonitorTest, CancelTimeOneShowsOneThenActs) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 1;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(WaitForPowerCalls(1, 3000));
  Pump(kTestTick);
  EXPECT_EQ(std::vector<std::wstring>{Line(1)}, TextsWhileShown());
  EXPECT_TRUE(OnSchedule(kTimedTick, FirstEvent('H')));
}

// The power call follows the show at once, also inside the delay thread's own
// tick, and the delay thread parks and serves the next power loss again.
TEST_F(MonitorTest, CancelTimeZeroActsAtOnceAndNothingHangs) {
  for (uint8_t delay : {0, 2}) {
    SCOPED_TRACE(delay);
    monitorSettings.delay_time = delay;
    monitorSettings.cancel_time = 0;
    StartMonitor();
    for (size_t run = 1; run <= 2; ++run) {
      SetAc(AC_LINE_OFFLINE);
      ASSERT_TRUE(WaitForPowerCalls(run, 3000 + 4 * kTestTick));
      SetAcAndWait(AC_LINE_ONLINE);
    }
    EXPECT_EQ(Line(0), TextsWhileShown().at(0));
    EXPECT_FALSE(OverlayVisible());
    EXPECT_FALSE(delayRunning || countdownRunning);
    EXPECT_EQ(1u, SuspendCount(DelayThread));
    MarkTime();
    Pump(4 * kTestTick);
    EXPECT_LT(FirstEvent('S'), 0) << "a tick came back on its own";
    CloseMonitor();
    DeleteFileW(folder.File(L"power.log").c_str());
  }
}

// Power back in the middle of the delay parks the delay thread inside its
// pause: the overlay never shows, and the next loss still waits the full delay.
TEST_F(MonitorTest, PowerBackDuringTheDelayCancelsItWithoutShortening) {
  monitorSettings.delay_time = 2;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  Pump(static_cast<int>(1.5 * kTimedTick));
  SetAcAndWait(AC_LINE_ONLINE);
  Pump(2 * kTimedTick);
  EXPECT_LT(FirstEvent('S'), 0);
  EXPECT_TRUE(skipNextDelayTick);
  MarkTime();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3 * kTimedTick + 2000, [&] { return OverlayVisible(); }));
  EXPECT_TRUE(OnSchedule(2 * kTimedTick, FirstEvent('S')));
  EXPECT_TRUE(PowerCalls().empty());
}

TEST_F(MonitorTest, PointerMovementCancelsAndTheNextCountdownSkipsOneTick) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 5;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(kTimedTick + 3000, [&] { return FirstEvent('T', Line(4)) >= 0; }));
  TMouseEventData data = {};
  OnOverlayMouseMove(monitor, monitor->Label1, data);  // on the user-interface thread
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(skipNextTick);
  Pump(2 * kTimedTick);
  EXPECT_FALSE(OverlayVisible()) << "the countdown came back while on battery";

  SetAcAndWait(AC_LINE_ONLINE);
  MarkTime();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(kTimedTick + 3000, [&] { return FirstEvent('T', Line(4)) >= 0; }));
  EXPECT_EQ(Line(5), TextsWhileShown().at(0));
  // The first tick after the resume only cleared the flag: 4 comes one tick
  // after the loss, not at once.
  EXPECT_TRUE(OnSchedule(kTimedTick, FirstEvent('T', Line(4))));
  EXPECT_FALSE(skipNextTick);
  EXPECT_TRUE(PowerCalls().empty());
}

// A window appearing under a resting pointer gets a mouse move at that very
// spot (Wine sends one on EnterNotify); only a real movement cancels.
TEST_F(MonitorTest, OnlyAPointerThatReallyMovesCancels) {
  monitorSettings.delay_time = 0;
  StartMonitor();
  RunOnListener([] { StartSequence(theMonitor); });
  POINT at;
  GetCursorPos(&at);
  ScreenToClient(monitor->Label2->handle, &at);
  TMouseEventData data = {};
  data.x = static_cast<int16_t>(at.x);
  data.y = static_cast<int16_t>(at.y);
  OnOverlayMouseMove(monitor, monitor->Label2, data);
  EXPECT_TRUE(OverlayVisible());
  data.x += 1;
  OnOverlayMouseMove(monitor, monitor->Label2, data);
  EXPECT_FALSE(OverlayVisible());
}

// A movement cancels the notice the user saw. One that reaches the overlay
// while no notice is up (a move queued while the last notice showed, handled
// after power came back and went again) leaves the delay to run: the notice
// still comes.
TEST_F(MonitorTest, AMovementWhileNoNoticeIsUpCancelsNothing) {
  monitorSettings.delay_time = 2;
  monitorSettings.cancel_time = 2;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  SetAcAndWait(AC_LINE_OFFLINE);
  ASSERT_FALSE(OverlayVisible());
  POINT at;
  GetCursorPos(&at);
  ScreenToClient(monitor->Label1->handle, &at);
  SendMessageW(monitor->Label1->handle, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 7, at.y + 7));
  ASSERT_TRUE(PumpUntil(3 * kTimedTick + 2000, [&] { return OverlayVisible(); }))
      << "the movement over the hidden overlay cancelled the delay";
  EXPECT_TRUE(WaitForPowerCalls(1, 3 * kTimedTick + 3000));
}

TEST_F(MonitorTest, PowerCallCarriesTheStateAndTheForceFlag) {
  struct {
    uint32_t state;
    bool force;
    const char* expected;
  } const cases[] = {
      {POWER_STATE_SUSPEND, false, "state=0x00200000 flags=0x00000000"},
      {POWER_STATE_OFF, true, "state=0x00020000 flags=0x00001000"},
      {POWER_STATE_RESET, true, "state=0x00800000 flags=0x00001000"},
  };
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 0;
  StartMonitor();
  // The sequences are started by hand; the status read before each call says
  // external power is gone.
  StoreAcSilently(AC_LINE_OFFLINE);
  for (const auto& c : cases) {
    monitorSettings.power_action = c.state;
    monitorSettings.force_power = c.force;
    RunOnListener([] { StartSequence(theMonitor); });
  }
  std::vector<std::string> calls = PowerCalls();
  ASSERT_EQ(3u, calls.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_NE(std::string::npos, calls[i].find(cases[i].expected)) << calls[i];
  }
}

// Pointer movements on the user-interface thread while ticks rewrite the overlay
// (which waits for that same thread), against power flapping at tick speed on
// the listener: nothing deadlocks, both threads end parked exactly once, and a
// clean power loss afterwards still runs to its power call.
TEST_F(MonitorTest, CancelsAndFlapsRacingWithTicksNeitherDeadlockNorOverPark) {
  monitorSettings.delay_time = 1;
  monitorSettings.cancel_time = 200;
  SetTickIntervalForTesting(2);
  StartMonitor();
  std::atomic<bool> stop{false};
  std::thread listener([&] {
    std::mt19937 random(4);
    for (int i = 0; i < 400; ++i) {
      DispatchAcLineStatus(i % 2 ? AC_LINE_ONLINE : AC_LINE_OFFLINE);
      Sleep(random() % 8);
    }
    DispatchAcLineStatus(AC_LINE_ONLINE);
    stop = true;
  });
  TMouseEventData data = {};
  std::mt19937 random(7);
  while (!stop) {
    Pump(random() % 6);
    OnOverlayMouseMove(monitor, monitor->form, data);
  }
  listener.join();
  Pump(20);
  EXPECT_FALSE(delayRunning || countdownRunning);
  EXPECT_EQ(1u, SuspendCount(DelayThread));
  EXPECT_EQ(1u, SuspendCount(CountdownThread));

  SetTickIntervalForTesting(kTestTick);
  monitorSettings.cancel_time = 1;
  SetAc(AC_LINE_OFFLINE);  // the stored status is still online
  EXPECT_TRUE(WaitForPowerCalls(1, 5000));
}
