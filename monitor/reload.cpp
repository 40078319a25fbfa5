// Settings without a restart. The user-interface thread's loop waits for the
// change notification of the programs' folder besides its messages; once the
// folder has been quiet for kSettleTime (a save makes a temporary file, writes
// it, and renames it over the old one: a burst of changes), it looks whether
// the settings file or the pack in force has changed, and if so reads both
// again into fresh records. They are put in force under the claim while no
// sequence is in progress, else a moment later: a countdown keeps the
// settings it began with. A save replaces the file whole by a rename, so a
// settled folder holds a whole file; a read that fails keeps the settings in
// force.
#include "monitor/monitor.h"

#include <utility>

#include "shared/files.h"
#include "shared/text.h"

namespace {

// How soon a look that found a sequence in progress comes again.
const DWORD kRetryTime = 200;  // ms

// User-interface thread only.
HANDLE folderChanges = INVALID_HANDLE_VALUE;
// The files the settings in force were read from, as their folder listed them
// just before the read: the monitor's own writes beside them (its event log,
// the power log) change the folder, not these.
TFileStamp settingsStamp;
TFileStamp packStamp;

std::wstring SettingsPath(const std::wstring& folder) { return folder + L"\\" + kSettingsFileName; }

// The pack the settings name; empty when they name none.
std::wstring PackPath(const std::wstring& folder, const TMonitorSettings& settings) {
  return settings.lng_file.empty() ? std::wstring() : folder + L"\\" + settings.lng_file;
}

TFileStamp PackStampOf(const std::wstring& path) {
  return path.empty() ? TFileStamp() : StampOf(path);
}

// What a reload puts in force, with the stamps of the files it was read from.
struct TFreshSettings {
  TMonitorWindow* monitor;
  TMonitorSettings settings;
  TMessageTexts texts;
  TFileStamp settingsStamp;
  TFileStamp packStamp;
};

// Holding the sequence, none in progress.
void PutInForce(void* context) {
  auto* fresh = static_cast<TFreshSettings*>(context);
  bool wasLogging = monitorSettings.event_log;
  monitorSettings = std::move(fresh->settings);
  messageTexts = std::move(fresh->texts);
  settingsStamp = fresh->settingsStamp;
  packStamp = fresh->packStamp;
  // The overlay is hidden: its texts are those of the hidden overlay.
  ApplyOverlaySettings(fresh->monitor);
  ResetOverlay(fresh->monitor);
  // Logging turned off records this line still; turned on, from this line on.
  SetEventLogging(wasLogging || monitorSettings.event_log);
  LogEvent("settings reread: " + SettingsSummary(monitorSettings));
  SetEventLogging(monitorSettings.event_log);
}

void OnLookDue(void* monitor) { RereadSettings(static_cast<TMonitorWindow*>(monitor)); }

void OnFolderChanged(void* monitor) {
  // A change notification that cannot be renewed would be signalled for good.
  if (!FindNextChangeNotification(folderChanges)) {
    StopWatchingSettings();
    return;
  }
  // Each change puts the look off again, until the folder has been quiet.
  SetLoopDeadline(kSettleTime, OnLookDue, monitor);
}

}  // namespace

bool ReadSettingsFiles(const std::wstring& folder, TMonitorSettings* settings, TMessageTexts* texts,
                       TFileStamp* settingsStamp, TFileStamp* packStamp) {
  if (settingsStamp) *settingsStamp = StampOf(SettingsPath(folder));
  bool read = ReadTextLines(SettingsPath(folder), [settings](int number, const std::string& line) {
    LoadSettingsLine(*settings, number, line);
  });
  std::wstring pack = PackPath(folder, *settings);
  if (packStamp) *packStamp = PackStampOf(pack);
  if (!pack.empty() && IsFile(pack)) {
    read = ReadTextLines(pack,
                         [texts](int number, const std::string& line) {
                           LoadLanguageLine(*texts, number, line);
                         }) &&
           read;
  }
  // From here on the action and battery texts hold only "%second%".
  const std::wstring word = ActionWordOf(*texts, settings->power_action);
  ReplaceFirst(&texts->action, kActionPlaceholder, word);
  ReplaceFirst(&texts->battery, kActionPlaceholder, word);
  return read;
}

void ApplyOverlaySettings(TMonitorWindow* monitor) {
  SetColor(monitor->form, monitorSettings.background_color);
  SetColor(monitor->Label1, monitorSettings.background_color);
  SetColor(monitor->Label2, monitorSettings.background_color);
  SetFontColor(GetFont(monitor->Label1), monitorSettings.text_color);
  SetFontColor(GetFont(monitor->Label2), monitorSettings.text_color);
}

void WatchSettings(TMonitorWindow* monitor, const TFileStamp& settingsRead,
                   const TFileStamp& packRead) {
  settingsStamp = settingsRead;
  packStamp = packRead;
  folderChanges =
      FindFirstChangeNotificationW(programDirectory.c_str(), FALSE,
                                   FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME);
  if (folderChanges == INVALID_HANDLE_VALUE) return;
  SetLoopWait(folderChanges, OnFolderChanged, monitor);
}

void StopWatchingSettings() {
  SetLoopDeadline(0, nullptr, nullptr);
  if (folderChanges == INVALID_HANDLE_VALUE) return;
  SetLoopWait(nullptr, nullptr, nullptr);
  FindCloseChangeNotification(folderChanges);
  folderChanges = INVALID_HANDLE_VALUE;
}

void RereadSettings(TMonitorWindow* monitor) {
  // No read while a countdown runs: the user-interface thread serves its ticks.
  if (SequenceInProgress()) {
    SetLoopDeadline(kRetryTime, OnLookDue, monitor);
    return;
  }
  if (StampOf(SettingsPath(programDirectory)) == settingsStamp &&
      PackStampOf(PackPath(programDirectory, monitorSettings)) == packStamp) {
    return;
  }
  TFreshSettings fresh;
  fresh.monitor = monitor;
  // A failed read keeps the settings in force (and the stamps: the next change
  // in the folder tries again).
  if (!ReadSettingsFiles(programDirectory, &fresh.settings, &fresh.texts, &fresh.settingsStamp,
                         &fresh.packStamp)) {
    return;
  }
  // A sequence that began meanwhile keeps the old settings.
  if (!RunBetweenSequences(PutInForce, &fresh)) SetLoopDeadline(kRetryTime, OnLookDue, monitor);
}
