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
// in the kept part of the file.
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
  auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  // The keys in the order of the file; the pack's name last, as it may hold blanks.
  return "power_action=" + DecimalText(ActionIndexOf(settings.power_action)) +
         " force_power=" + flag(settings.force_power) +
         " cancel_time=" + DecimalText(settings.cancel_time) +
         " delay_time=" + DecimalText(settings.delay_time) +
         " critical_battery=" + DecimalText(settings.critical_battery) +
         " warning_sound=" + flag(settings.warning_sound) +
         " event_log=" + flag(settings.event_log) +
         " background_color=" + DecimalText(settings.background_color) +
         " text_color=" + DecimalText(settings.text_color) +
         " font_size=" + DecimalText(settings.font_size) +
         " font_autosize=" + flag(settings.font_autosize) +
         " lng_file=" + ToLogText(settings.lng_file);
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
