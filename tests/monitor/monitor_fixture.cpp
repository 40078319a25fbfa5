#include "tests/monitor/monitor_fixture.h"

#include <cstdio>
#include <fstream>
#include <regex>

#include "platform/desktop/power_standin.h"
#include "shared/files.h"

namespace {

// The local time now as the event log writes it, "YYYY-MM-DD hh:mm:ss".
std::string LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  return text;
}

MonitorTest* current = nullptr;
// A hang must fail the run, not stall it until CTest's timeout.
const int kWatchdogSeconds = 30;

}  // namespace

DWORD SuspendCount(HANDLE thread) {
  DWORD previous = SuspendThread(thread);
  ResumeThread(thread);
  return previous;
}

bool Subscribed() {
  for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) {
    if (s.processId == GetCurrentProcessId()) return true;
  }
  return false;
}

::testing::AssertionResult OnSchedule(double due, double seen) {
  char text[96];
  if (seen < 0) {
    std::snprintf(text, sizeof text, "due at %.0f ms, never seen", due);
  } else if (seen < due - kEarlyAllowance) {
    std::snprintf(text, sizeof text, "due at %.0f ms, seen early at %.1f ms", due, seen);
  } else if (seen > due + kLateAllowance) {
    std::snprintf(text, sizeof text, "due at %.0f ms, seen %.1f ms late", due, seen - due);
  } else {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << text;
}

void StoreAcSilently(DWORD status) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatedPowerKey, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &key, nullptr));
  RegSetValueExW(key, kSimulatedAcValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&status),
                 sizeof status);
  RegCloseKey(key);
}

void SetBattery(BYTE percent) {
  bool changed = false;
  PowerDelivery delivery;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            SetSimulatedBatteryPercent(percent, &changed, &delivery));
}

void MonitorTest::SetUp() {
  current = this;
  SetEnvironmentVariableW(L"VORLIX_POWER_SOURCE", L"simulated");
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG", folder.File(L"power.log").c_str());
  SetAc(AC_LINE_ONLINE);
  SetBattery(100);
  monitorSettings = TMonitorSettings();
  messageTexts = TMessageTexts();
  SetTickIntervalForTesting(kTestTick);
  startedAt = LocalTimeText();
  running = true;
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  watchdog = std::thread([this, name] {
    for (int i = 0; i < kWatchdogSeconds * 20 && running; ++i) Sleep(50);
    if (!running) return;
    std::fprintf(stderr, "\n%s: no progress after %d s, giving up\n", name.c_str(),
                 kWatchdogSeconds);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  });
}

void MonitorTest::TearDown() {
  CloseMonitor();
  SetTickIntervalForTesting(TickInterval);
  SetProgramDirectoryForTesting(L"");
  SetAc(AC_LINE_ONLINE);
  SetBattery(100);
  running = false;
  watchdog.join();
  current = nullptr;
}

void MonitorTest::StartMonitor() {
  CreateMonitorWindow(theMonitor, nullptr);
  monitor = theMonitor;
  AddHook(monitor->form, RecordHook);
  AddHook(monitor->Label1, RecordHook);
  Pump(20);
  MarkTime();
}

void MonitorTest::CloseMonitor() {
  if (!monitor) return;
  bool allow = true;
  OnMonitorClose(monitor, monitor->form, allow);
  TControl* form = monitor->form;
  SetMainForm(nullptr);
  ReleaseObject(form);
  monitor = theMonitor = nullptr;
  Pump(10);
}

bool MonitorTest::RecordHook(TControl* control, TWindowMessage& msg, LRESULT&) {
  MonitorTest* test = current;
  if (!test || !test->monitor) return false;
  if (control == test->monitor->Label1 && msg.message == WM_SETTEXT) {
    test->ReadUpLog();
    test->events.push_back({test->Now(), 'T', reinterpret_cast<const wchar_t*>(msg.lParam)});
  } else if (control == test->monitor->form && msg.message == WM_SHOWWINDOW) {
    // The layer and the system both announce a change: keep the first, and no
    // hide before a show.
    char kind = msg.wParam ? 'S' : 'H', last = 'H';
    for (const Event& e : test->events) {
      if (e.kind == 'S' || e.kind == 'H') last = e.kind;
    }
    test->ReadUpLog();
    if (kind != last) test->events.push_back({test->Now(), kind, {}});
  } else if (control == test->monitor->form && msg.message == WM_WINDOWPOSCHANGED &&
             (reinterpret_cast<const WINDOWPOS*>(msg.lParam)->flags & SWP_SHOWWINDOW)) {
    // A show counts from when the window is up: bringing it up takes Wine a
    // while (most the first time), and the countdown's schedule starts after.
    for (auto e = test->events.rbegin(); e != test->events.rend(); ++e) {
      if (e->kind != 'S' && e->kind != 'H') continue;
      if (e->kind == 'S') e->ms = test->Now();
      break;
    }
  }
  return false;
}

bool MonitorTest::PumpUntil(int milliseconds, const std::function<bool()>& done) {
  // What the program's loop waits for besides its messages (the settings
  // folder's changes, the settle after them) is served here too.
  return ::PumpUntil(
      milliseconds,
      [&] {
        ServeLoopWaits();
        ReadUpLog();
        return done();
      },
      &quitPosted);
}

void MonitorTest::ReadUpLog() {
  std::ifstream in(folder.File(L"power.log").c_str(), std::ios::binary);
  if (!in) return;
  in.seekg(logRead);
  for (std::string line; std::getline(in, line);) {
    if (in.eof()) break;  // a line still being written: read it whole next time
    logRead = in.tellg();
    size_t beep = line.find("MessageBeep type=");
    if (beep != std::string::npos) {
      std::string type = line.substr(beep + 17, 10);
      events.push_back({Now(), 'B', std::wstring(type.begin(), type.end())});
    } else if (line.find("SetSystemPowerState") != std::string::npos) {
      events.push_back({Now(), 'P', {}});
    }
  }
}

std::vector<std::string> MonitorTest::LogLines(const char* call) const {
  std::vector<std::string> lines;
  std::ifstream in(folder.File(L"power.log").c_str());
  for (std::string line; std::getline(in, line);) {
    if (line.find(call) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::vector<UINT> MonitorTest::Beeps() const {
  std::vector<UINT> types;
  for (const std::string& line : LogLines("MessageBeep type=")) {
    types.push_back(
        static_cast<UINT>(std::stoul(line.substr(line.find("type=") + 5, 10), nullptr, 16)));
  }
  return types;
}

void MonitorTest::RunOnListener(const std::function<void()>& call) {
  std::atomic<bool> finished{false};
  std::thread listener([&] {
    call();
    finished = true;
  });
  PumpUntil(20000, [&] { return finished.load(); });
  listener.join();
}

void MonitorTest::SetAc(BYTE status) {
  bool changed = false;
  PowerDelivery delivery;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            SetSimulatedAcLineStatus(status, &changed, &delivery));
}

void MonitorTest::SetAcAndWait(BYTE status) {
  SetAc(status);
  EXPECT_TRUE(PumpUntil(2000, [status] { return lastAcLineStatus == status; }));
}

void MonitorTest::SetBatteryAndWait(BYTE percent) {
  SetBattery(percent);
  EXPECT_TRUE(PumpUntil(2000, [percent] { return lastBatteryPercent == percent; }));
}

std::vector<std::string> MonitorTest::PowerCalls() const { return LogLines("SetSystemPowerState"); }

bool MonitorTest::WaitForPowerCalls(size_t count, int milliseconds) {
  return PumpUntil(milliseconds, [&] { return PowerCalls().size() >= count; });
}

bool MonitorTest::OverlayVisible() const {
  return monitor && monitor->form->handle && IsWindowVisible(monitor->form->handle);
}

void MonitorTest::UseTestFolder() { SetProgramDirectoryForTesting(folder.path()); }

void MonitorTest::SaveSettings(const std::vector<std::string>& lines) {
  std::string text = "[Common]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  ASSERT_TRUE(WriteTextFile(folder.File(L"vorlix.ini"), text)) << GetLastError();
}

bool MonitorTest::EventLogExists() const { return IsFile(folder.File(L"vorlix.log")); }

std::vector<std::string> MonitorTest::EventLogTexts() const {
  std::vector<std::string> texts;
  std::string log = folder.Read(L"vorlix.log");
  if (log == "<missing>") return texts;
  const std::regex form("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) ([ -~]*)");
  std::string until = LocalTimeText(), last = startedAt;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    EXPECT_NE(std::string::npos, end) << "a line without CR LF: " << log.substr(start);
    if (end == std::string::npos) break;
    std::string line = log.substr(start, end - start);
    std::smatch parts;
    if (!std::regex_match(line, parts, form)) {
      ADD_FAILURE() << "not a log line: " << line;
    } else {
      // Times of the run, in order (the text compares as the time does).
      EXPECT_LE(last, parts[1].str()) << line;
      EXPECT_LE(parts[1].str(), until) << line;
      last = parts[1].str();
      texts.push_back(parts[2].str());
    }
    start = end + 2;
  }
  return texts;
}

void MonitorTest::MarkTime() {
  QueryPerformanceCounter(&mark);
  ReadUpLog();
  events.clear();
}

double MonitorTest::Now() const {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (now.QuadPart - mark.QuadPart) * 1000.0 / frequency.QuadPart;
}

double MonitorTest::FirstEvent(char kind, const std::wstring& text) const {
  for (const Event& e : events) {
    if (e.kind == kind && (text.empty() || e.text == text)) return e.ms;
  }
  return -1;
}

std::vector<std::wstring> MonitorTest::TextsWhileShown() const {
  std::vector<std::wstring> texts;
  std::wstring last;
  bool shown = false;
  for (const Event& e : events) {
    if (e.kind == 'T') last = e.text;
    if (e.kind == 'S' || (e.kind == 'T' && shown)) texts.push_back(last);
    if (e.kind == 'S' || e.kind == 'H') shown = e.kind == 'S';
  }
  return texts;
}

std::vector<std::wstring> MonitorTest::Timeline() {
  ReadUpLog();
  std::vector<std::wstring> seen;
  std::wstring last;
  bool shown = false, started = false;
  for (const Event& e : events) {
    if (e.kind == 'T') last = e.text;
    if (e.kind == 'S') started = true;
    if (!started) continue;
    if (e.kind == 'S' || (e.kind == 'T' && shown)) seen.push_back(last);
    if (e.kind == 'B') seen.push_back(L"beep " + e.text);
    if (e.kind == 'H') seen.push_back(L"hidden");
    if (e.kind == 'P') seen.push_back(L"power call");
    if (e.kind == 'S' || e.kind == 'H') shown = e.kind == 'S';
  }
  return seen;
}

std::wstring MonitorTest::Line(int seconds) {
  return L"Device will be suspended after " + std::to_wstring(seconds) + L" second";
}
