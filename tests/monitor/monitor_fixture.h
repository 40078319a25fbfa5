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
#include "tests/support/temp_folder.h"

// One change of the overlay seen on the user-interface thread.
struct TOverlayEvent {
  double ms;          // since the test's time mark
  char kind;          // 'S' shown, 'H' hidden, 'T' Label1's text changed
  std::wstring text;  // for 'T'
};

class MonitorTest : public ::testing::Test {
 public:
  // The countdown line with the default texts and the suspend action.
  static std::wstring Line(int seconds);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the real start-up (CreateMonitorWindow); adjust monitorSettings first.
  void StartMonitor();
  // OnMonitorClose, then releases the form (and with it the monitor).
  void CloseMonitor();

  // Serves the test thread's messages until done() or the time is up.
  bool PumpUntil(int milliseconds, const std::function<bool()>& done);
  void Pump(int milliseconds) { PumpUntil(milliseconds, [] { return false; }); }
  // Runs call on a thread of its own, as the listener would, pumping meanwhile.
  void RunOnListener(const std::function<void()>& call);

  // Simulated AC line status through the stand-in (notifies the listener).
  void SetAc(BYTE status);
  // The same, then waits until the listener has taken it: it reads the status
  // when it handles a notification, so a change undone at once goes unseen.
  void SetAcAndWait(BYTE status);
  // The recorded power calls, one line each.
  std::vector<std::string> PowerCalls() const;
  bool WaitForPowerCalls(size_t count, int milliseconds);

  bool OverlayVisible() const;
  // Restarts the time axis and forgets earlier events.
  void MarkTime();
  double Now() const;
  const std::vector<TOverlayEvent>& Events() const { return events; }
  // Time of the first event of kind (with text, when given); -1 when absent.
  double FirstEvent(char kind, const std::wstring& text = std::wstring()) const;
  // Label1's texts in order, from the first show on.
  std::vector<std::wstring> TextsWhileShown() const;

  TempFolder folder;
  TMonitorWindow* monitor = nullptr;
  bool quitPosted = false;
  std::vector<TOverlayEvent> events;
  LARGE_INTEGER mark = {};

 private:
  static bool RecordHook(TControl* control, TWindowMessage& msg, LRESULT& result);
  std::atomic<bool> watchdogArmed{false};
  std::thread watchdog;
};

// Deliberately small, so that timelines stay short; the ratios are what count.
const DWORD kTestTick = 60;
