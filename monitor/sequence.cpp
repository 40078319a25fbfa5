// The delay and the countdown, each on a parked worker thread that ticks once
// per TickInterval while it runs, the cancellation and the power action.
//
// One thread at a time changes the sequence: sequenceBusy holds the thread that
// runs a tick, a start, a stop or the close, and every other one waits for it
// (serving the messages sent to it meanwhile: the tick it waits for may be
// updating the overlay through the user-interface thread). Hence:
// - a thread is parked only outside its ticks, and never holds the claim then;
// - a stop happens whole: no tick on any thread shows the overlay, wakes the
//   countdown or decides on the power call between a stop's parking and its reset;
// - a start waits for a stop in progress, and a stop for a start.
//
// What keeps parking and ending safe: a worker thread that another thread may
// park or end (it runs, outside its ticks) touches only the kernel: no heap, no
// user32, no file. Suspended or ended holding a lock of the heap or of Wine's
// user32, it would stop every other thread that needs that lock. The one time a
// worker does more outside its tick is the power call, and then nothing parks or
// ends it (see MakeDuePowerCall). The interleaving tests' build checks this: it
// marks where a worker may be parked ("worker: parkable" until "worker: in its
// tick") and fails on a heap allocation there.
//
// Parking rules: only the caller that flips a running flag from true to false
// calls SuspendThread, and only the one that flips it from false to true calls
// ResumeThread, so a thread is never suspended twice.
//
// The settings in force (monitorSettings, messageTexts) are read by the
// sequence under the claim, and by the power call, which has a due call marked
// meanwhile; a reload puts new ones in force only under the claim while no
// sequence is in progress (RunBetweenSequences), so that a countdown keeps the
// settings it began with.
#include "monitor/monitor.h"

#include <cassert>

#include "platform/ce/ce_power.h"
#include "platform/ce/ce_sound.h"
#include "shared/event_log.h"
#include "shared/schedule_points.h"
#include "shared/ticks.h"
#include "shared/ui.h"

std::atomic<HANDLE> DelayThread{nullptr};
std::atomic<HANDLE> CountdownThread{nullptr};
std::atomic<int32_t> tickCount{0};
std::atomic<bool> delayRunning{false};
std::atomic<bool> countdownRunning{false};
std::atomic<DWORD> sequenceBusy{0};
std::atomic<bool> skipNextTick{false};
std::atomic<bool> skipNextDelayTick{false};
std::atomic<uint8_t> sequenceKind{kNoSequence};
std::atomic<int> batteryCancelLevel{-1};

namespace {

std::atomic<DWORD> tickInterval{TickInterval};

// What RunTicks and the park and wake operations need of one worker.
struct Worker {
  Worker(std::atomic<HANDLE>& handle, std::atomic<bool>& runningFlag, std::atomic<bool>& skipFlag,
         void (*tickProc)(TMonitorWindow*))
      : thread(handle), running(runningFlag), skip(skipFlag), tick(tickProc) {}

  std::atomic<HANDLE>& thread;
  std::atomic<DWORD> id{0};
  std::atomic<bool>& running;
  std::atomic<bool>& skip;  // set by a park from outside; the next tick only clears it
  // How often the thread has been woken, and when last (TickNow): its schedule
  // restarts from the wake-up.
  std::atomic<unsigned> wakes{0};
  std::atomic<uint32_t> wokenAt{0};
  // Set by the thread's own tick when it has ended its phase: the thread parks
  // itself once it has let go of the claim.
  std::atomic<bool> parkAfterTick{false};
  std::atomic<bool> started{false};  // the thread has reached its routine
  void (*tick)(TMonitorWindow*);
};

Worker delayWorker(DelayThread, delayRunning, skipNextDelayTick, DelayTick);
Worker countdownWorker(CountdownThread, countdownRunning, skipNextTick, CountdownTick);

// Stops on their way (a pointer movement, power back) that have not taken the
// sequence yet. The last tick makes no power call while one waits: the
// movement was made, or the power came back, while the notice was up.
std::atomic<int> stopsWaiting{0};
// Set once the close has begun: no power call is decided after it.
std::atomic<bool> closing{false};
// The last tick found a stop waiting, or the close begun, and decided on no
// power call: that stop (or the close) has cancelled the countdown, though it
// finds nothing in progress when it takes the sequence.
std::atomic<bool> runOutCancelled{false};
// When the tick in progress was due (TickNow), or when the sequence began. One
// schedule runs from the power loss to the power call: the countdown's ticks
// are counted from the time the showing tick was due, so that the time the
// show takes (bringing the window up, most the first time) is not added to the
// countdown.
std::atomic<uint32_t> tickDue{0};

// The power call that the last tick decided on: the thread that is to make it
// once it lets go of the sequence, with kMaking added while it makes it. A stop
// or the close cancels a call that is due; one under way goes on.
const uint64_t kMaking = uint64_t(1) << 32;
std::atomic<uint64_t> powerCall{0};

bool OnThread(const Worker& worker) { return GetCurrentThreadId() == worker.id.load(); }

bool HoldsSequence() { return sequenceBusy.load() == GetCurrentThreadId(); }

// True when it cancelled a call that was due.
bool CancelDuePowerCall() {
  uint64_t state = powerCall.load();
  while (state != 0 && !(state & kMaking)) {
    if (powerCall.compare_exchange_weak(state, 0)) return true;
  }
  return false;
}

// The first line of the notice of the sequence in progress, "%second%" still in it.
const std::wstring& NoticeText() {
  return sequenceKind.load() == kBatteryLow ? messageTexts.battery : messageTexts.action;
}

// The warning sound, when the settings ask for it: the call only starts the
// sound, which plays on while the tick goes on.
void Beep(UINT type) {
  if (monitorSettings.warning_sound) PlatformMessageBeep(type);  // result ignored
}

// Made by the thread that ran the last tick, once it has let go of the
// sequence: a suspend returns only when the device resumes, and a close, a stop
// or a posted message must not wait that long. Power that has come back, its
// notification not read yet, must not suspend the device: the status is read
// again right before the call (a failed read leaves the last one, offline).
void MakeDuePowerCall() {
  uint64_t due = GetCurrentThreadId();
  if (!powerCall.compare_exchange_strong(due, due | kMaking)) return;
  SchedulePoint("power call: making");
  uint8_t status = AC_LINE_OFFLINE;
  ReadAcLineStatus(status);
  if (status == AC_LINE_OFFLINE) {
    DWORD state = monitorSettings.power_action;
    DWORD flags = monitorSettings.force_power ? POWER_FORCE : 0;
    DWORD result = SetPowerState(state, monitorSettings.force_power);
    // Still marked as making the call: nothing parks or ends this thread here.
    std::string line = "power call: state=";
    line += HexText(state);
    line += " flags=";
    line += HexText(flags);
    line += result == ERROR_SUCCESS ? " result=ok" : " result=error ";
    if (result != ERROR_SUCCESS) line += DecimalText(result);
    LogEvent(line);
  }
  SchedulePoint("power call: made");
  uint64_t making = due | kMaking;
  powerCall.compare_exchange_strong(making, 0);
}

// One turn of waiting for the claim. A worker may be parked right here by the
// thread that holds it, so it touches nothing but the kernel. The other threads
// serve sent messages meanwhile.
void WaitForClaim(unsigned turn) {
  if (OnThread(delayWorker) || OnThread(countdownWorker)) {
    Sleep(turn < 16 ? 0 : 1);
  } else {
    ServeSentMessages();
  }
}

// Claims the sequence for the calling thread while it lives; a thread that holds
// it already (a tick that stops the sequence) goes on at once. Letting go of it,
// the thread makes the power call if the last tick left it one.
class SequenceClaim {
 public:
  SequenceClaim() : claimed_(!HoldsSequence()) {
    if (!claimed_) return;
    SchedulePoint("claim: wanted");
    DWORD self = GetCurrentThreadId();
    for (unsigned turn = 0;; ++turn) {
      DWORD none = 0;
      if (sequenceBusy.compare_exchange_weak(none, self)) break;
      WaitForClaim(turn);
    }
    SchedulePoint("claim: taken");
  }
  ~SequenceClaim() {
    if (!claimed_) return;
    SchedulePoint("claim: letting go");
    sequenceBusy = 0;
    MakeDuePowerCall();
  }
  SequenceClaim(const SequenceClaim&) = delete;
  SequenceClaim& operator=(const SequenceClaim&) = delete;

 private:
  bool claimed_;
};

// Wakes a thread whose running flag the caller has just set; its ticks follow
// the schedule of the sequence (tickDue). A thread that parks itself clears its
// flag a moment before it is really suspended; a ResumeThread in that gap finds
// it running and would be lost, so try again until it finds the thread parked,
// or the thread has ended (a failed wait ends a worker).
void WakeThread(Worker& worker) {
  HANDLE thread = worker.thread.load();
  worker.wokenAt = tickDue.load();
  ++worker.wakes;
  for (;;) {
    SchedulePoint("wake: resume");
    if (ResumeThread(thread) != 0) break;
    if (WaitForSingleObject(thread, 0) != WAIT_TIMEOUT) return;
    Sleep(0);
  }
  // Woken for the first time, a thread goes through the loader before its
  // routine (the loader lock held, to tell the libraries about it). Parked or
  // ended in there by a stop or the close, it would hold that lock for good and
  // the process could no longer end: it is seen past it first.
  while (!worker.started && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) Sleep(0);
}

void Resume(Worker& worker) {
  assert(HoldsSequence());
  if (!worker.thread.load() || worker.running.exchange(true)) return;
  WakeThread(worker);
}

// A park from outside the thread. The claim keeps the thread out of its ticks,
// so it is parked in its pause (or on its way to the claim). Parked inside the
// pause, it would tick at once when resumed; skip makes that tick a no-op.
void Suspend(Worker& worker, bool skip) {
  assert(HoldsSequence());
  // Called from inside the thread's own tick (cancel_time 0 in the delay
  // thread): that tick parks its thread when it ends.
  if (OnThread(worker)) return;
  HANDLE thread = worker.thread.load();
  if (!thread || !worker.running.exchange(false)) return;
  SchedulePoint("park: running cleared");
  worker.skip = skip;
  // The device refuses to suspend a thread that is inside a kernel call: try
  // again until it takes.
  while (SuspendThread(thread) == static_cast<DWORD>(-1) &&
         WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
    Sleep(0);
  }
  // SuspendThread only asks, and the thread runs on for a moment, perhaps into
  // the claim the caller is about to let go; reading its registers waits until
  // it has really stopped.
  CONTEXT registers;
  registers.ContextFlags = CONTEXT_CONTROL;
  GetThreadContext(thread, &registers);
  SchedulePoint("park: suspended");
}

// The end of a tick that has finished its phase. On its own thread the tick
// claims the running flag, so that the thread parks itself after the tick; run
// directly on another thread (delay_time or cancel_time 0) its thread never ran.
void EndPhase(Worker& worker) {
  if (!OnThread(worker) || !worker.running.exchange(false)) return;
  worker.skip = false;
  worker.parkAfterTick = true;
}

// Runs the worker's tick every interval while it runs. Ticks keep to a schedule,
// so that the time a tick spends updating the overlay does not add up over the
// countdown. The schedule starts afresh one interval after each wake-up's
// origin (a park may have landed anywhere in the pause, or around it), and
// after a tick more than an interval late, rather than catching up.
void RunTicks(Worker& worker) {
  HANDLE self = worker.thread.load();
  // The thread first runs after its first wake-up (perhaps parked and woken
  // again before it got here): it starts by taking up the schedule of that.
  unsigned seenWakes = 0;
  uint32_t deadline = TickNow();
  for (;;) {
    SchedulePoint("worker: parkable");
    int32_t wait = TicksUntil(deadline, TickNow());
    // The own handle is never signalled while the thread lives: a plain pause.
    SchedulePoint("ticks: pause");
    if (WaitForSingleObject(self, wait > 0 ? static_cast<DWORD>(wait) : 0) == WAIT_FAILED) return;
    {
      SequenceClaim claim;
      SchedulePoint("worker: in its tick");
      uint32_t interval = tickInterval.load();
      if (worker.wakes.load() != seenWakes) {
        seenWakes = worker.wakes.load();
        deadline = worker.wokenAt.load() + interval;
        // The tick that a park from outside asked to skip: it only clears the flag.
        if (worker.running && worker.skip) worker.tick(theMonitor);
      } else {
        tickDue = deadline;
        if (worker.running) worker.tick(theMonitor);
        deadline += interval;
        if (TicksUntil(deadline, TickNow()) <= 0) deadline = TickNow() + interval;
      }
    }
    // Let go by the close while it made the power call: no longer the
    // monitor's thread, it ends.
    if (worker.thread.load() != self) return;
    if (worker.parkAfterTick.exchange(false)) {
      SchedulePoint("ticks: parking itself");
      SuspendThread(self);
    }
  }
}

DWORD WINAPI DelayThreadProc(LPVOID) {
  delayWorker.started = true;
  RunTicks(delayWorker);
  return 0;
}

DWORD WINAPI CountdownThreadProc(LPVOID) {
  countdownWorker.started = true;
  RunTicks(countdownWorker);
  return 0;
}

// Made suspended, that is parked, and left so until it is first woken: a
// thread that has run costs the process about a megabyte under Wine (its share
// of the libraries' set-up for each thread), and the monitor mostly waits.
bool CreateParkedThread(LPTHREAD_START_ROUTINE routine, Worker& worker) {
  DWORD threadId = 0;
  worker.started = false;
  HANDLE thread = CreateThread(nullptr, kWorkerStackSize, routine, nullptr,
                               CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &threadId);
  worker.thread = thread;
  worker.id = threadId;
  return thread != nullptr;
}

// Ends the worker's thread, but one that makes the power call just now is let
// go instead: ended in there it might hold a lock of the heap or of the power
// manager, and the call may last until the device resumes. It ends itself once
// the call returns.
void EndWorker(Worker& worker) {
  if (HANDLE thread = worker.thread.exchange(nullptr)) {
    if (!MakingPowerCall(worker.id)) EndThread(thread);
  }
  worker.id = 0;
  worker.running = false;
  worker.skip = false;
  worker.parkAfterTick = false;
}

// The notice of the sequence in progress, with the whole countdown on its first
// line, and the countdown started; with cancel_time 0 the first tick at once.
//
// Its line goes into the log before it shows: an event read once it is visible
// (power back, say) must not come before it in the log.
void ShowNotice(TMonitorWindow* monitor) {
  LogEvent("notice shown");
  ShowOverlay(monitor, CountdownLine(NoticeText(), monitorSettings.cancel_time),
              messageTexts.cancel);
  SchedulePoint("delay tick: shown");
  Beep(kNoticeBeep);
  if (monitorSettings.cancel_time == 0) {
    CountdownTick(monitor);
  } else {
    ResumeCountdownThread();
  }
}

enum class StopCause {
  RanOut,   // the last tick of the countdown
  Pointer,  // a movement over the notice
  Other,    // power back, or the reset at start-up
};

// A stop from outside the countdown that cancels a sequence in progress (a
// delay, a notice, or a power call not begun; a call under way goes on, which
// is no cancel) records cancelEvent, if given.
void StopSequenceFor(TMonitorWindow* monitor, StopCause cause, const char* cancelEvent) {
  bool fromCountdown = cause == StopCause::RanOut;
  if (!fromCountdown) ++stopsWaiting;
  SequenceClaim claim;
  bool cancelled = false;
  if (!fromCountdown) {
    --stopsWaiting;
    cancelled = CancelDuePowerCall() || runOutCancelled.exchange(false) ||
                sequenceKind.load() != kNoSequence;
    if (cancelled && cancelEvent) LogEvent(cancelEvent);
  }
  sequenceKind = kNoSequence;
  SuspendDelayThread();
  if (!fromCountdown) SuspendCountdownThread(true);
  ResetOverlay(monitor);
  // The user said no to the notice: the battery's own comes again only further
  // down (see kBatteryRearmDrop). A level not known leaves no mark.
  if (cause == StopCause::Pointer && cancelled) {
    uint8_t level = lastBatteryPercent.load();
    if (level <= 100) batteryCancelLevel = level;
  }
}

}  // namespace

void SetTickIntervalForTesting(DWORD milliseconds) { tickInterval = milliseconds; }

bool CreateDelayThread() {
  closing = false;
  return CreateParkedThread(DelayThreadProc, delayWorker);
}

bool CreateCountdownThread() { return CreateParkedThread(CountdownThreadProc, countdownWorker); }

bool MakingPowerCall(DWORD thread) { return thread != 0 && powerCall.load() == (kMaking | thread); }

void ServeSentMessages() {
  // Sent messages only: posted input (a mouse move) must wait for the loop.
  // PeekMessage serves sent messages whatever it is asked for, and with
  // PM_NOREMOVE it takes nothing else (the device has no PM_QS_ flags).
  // cppcheck-suppress nullPointer ; no handles: a wait for sent messages alone
  MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_SENDMESSAGE, 0);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

void EndThread(HANDLE thread) {
  TerminateThread(thread, 0);
  WaitForSingleObject(thread, 500);
}

void EndWorkerThreads() {
  // With the claim no tick is in progress: neither thread holds the heap or a
  // queue lock that the rest of the shutdown needs when it is ended. No power
  // call begins after the close, nor is one decided while it waits.
  closing = true;
  SequenceClaim claim;
  if (CancelDuePowerCall() || runOutCancelled.exchange(false) ||
      sequenceKind.load() != kNoSequence) {
    LogEvent("cancelled by the close");
  }
  EndWorker(delayWorker);
  EndWorker(countdownWorker);
  tickCount = 0;
}

bool SequenceInProgress() { return sequenceKind.load() != kNoSequence || powerCall.load() != 0; }

bool RunBetweenSequences(void (*proc)(void*), void* context) {
  SequenceClaim claim;
  if (SequenceInProgress()) return false;
  proc(context);
  return true;
}

void ResumeDelayThread() { Resume(delayWorker); }

void ResumeCountdownThread() { Resume(countdownWorker); }

void SuspendDelayThread() { Suspend(delayWorker, true); }

void SuspendCountdownThread(bool skip) { Suspend(countdownWorker, skip); }

void StartSequence(TMonitorWindow* monitor) {
  SequenceClaim claim;
  // Power lost again while the last countdown's power call is under way (a
  // suspend returns at resume): the device is going down. After the call the
  // monitor is idle on battery, as after any suspend.
  if (powerCall.load() & kMaking) return;
  // A battery countdown runs only while external power stays away; it goes on.
  if (sequenceKind.load() == kBatteryLow) return;
  sequenceKind = kPowerLost;
  runOutCancelled = false;
  tickCount = 0;
  tickDue = TickNow();
  if (monitorSettings.delay_time == 0) {
    DelayTick(monitor);
  } else {
    ResumeDelayThread();
  }
}

void StopSequence(TMonitorWindow* monitor, bool fromCountdown, const char* cancelEvent) {
  StopSequenceFor(monitor, fromCountdown ? StopCause::RanOut : StopCause::Other, cancelEvent);
}

void CancelSequence(TMonitorWindow* monitor) {
  StopSequenceFor(monitor, StopCause::Pointer, "cancelled by the pointer");
}

bool StartBatterySequence(TMonitorWindow* monitor, uint8_t level) {
  SequenceClaim claim;
  // Not over a notice or a delay in progress, nor while the last countdown's
  // power call is still to be made or under way.
  if (sequenceKind.load() != kNoSequence || powerCall.load() != 0) return false;
  int cancelledAt = batteryCancelLevel.load();
  if (cancelledAt >= 0 && level > cancelledAt - kBatteryRearmDrop) return false;
  sequenceKind = kBatteryLow;
  runOutCancelled = false;
  tickCount = 0;
  tickDue = TickNow();
  LogEvent("critical battery: " + DecimalText(level) + "%");
  ShowNotice(monitor);
  return true;
}

void RearmBatteryNotice() {
  SequenceClaim claim;
  batteryCancelLevel = -1;
}

void DelayTick(TMonitorWindow* monitor) {
  SequenceClaim claim;
  if (skipNextDelayTick.exchange(false)) return;
  if (monitorSettings.delay_time > ++tickCount) return;
  tickCount = 0;
  ShowNotice(monitor);
  EndPhase(delayWorker);
}

void CountdownTick(TMonitorWindow* monitor) {
  SequenceClaim claim;
  if (skipNextTick.exchange(false)) return;
  int32_t ticks = ++tickCount;
  if (monitorSettings.cancel_time > ticks) {
    int32_t left = monitorSettings.cancel_time - ticks;
    SetCountdownLine(monitor, CountdownLine(NoticeText(), left));
    if (left <= kLastBeepSeconds) Beep(kLastSecondsBeep);
    return;
  }
  SchedulePoint("countdown tick: running out");
  StopSequenceFor(monitor, StopCause::RanOut, nullptr);
  SchedulePoint("countdown tick: stopped");
  // A stop waiting for the sequence was asked for while the notice was up (the
  // reset above may even have been served by its thread while it waited). With
  // cancel_time 0 there is no countdown to cancel: the notice only flashes.
  if (!closing && (monitorSettings.cancel_time == 0 || stopsWaiting.load() == 0)) {
    powerCall = GetCurrentThreadId();
  } else {
    runOutCancelled = true;
  }
  EndPhase(countdownWorker);
}

void OnOverlayMouseMove(void* context, TControl* sender, TMouseEventData& data) {
  auto* monitor = static_cast<TMonitorWindow*>(context);
  // A movement cancels the notice the user saw: one that reaches the overlay
  // while no notice is up (queued while the last one showed, handled after
  // power came and went again) must not cancel the next delay unseen. The
  // countdown's last tick hides the notice while its thread still runs it.
  if (!countdownRunning && !GetVisible(monitor->form)) return;
  // Any movement cancels, wherever it goes; a resting pointer is no movement.
  if (!PointerMovedSinceShow(sender, data)) return;
  CancelSequence(monitor);
}
