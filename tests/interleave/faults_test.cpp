// Interleavings too narrow for a timed test, each made to happen step by step:
// gates hold one thread at a schedule point while the test moves another.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <thread>

#include "platform/ce/ce_shell.h"
#include "platform/desktop/power_standin.h"
#include "tests/interleave/schedule_control.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

// Runs a call on a thread of its own, as the listener would. Its end lets every
// gate go and waits for the call, serving the messages meanwhile, so that a
// test that stops early leaves no thread held.
class ListenerCall {
 public:
  explicit ListenerCall(std::function<void()> call)
      : thread_([this, call] {
          call();
          done_ = true;
        }) {}
  ~ListenerCall() {
    DisarmGates();
    while (!done_) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(1);
    }
    thread_.join();
  }
  bool Done() const { return done_; }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

class InterleavingTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    lastHandledAcLineStatus = AC_LINE_ONLINE;
  }
  void TearDown() override {
    DisarmGates();
    MonitorTest::TearDown();
  }

  // Sets the status and waits until the listener has finished handling it.
  void SetAcAndWaitHandled(BYTE status) {
    SetAc(status);
    EXPECT_TRUE(PumpUntil(2000, [status] { return lastHandledAcLineStatus == status; }));
  }

  // A movement over the overlay, away from where the pointer rested.
  void MovePointerOver(TControl* control) {
    POINT at;
    GetCursorPos(&at);
    ScreenToClient(control->handle, &at);
    TMouseEventData data = {};
    data.x = static_cast<int16_t>(at.x + 5);
    data.y = static_cast<int16_t>(at.y + 5);
    OnOverlayMouseMove(monitor, control, data);
  }

  // OnMonitorClose as WM_CLOSE runs it, and how long it took (ms). A close
  // that hangs ends the test program with a message after three seconds.
  double TimedClose() {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 300 && !done; ++i) Sleep(10);
      if (done) return;
      std::fprintf(stderr, "\nthe close hangs\n");
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    });
    ULONGLONG start = GetTickCount64();
    bool allow = true;
    OnMonitorClose(monitor, monitor->form, allow);
    double elapsed = static_cast<double>(GetTickCount64() - start);
    done = true;
    watchdog.join();
    return elapsed;
  }
};

// With no delay the listener shows the overlay itself and then wakes the
// countdown. A pointer move handled in between cancels for good: the countdown
// must not go on behind the hidden overlay and make the power call.
TEST_F(InterleavingTest, APointerCancelRightAfterTheListenersShowHolds) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 2;
  StartMonitor();
  PointGate& shown = ArmGate("delay tick: shown");
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(shown.WaitHeld(2000));
  ASSERT_TRUE(OverlayVisible());
  // The listener goes on once the cancel has started on this thread.
  PointGate& cancelling = ArmWatch("claim: wanted", GetCurrentThreadId());
  {
    ListenerCall release([&] {
      cancelling.WaitHeld(2000);
      shown.Release();
    });
    MovePointerOver(monitor->Label1);
  }
  Pump(4 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(PowerCalls().empty()) << "the countdown went on after the cancel";
  EXPECT_FALSE(countdownRunning);
}

// A park from outside that lands while the thread is starting a tick: the close
// still ends everything within one second.
TEST_F(InterleavingTest, ACloseAfterAParkAtTheStartOfATickEndsWithinASecond) {
  monitorSettings.delay_time = 3;
  StartMonitor();
  // The delay thread takes up its schedule when it first runs, then pauses.
  PointGate& pausing = ArmWatch("ticks: pause", GetThreadId(DelayThread), 1);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(pausing.WaitHeld(2000));
  // The listener's stop, held just before it suspends the delay thread ...
  PointGate& parking = ArmGate("park: running cleared");
  ListenerCall listener([] { StopSequence(theMonitor, false); });
  ASSERT_TRUE(parking.WaitHeld(2000));
  // ... while the delay thread comes out of its pause into a tick.
  PointGate& ticking = ArmGate("claim: wanted", GetThreadId(DelayThread));
  ASSERT_TRUE(ticking.WaitHeld(kTestTick + 2000));
  parking.Release();
  ASSERT_TRUE(PumpUntil(2000, [&] { return listener.Done(); }));
  ticking.Release();
  EXPECT_LT(TimedClose(), 1000.0);
  EXPECT_FALSE(Subscribed());
}

// The reset from a worker thread (the listener here) is done on the
// user-interface thread as a whole: the menu bar that the form's window got is
// destroyed there (a worker cannot destroy another thread's window).
TEST_F(InterleavingTest, AResetFromAWorkerThreadRemovesTheMenuBar) {
  StartMonitor();
  SHMENUBARINFO bar = {};
  bar.cbSize = sizeof bar;
  bar.hwndParent = monitor->form->handle;
  bar.dwFlags = SHCMBF_EMPTYBAR;
  ASSERT_TRUE(SHCreateMenuBar(&bar));
  ASSERT_NE(nullptr, SHFindMenuBar(monitor->form->handle));
  SetWindowPos(monitor->form->handle, HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RunOnListener([] { StopSequence(theMonitor, false); });
  EXPECT_EQ(nullptr, SHFindMenuBar(monitor->form->handle));
  EXPECT_TRUE(IsTopmost(monitor->form));
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
}

// A worker thread that has ended (a failed wait ends it) is not waited for when
// the sequence wakes it: the listener goes on handling notifications.
TEST_F(InterleavingTest, WakingAnEndedWorkerDoesNotHangTheListener) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 5;
  StartMonitor();
  HANDLE countdown = CountdownThread;
  // Ended where it is parked: let run first, it could take the sequence.
  TerminateThread(countdown, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(countdown, 2000));
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(2000, [&] { return OverlayVisible(); }));
  SetAcAndWait(AC_LINE_ONLINE);
  EXPECT_TRUE(PumpUntil(2000, [&] { return !OverlayVisible(); }));
}

// The loop can also end through WM_QUIT (a worker thread that could not be
// made): the listener stops before the form and the monitor are freed, and a
// notification afterwards reaches nothing.
TEST_F(InterleavingTest, AnEndThroughQuitStopsTheListenerFirst) {
  StartMonitor();
  PostQuitMessage(0);
  TControl* form = monitor->form;
  RunApplication(&form);
  monitor = nullptr;
  EXPECT_FALSE(Subscribed());
  EXPECT_EQ(nullptr, theMonitor);
  SetAc(AC_LINE_OFFLINE);
  Pump(3 * kTestTick);
  EXPECT_TRUE(PowerCalls().empty());
}

// The countdown thread parked from outside between the end of a tick and its
// look at the wake-ups: on the next power loss every number still stays one
// tick, the first one too.
TEST_F(InterleavingTest, AParkAfterATickDoesNotLengthenTheNextCountdown) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 3;
  SetTickIntervalForTesting(kTimedTick);
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  // Passes once at the thread's start, then comes back after the first tick.
  PointGate& afterTick = ArmGate("ticks: pause", GetThreadId(CountdownThread), 1);
  ASSERT_TRUE(afterTick.WaitHeld(3 * kTimedTick + 2000));
  SetAcAndWaitHandled(AC_LINE_ONLINE);  // parks the countdown thread where it is held
  afterTick.Release();
  EXPECT_EQ(1u, SuspendCount(CountdownThread));
  MarkTime();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3 * kTimedTick + 3000, [&] { return FirstEvent('T', Line(1)) >= 0; }));
  EXPECT_TRUE(OnSchedule(kTimedTick, FirstEvent('T', Line(2))));
  EXPECT_TRUE(OnSchedule(2 * kTimedTick, FirstEvent('T', Line(1))));
}

// A notification that comes once the reader is told to stop: the reader takes
// it no further, and waits to be ended rather than ending itself (a thread on
// its way out is inside the loader, where ending it would keep the process
// from ever ending).
TEST_F(InterleavingTest, AReaderToldToStopWaitsToBeEnded) {
  StartMonitor();
  QuiescePowerQueueReader();
  PointGate& woken = ArmWatch("reader: woken");
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(woken.WaitHeld(2000));
  HANDLE reader = OpenThread(SYNCHRONIZE, FALSE, woken.HeldThread());
  ASSERT_NE(nullptr, reader) << "the reader has ended";
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(reader, 300))
      << "the reader ended itself";
  Pump(2 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_LT(TimedClose(), 1000.0);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(reader, 0));
  CloseHandle(reader);
}

// A stop that ends the reader right while a notification has woken it (a close
// at that moment): the next stop, at the monitor's release, must not wait for
// the ended reader to finish that notification.
TEST_F(InterleavingTest, AReaderEndedWhileWokenDoesNotHangTheNextStop) {
  StartMonitor();
  // The stop, held between letting the reader finish and ending it ...
  PointGate& ending = ArmGate("listener: ending the reader");
  ListenerCall stop([] { SwitchPowerListener(false); });
  ASSERT_TRUE(ending.WaitHeld(2000));
  // ... while a notification wakes the reader, which takes it no further.
  PointGate& woken = ArmGate("reader: woken");
  SetAc(AC_LINE_OFFLINE);
  woken.WaitHeld(500);
  ending.Release();
  ASSERT_TRUE(PumpUntil(2000, [&] { return stop.Done(); }));
  EXPECT_LT(TimedClose(), 1000.0);
  EXPECT_FALSE(OverlayVisible());
}

// The last tick holds the sequence when a pointer movement over the notice
// comes in; the movement's stop waits for it on the user-interface thread and
// serves the tick's reset meanwhile. The movement was made while the notice was
// up: no power call.
TEST_F(InterleavingTest, APointerMoveDuringTheLastTickStopsThePowerCall) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 1;
  StartMonitor();
  // The countdown's one tick is its last: held once it has the sequence (the
  // thread's first claim only takes up its schedule) ...
  PointGate& lastTick = ArmGate("claim: taken", GetThreadId(CountdownThread), 1);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(lastTick.WaitHeld(kTestTick + 2000));
  ASSERT_TRUE(OverlayVisible());
  // ... and let go once the movement's stop waits for it on this thread.
  PointGate& cancelling = ArmWatch("claim: wanted", GetCurrentThreadId());
  {
    ListenerCall release([&] {
      cancelling.WaitHeld(2000);
      lastTick.Release();
    });
    MovePointerOver(monitor->Label2);
  }
  Pump(3 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_TRUE(PowerCalls().empty()) << "the movement was made while the notice was up";
  EXPECT_EQ(L"Recovery power device", GetText(monitor->Label1));
}

// External power back a moment before the last tick, its notification not read
// yet: the status is read again right before the call, and the device is not
// suspended.
TEST_F(InterleavingTest, PowerBackBeforeItsNotificationIsReadStopsThePowerCall) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 1;
  StartMonitor();
  PointGate& lastTick = ArmGate("claim: taken", GetThreadId(CountdownThread), 1);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(lastTick.WaitHeld(kTestTick + 2000));
  StoreAcSilently(AC_LINE_ONLINE);
  lastTick.Release();
  ASSERT_TRUE(PumpUntil(2000, [&] { return !OverlayVisible(); }));
  Pump(3 * kTestTick);
  EXPECT_TRUE(PowerCalls().empty()) << "suspended on external power";
}

// External power lost while the listener starts: the monitor has started on
// battery, and a later battery notification starts nothing (with the status
// read before subscribing, the loss went unseen, and that notification started
// a countdown minutes later, unprompted).
TEST_F(InterleavingTest, PowerLostWhileTheListenerStartsCountsAsStartingOnBattery) {
  monitorSettings.delay_time = 0;
  PointGate& starting = ArmGate("listener: starting");
  {
    ListenerCall unplug([&] {
      if (starting.WaitHeld(5000)) SetAc(AC_LINE_OFFLINE);
      starting.Release();
    });
    StartMonitor();
  }
  BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);  // a battery level change
  Pump(4 * kTestTick);
  EXPECT_LT(FirstEvent('S'), 0) << "a countdown nobody asked for";
  EXPECT_EQ(AC_LINE_OFFLINE, lastAcLineStatus);
  SetAcAndWait(AC_LINE_ONLINE);
  SetAc(AC_LINE_OFFLINE);
  EXPECT_TRUE(PumpUntil(2000, [&] { return OverlayVisible(); }));
}

// A suspend returns only when the device resumes. A close meanwhile (here the
// stand-in's suspend takes 4 s) ends within one second; the thread that makes
// the call is let go rather than ended in there, and ends once it returns.
TEST_F(InterleavingTest, ACloseWhileASuspendHasNotReturnedEndsWithinASecond) {
  struct SlowSuspend {
    SlowSuspend() { SetEnvironmentVariableW(L"VORLIX_POWER_SUSPEND_MS", L"4000"); }
    ~SlowSuspend() { SetEnvironmentVariableW(L"VORLIX_POWER_SUSPEND_MS", nullptr); }
  } slow;
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 1;
  StartMonitor();
  HANDLE countdown = nullptr;
  DuplicateHandle(GetCurrentProcess(), CountdownThread, GetCurrentProcess(), &countdown, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(WaitForPowerCalls(1, 3000));  // its line is written as the call begins
  EXPECT_LT(TimedClose(), 1000.0);
  EXPECT_FALSE(Subscribed());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(countdown, 0))
      << "ended inside the power call";
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(countdown, 8000));
  CloseHandle(countdown);
  EXPECT_EQ(1u, PowerCalls().size());
}

namespace {

std::atomic<HWND> closeFromInside{nullptr};

// Sends WM_CLOSE to the form from inside the countdown's first update of the
// overlay, which the countdown thread sent and waits for.
bool CloseInsideAnUpdate(TControl*, TWindowMessage& msg, LRESULT&) {
  if (msg.message == WM_SETTEXT && InSendMessage()) {
    if (HWND form = closeFromInside.exchange(nullptr)) SendMessageW(form, WM_CLOSE, 0, 0);
  }
  return false;
}

}  // namespace

// A close that comes while the user-interface thread serves a tick's update of
// the overlay (another program's WM_CLOSE can land there): the tick holds the
// sequence and waits for this thread, so the close is taken once the loop has
// it, and the program ends.
TEST_F(InterleavingTest, ACloseSentDuringATicksOverlayUpdateEndsTheProgram) {
  monitorSettings.delay_time = 0;
  monitorSettings.cancel_time = 5;
  StartMonitor();
  AddHook(monitor->Label1, CloseInsideAnUpdate);
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(2000, [&] { return OverlayVisible(); }));
  closeFromInside = monitor->form->handle;
  std::atomic<bool> ended{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 500 && !ended; ++i) Sleep(10);
    if (ended) return;
    std::fprintf(stderr, "\nthe close inside an update hangs\n");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  });
  TControl* form = monitor->form;
  RunApplication(&form);  // until the close has ended the loop
  ended = true;
  watchdog.join();
  monitor = nullptr;
  EXPECT_EQ(nullptr, closeFromInside.load()) << "no update came";
  EXPECT_FALSE(Subscribed());
  EXPECT_EQ(nullptr, theMonitor);
  EXPECT_TRUE(PowerCalls().empty());
}
