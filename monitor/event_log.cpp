// The event log: lines queued in memory by whichever of the monitor's threads
// records an event, and written to vorlix.log by the user-interface thread, on
// a message posted to the form, outside the sequence. So no tick waits for the
// file, and no worker is ever inside a file call where it may be parked.
#include <atomic>

#include "monitor/monitor.h"
#include "shared/event_log.h"
#include "shared/files.h"
#include "shared/lines.h"

namespace {

// Posted to the form: write the queued lines. Another program posting it only
// makes the monitor write what it has.
const UINT kWriteEventLogMessage = WM_APP + 0x4C;

// The event_log setting in force; off once the log has ended.
std::atomic<bool> logging{false};
// The lines not written yet, and the lock that guards them, held only to add
// a line or take them all (a worker holds it inside its tick, never parked).
std::string queuedLines;
std::atomic<bool> queueLock{false};
// A write has been posted and not yet begun.
std::atomic<bool> writePosted{false};
// The form's window once it exists; the messages go there.
std::atomic<HWND> logWindow{nullptr};
// User-interface thread.
std::wstring logPath;

class QueueLock {
 public:
  QueueLock() {
    for (unsigned turn = 0; queueLock.exchange(true); ++turn) Sleep(turn < 16 ? 0 : 1);
  }
  ~QueueLock() { queueLock = false; }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;
};

// Lines that cannot be written wait for the next write, the newest that fit
// in what a cut file keeps.
void TrimQueue() {
  if (queuedLines.size() > kEventLogKeep) {
    queuedLines.erase(0, NewestLinesStart(queuedLines, kEventLogKeep));
  }
}

void PostWrite() {
  if (writePosted.exchange(true)) return;
  HWND window = logWindow.load();
  if (!window || !PostMessageW(window, kWriteEventLogMessage, 0, 0)) writePosted = false;
}

uint8_t ActionIndexOf(uint32_t powerState) {
  switch (powerState) {
    case POWER_STATE_OFF: return 1;
    case POWER_STATE_RESET: return 2;
    default: return 0;
  }
}

}  // namespace

void LogEvent(const std::string& text) {
  if (!logging) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string line = FormatEventLine(now, text);
  {
    QueueLock lock;
    queuedLines += line;
    TrimQueue();
  }
  PostWrite();
}

std::string SettingsSummary(const TMonitorSettings& settings) {
  // The keys in the order of the file; the pack's name last, as it may hold blanks.
  const struct {
    const char* key;
    uint32_t value;
  } values[] = {
      {"power_action=", ActionIndexOf(settings.power_action)},
      {" force_power=", settings.force_power},
      {" cancel_time=", settings.cancel_time},
      {" delay_time=", settings.delay_time},
      {" critical_battery=", settings.critical_battery},
      {" warning_sound=", settings.warning_sound},
      {" event_log=", settings.event_log},
      {" background_color=", settings.background_color},
      {" text_color=", settings.text_color},
      {" font_size=", settings.font_size},
      {" font_autosize=", settings.font_autosize},
  };
  std::string text;
  for (const auto& value : values) {
    text += value.key;
    text += DecimalText(value.value);
  }
  text += " lng_file=";
  text += ToLogText(settings.lng_file);
  return text;
}

void StartEventLog(const std::wstring& folder, bool on) {
  logPath = folder + L"\\" + kEventLogFileName;
  {
    QueueLock lock;
    queuedLines.clear();
  }
  writePosted = false;
  logging = on;
}

void SetEventLogging(bool on) { logging = on; }

void WriteEventLog() {
  writePosted = false;
  std::string lines;
  {
    QueueLock lock;
    lines.swap(queuedLines);
  }
  if (lines.empty() || AppendEventLines(logPath, lines)) return;
  // Another program writes to the file just now: the lines wait for the next
  // write, before any recorded since.
  QueueLock lock;
  queuedLines.insert(0, lines);
  TrimQueue();
}

void EndEventLog() {
  if (!logging) return;
  LogEvent("monitor ended");
  logging = false;
  WriteEventLog();
}

bool EventLogHook(TControl* control, TWindowMessage& msg, LRESULT& result) {
  (void)control;
  switch (msg.message) {
    case WM_CREATE:
      // Lines recorded before the window was there were posted nowhere.
      logWindow = msg.hwnd;
      PostWrite();
      return false;
    case WM_DESTROY: logWindow = nullptr; return false;
    case kWriteEventLogMessage:
      WriteEventLog();
      result = 0;
      return true;
    default: return false;
  }
}
