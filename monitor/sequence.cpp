// The delay and the countdown, each on a parked worker thread that ticks once
// per TickInterval while it runs, the cancellation and the power action.
//
// Parking rules: only the caller that flips a running flag from true to false
// calls SuspendThread, and only the one that flips it from false to true calls
// ResumeThread, so a thread is never suspended twice. A thread is parked only
// outside its ticks (busy clear), so it never stops holding a lock.
#include "monitor/monitor.h"

#include "shared/schedule_points.h"
#include "shared/ui.h"

std::atomic<HANDLE> DelayThread{nullptr};
std::atomic<HANDLE> CountdownThread{nullptr};
std::atomic<int32_t> tickCount{0};
std::atomic<bool> delayRunning{false};
std::atomic<bool> countdownRunning{false};
std::atomic<bool> delayBusy{false};
std::atomic<bool> countdownBusy{false};
std::atomic<bool> skipNextTick{false};
std::atomic<bool> skipNextDelayTick{false};

namespace {

std::atomic<DWORD> tickInterval{TickInterval};
std::atomic<DWORD> delayThreadId{0};
std::atomic<DWORD> countdownThreadId{0};
// How often each thread has been woken; a change restarts its tick schedule.
std::atomic<unsigned> delayWakes{0};
std::atomic<unsigned> countdownWakes{0};

bool OnThread(const std::atomic<DWORD>& id) { return GetCurrentThreadId() == id.load(); }

// Wakes a thread whose running flag the caller has just set. A thread that
// parks itself clears its flag a moment before it is really suspended; a
// ResumeThread in that gap finds it running and would be lost, so try again
// until it finds the thread parked (or the thread is gone).
void WakeThread(const std::atomic<HANDLE>& thread) {
  for (;;) {
    HANDLE handle = thread.load();
    SchedulePoint("wake: resume");
    if (!handle || ResumeThread(handle) != 0) return;
    Sleep(0);
  }
}

// Runs tick every interval while running is set. busy is raised before the
// flag is looked at: a thread that has just cleared the flag either sees busy
// and waits for this tick, or this thread sees the flag cleared and skips it.
// Ticks keep to a schedule, so that the time a tick spends updating the overlay
// does not add up over the countdown. After a wake-up (the thread was parked),
// or a tick more than an interval late, the schedule starts afresh rather than
// catching up.
void RunTicks(const std::atomic<HANDLE>& self, const std::atomic<bool>& running,
              std::atomic<bool>& busy, const std::atomic<unsigned>& wakes,
              void (*tick)(TMonitorWindow*)) {
  unsigned seenWakes = wakes.load();
  ULONGLONG deadline = GetTickCount64();
  for (;;) {
    ULONGLONG interval = tickInterval.load();
    ULONGLONG now = GetTickCount64();
    if (wakes.load() != seenWakes || deadline + interval <= now) {
      seenWakes = wakes.load();
      deadline = now;
    }
    deadline += interval;
    // The own handle is never signalled while the thread lives: a plain pause.
    if (WaitForSingleObject(self.load(), static_cast<DWORD>(deadline - now)) == WAIT_FAILED) return;
    SchedulePoint("ticks: paused");
    busy = true;
    SchedulePoint("ticks: busy raised");
    if (running) tick(theMonitor);
    SchedulePoint("ticks: tick done");
    busy = false;
    SchedulePoint("ticks: busy cleared");
  }
}

DWORD WINAPI DelayThreadProc(LPVOID) {
  RunTicks(DelayThread, delayRunning, delayBusy, delayWakes, DelayTick);
  return 0;
}

DWORD WINAPI CountdownThreadProc(LPVOID) {
  RunTicks(CountdownThread, countdownRunning, countdownBusy, countdownWakes, CountdownTick);
  return 0;
}

bool CreateParkedThread(LPTHREAD_START_ROUTINE routine, std::atomic<HANDLE>& handle,
                        std::atomic<DWORD>& id) {
  DWORD threadId = 0;
  handle = CreateThread(nullptr, 0, routine, nullptr, CREATE_SUSPENDED, &threadId);
  id = threadId;
  return handle.load() != nullptr;
}

// The end of a tick that has finished its phase. On its own thread the tick
// claims the running flag while it still counts as busy, so that a concurrent
// StopSequence either finds the flag cleared and leaves the parking to it, or
// has cleared it first and parks it itself once busy drops. Run directly on
// another thread (delay_time or cancel_time 0) its thread never ran.
void EndPhase(const std::atomic<DWORD>& ownId, std::atomic<bool>& running, std::atomic<bool>& busy,
              const std::atomic<HANDLE>& thread, std::atomic<bool>* skip) {
  bool park = OnThread(ownId) && running.exchange(false);
  SchedulePoint("end phase: claimed");
  busy = false;
  if (!park) return;
  if (skip) *skip = false;
  SchedulePoint("end phase: self park");
  SuspendThread(thread.load());
}

}  // namespace

void SetTickIntervalForTesting(DWORD milliseconds) { tickInterval = milliseconds; }

bool CreateDelayThread() { return CreateParkedThread(DelayThreadProc, DelayThread, delayThreadId); }

bool CreateCountdownThread() {
  return CreateParkedThread(CountdownThreadProc, CountdownThread, countdownThreadId);
}

void WaitUntilClear(const std::atomic<bool>& flag) {
  while (flag.load()) {
    // Sent messages only: posted input (a mouse move) must wait for the loop.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void EndWorkerThreads() {
  SuspendDelayThread();
  SuspendCountdownThread(false);
  WaitUntilClear(delayBusy);
  WaitUntilClear(countdownBusy);
  if (HANDLE thread = DelayThread.exchange(nullptr)) TerminateThread(thread, 0);
  if (HANDLE thread = CountdownThread.exchange(nullptr)) TerminateThread(thread, 0);
  delayThreadId = 0;
  countdownThreadId = 0;
  delayRunning = countdownRunning = delayBusy = countdownBusy = false;
  skipNextTick = skipNextDelayTick = false;
}

void ResumeDelayThread() {
  if (!DelayThread.load() || delayRunning.exchange(true)) return;
  ++delayWakes;
  WakeThread(DelayThread);
}

void ResumeCountdownThread() {
  if (!CountdownThread.load() || countdownRunning.exchange(true)) return;
  ++countdownWakes;
  WakeThread(CountdownThread);
}

void SuspendDelayThread() {
  // Called from inside the delay thread's own tick (cancel_time 0): waiting for
  // its busy flag would wait for itself. That tick parks itself when it ends.
  if (OnThread(delayThreadId)) return;
  HANDLE thread = DelayThread.load();
  if (!thread || !delayRunning.exchange(false)) return;
  SchedulePoint("park delay: running cleared");
  WaitUntilClear(delayBusy);
  SchedulePoint("park delay: not busy");
  // As for the countdown: parked inside its pause, the thread ticks at once
  // when resumed, and the next delay would come a full tick early (at once
  // for a delay of one second).
  skipNextDelayTick = true;
  SchedulePoint("park delay: suspend");
  SuspendThread(thread);
}

void SuspendCountdownThread(bool skip) {
  if (OnThread(countdownThreadId)) return;  // as above
  HANDLE thread = CountdownThread.load();
  if (!thread || !countdownRunning.exchange(false)) return;
  SchedulePoint("park countdown: running cleared");
  WaitUntilClear(countdownBusy);
  SchedulePoint("park countdown: not busy");
  // Parked inside its pause, the thread ticks at once when resumed; that
  // tick only clears this flag, so the first count comes a full tick later.
  skipNextTick = skip;
  SchedulePoint("park countdown: suspend");
  SuspendThread(thread);
}

void StartSequence(TMonitorWindow* monitor) {
  tickCount = 0;
  if (monitorSettings.delay_time == 0) {
    DelayTick(monitor);
  } else {
    ResumeDelayThread();
  }
}

void StopSequence(TMonitorWindow* monitor, bool fromCountdown) {
  SuspendDelayThread();
  SchedulePoint("stop: delay parked");
  if (!fromCountdown) SuspendCountdownThread(true);
  SchedulePoint("stop: countdown parked");
  ResetOverlay(monitor);
}

void DelayTick(TMonitorWindow* monitor) {
  if (skipNextDelayTick.exchange(false)) return;
  delayBusy = true;
  if (monitorSettings.delay_time > ++tickCount) {
    delayBusy = false;
    return;
  }
  tickCount = 0;
  ShowOverlay(monitor, CountdownLine(messageTexts.action, monitorSettings.cancel_time),
              messageTexts.cancel);
  SchedulePoint("delay tick: shown");
  if (monitorSettings.cancel_time == 0) {
    CountdownTick(monitor);
  } else {
    ResumeCountdownThread();
  }
  EndPhase(delayThreadId, delayRunning, delayBusy, DelayThread, &skipNextDelayTick);
}

void CountdownTick(TMonitorWindow* monitor) {
  if (skipNextTick.exchange(false)) return;
  countdownBusy = true;
  int32_t ticks = ++tickCount;
  if (monitorSettings.cancel_time > ticks) {
    SetCountdownLine(monitor, CountdownLine(messageTexts.action, monitorSettings.cancel_time - ticks));
    countdownBusy = false;
    return;
  }
  StopSequence(monitor, true);
  SchedulePoint("countdown tick: stopped");
  SetPowerState(monitorSettings.power_action, monitorSettings.force_power);  // result ignored
  EndPhase(countdownThreadId, countdownRunning, countdownBusy, CountdownThread, &skipNextTick);
}

void OnOverlayMouseMove(void* context, TControl* sender, TMouseEventData& data) {
  // Any movement cancels, wherever it goes; a resting pointer is no movement.
  if (!PointerMovedSinceShow(sender, data)) return;
  StopSequence(static_cast<TMonitorWindow*>(context), false);
}
