// Start-up and lifetime of the monitor: the object with its form and labels,
// the start-up sequence, and the end when the form closes.
#include "monitor/monitor.h"

#include "shared/files.h"
#include "shared/instance.h"
#include "shared/paths.h"
#include "shared/text.h"
#include "shared/ui.h"

TMonitorWindow* theMonitor = nullptr;
TMonitorSettings monitorSettings;
TMessageTexts messageTexts;
std::wstring programDirectory;
int32_t screenDpi = 96;

namespace {

// Held while this copy runs (see InitializeMonitor).
HANDLE instanceMark = nullptr;
// The folder the tests give the monitor, in place of the program's own.
std::wstring testFolder;

// The monitor object goes with its form, however the loop ended: nothing may
// reach it, or the form, afterwards.
void OnMonitorDestroy(void* context, TRefObject* object) {
  (void)context;
  StopMonitorThreads();
  if (theMonitor == object) theMonitor = nullptr;
}

}  // namespace

void SetProgramDirectoryForTesting(const std::wstring& folder) { testFolder = folder; }

void BuildMonitorForm(TMonitorWindow* monitor) {
  TControl* form = NewForm(nullptr, L"frmMain");
  monitor->form = form;
  SetMainForm(form);
  AddDependent(form, monitor);
  SetOnDestroy(monitor, OnMonitorDestroy, nullptr);

  SetOnClose(form, OnMonitorClose, monitor);
  SetOnMouseMove(form, OnOverlayMouseMove, monitor);
  SetOnShow(form, OnOverlayShow, monitor);
  AddHook(form, EventLogHook);

  // Places and sizes hold only until the first show lays the overlay out.
  TControl* label1 = SetSize(SetPosition(NewLabel(form, L"Label1"), 7, 144), 383, 19);
  SetWordWrap(label1);
  SetFontStyle(GetFont(label1), kFontBold);
  SetFontHeight(GetFont(label1), -11);
  SetTextAlign(label1, kAlignCenter);
  monitor->Label1 = label1;

  TControl* label2 = SetSize(SetPosition(NewLabel(form, L"Label2"), 6, 160), 387, 18);
  SetWordWrap(label2);
  SetFontHeight(GetFont(label2), -11);
  SetTextAlign(label2, kAlignCenter);
  monitor->Label2 = label2;

  SetOnMouseMove(label1, OnOverlayMouseMove, monitor);
  SetOnMouseMove(label2, OnOverlayMouseMove, monitor);
}

void CreateMonitorWindow(TMonitorWindow*& monitor, TControl* parent) {
  (void)parent;  // the monitor's form has no parent
  monitor = NewObject<TMonitorWindow>();
  BuildMonitorForm(monitor);
  InitializeMonitor(monitor);
}

void InitializeMonitor(TMonitorWindow* monitor) {
  SetText(monitor->form, L"");
  SetText(GetMainForm(), L"");
  programDirectory = testFolder.empty() ? ParentDirectory(GetCommandLineArgument(0)) : testFolder;

  // One running copy. A second start (by hand, beside the one the system
  // started) ends quietly: two would share the power queue, each taking some of
  // the notifications, and nothing would be gained.
  // A mark that cannot be made at all (an object of another kind took the
  // name) must not keep the monitor from running.
  instanceMark = CreateEventW(nullptr, TRUE, FALSE, kMonitorInstanceName);
  bool only = !instanceMark || GetLastError() != ERROR_ALREADY_EXISTS;
  if (!only) {
    CloseHandle(instanceMark);
    instanceMark = nullptr;
    PostQuitMessage(0);
  }

  // A missing thread quits once the loop runs; the rest still starts up.
  if (only && !CreateDelayThread()) PostQuitMessage(0);
  if (only && !CreateCountdownThread()) PostQuitMessage(0);

  FinishInterruptedSave(programDirectory + L"\\" + kSettingsFileName);
  // Into the records as they stand (the defaults): a file that is missing
  // leaves them so.
  TFileStamp settingsRead, packRead;
  ReadSettingsFiles(programDirectory, &monitorSettings, &messageTexts, &settingsRead, &packRead);
  // A second copy records nothing: the log is the running copy's.
  StartEventLog(programDirectory, only && monitorSettings.event_log);
  LogEvent("monitor started");
  LogEvent("settings read: " + SettingsSummary(monitorSettings));

  screenDpi = ScreenDpi();

  ApplyOverlaySettings(monitor);
  SetText(monitor->Label1, L"");
  SetText(monitor->Label2, L"");

  // No thread runs yet: this only prepares the hidden, topmost overlay, with
  // no cancel holding the battery's notice back.
  RearmBatteryNotice();
  StopSequence(monitor, false);

  if (only && !SwitchPowerListener(true)) PostQuitMessage(0);
  if (only) WatchSettings(monitor, settingsRead, packRead);
  // Nothing counts down yet, so the user-interface thread may write now.
  WriteEventLog();
}

void OnMonitorClose(void* context, TControl* sender, bool& allow) {
  (void)context;
  // A close that comes while this thread serves a message sent by another
  // thread (a tick updating the overlay, which holds the sequence and waits for
  // this very message; or another program) is put off until the loop takes it:
  // here it would wait for that tick for good.
  if (InSendMessage()) {
    allow = false;
    PostMessageW(sender->handle, WM_CLOSE, 0, 0);
    return;
  }
  StopMonitorThreads();
}

void StopMonitorThreads() {
  // Each thread finishes the notification or tick in progress before it is
  // ended: one ended in the middle may hold the heap or a queue lock that the
  // rest of the shutdown needs.
  QuiescePowerQueueReader();
  EndWorkerThreads();
  SwitchPowerListener(false);
  StopWatchingSettings();
  EndEventLog();
  if (instanceMark) {
    CloseHandle(instanceMark);
    instanceMark = nullptr;
  }
}
