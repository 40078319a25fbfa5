// A running monitor inside the test process: the real start-up on a real form,
// the worker threads and the listener on the simulated power source, with the
// power calls recorded in a private log. The test thread is the monitor's
// user-interface thread, so the tests pump its messages while they wait.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "monitor/monitor.h"
#include "tests/support/message_log.h"
#include "tests/support/temp_folder.h"

// A thread's suspend count, looked at from outside: 1 for a parked thread; a
// second SuspendThread on a parked one would keep ResumeThread from waking it.
DWORD SuspendCount(HANDLE thread);
// Whether this process has a power notification subscription (the listener runs).
bool Subscribed();
// Changes the simulated status without notifying anyone: power that has come
// back, its notification not read yet.
void StoreAcSilently(DWORD status);
// The simulated battery level (0 to 100, 255 unknown); a change notifies.
void SetBattery(BYTE percent);

// Deliberately small, so that timelines stay short, for the tests that check
// order and counts.
const DWORD kTestTick = 60;
// The tests that check time bound it only as a user would notice: a step never
// comes before its time on the schedule (but for the clocks' granularity), and
// a correct program on a loaded machine is late by less than kLateAllowance.
// Their tick is long enough that a tick too many or too few falls outside.
// Precise figures are bench/run's.
const DWORD kTimedTick = 400;
const double kEarlyAllowance = 3;
const double kLateAllowance = 300;
// A step seen `seen` ms after the start of its schedule, due `due` ms after it;
// seen below 0 means it never came.
::testing::AssertionResult OnSchedule(double due, double seen);

class MonitorTest : public ::testing::Test {
 public:
  // The countdown line with the default texts and the suspend action.
  static std::wstring Line(int seconds);

 protected:
  void SetUp() override;
  void TearDown() override;

  // The real start-up (CreateMonitorWindow); adjust monitorSettings first.
  void StartMonitor();
  // OnMonitorClose, then releases the form and with it the monitor.
  void CloseMonitor();

  // Pumps as the program's loop would, its loop waits included.
  bool PumpUntil(int milliseconds, const std::function<bool()>& done);
  void Pump(int milliseconds) {
    PumpUntil(milliseconds, [] { return false; });
  }
  // Runs call on a thread of its own, as the listener would, pumping meanwhile.
  void RunOnListener(const std::function<void()>& call);

  // The simulated AC line status; a change notifies the listener.
  void SetAc(BYTE status);
  // The same, then waits until the listener has taken it: it reads the status
  // when it handles a notification, so a change undone at once goes unseen.
  void SetAcAndWait(BYTE status);
  // The battery level, then waits until the listener has taken it.
  void SetBatteryAndWait(BYTE percent);
  // The power log's SetSystemPowerState lines.
  std::vector<std::string> PowerCalls() const;
  // The types of the MessageBeep lines, in order.
  std::vector<UINT> Beeps() const;
  bool WaitForPowerCalls(size_t count, int milliseconds);
  bool OverlayVisible() const;

  // The monitor's folder is the test's own (call before StartMonitor): its
  // settings file, language packs and event log are the test's.
  void UseTestFolder();
  // Saves vorlix.ini as the settings application does (a whole new file put in
  // place by a rename): "[Common]" and the lines.
  void SaveSettings(const std::vector<std::string>& lines);
  // The texts of vorlix.log's lines, oldest first, each line checked for the
  // log's form (date, time, text, CR LF) and for a time within the test's run.
  std::vector<std::string> EventLogTexts() const;
  bool EventLogExists() const;

  // The overlay's changes as the user-interface thread saw them: 'S' shown
  // (once the window is up), 'H' hidden, 'T' Label1's text set; and the power
  // log's new lines, 'B' a beep (text: its type) and 'P' a power call, each
  // placed before the overlay's next change (the log is read up at every one
  // and while the tests pump); times in ms since MarkTime.
  struct Event {
    double ms;
    char kind;
    std::wstring text;
  };
  void MarkTime();
  // Time of the first event of kind (with that text, if given); -1 if none.
  double FirstEvent(char kind, const std::wstring& text = std::wstring()) const;
  // Label1's texts from the first show on, while shown.
  std::vector<std::wstring> TextsWhileShown() const;
  // What the user saw and heard from the first show on: Label1's texts while
  // shown, "beep <type>", "hidden" and "power call".
  std::vector<std::wstring> Timeline();

  TempFolder folder;
  TMonitorWindow* monitor = nullptr;
  bool quitPosted = false;

 private:
  static bool RecordHook(TControl* control, TWindowMessage& msg, LRESULT& result);
  double Now() const;
  // Adds the power log's lines written since the last look to events.
  void ReadUpLog();
  std::vector<std::string> LogLines(const char* call) const;
  std::streamoff logRead = 0;
  std::vector<Event> events;
  LARGE_INTEGER mark = {};
  std::string startedAt;  // local time at the test's start, as the log writes it
  std::atomic<bool> running{false};
  std::thread watchdog;
};
