// The seeded schedule-jitter stress: the real monitor threads in-process, with a
// short tick and random pauses at every schedule point, through random
// sequences of power lost and back (also while the monitor starts), flaps
// faster than a tick (also undone before the listener has taken the first
// change), notifications that change nothing and bursts that fill the queue,
// pointer moves over the overlay (also in the last moment of the countdown and
// over the hidden overlay during the power call), suspends that take a while
// to return, and a close at any moment, posted, sent from this thread or
// another, sent from inside an overlay update, or by WM_QUIT alone. Each run
// is judged by the model (sequence_model.h), and the labels' texts and the
// threads' suspend counts along the way.
//
// VORLIX_STRESS_SEQUENCES (default 400) sequences from the seed
// VORLIX_STRESS_SEED (default 1) upwards; sequence k uses seed + k, so a
// failing one is replayed with VORLIX_STRESS_SEED=<its seed> and 1 sequence.
// VORLIX_STRESS_LATE sets how late (ms) a timed step may be seen before the run
// counts as a fault (default 300: no correct program is that late, also with
// two busy cores beside it). How late the steps were is printed as figures.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "monitor/monitor.h"
#include "platform/desktop/power_standin.h"
#include "tests/interleave/schedule_control.h"
#include "tests/interleave/sequence_model.h"
#include "tests/monitor/monitor_fixture.h"
#include "tests/support/message_log.h"
#include "tests/support/temp_folder.h"

namespace {

uint64_t EnvironmentNumber(const wchar_t* name, uint64_t fallback) {
  wchar_t text[32];
  DWORD length = GetEnvironmentVariableW(name, text, 32);
  if (length == 0 || length >= 32) return fallback;
  return _wcstoui64(text, nullptr, 10);
}

// The simulated AC line status; a change notifies the listener.
void StoreAc(BYTE status) {
  bool changed = false;
  PowerDelivery delivery;
  SetSimulatedAcLineStatus(status, &changed, &delivery);
}

class StressRun;
StressRun* currentRun = nullptr;

// One sequence: a fresh monitor, random steps, the close, then the verdict.
class StressRun {
 public:
  StressRun(uint64_t seed, const std::wstring& log, double late)
      : seed_(seed), random_(static_cast<uint32_t>(seed)), log_(log) {
    tolerance_.late = late;
  }

  // Empty when the model accepts the run; otherwise the report with the trace.
  std::string Run();
  // What the watchdog prints when a step hangs.
  std::string Trace(const std::string& problem);
  // How late each timed step was seen, once Run has found the run allowed.
  const std::vector<double>& Lateness() const { return lateness_; }

  std::atomic<ULONGLONG> deadline{0};
  std::atomic<const char*> step{""};

 private:
  static bool RecordHook(TControl* control, TWindowMessage& msg, LRESULT& result);
  double Now() const;
  void Output(OutputKind kind, int64_t value = 0, uint32_t flags = 0);
  // The overlay that was last shown is up on the screen now.
  void ShownUntilNow();
  void PollPowerLog();
  // Dispatches messages until done() or milliseconds have passed.
  bool PumpUntil(double milliseconds, bool (StressRun::*done)());
  bool Never() { return false; }
  bool OverlayShown() { return monitor_->form->handle && IsWindowVisible(monitor_->form->handle); }
  bool ChangeTaken();
  bool ListenerSees() { return lastAcLineStatus.load() == status_; }
  bool FlapTaken() { return static_cast<int>(handledNotifications - flapHandledBy_) >= 0; }
  bool ListenerIdle();
  bool LastTickHeld() { return lastTick_->HeldThread() != 0; }
  bool QuitSeen() { return quit_; }
  bool ShowsOne() { return OverlayShown() && SecondsIn(GetText(monitor_->Label1)) == 1; }
  bool PostedMoveDone() { return postedMove_ == 0; }
  void Guard(const char* what, DWORD milliseconds);
  int64_t SecondsIn(const std::wstring& line) const;

  // Sets the AC line status and waits until the listener has handled it; with
  // pointerOnShow, moves the pointer the moment the overlay shows meanwhile
  // (with no delay the listener shows it while it handles the change).
  void ChangeAc(BYTE status, bool pointerOnShow = false);
  // Two changes back to back, the second before the listener took the first.
  void FlapAtOnce();
  // Notifications that fill the listener's queue, then a change.
  void Burst();
  // A movement in the last moment of a countdown of one second left.
  void MoveAtTheLastMoment();
  // A movement over the overlay; with overHidden also when it is hidden.
  void MovePointer(bool overHidden = false);
  void PostPointerMove();
  bool ThreadsParkedAtMostOnce(const char* when);
  void Close();
  // The labels hold what the overlay's state gives them.
  void CheckTexts(const char* when);
  unsigned Pick(unsigned n) { return random_() % n; }

  uint64_t seed_;
  std::mt19937 random_;
  std::wstring log_;
  ModelSettings settings_;
  ModelTolerance tolerance_;
  TMonitorWindow* monitor_ = nullptr;
  LARGE_INTEGER start_ = {}, frequency_ = {};
  BYTE status_ = AC_LINE_ONLINE;
  bool shown_ = false, quit_ = false, closed_ = false;
  // Set for a close from inside the next overlay update (the form's handle).
  HWND closeInsideUpdate_ = nullptr;
  unsigned flapHandledBy_ = 0;  // handledNotifications once both are taken
  std::vector<std::pair<double, const char*>> steps_;  // the driver's, for the trace
  PointGate* lastTick_ = nullptr;                       // see MoveAtTheLastMoment
  // A pointer move posted from the show itself: it reaches the overlay the
  // moment the thread that showed it goes on.
  bool pointerOnShow_ = false, postedMoveSeen_ = false;
  size_t postedMove_ = 0;  // its input, 0: none pending
  ULONGLONG logSize_ = 0;
  std::string problem_;
  std::mutex traceLock_;
  std::vector<ModelInput> inputs_;
  std::vector<ModelOutput> outputs_;
  std::vector<double> lateness_;
};

double StressRun::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (now.QuadPart - start_.QuadPart) * 1000.0 / frequency_.QuadPart;
}

void StressRun::Output(OutputKind kind, int64_t value, uint32_t flags) {
  std::lock_guard<std::mutex> lock(traceLock_);
  double now = Now();
  outputs_.push_back({kind, now, now, value, flags});
}

void StressRun::ShownUntilNow() {
  std::lock_guard<std::mutex> lock(traceLock_);
  if (!outputs_.empty() && outputs_.back().kind == OutputKind::Shown) outputs_.back().until = Now();
}

int64_t StressRun::SecondsIn(const std::wstring& line) const {
  std::wstring word = settings_.state == POWER_STATE_SUSPEND ? L"suspended"
                      : settings_.state == POWER_STATE_OFF   ? L"turned off"
                                                             : L"restarted";
  std::wstring head = L"Device will be " + word + L" after ", tail = L" second";
  if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
    return -1;
  }
  std::wstring digits = line.substr(head.size(), line.size() - head.size() - tail.size());
  if (digits.empty() || digits.size() > 3 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos)
    return -1;
  return std::stoi(digits);
}

bool StressRun::RecordHook(TControl* control, TWindowMessage& msg, LRESULT&) {
  StressRun* run = currentRun;
  if (!run || !run->monitor_ || run->closed_) return false;
  if (control == run->monitor_->form && msg.message == WM_SHOWWINDOW &&
      msg.hwnd == control->handle) {
    // The layer and the system both announce a change; the first one counts.
    bool shown = msg.wParam != 0;
    if (shown != run->shown_) {
      run->shown_ = shown;
      if (shown) {
        run->Output(OutputKind::Shown, run->SecondsIn(GetText(run->monitor_->Label1)));
        if (run->pointerOnShow_) run->PostPointerMove();
      } else {
        run->Output(OutputKind::Hidden);
      }
    }
  } else if (control == run->monitor_->form && msg.message == WM_WINDOWPOSCHANGED && run->shown_ &&
             (reinterpret_cast<const WINDOWPOS*>(msg.lParam)->flags & SWP_SHOWWINDOW)) {
    run->ShownUntilNow();
  } else if (control == run->monitor_->form && msg.message == WM_MOUSEMOVE && run->postedMove_) {
    run->postedMoveSeen_ = true;
  } else if (control == run->monitor_->Label1 && msg.message == WM_SETTEXT && run->shown_) {
    run->Output(OutputKind::Text, run->SecondsIn(reinterpret_cast<const wchar_t*>(msg.lParam)));
  }
  if (control == run->monitor_->Label1 && msg.message == WM_SETTEXT && InSendMessage() &&
      run->closeInsideUpdate_) {
    HWND form = run->closeInsideUpdate_;
    run->closeInsideUpdate_ = nullptr;
    SendMessageW(form, WM_CLOSE, 0, 0);
  }
  return false;
}

// The stand-in appends one line per power call; the driver reads what is new.
void StressRun::PollPowerLog() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(log_.c_str(), GetFileExInfoStandard, &data)) return;
  ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size <= logSize_) return;
  HANDLE file = CreateFileW(log_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text(static_cast<size_t>(size - logSize_), '\0');
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(logSize_);
  DWORD read = 0;
  SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  size_t end = text.rfind('\n', read ? read - 1 : 0);
  if (read == 0 || end == std::string::npos) return;  // the line is still being written
  logSize_ += end + 1;
  for (size_t p = 0; p <= end;) {
    size_t next = text.find('\n', p);
    unsigned long state = 0, flags = 0;
    size_t s = text.find("state=0x", p);
    if (s != std::string::npos && s < next &&
        std::sscanf(text.c_str() + s, "state=0x%lx flags=0x%lx", &state, &flags) == 2) {
      Output(OutputKind::PowerCall, static_cast<int64_t>(state), static_cast<uint32_t>(flags));
    }
    p = next + 1;
  }
}

bool StressRun::PumpUntil(double milliseconds, bool (StressRun::*done)()) {
  return ::PumpUntil(
      milliseconds,
      [this, done] {
        PollPowerLog();
        if (postedMove_ && postedMoveSeen_) {
          std::lock_guard<std::mutex> lock(traceLock_);
          inputs_[postedMove_].to = Now();
          postedMove_ = 0;
        }
        return (this->*done)();
      },
      &quit_);
}

void StressRun::Guard(const char* what, DWORD milliseconds) {
  step = what;
  deadline = GetTickCount64() + milliseconds;
  std::lock_guard<std::mutex> lock(traceLock_);
  steps_.emplace_back(Now(), what);
}

bool StressRun::ChangeTaken() { return lastHandledAcLineStatus.load() == status_; }

void StressRun::ChangeAc(BYTE status, bool pointerOnShow) {
  Guard("an AC change", 2000);
  size_t index;
  {
    std::lock_guard<std::mutex> lock(traceLock_);
    index = inputs_.size();
    inputs_.push_back(
        {status == AC_LINE_OFFLINE ? InputKind::PowerLost : InputKind::PowerBack, Now(), 0});
  }
  status_ = status;
  pointerOnShow_ = pointerOnShow;
  StoreAc(status);
  if (!PumpUntil(1500, &StressRun::ChangeTaken))
    problem_ = "the listener did not take an AC change";
  pointerOnShow_ = false;
  if (postedMove_) PumpUntil(100, &StressRun::PostedMoveDone);
  std::lock_guard<std::mutex> lock(traceLock_);
  inputs_[index].to = Now();
}

// A movement over the visible overlay (the form or a label), away from where
// the pointer rested when it came up.
void StressRun::MovePointer(bool overHidden) {
  Guard("a pointer move", 2000);
  if (!overHidden && !OverlayShown()) return;
  TControl* targets[] = {monitor_->form, monitor_->Label1, monitor_->Label2};
  TControl* target = targets[Pick(3)];
  POINT at;
  GetCursorPos(&at);
  at.x += 1 + static_cast<LONG>(Pick(40));
  at.y += static_cast<LONG>(Pick(40));
  ScreenToClient(target->handle, &at);
  double from = Now();
  SendMessageW(target->handle, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  std::lock_guard<std::mutex> lock(traceLock_);
  inputs_.push_back({InputKind::Pointer, from, Now()});
}

void StressRun::PostPointerMove() {
  pointerOnShow_ = false;
  POINT at;
  GetCursorPos(&at);
  at.x += 1 + static_cast<LONG>(Pick(40));
  ScreenToClient(monitor_->form->handle, &at);
  PostMessageW(monitor_->form->handle, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  std::lock_guard<std::mutex> lock(traceLock_);
  postedMove_ = inputs_.size();
  postedMoveSeen_ = false;
  inputs_.push_back({InputKind::Pointer, Now(), 0});
}

// Nothing in the queue and no notification in hand: what is handled next is
// what the driver sends next. (The queue is looked at first: a notification
// taken from it in between has already woken the listener.)
bool StressRun::ListenerIdle() {
  for (const PowerSubscriptionInfo& subscription : ListPowerSubscriptions()) {
    if (subscription.processId != GetCurrentProcessId()) continue;
    HANDLE queue = OpenMsgQueueByObjectName(subscription.queue, false);
    if (!queue) continue;
    MSGQUEUEINFO info = {};
    info.dwSize = sizeof info;
    bool pending = !GetMsgQueueInfo(queue, &info) || info.dwCurrentMessages != 0;
    CloseMsgQueue(queue);
    if (pending) return false;
  }
  return wokenNotifications.load() == handledNotifications.load();
}

void StressRun::FlapAtOnce() {
  // Both of the flap's notifications are counted as handled: one sent before
  // (a notification with no change, sent by an earlier step) must be out of
  // the way first.
  Guard("waiting for the listener", 2000);
  if (!PumpUntil(1500, &StressRun::ListenerIdle)) {
    problem_ = "the listener did not take the notifications sent";
    return;
  }
  Guard("a flap at once", 2000);
  BYTE away = status_ == AC_LINE_OFFLINE ? AC_LINE_ONLINE : AC_LINE_OFFLINE, back = status_;
  size_t index;
  {
    std::lock_guard<std::mutex> lock(traceLock_);
    index = inputs_.size();
    double now = Now();
    InputKind first = away == AC_LINE_OFFLINE ? InputKind::PowerLost : InputKind::PowerBack;
    InputKind second = back == AC_LINE_OFFLINE ? InputKind::PowerLost : InputKind::PowerBack;
    // The listener may read the status back already for the first notification.
    inputs_.push_back({first, now, 0, 2});
    inputs_.push_back({second, now, 0});
  }
  flapHandledBy_ = handledNotifications + 2;
  StoreAc(away);
  StoreAc(back);
  if (!PumpUntil(1500, &StressRun::FlapTaken)) problem_ = "the listener did not take a flap";
  std::lock_guard<std::mutex> lock(traceLock_);
  inputs_[index].to = inputs_[index + 1].to = Now();
}

void StressRun::Burst() {
  for (int n = 0; n < 8; ++n) BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);
  ChangeAc(status_ == AC_LINE_OFFLINE ? AC_LINE_ONLINE : AC_LINE_OFFLINE);
}

void StressRun::MoveAtTheLastMoment() {
  Guard("waiting for the last second", 3000);
  // The last tick is held as it begins, and let go a moment after the movement
  // has started (its stop then waits for the tick, and serves the tick's reset).
  // Waited for with the messages pumped and the power log read: a tick that is
  // past the point already is not held, and its power call is seen meanwhile.
  PointGate& last = ArmGate("countdown tick: running out");
  lastTick_ = &last;
  if (PumpUntil((settings_.delay + settings_.cancel + 2) * settings_.tick, &StressRun::ShowsOne) &&
      PumpUntil(2 * settings_.tick + 500, &StressRun::LastTickHeld)) {
    DWORD after = Pick(3);
    std::thread release([&last, after] {
      Sleep(after);
      last.Release();
    });
    MovePointer(true);
    release.join();
  }
  DisarmGates();
}

void StressRun::CheckTexts(const char* when) {
  if (!problem_.empty()) return;
  // From the windows: a worker may be changing the control objects just now.
  wchar_t text1[200] = {}, text2[200] = {};
  GetWindowTextW(monitor_->Label1->handle, text1, 200);
  GetWindowTextW(monitor_->Label2->handle, text2, 200);
  std::wstring line1 = text1, line2 = text2;
  bool shown = OverlayShown();
  bool fits = shown ? SecondsIn(line1) >= 0 && line2 == L"Use move on the screen to cancel..."
                    : line1 == L"Recovery power device" && line2 == L"Please wait...";
  if (!fits) {
    std::string text(line1.begin(), line1.end());
    problem_ = std::string("the labels hold \"") + text + "\" ... " + when +
               (shown ? " with the overlay shown" : " with the overlay hidden");
  }
}

// Suspended twice, a thread would not wake on the next resume; parked: 1.
bool StressRun::ThreadsParkedAtMostOnce(const char* when) {
  for (HANDLE thread : {DelayThread.load(), CountdownThread.load()}) {
    DWORD count = thread ? SuspendCount(thread) : 0;
    if (count > 1) {
      problem_ =
          std::string("a worker thread suspended ") + std::to_string(count) + " times " + when;
      return false;
    }
  }
  return true;
}

void StressRun::Close() {
  Guard("the close (more than one second)", 1000);
  double from = Now();
  HWND window = monitor_->form->handle;
  std::thread sender;
  switch (Pick(5)) {
    case 0: SendMessageW(window, WM_CLOSE, 0, 0); break;
    case 1: sender = std::thread([window] { SendMessageW(window, WM_CLOSE, 0, 0); }); break;
    case 2:
      // From inside the next overlay update, if one comes soon; else posted.
      closeInsideUpdate_ = window;
      PumpUntil(settings_.tick, &StressRun::Never);
      if (closeInsideUpdate_) {
        closeInsideUpdate_ = nullptr;
        PostMessageW(window, WM_CLOSE, 0, 0);
      }
      break;
    case 3: PostQuitMessage(0); break;
    default: PostMessageW(window, WM_CLOSE, 0, 0); break;
  }
  if (!PumpUntil(1000, &StressRun::QuitSeen)) problem_ = "the close did not end the message loop";
  if (sender.joinable()) sender.join();
  // What RunApplication does once the loop has ended. The windows go now, and
  // what their labels do meanwhile is no longer seen; the power log still is.
  closed_ = true;
  TControl* form = monitor_->form;
  SetMainForm(nullptr);
  ReleaseObject(form);
  PollPowerLog();
  double to = Now();
  deadline = 0;
  if (to - from > 1000) problem_ = "the close took more than one second";
  {
    std::lock_guard<std::mutex> lock(traceLock_);
    inputs_.push_back({InputKind::Close, from, to});
  }
  // Nothing may act after the close: a power call seen from here on is one.
  Sleep(static_cast<DWORD>(settings_.tick));
  PollPowerLog();
}

std::string StressRun::Run() {
  QueryPerformanceFrequency(&frequency_);
  QueryPerformanceCounter(&start_);
  static const uint32_t states[] = {POWER_STATE_SUSPEND, POWER_STATE_OFF, POWER_STATE_RESET};
  settings_.tick = 20 + Pick(21);
  settings_.delay = static_cast<int>(Pick(3));
  settings_.cancel = static_cast<int>(Pick(5));
  settings_.state = states[Pick(3)];
  bool force = Pick(2) == 1;
  settings_.flags = force ? POWER_FORCE : 0;
  // Some suspends return only after a while, as a device's at resume.
  if (settings_.state == POWER_STATE_SUSPEND && Pick(3) == 0) {
    settings_.suspend = (1 + Pick(3)) * settings_.tick;
  }
  SetEnvironmentVariableW(L"VORLIX_POWER_SUSPEND_MS",
                          std::to_wstring(static_cast<int>(settings_.suspend)).c_str());

  StoreAc(AC_LINE_ONLINE);
  lastHandledAcLineStatus = AC_LINE_ONLINE;
  monitorSettings = TMonitorSettings();
  monitorSettings.delay_time = static_cast<uint8_t>(settings_.delay);
  monitorSettings.cancel_time = static_cast<uint8_t>(settings_.cancel);
  monitorSettings.power_action = settings_.state;
  monitorSettings.force_power = force;
  messageTexts = TMessageTexts();
  SetTickIntervalForTesting(static_cast<DWORD>(settings_.tick));
  StartJitter(seed_);
  QueryPerformanceCounter(&start_);
  Guard("the start-up", 3000);
  ClearPointLog();
  ResetNotificationCounts();
  // Now and then the power goes while the monitor starts: it may count as
  // starting on battery.
  std::thread unplug;
  if (Pick(6) == 0) {
    inputs_.push_back({InputKind::PowerLost, Now(), 0, 1});
    DWORD wait = Pick(4);
    unplug = std::thread([wait] {
      Sleep(wait);
      StoreAc(AC_LINE_OFFLINE);
    });
  }
  CreateMonitorWindow(theMonitor, nullptr);
  monitor_ = theMonitor;
  AddHook(monitor_->form, RecordHook);
  AddHook(monitor_->Label1, RecordHook);
  if (unplug.joinable()) {
    unplug.join();
    status_ = AC_LINE_OFFLINE;
    if (!PumpUntil(1500, &StressRun::ListenerSees)) problem_ = "the listener missed the start";
    lastHandledAcLineStatus = AC_LINE_OFFLINE;
    std::lock_guard<std::mutex> lock(traceLock_);
    inputs_.back().to = Now();
  }

  double tick = settings_.tick;
  unsigned steps = 2 + Pick(7);
  for (unsigned n = 0; n < steps && problem_.empty(); ++n) {
    switch (Pick(14)) {
      case 0:
      case 1:
      case 2:
        Guard("a pause", 3000);
        PumpUntil(Pick(static_cast<unsigned>(1.5 * tick)), &StressRun::Never);
        break;
      case 3:
      case 4:
        if (status_ == AC_LINE_OFFLINE) {
          ChangeAc(Pick(2) ? AC_LINE_ONLINE : AC_LINE_UNKNOWN);
        } else if (Pick(5)) {
          ChangeAc(AC_LINE_OFFLINE, Pick(3) == 0);
        } else {
          ChangeAc(status_ == AC_LINE_ONLINE ? AC_LINE_UNKNOWN : AC_LINE_ONLINE);
        }
        break;
      case 5: {
        // A flap faster than a tick: two changes back to back.
        BYTE back = status_;
        ChangeAc(status_ == AC_LINE_OFFLINE ? AC_LINE_ONLINE : AC_LINE_OFFLINE);
        ChangeAc(back);
        break;
      }
      case 6:
        // Notifications that are no status change; the listener drops them.
        BroadcastPowerNotification(Pick(2) ? PBT_POWERSTATUSCHANGE : PBT_TRANSITION);
        break;
      case 7: MovePointer(); break;
      default:
        // As soon as the overlay is up: the moments right after the show.
        if (status_ != AC_LINE_OFFLINE) {
          ChangeAc(AC_LINE_OFFLINE, Pick(2) == 0);
          break;
        }
        Guard("waiting for the overlay", 3000);
        PumpUntil((settings_.delay + 2) * tick, &StressRun::OverlayShown);
        MovePointer();
        break;
      case 10: FlapAtOnce(); break;
      case 11: Burst(); break;
      case 12: MoveAtTheLastMoment(); break;
      case 13: MovePointer(true); break;
    }
    if (problem_.empty()) ThreadsParkedAtMostOnce("after a step");
    CheckTexts("after a step");
  }
  if (problem_.empty() && Pick(2)) {
    // Settle: power back, and once the last tick is over both threads are parked
    // (a tick in progress waits for the stop, so a little over one is enough,
    // and a suspend under way returns first).
    if (status_ == AC_LINE_OFFLINE) ChangeAc(AC_LINE_ONLINE);
    Guard("settling", 3000);
    PumpUntil(tick + 30 + settings_.suspend, &StressRun::Never);
    for (HANDLE thread : {DelayThread.load(), CountdownThread.load()}) {
      DWORD count = SuspendCount(thread);
      if (count != 1 && problem_.empty()) {
        problem_ = "idle, a worker thread has suspend count " + std::to_string(count);
      }
    }
  } else if (problem_.empty()) {
    Guard("a pause", 3000);
    PumpUntil(Pick(static_cast<unsigned>(2 * tick)), &StressRun::Never);
  }
  if (problem_.empty()) ThreadsParkedAtMostOnce("before the close");
  StopJitter();
  CheckTexts("before the close");
  Close();
  monitor_ = theMonitor = nullptr;
  // A suspend that the close let go of is over before the next run starts.
  if (settings_.suspend > 0) Sleep(static_cast<DWORD>(settings_.suspend) + 20);

  if (problem_.empty()) {
    problem_ = CheckRun(settings_, inputs_, outputs_, tolerance_, &lateness_);
  }
  return problem_.empty() ? problem_ : Trace(problem_);
}

std::string StressRun::Trace(const std::string& problem) {
  std::lock_guard<std::mutex> lock(traceLock_);
  char head[200];
  std::snprintf(
      head, sizeof head,
      "seed %llu: tick %.0f ms, delay_time %d, cancel_time %d, state 0x%08X, flags 0x%08X, "
      "suspend %.0f ms\n",
      static_cast<unsigned long long>(seed_), settings_.tick, settings_.delay, settings_.cancel,
      settings_.state, settings_.flags, settings_.suspend);
  std::string text = head + ("  " + problem + "\n");
  // The monitor's side, where its threads went, and the driver's steps.
  unsigned passed = 0;
  const PassedPoint* log = PointLog(&passed);
  std::vector<std::pair<double, std::string>> points;
  for (unsigned n = 0; n < std::min(passed, kPointLogSize); ++n) {
    const char* where = log[n].where.load(std::memory_order_acquire);
    if (!where) continue;  // a hang's trace: taken, not yet written
    char line[160];
    std::snprintf(line, sizeof line, "%9.1f        %s (thread %lu, AC %u)",
                  (log[n].at - start_.QuadPart) * 1000.0 / frequency_.QuadPart, where,
                  static_cast<unsigned long>(log[n].thread), log[n].acLineStatus);
    points.emplace_back((log[n].at - start_.QuadPart) * 1000.0 / frequency_.QuadPart,
                        std::string("mon ") + line);
  }
  for (const auto& driven : steps_) {
    char line[160];
    std::snprintf(line, sizeof line, "%9.1f        %s", driven.first, driven.second);
    points.emplace_back(driven.first, std::string("drv ") + line);
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (passed > kPointLogSize) text += "  (the monitor's points: the first " +
                                      std::to_string(kPointLogSize) + " of " +
                                      std::to_string(passed) + ")\n";
  size_t i = 0, o = 0, p = 0;
  while (i < inputs_.size() || o < outputs_.size() || p < points.size()) {
    double atInput = i < inputs_.size() ? inputs_[i].from : 1e300;
    double atOutput = o < outputs_.size() ? outputs_[o].at : 1e300;
    double atPoint = p < points.size() ? points[p].first : 1e300;
    if (atPoint < atInput && atPoint < atOutput) {
      text += "  " + points[p++].second;
    } else if (atInput <= atOutput) {
      text += "  in  " + Describe(inputs_[i++]);
    } else {
      text += "  out " + Describe(outputs_[o++]);
    }
    text += "\n";
  }
  return text;
}

// Ends the process with the trace when a step does not finish in time: a hang
// (a close that never returns) must fail the run, not stall it.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Watch() {
    while (!stop_) {
      Sleep(20);
      StressRun* run = currentRun;
      ULONGLONG due = run ? run->deadline.load() : 0;
      if (!run || !due || GetTickCount64() < due + 500) continue;
      std::string trace = run->Trace(std::string("hung in ") + run->step.load());
      std::fprintf(stderr, "\nFAULT %s", trace.c_str());
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
  }
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

TEST(MonitorInterleavings, SeededSequencesFollowTheModel) {
  TempFolder folder;
  std::wstring log = folder.File(L"power.log");
  SetEnvironmentVariableW(L"VORLIX_POWER_SOURCE", L"simulated");
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG", log.c_str());
  uint64_t count = EnvironmentNumber(L"VORLIX_STRESS_SEQUENCES", 400);
  uint64_t first = EnvironmentNumber(L"VORLIX_STRESS_SEED", 1);
  double late = static_cast<double>(EnvironmentNumber(L"VORLIX_STRESS_LATE", 300));
  Watchdog watchdog;
  uint64_t faults = 0;
  std::vector<double> lateness;
  ULONGLONG started = GetTickCount64();
  for (uint64_t k = 0; k < count; ++k) {
    DeleteFileW(log.c_str());
    StressRun run(first + k, log, late);
    currentRun = &run;
    std::string report = run.Run();
    currentRun = nullptr;
    lateness.insert(lateness.end(), run.Lateness().begin(), run.Lateness().end());
    if (!report.empty()) {
      ++faults;
      std::fprintf(stderr, "FAULT %s\n", report.c_str());
      std::fflush(stderr);
    }
  }
  double seconds = (GetTickCount64() - started) / 1000.0;
  std::printf("sequences run %llu, faults found %llu, %.1f sequences per second\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(faults),
              count / (seconds > 0 ? seconds : 1));
  std::sort(lateness.begin(), lateness.end());
  auto at = [&](double share) {
    return lateness.empty() ? 0.0 : lateness[static_cast<size_t>(share * (lateness.size() - 1))];
  };
  size_t over15 = static_cast<size_t>(lateness.end() -
                                      std::upper_bound(lateness.begin(), lateness.end(), 15.0));
  std::printf(
      "timed steps %zu, late by: median %.1f ms, p99 %.1f ms, max %.1f ms; %zu over 15 ms "
      "(a fault only past %.0f ms)\n",
      lateness.size(), at(0.5), at(0.99), at(1.0), over15, late);
  EXPECT_EQ(0u, faults);
  SetEnvironmentVariableW(L"VORLIX_POWER_SUSPEND_MS", nullptr);
  SetTickIntervalForTesting(TickInterval);
  StoreAc(AC_LINE_ONLINE);
}
