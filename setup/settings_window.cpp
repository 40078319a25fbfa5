// The settings window: construction of every control, the initial fill, the
// full-screen layout on first show, the pages and the way out without saving.
#include "setup/settings_window.h"

#include "setup/registry.h"
#include "shared/files.h"
#include "shared/paths.h"
#include "shared/text.h"
#include "shared/ui.h"

const wchar_t kWindowCaption[] = L"Настройки Vorlix";
const wchar_t kMonitorMissingText[] = L"Приложение Vorlix не найдено";
const wchar_t kInvalidDataText[] = L"Введены некорректные данные";
const wchar_t kPackMissingText[] = L"Выбранный языковой пакет не найден";
const wchar_t kRestartQuestionText[] =
    L"Новые параметры вступят в силу только после перезагрузки устройства...\r\n\r\n"
    L"Перезагрузить устройство сейчас?";

TSettings settings;
std::wstring programDirectory;
TLanguageObjectList languageList;
int screenDpi = 96;
bool cancelSyncEnabled = true, fontSyncEnabled = true, delaySyncEnabled = true;
TMessageTexts messageTexts;
std::wstring writeErrorText;
std::wstring registryErrorText;
std::wstring programFileOverride;

namespace {

// Captions of the table; the initial fill sets them again.
const wchar_t kActionItems[3][16] = {L"Приостановить", L"Выключить", L"Перезагрузить"};
const wchar_t kOkCaption[] = L"OK";
const wchar_t kCancelCaption[] = L"Отмена";
const wchar_t kPreviewCaption[] = L"Просмотр";
const wchar_t kGeneralCaption[] = L"Общие";
const wchar_t kViewCaption[] = L"Вид";
const wchar_t kLanguageCaption[] = L"Язык";
const wchar_t kActionCaption[] = L"Действие:";
const wchar_t kForceCaption[] = L"Принудительно";
const wchar_t kCancelTimeCaption[] = L"Время отмены:";
const wchar_t kDelayTimeCaption[] = L"Время задержки:";
const wchar_t kUnitCaption[] = L"сек.";
const wchar_t kAutostartCaption[] = L"Запускать Vorlix при старте Windows";
const wchar_t kBackgroundColorCaption[] = L"Цвет фона:";
const wchar_t kTextColorCaption[] = L"Цвет текста:";
const wchar_t kChangeCaption[] = L"Изменить";
const wchar_t kFontSizeCaption[] = L"Размер шрифта:";
const wchar_t kAutoSizeCaption[] = L"Авторазмер";
const wchar_t kLanguagePackCaption[] = L"Языковой пакет:";

// An unsorted drop-down list (0x111).
const uint32_t kDropDownListOptions = kComboDropDownList | kComboNoIntegralHeight | kComboNoStyle;

// Adapters from the layer's event procedures to the typed handlers.
template <void (*Handler)(TSettingsWindow*, TControl*)>
void Notify(void* context, TControl* sender) {
  Handler(static_cast<TSettingsWindow*>(context), sender);
}
template <void (*Handler)(TSettingsWindow*, TControl*, int)>
void Scroll(void* context, TControl* sender, int code) {
  Handler(static_cast<TSettingsWindow*>(context), sender, code);
}
void PreviewMouseMove(void* context, TControl* sender, TMouseEventData& data) {
  OnPreviewMouseMove(static_cast<TSettingsWindow*>(context), sender, data);
}

TControl* Place(TControl* control, int left, int top, int width, int height) {
  SetPosition(control, left, top);
  SetSize(control, width, height);
  return control;
}

void SmallFont(TControl* control) { SetFontHeight(GetFont(control), -11); }

TControl* MakeLabel(TControl* parent, const std::wstring& caption, int left, int top, int width,
                    int height, int align) {
  TControl* label = Place(NewLabel(parent, caption), left, top, width, height);
  SmallFont(label);
  if (align != kAlignLeft) SetTextAlign(label, align);
  return label;
}

TControl* MakeButton(TControl* parent, const std::wstring& caption, int left, int top, int width,
                     int height) {
  TControl* button = Place(NewButton(parent, caption), left, top, width, height);
  SmallFont(button);
  return button;
}

TControl* MakeCheckBox(TControl* parent, const std::wstring& caption, int left, int top, int width,
                       int height) {
  TControl* box = Place(NewCheckBox(parent, caption), left, top, width, height);
  SmallFont(box);
  return box;
}

TControl* MakePanel(TControl* parent, int edge, int left, int top, int width, int height,
                    TColor color) {
  TControl* panel = Place(NewPanel(parent, edge), left, top, width, height);
  SetColor(panel, color);
  return panel;
}

TControl* MakeEditBox(TControl* parent, const std::wstring& text, int left, int top) {
  TControl* edit = Place(NewEditBox(parent, 0), left, top, 32, 21);
  SetText(edit, text);
  SmallFont(edit);
  return edit;
}

TControl* MakeScrollBar(TControl* parent, int left, int top) {
  TControl* bar = Place(NewScrollBar(parent, kScrollBarVertical), left, top, 21, 21);
  SetScrollMax(bar, 255);
  return bar;
}

TControl* MakeComboBox(TControl* parent) {
  TControl* combo = Place(NewComboBox(parent, kDropDownListOptions), 112, 16, 256, 24);
  SmallFont(combo);
  SetColor(combo, kColorWindow);
  return combo;
}

// The controls of the table, in its order.
void BuildControls(TSettingsWindow* w) {
  TControl* form = w->frmMain;
  w->pnlPreview = MakePanel(form, kPanelNoBorder, 0, 0, 392, 280, 0x0000FF00);
  w->Label1 = Place(NewLabel(w->pnlPreview, L"Label1"), 8, 56, 383, 19);
  SetWordWrap(w->Label1);
  SetFontStyle(GetFont(w->Label1), kFontBold);
  SmallFont(w->Label1);
  SetTextAlign(w->Label1, kAlignCenter);
  w->Label2 = Place(NewLabel(w->pnlPreview, L"Label2"), 4, 72, 387, 18);
  SetWordWrap(w->Label2);
  SmallFont(w->Label2);
  SetTextAlign(w->Label2, kAlignCenter);

  w->pnlMain = MakePanel(form, kPanelNoBorder, 8, 8, 376, 264, 0x00FFFFFF);
  w->btnOK = MakeButton(w->pnlMain, kOkCaption, 224, 240, 72, 24);
  w->btnCancel = MakeButton(w->pnlMain, kCancelCaption, 303, 240, 73, 24);
  w->btnPreview = MakeButton(w->pnlMain, kPreviewCaption, 0, 240, 72, 24);

  w->pnlTabGeneral = MakePanel(w->pnlMain, kPanelNoBorder, 0, 0, 72, 24, ActiveTabColor);
  w->lblTabGeneral = MakeLabel(w->pnlTabGeneral, kGeneralCaption, 8, 5, 57, 16, kAlignCenter);
  TControl* general = w->pnlGeneral =
      MakePanel(w->pnlMain, kPanelNoBorder, 0, 24, 376, 208, ActiveTabColor);
  w->lblDelayUnit = MakeLabel(general, L" сек.", 168, 104, 200, 16, kAlignLeft);
  w->lblAction = MakeLabel(general, kActionCaption, 8, 16, 100, 16, kAlignRight);
  w->lblCancelTime = MakeLabel(general, kCancelTimeCaption, 8, 72, 100, 16, kAlignRight);
  w->lblCancelUnit = MakeLabel(general, L" сек.", 168, 72, 200, 16, kAlignLeft);
  w->lblDelayTime = MakeLabel(general, kDelayTimeCaption, 8, 104, 100, 16, kAlignRight);
  w->sbCancelTime = MakeScrollBar(general, 144, 72);
  w->sbDelayTime = MakeScrollBar(general, 144, 104);
  w->edtCancelTime = MakeEditBox(general, L"8", 112, 72);
  w->edtDelayTime = MakeEditBox(general, L"0", 112, 104);
  w->cbAction = MakeComboBox(general);
  for (const wchar_t* item : kActionItems) AddItem(w->cbAction, item);
  SetItemIndex(w->cbAction, 0);
  w->chkForce = MakeCheckBox(general, kForceCaption, 112, 48, 257, 16);
  w->chkAutostart = MakeCheckBox(general, kAutostartCaption, 8, 184, 361, 16);

  w->pnlTabView = MakePanel(w->pnlMain, kPanelNoBorder, 73, 0, 72, 24, IdleTabColor);
  w->lblTabView = MakeLabel(w->pnlTabView, kViewCaption, 8, 5, 57, 16, kAlignCenter);
  TControl* view = w->pnlView =
      MakePanel(w->pnlMain, kPanelNoBorder, 0, 24, 376, 208, ActiveTabColor);
  w->lblBackgroundColor = MakeLabel(view, kBackgroundColorCaption, 8, 16, 100, 16, kAlignRight);
  w->lblTextColor = MakeLabel(view, kTextColorCaption, 8, 48, 100, 16, kAlignRight);
  w->lblFontSize = MakeLabel(view, kFontSizeCaption, 8, 80, 100, 16, kAlignRight);
  w->sbFontSize = MakeScrollBar(view, 144, 80);
  w->btnBackgroundColor = MakeButton(view, kChangeCaption, 144, 16, 72, 24);
  w->pnlBackgroundColor = MakePanel(view, kPanelWithBorder, 112, 16, 24, 24, 0x00000000);
  w->pnlTextColor = Place(NewPanel(view, kPanelWithBorder), 112, 48, 24, 24);
  SetFontColor(GetFont(w->pnlTextColor), 0x00FFFFFF);
  SetColor(w->pnlTextColor, 0x00FFFFFF);
  w->edtFontSize = MakeEditBox(view, L"10", 112, 80);
  w->btnTextColor = MakeButton(view, kChangeCaption, 144, 48, 72, 24);
  w->chkAutoSize = MakeCheckBox(view, kAutoSizeCaption, 112, 112, 257, 16);

  w->pnlTabLanguage = MakePanel(w->pnlMain, kPanelNoBorder, 146, 0, 72, 24, IdleTabColor);
  w->lblTabLanguage = MakeLabel(w->pnlTabLanguage, kLanguageCaption, 8, 5, 57, 16, kAlignCenter);
  w->pnlLanguage = MakePanel(w->pnlMain, kPanelNoBorder, 0, 24, 376, 208, ActiveTabColor);
  w->lblLanguage = MakeLabel(w->pnlLanguage, kLanguagePackCaption, 8, 16, 100, 16, kAlignRight);
  w->cbLanguage = MakeComboBox(w->pnlLanguage);
  SetItemIndex(w->cbLanguage, 0);
}

// Handlers and anchors, in the order the window relies on: the edit boxes'
// OnChange must exist before the fill so that it moves the scroll bars.
void AttachHandlers(TSettingsWindow* w) {
  SetOnMouseMove(w->Label1, PreviewMouseMove, w);
  SetOnMouseMove(w->Label2, PreviewMouseMove, w);
  SetOnClick(w->lblTabGeneral, Notify<OnGeneralTabClick>, w);
  SetOnClick(w->lblTabView, Notify<OnViewTabClick>, w);
  SetOnClick(w->lblTabLanguage, Notify<OnLanguageTabClick>, w);
  SetOnClick(w->btnOK, Notify<OnOkClick>, w);
  SetDefaultKeyButton(w->btnOK, VK_RETURN, true);
  SetAnchors(w->btnOK, false, false, true, true);
  SetOnScroll(w->sbCancelTime, Scroll<OnCancelTimeScroll>, w);
  SetOnScroll(w->sbFontSize, Scroll<OnFontSizeScroll>, w);
  SetOnScroll(w->sbDelayTime, Scroll<OnDelayTimeScroll>, w);
  SetOnClick(w->btnCancel, Notify<OnCancelClick>, w);
  SetDefaultKeyButton(w->btnCancel, VK_ESCAPE, true);
  SetAnchors(w->btnCancel, false, false, true, true);
  SetOnClick(w->btnBackgroundColor, Notify<OnBackgroundColorClick>, w);
  SetOnClick(w->btnPreview, Notify<OnPreviewClick>, w);
  SetAnchors(w->btnPreview, true, false, false, true);
  SetOnMouseMove(w->pnlPreview, PreviewMouseMove, w);
  SetColor(w->edtCancelTime, kColorWindow);
  SetOnChange(w->edtCancelTime, Notify<OnCancelTimeChange>, w);
  SetColor(w->edtFontSize, kColorWindow);
  SetOnChange(w->edtFontSize, Notify<OnFontSizeChange>, w);
  SetColor(w->edtDelayTime, kColorWindow);
  SetOnChange(w->edtDelayTime, Notify<OnDelayTimeChange>, w);
  SetOnClick(w->pnlTabGeneral, Notify<OnGeneralTabClick>, w);
  SetOnClick(w->pnlTabView, Notify<OnViewTabClick>, w);
  SetOnClick(w->pnlTabLanguage, Notify<OnLanguageTabClick>, w);
  SetAnchors(w->pnlGeneral, true, true, true, true);
  SetAnchors(w->pnlView, true, true, true, true);
  SetAnchors(w->pnlLanguage, true, true, true, true);
  SetOnClick(w->btnTextColor, Notify<OnTextColorClick>, w);
  SetAnchors(w->cbAction, true, true, true, false);
  SetAnchors(w->cbLanguage, true, true, true, false);
  SetAnchors(w->chkForce, true, false, true, false);
  SetOnClick(w->chkAutoSize, Notify<OnAutoSizeClick>, w);
  SetAnchors(w->chkAutoSize, true, true, true, false);
  SetAnchors(w->chkAutostart, true, false, true, true);
}

// The tab panel, its caption and its page.
struct TPageControls {
  TControl* tab;
  TControl* caption;
  TControl* page;
};

TPageControls PageControls(TSettingsWindow* w, TSettingsPage page) {
  switch (page) {
    case kPageView: return {w->pnlTabView, w->lblTabView, w->pnlView};
    case kPageLanguage: return {w->pnlTabLanguage, w->lblTabLanguage, w->pnlLanguage};
    case kPageGeneral: break;
  }
  return {w->pnlTabGeneral, w->lblTabGeneral, w->pnlGeneral};
}

void Show(void* context, TControl* sender) {
  OnSettingsShow(static_cast<TSettingsWindow*>(context), sender);
}

// The width and height the control's caption needs on one line, as the layer's
// automatic sizing finds them; the control keeps its own bounds.
SIZE CaptionSize(TControl* control) {
  RECT bounds = GetBoundsRect(control);
  SetAutoSize(control, true);
  SetAutoSize(control, false);
  SIZE size = {GetWidth(control), GetHeight(control)};
  SetBoundsRect(control, bounds);
  return size;
}

// A right-aligned label sits against its field: too narrow for its caption in
// the font the system has ("Время задержки:" in 100 pixels), it grows leftwards.
void FitRightAlignedLabel(TControl* label) {
  int right = GetLeft(label) + GetWidth(label);
  int needed = CaptionSize(label).cx;
  if (needed <= GetWidth(label)) return;
  int left = right - needed > 0 ? right - needed : 0;
  SetLeft(label, left);
  SetWidth(label, right - left);
}

// A check box too narrow for its caption on a small screen widens to its
// page's edge, and where that is not enough wraps onto more lines: centred on
// its row, or upwards when it sits at the bottom of its page.
void FitCheckBox(TControl* box, TControl* page, bool atBottom) {
  int needed = CaptionSize(box).cx;
  if (needed <= GetWidth(box)) return;
  int available = GetClientWidth(page) - GetLeft(box);
  if (needed <= available) {
    SetWidth(box, needed);
    return;
  }
  int top = GetTop(box), height = GetHeight(box);
  SetWidth(box, available);
  SetWordWrap(box);
  SetAutoSize(box, true);
  SetAutoSize(box, false);
  SetWidth(box, available);
  int lines = GetHeight(box);
  SetTop(box, atBottom ? top + height - lines : top + height / 2 - lines / 2);
}

// No caption cut off or wrapped out of sight, whatever the screen's size.
void FitCaptions(TSettingsWindow* w) {
  for (TControl* label : {w->lblAction, w->lblCancelTime, w->lblDelayTime, w->lblBackgroundColor,
                          w->lblTextColor, w->lblFontSize, w->lblLanguage}) {
    FitRightAlignedLabel(label);
  }
  FitCheckBox(w->chkForce, w->pnlGeneral, false);
  FitCheckBox(w->chkAutoSize, w->pnlView, false);
  FitCheckBox(w->chkAutostart, w->pnlGeneral, true);
}

}  // namespace

void InitializeSetupState() {
  settings = TSettings();
  programDirectory.clear();
  languageList.clear();
  screenDpi = 96;
  cancelSyncEnabled = fontSyncEnabled = delaySyncEnabled = true;
  messageTexts = TMessageTexts();
  writeErrorText = L"Ошибка записи данных в файл";
  registryErrorText = L"Ошибка изменения данных реестра";
}

void FinalizeSetupState() {
  writeErrorText.clear();
  registryErrorText.clear();
  languageList.clear();
}

std::wstring ProgramFile(const std::wstring& name) { return programDirectory + L"\\" + name; }

void CreateSettingsWindow(TSettingsWindow** window, TControl* parent) {
  (void)parent;  // always none: the window is the program's only form
  TSettingsWindow* w = NewObject<TSettingsWindow>();
  *window = w;
  w->frmMain = NewForm(nullptr, L"frmMain");
  SetMainForm(w->frmMain);
  AddDependent(w->frmMain, w);
  SetOnShow(w->frmMain, Show, w);
  w->dlgColor = NewColorChooser(0);
  AddDependent(w->frmMain, w->dlgColor);
  BuildControls(w);
  AttachHandlers(w);
  InitializeSettingsWindow(w);
}

void InitializeSettingsWindow(TSettingsWindow* w) {
  SetText(w->frmMain, kWindowCaption);
  if (GetMainForm()) SetText(GetMainForm(), kWindowCaption);
  programDirectory = ParentDirectory(programFileOverride.empty() ? GetCommandLineArgument(0)
                                                                 : programFileOverride);

  SetText(w->btnOK, kOkCaption);
  SetText(w->btnCancel, kCancelCaption);
  SetText(w->btnPreview, kPreviewCaption);
  SetText(w->lblTabGeneral, kGeneralCaption);
  SetText(w->lblTabView, kViewCaption);
  SetText(w->lblTabLanguage, kLanguageCaption);
  SetText(w->lblAction, kActionCaption);
  Clear(w->cbAction);
  for (const wchar_t* item : kActionItems) AddItem(w->cbAction, item);
  SetText(w->chkForce, kForceCaption);
  SetText(w->lblCancelTime, kCancelTimeCaption);
  SetText(w->lblCancelUnit, kUnitCaption);
  SetText(w->lblDelayTime, kDelayTimeCaption);
  SetText(w->lblDelayUnit, kUnitCaption);
  SetText(w->chkAutostart, kAutostartCaption);
  SetText(w->lblBackgroundColor, kBackgroundColorCaption);
  SetText(w->btnBackgroundColor, kChangeCaption);
  SetText(w->lblTextColor, kTextColorCaption);
  SetText(w->btnTextColor, kChangeCaption);
  SetText(w->lblFontSize, kFontSizeCaption);
  SetText(w->chkAutoSize, kAutoSizeCaption);
  SetText(w->lblLanguage, kLanguagePackCaption);

  // The form's window exists already (setting colours made it), so the posted
  // WM_QUIT ends the message loop as soon as it starts.
  if (!IsFile(ProgramFile(kMonitorFileName))) {
    ShowErrorBox(GetHandle(w->frmMain), GetText(w->frmMain), kMonitorMissingText);
    PostMessageW(GetHandle(w->frmMain), WM_QUIT, 0, 0);
  }

  FinishInterruptedSave(ProgramFile(kSettingsFileName));
  ReadTextLines(ProgramFile(kSettingsFileName), [](int number, const std::string& line) {
    LoadSettingsLine(settings, number, line);
  });
  SetColor(w->frmMain, WindowColor);
  SetColor(w->pnlMain, WindowColor);
  screenDpi = ScreenDpi();

  SetItemIndex(w->cbAction, settings.power_action);
  SetChecked(w->chkForce, settings.force_power);
  // Maxima one past the last position: the bars have no page size.
  SetScrollMax(w->sbCancelTime, 256);
  SetScrollMin(w->sbCancelTime, 0);
  SetText(w->edtCancelTime, IntToText(settings.cancel_time));
  SetScrollMax(w->sbDelayTime, 256);
  SetScrollMin(w->sbDelayTime, 0);
  SetText(w->edtDelayTime, IntToText(settings.delay_time));
  std::wstring entryName;
  SetChecked(w->chkAutostart, FindStartupEntry(ProgramFile(kMonitorFileName), &entryName));
  SetColor(w->pnlBackgroundColor, settings.background_color);
  SetColor(w->pnlTextColor, settings.text_color);
  SetScrollMax(w->sbFontSize, 73);
  SetScrollMin(w->sbFontSize, 6);
  SetText(w->edtFontSize, IntToText(settings.font_size));
  SetChecked(w->chkAutoSize, settings.font_autosize);
  OnAutoSizeClick(w, w->chkAutoSize);

  Clear(w->cbLanguage);
  DiscoverLanguagePacks(programDirectory, &languageList);
  for (const TLanguageObject& pack : languageList) AddItem(w->cbLanguage, pack.displayName);
  int selected = FindLanguagePack(languageList, settings.lng_file);
  if (selected >= 0) SetItemIndex(w->cbLanguage, selected);
}

void OnSettingsShow(TSettingsWindow* w, TControl* sender) {
  (void)sender;
  SetTopmost(w->frmMain, true);
  HideMenuBar(GetHandle(w->frmMain));
  // Wine puts a window that owns a popup (the menu bar) just below that popup
  // instead of making it topmost; now that the bar is gone the request holds.
  SetTopmost(w->frmMain, true);
  LayOutSettingsWindow(w, GetScreenRect());
}

void LayOutSettingsWindow(TSettingsWindow* w, const RECT& screen) {
  SetBoundsRect(w->frmMain, screen);
  SetHasBorder(w->frmMain, false);
  TMouseEventData none = {};
  OnPreviewMouseMove(w, w->frmMain, none);

  // An 8-pixel white margin on every side; the anchored controls follow.
  SetLeft(w->pnlMain, 8);
  SetTop(w->pnlMain, 8);
  SetWidth(w->pnlMain, GetClientWidth(w->frmMain) - GetLeft(w->pnlMain) - 8);
  SetHeight(w->pnlMain, GetClientHeight(w->frmMain) - GetTop(w->pnlMain) - 8);

  SetLeft(w->pnlPreview, 0);
  SetTop(w->pnlPreview, 0);
  SetWidth(w->pnlPreview, GetClientWidth(w->frmMain));
  SetHeight(w->pnlPreview, GetClientHeight(w->frmMain));

  FitCaptions(w);
  ClearPageSelection(w);
  SelectPage(w, kPageGeneral);
}

void ClearPageSelection(TSettingsWindow* w) {
  for (TSettingsPage page : {kPageGeneral, kPageView, kPageLanguage}) {
    TPageControls controls = PageControls(w, page);
    SetColor(controls.tab, IdleTabColor);
    SetColor(controls.caption, IdleTabColor);
    SetVisible(controls.page, false);
  }
}

void SelectPage(TSettingsWindow* w, TSettingsPage page) {
  ClearPageSelection(w);
  TPageControls controls = PageControls(w, page);
  SetColor(controls.tab, ActiveTabColor);
  SetColor(controls.caption, ActiveTabColor);
  SetColor(controls.page, ActiveTabColor);
  SetVisible(controls.page, true);
}

void OnGeneralTabClick(TSettingsWindow* w, TControl*) { SelectPage(w, kPageGeneral); }
void OnViewTabClick(TSettingsWindow* w, TControl*) { SelectPage(w, kPageView); }
void OnLanguageTabClick(TSettingsWindow* w, TControl*) { SelectPage(w, kPageLanguage); }

void OnPreviewMouseMove(TSettingsWindow* w, TControl* sender, TMouseEventData& data) {
  (void)sender;
  (void)data;
  SetVisible(w->pnlMain, true);
  SetVisible(w->pnlPreview, false);
}

void OnCancelClick(TSettingsWindow* w, TControl* sender) {
  (void)sender;
  CloseForm(w->frmMain);
}
