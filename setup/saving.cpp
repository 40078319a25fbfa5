// OK: the field rules, the settings file, the start-up entry, and how the new
// settings take effect.
#include "setup/registry.h"
#include "setup/settings_window.h"
#include "shared/files.h"
#include "shared/instance.h"
#include "shared/text.h"
#include "shared/ui.h"

namespace {

const wchar_t kStartQuestionText[] =
    L"Приложение Vorlix не запущено. Новые параметры вступят в силу после его запуска.\r\n\r\n"
    L"Запустить Vorlix сейчас?";
const wchar_t kStartFailedText[] = L"Не удалось запустить приложение Vorlix.\r\n\r\n";

// The file name of the selected pack; empty without packs or without a selection.
std::wstring SelectedPackFileName(TSettingsWindow* w) {
  if (GetItemCount(w->cbLanguage) <= 0) return std::wstring();
  int index = GetItemIndex(w->cbLanguage);
  if (index < 0 || index >= static_cast<int>(languageList.size())) return std::wstring();
  return languageList[index].fileName;
}

void Normalize(TControl* edit) { SetText(edit, IntToText(TextToInt(GetText(edit)))); }

// Why a save failed, in the user's words, by the error the file layer saw.
struct TWriteCause {
  DWORD error;
  const wchar_t* text;
};
const TWriteCause kWriteCauses[] = {
    {ERROR_SHARING_VIOLATION, L"Файл открыт другой программой"},
    {ERROR_LOCK_VIOLATION, L"Запись в файл заблокирована другой программой"},
    {ERROR_FILE_READ_ONLY, L"Файл доступен только для чтения"},
    {ERROR_DIRECTORY, L"На месте файла находится папка"},
    {ERROR_ACCESS_DENIED, L"Папка доступна только для чтения"},
    {ERROR_WRITE_PROTECT, L"Папка доступна только для чтения"},
    {ERROR_PATH_NOT_FOUND, L"Папка не найдена"},
    {ERROR_FILENAME_EXCED_RANGE, L"Слишком длинный путь к файлу"},
    {ERROR_NO_UNICODE_TRANSLATION, L"Путь к файлу содержит недопустимые символы"},
    {ERROR_DISK_FULL, L"Недостаточно места на диске"},
    {ERROR_HANDLE_DISK_FULL, L"Недостаточно места на диске"},
};

// What the save's thread is given and gives back.
struct TSaveJob {
  std::wstring path;
  std::string bytes;
  DWORD error;
};

DWORD WINAPI RunSave(void* context) {
  TSaveJob* job = static_cast<TSaveJob*>(context);
  job->error = WriteTextFile(job->path, job->bytes) ? ERROR_SUCCESS : GetLastError();
  return 0;
}

// Saves on a thread of its own under the wait cursor: a save may wait seconds
// for its turn or for a reader of the file, and meanwhile this thread paints
// its windows, so that the program never looks frozen. Input given meanwhile
// is dropped: a tap or a key meant for a busy window must not act afterwards.
// The error the save ended with, ERROR_SUCCESS when it landed.
DWORD SaveWhilePainting(const std::wstring& path, const std::string& bytes) {
  TSaveJob job = {path, bytes, ERROR_SUCCESS};
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  HANDLE thread = CreateThread(nullptr, 0, RunSave, &job, 0, nullptr);
  if (thread) {
    // One paint at a time: a window that never validates itself cannot keep
    // the end of the save from being seen.
    while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_PAINT | QS_SENDMESSAGE,
                                       MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) {
      MSG message;
      if (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageW(&message);
    }
    CloseHandle(thread);
  } else {
    RunSave(&job);
  }
  MSG input;
  while (PeekMessageW(&input, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
         PeekMessageW(&input, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  SetCursor(previous);
  return job.error;
}

// Adds or removes the monitor's start-up entry so that it matches chkAutostart.
void UpdateStartupEntry(TSettingsWindow* w) {
  const std::wstring exe = ProgramFile(kMonitorFileName);
  std::wstring valueName;
  bool found = FindStartupEntry(exe, &valueName);
  bool ok = true;
  if (GetChecked(w->chkAutostart)) {
    if (!found) ok = AddStartupEntry(exe, &valueName, settings.initial_slot_index);
  } else {
    // Every entry that names the monitor goes: leaving a second one would still
    // start it at boot although the box says otherwise.
    while (found && ok) {
      ok = RemoveStartupEntry(valueName);
      found = ok && FindStartupEntry(exe, &valueName);
    }
  }
  if (!ok) ShowError(w, registryErrorText);
}

// Starts the monitor beside this program, as the system does at boot: no
// arguments, not waited for.
bool StartMonitorProgram() {
  const std::wstring exe = ProgramFile(kMonitorFileName);
  // The desktop wants a start-up record; the device ignores it.
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Puts the saved settings in force. A running monitor reads them itself. One
// that is not running is offered a start; only when it cannot be started is a
// restart the way left (the system starts it at boot).
void PutSettingsInForce(TSettingsWindow* w) {
  if (MonitorIsRunning()) return;
  HWND owner = GetHandle(w->frmMain);
  const std::wstring caption = GetText(w->frmMain);
  if (AskYesNo(owner, caption, kStartQuestionText) != IDYES || StartMonitorProgram()) return;
  if (AskYesNo(owner, caption, kStartFailedText + std::wstring(kRestartQuestionText)) == IDYES) {
    SetPowerState(POWER_STATE_RESET, false);
  }
}

}  // namespace

std::wstring WriteErrorMessage(DWORD error) {
  std::wstring cause = L"Код ошибки: " + IntToText(static_cast<int32_t>(error));
  for (const TWriteCause& known : kWriteCauses) {
    if (known.error == error) cause = known.text;
  }
  return writeErrorText + L"\r\n\r\n" + cause;
}

void ShowWarning(TSettingsWindow* w, const std::wstring& text) {
  ShowWarningBox(GetHandle(w->frmMain), GetText(w->frmMain), text);
}

void ShowError(TSettingsWindow* w, const std::wstring& text) {
  ShowErrorBox(GetHandle(w->frmMain), GetText(w->frmMain), text);
}

bool IsFontSizeText(const std::wstring& text) { return IsIntInRange(text, 6, 72); }
bool IsPercentText(const std::wstring& text) { return IsIntInRange(text, 0, 100); }

bool CheckNumberField(TSettingsWindow* w, TControl* edit, bool (*test)(const std::wstring&),
                      TSettingsPage page) {
  if (!test(GetText(edit))) {
    ShowWarning(w, kInvalidDataText);
    SelectPage(w, page);
    SelectAllText(edit);
    SetFocused(edit, true);
    return false;
  }
  Normalize(edit);
  return true;
}

bool CheckLanguagePack(TSettingsWindow* w, std::wstring* fileName) {
  fileName->clear();
  if (GetItemCount(w->cbLanguage) <= 0) return true;
  std::wstring name = SelectedPackFileName(w);
  if (name.empty() || !IsFile(ProgramFile(name))) {
    ShowWarning(w, kPackMissingText);
    SelectPage(w, kPageLanguage);
    SetFocused(w->cbLanguage, true);
    return false;
  }
  *fileName = name;
  return true;
}

std::string BuildSettingsText(TSettingsWindow* w) {
  TSettings values = settings;  // initial_slot_index: as read, no control shows it
  int action = GetItemIndex(w->cbAction);
  values.power_action = static_cast<uint8_t>(action < 0 ? 0 : action);
  values.force_power = GetChecked(w->chkForce);
  values.cancel_time = static_cast<uint8_t>(TextToInt(GetText(w->edtCancelTime)));
  values.delay_time = static_cast<uint8_t>(TextToInt(GetText(w->edtDelayTime)));
  values.background_color = GetColor(w->pnlBackgroundColor);
  values.text_color = GetColor(w->pnlTextColor);
  values.font_size = static_cast<uint8_t>(TextToInt(GetText(w->edtFontSize)));
  values.font_autosize = GetChecked(w->chkAutoSize);
  values.lng_file = SelectedPackFileName(w);
  values.critical_battery = static_cast<uint8_t>(TextToInt(GetText(w->edtCriticalBattery)));
  values.warning_sound = GetChecked(w->chkWarningSound);
  values.event_log = GetChecked(w->chkEventLog);
  return ToAnsiTextLossy(FormatSettingsText(values));
}

void OnOkClick(TSettingsWindow* w, TControl* sender) {
  (void)sender;
  if (!CheckNumberField(w, w->edtCancelTime, IsByteText, kPageGeneral)) return;
  if (!CheckNumberField(w, w->edtDelayTime, IsByteText, kPageGeneral)) return;
  if (GetChecked(w->chkAutoSize)) {
    // Not used with automatic size: a bad value quietly becomes the file's.
    if (!IsFontSizeText(GetText(w->edtFontSize)))
      SetText(w->edtFontSize, IntToText(settings.font_size));
    Normalize(w->edtFontSize);
  } else if (!CheckNumberField(w, w->edtFontSize, IsFontSizeText, kPageView)) {
    return;
  }
  std::wstring packFile;
  if (!CheckLanguagePack(w, &packFile)) return;
  if (!CheckNumberField(w, w->edtCriticalBattery, IsPercentText, kPageOther)) return;

  // A failed save loses nothing: the window stays with every edit, for OK again
  // or "Отмена". The start-up entry stays as it is too: with the file unwritten
  // it would start the monitor on the old settings, and "Отмена" promises that
  // nothing was changed.
  DWORD error = SaveWhilePainting(ProgramFile(kSettingsFileName), BuildSettingsText(w));
  if (error != ERROR_SUCCESS) {
    ShowError(w, WriteErrorMessage(error));
    return;
  }
  UpdateStartupEntry(w);
  PutSettingsInForce(w);
  CloseForm(w->frmMain);
}
