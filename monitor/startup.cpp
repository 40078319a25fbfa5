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

// The monitor object goes with its form, however the loop ended: nothing may
// reach it, or the form, afterwards.
void OnMonitorDestroy(void* context, TRefObject* object) {
  (void)context;
  StopMonitorThreads();
  if (theMonitor == object) theMonitor = nullptr;
}

}  // namespace

void BuildMonitorForm(TMonitorWindow* monitor) {
  TControl* form = NewForm(nullptr, L"frmMain");
  monitor->form = form;
  SetMainForm(form);
  AddDependent(form, monitor);
  SetOnDestroy(monitor, OnMonitorDestroy, nullptr);

  SetOnClose(form, OnMonitorClose, monitor);
  SetOnMouseMove(form, OnOverlayMouseMove, monitor);
  SetOnShow(form, OnOverlayShow, monitor);

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
  programDirectory = ParentDirectory(GetCommandLineArgument(0));

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
  ReadTextLines(
      programDirectory + L"\\" + kSettingsFileName,
      [](int number, const std::string& line) { LoadSettingsLine(monitorSettings, number, line); });
  // With no pack named the path is the folder itself, which reads nothing.
  ReadTextLines(
      programDirectory + L"\\" + monitorSettings.lng_file,
      [](int number, const std::string& line) { LoadLanguageLine(messageTexts, number, line); });
  // Once per run: from here on the action and battery texts hold only "%second%".
  ReplaceFirst(&messageTexts.action, kActionPlaceholder,
               ActionWordOf(messageTexts, monitorSettings.power_action));
  ReplaceFirst(&messageTexts.battery, kActionPlaceholder,
               ActionWordOf(messageTexts, monitorSettings.power_action));

  screenDpi = ScreenDpi();

  SetColor(monitor->form, monitorSettings.background_color);
  SetColor(monitor->Label1, monitorSettings.background_color);
  SetColor(monitor->Label2, monitorSettings.background_color);
  SetFontColor(GetFont(monitor->Label1), monitorSettings.text_color);
  SetFontColor(GetFont(monitor->Label2), monitorSettings.text_color);
  SetText(monitor->Label1, L"");
  SetText(monitor->Label2, L"");

  // No thread runs yet: this only prepares the hidden, topmost overlay, with
  // no cancel holding the battery's notice back.
  RearmBatteryNotice();
  StopSequence(monitor, false);

  if (only && !SwitchPowerListener(true)) PostQuitMessage(0);
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
  if (instanceMark) {
    CloseHandle(instanceMark);
    instanceMark = nullptr;
  }
}
