// OK: the field rules, the settings file, the start-up entry and the restart
// question.
#include "setup/registry.h"
#include "setup/settings_window.h"
#include "shared/files.h"
#include "shared/text.h"
#include "shared/ui.h"

namespace {

// The file name of the selected pack; empty without packs or without a selection.
std::wstring SelectedPackFileName(TSettingsWindow* w) {
  if (GetItemCount(w->cbLanguage) <= 0) return std::wstring();
  int index = GetItemIndex(w->cbLanguage);
  if (index < 0 || index >= static_cast<int>(languageList.size())) return std::wstring();
  return languageList[index].fileName;
}

void Normalize(TControl* edit) { SetText(edit, IntToText(TextToInt(GetText(edit)))); }

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

}  // namespace

void ShowWarning(TSettingsWindow* w, const std::wstring& text) {
  ShowWarningBox(GetHandle(w->frmMain), GetText(w->frmMain), text);
}

void ShowError(TSettingsWindow* w, const std::wstring& text) {
  ShowErrorBox(GetHandle(w->frmMain), GetText(w->frmMain), text);
}

bool IsFontSizeText(const std::wstring& text) { return IsIntInRange(text, 6, 72); }

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

  // From here on every step is tried once, whatever the one before gave.
  if (!WriteTextFile(ProgramFile(kSettingsFileName), BuildSettingsText(w))) {
    ShowError(w, writeErrorText);
  }
  UpdateStartupEntry(w);
  if (AskYesNo(GetHandle(w->frmMain), GetText(w->frmMain), kRestartQuestionText) == IDYES) {
    SetPowerState(POWER_STATE_RESET, false);
  }
  CloseForm(w->frmMain);
}
