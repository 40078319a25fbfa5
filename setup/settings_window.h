// The settings application's one window: its holder object, the process-wide
// state it works on, and every handler attached to its controls.
#pragma once

#include <cstddef>
#include <string>

#include "setup/language_packs.h"
#include "shared/language.h"
#include "shared/settings.h"
#include "winobj/winobj.h"

// Holds references to the form and its controls; a dependent of frmMain, which
// owns everything through the layer's dependents.
struct TSettingsWindow : TRefObject {
  TControl* btnOK = nullptr;
  TControl* btnCancel = nullptr;
  TControl* btnPreview = nullptr;
  TControl* btnBackgroundColor = nullptr;
  TControl* btnTextColor = nullptr;
  TControl* chkForce = nullptr;
  TControl* chkAutostart = nullptr;
  TControl* chkAutoSize = nullptr;
  TColorChooser* dlgColor = nullptr;
  TControl* cbAction = nullptr;
  TControl* cbLanguage = nullptr;
  TControl* edtCancelTime = nullptr;
  TControl* edtFontSize = nullptr;
  TControl* edtDelayTime = nullptr;
  TControl* frmMain = nullptr;
  TControl* Label1 = nullptr;
  TControl* lblDelayUnit = nullptr;
  TControl* lblBackgroundColor = nullptr;
  TControl* lblTextColor = nullptr;
  TControl* lblFontSize = nullptr;
  TControl* lblLanguage = nullptr;
  TControl* Label2 = nullptr;
  TControl* lblTabGeneral = nullptr;
  TControl* lblTabView = nullptr;
  TControl* lblTabLanguage = nullptr;
  TControl* lblAction = nullptr;
  TControl* lblCancelTime = nullptr;
  TControl* lblCancelUnit = nullptr;
  TControl* lblDelayTime = nullptr;
  TControl* pnlPreview = nullptr;
  TControl* pnlMain = nullptr;
  TControl* pnlTabGeneral = nullptr;
  TControl* pnlGeneral = nullptr;
  TControl* pnlTabView = nullptr;
  TControl* pnlView = nullptr;
  TControl* pnlTabLanguage = nullptr;
  TControl* pnlLanguage = nullptr;
  TControl* pnlBackgroundColor = nullptr;
  TControl* pnlTextColor = nullptr;
  TControl* sbCancelTime = nullptr;
  TControl* sbFontSize = nullptr;
  TControl* sbDelayTime = nullptr;
  // The fourth page: the battery level that acts, the sound, the event log.
  TControl* pnlTabOther = nullptr;
  TControl* lblTabOther = nullptr;
  TControl* pnlOther = nullptr;
  TControl* lblCriticalBattery = nullptr;
  TControl* edtCriticalBattery = nullptr;
  TControl* sbCriticalBattery = nullptr;
  TControl* lblBatteryUnit = nullptr;
  TControl* chkWarningSound = nullptr;
  TControl* chkEventLog = nullptr;
  TControl* edtEventLog = nullptr;  // read-only: the latest events, newest first
};

enum TSettingsPage { kPageGeneral, kPageView, kPageLanguage, kPageOther };
const int kPageCount = 4;
// How many of the log's latest events the fourth page shows.
const size_t kShownEvents = 200;

// Colours of the window and its tabs (COLORREF 0x00BBGGRR).
const TColor WindowColor = 0x00FFFFFF;
const TColor IdleTabColor = 0x0084ACFF;
const TColor ActiveTabColor = 0x000080FF;

// Fixed texts of the window and its message boxes.
extern const wchar_t kWindowCaption[];       // "Настройки Vorlix"
extern const wchar_t kMonitorMissingText[];  // "Приложение Vorlix не найдено"
extern const wchar_t kInvalidDataText[];  // "Введены некорректные данные"
extern const wchar_t kPackMissingText[];  // "Выбранный языковой пакет не найден"
extern const wchar_t kRestartQuestionText[];

// Process-wide state, one instance each for the whole run.
extern TSettings settings;  // read once from the file; editing never changes it
extern std::wstring programDirectory;
extern TLanguageObjectList languageList;  // entry i is item i of cbLanguage
extern int screenDpi;
extern bool cancelSyncEnabled, fontSyncEnabled, delaySyncEnabled, batterySyncEnabled;
extern TMessageTexts messageTexts;   // the preview's copy of the monitor's texts
extern POINT previewPointer;         // where the pointer stood when the preview came up
extern std::wstring writeErrorText;  // "Ошибка записи данных в файл"
extern std::wstring registryErrorText;  // "Ошибка изменения данных реестра"
// The program file whose folder is programDirectory; empty means the running
// module. Tests point it into a folder of their own.
extern std::wstring programFileOverride;

// Puts the process-wide state back to its start values.
void InitializeSetupState();
// Releases what the state holds at the end of the run.
void FinalizeSetupState();

// Builds the form and every control, attaches the handlers and fills the
// controls; *window receives the holder object.
void CreateSettingsWindow(TSettingsWindow** window, TControl* parent);
void InitializeSettingsWindow(TSettingsWindow* window);

// programDirectory + "\" + name
std::wstring ProgramFile(const std::wstring& name);

// Handlers; each takes the holder object as its context.
// Its part after the menu bar: the window over the screen, the General page
// with the focus on its caption.
void OnSettingsShow(TSettingsWindow* window, TControl* sender);
// The form over the given screen, then its content for that size.
void LayOutSettingsWindow(TSettingsWindow* window, const RECT& screen);
// The form over the screen as it is now (after a rotation or a new resolution).
void OnScreenChange(TSettingsWindow* window, TControl* sender);
// The content for the form's size: the margins, the preview's panel, every
// caption and item fitted, labels on their fields' lines. The page stays; the
// preview, laid out for the old size, is left.
void OnSettingsResize(TSettingsWindow* window, TControl* sender);
// Keys before the controls see them: any key leaves the preview (a device
// without a touch screen has no other way out); Ctrl+Tab and Ctrl+Shift+Tab
// turn the pages, and so do Right and Left at the selected page's caption.
void OnSettingsKeyDown(TSettingsWindow* window, TControl* sender, int& key, uint32_t shift);
void ClearPageSelection(TSettingsWindow* window);
void SelectPage(TSettingsWindow* window, TSettingsPage page);
void OnGeneralTabClick(TSettingsWindow* window, TControl* sender);
void OnViewTabClick(TSettingsWindow* window, TControl* sender);
void OnLanguageTabClick(TSettingsWindow* window, TControl* sender);
void OnOtherTabClick(TSettingsWindow* window, TControl* sender);
// Any pointer movement leaves the preview.
void OnPreviewMouseMove(TSettingsWindow* window, TControl* sender, TMouseEventData& data);
// Back from the preview to the settings, "Просмотр" focused.
void LeavePreview(TSettingsWindow* window);
void OnCancelClick(TSettingsWindow* window, TControl* sender);

// Validation and saving.
void OnOkClick(TSettingsWindow* window, TControl* sender);
std::string BuildSettingsText(TSettingsWindow* window);
// A field rule: when test accepts the box's text, the text is normalised to plain
// decimal and true returned; otherwise the warning, the page, the text selected
// and focused, and false.
bool CheckNumberField(TSettingsWindow* window, TControl* edit, bool (*test)(const std::wstring&),
                      TSettingsPage page);
bool IsFontSizeText(const std::wstring& text);  // 6 to 72
bool IsPercentText(const std::wstring& text);   // 0 to 100
// The selected pack's file name in *fileName (empty without packs); false, after
// the warning and the Language page, when its file is gone.
bool CheckLanguagePack(TSettingsWindow* window, std::wstring* fileName);
// The message of a save that failed with the error: writeErrorText, then the
// cause in the user's words (the error's code where it has none).
std::wstring WriteErrorMessage(DWORD error);
void ShowWarning(TSettingsWindow* window, const std::wstring& text);
void ShowError(TSettingsWindow* window, const std::wstring& text);

// Colour buttons, spin pairs, automatic size and the preview.
void OnBackgroundColorClick(TSettingsWindow* window, TControl* sender);
void OnTextColorClick(TSettingsWindow* window, TControl* sender);
void OnCancelTimeChange(TSettingsWindow* window, TControl* sender);
void OnDelayTimeChange(TSettingsWindow* window, TControl* sender);
void OnFontSizeChange(TSettingsWindow* window, TControl* sender);
void OnCriticalBatteryChange(TSettingsWindow* window, TControl* sender);
void OnCancelTimeScroll(TSettingsWindow* window, TControl* sender, int code);
void OnDelayTimeScroll(TSettingsWindow* window, TControl* sender, int code);
void OnFontSizeScroll(TSettingsWindow* window, TControl* sender, int code);
void OnCriticalBatteryScroll(TSettingsWindow* window, TControl* sender, int code);
void OnAutoSizeClick(TSettingsWindow* window, TControl* sender);
void OnPreviewClick(TSettingsWindow* window, TControl* sender);
