// The settings window: construction of every control, the initial fill, the
// full-screen layout on first show and again whenever the screen changes, the
// pages, the keys it takes before its controls and the way out without saving.
#include "setup/settings_window.h"

#include <algorithm>
#include <vector>

#include "setup/event_log_view.h"
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
bool cancelSyncEnabled = true, fontSyncEnabled = true, delaySyncEnabled = true,
     batterySyncEnabled = true;
TMessageTexts messageTexts;
POINT previewPointer;
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
const wchar_t kOtherCaption[] = L"Прочее";
const wchar_t kCriticalBatteryCaption[] = L"Порог заряда:";
const wchar_t kPercentCaption[] = L" %";
const wchar_t kWarningSoundCaption[] = L"Звуковой сигнал";
const wchar_t kEventLogCaption[] = L"Вести журнал событий";
const wchar_t kNoEventsText[] = L"Записей нет";

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
void KeyDown(void* context, TControl* sender, int& key, uint32_t shift) {
  OnSettingsKeyDown(static_cast<TSettingsWindow*>(context), sender, key, shift);
}

TControl* Place(TControl* control, int left, int top, int width, int height) {
  SetPosition(control, left, top);
  SetSize(control, width, height);
  return control;
}

void SmallFont(TControl* control) { SetFontHeight(GetFont(control), -11); }

TControl* MakeLabel(TControl* parent, const wchar_t* caption, int left, int top, int width,
                    int height, int align) {
  TControl* label = Place(NewLabel(parent, caption), left, top, width, height);
  SmallFont(label);
  if (align != kAlignLeft) SetTextAlign(label, align);
  return label;
}

TControl* MakeButton(TControl* parent, const wchar_t* caption, int left, int top, int width,
                     int height) {
  TControl* button = Place(NewButton(parent, caption), left, top, width, height);
  SmallFont(button);
  return button;
}

TControl* MakeCheckBox(TControl* parent, const wchar_t* caption, int left, int top, int width,
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

TControl* MakeEditBox(TControl* parent, const wchar_t* text, int left, int top) {
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

// A page's tab, the page-th from the left, with its caption, then the page
// under the tabs (FitTabs fits the tabs to the screen).
TControl* MakePage(TControl* main, TSettingsPage page, const wchar_t* caption, TColor tabColor,
                   TControl** tab, TControl** label) {
  *tab = MakePanel(main, kPanelNoBorder, page * 73, 0, 72, 24, tabColor);
  *label = MakeLabel(*tab, caption, 8, 5, 57, 16, kAlignCenter);
  return MakePanel(main, kPanelNoBorder, 0, 24, 376, 208, ActiveTabColor);
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

  TControl* general = w->pnlGeneral =
      MakePage(w->pnlMain, kPageGeneral, kGeneralCaption, ActiveTabColor, &w->pnlTabGeneral,
               &w->lblTabGeneral);
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

  TControl* view = w->pnlView =
      MakePage(w->pnlMain, kPageView, kViewCaption, IdleTabColor, &w->pnlTabView, &w->lblTabView);
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

  w->pnlLanguage = MakePage(w->pnlMain, kPageLanguage, kLanguageCaption, IdleTabColor,
                            &w->pnlTabLanguage, &w->lblTabLanguage);
  w->lblLanguage = MakeLabel(w->pnlLanguage, kLanguagePackCaption, 8, 16, 100, 16, kAlignRight);
  w->cbLanguage = MakeComboBox(w->pnlLanguage);
  SetItemIndex(w->cbLanguage, 0);

  TControl* other = w->pnlOther = MakePage(w->pnlMain, kPageOther, kOtherCaption, IdleTabColor,
                                           &w->pnlTabOther, &w->lblTabOther);
  w->lblCriticalBattery = MakeLabel(other, kCriticalBatteryCaption, 8, 16, 100, 16, kAlignRight);
  w->lblBatteryUnit = MakeLabel(other, kPercentCaption, 168, 16, 200, 16, kAlignLeft);
  w->sbCriticalBattery = MakeScrollBar(other, 144, 16);
  w->edtCriticalBattery = MakeEditBox(other, L"0", 112, 16);
  w->chkWarningSound = MakeCheckBox(other, kWarningSoundCaption, 8, 48, 361, 16);
  w->chkEventLog = MakeCheckBox(other, kEventLogCaption, 8, 72, 361, 16);
  w->edtEventLog =
      Place(NewEditBox(other, kEditMultiline | kEditReadOnly | kEditNoHScroll), 8, 96, 360, 104);
  SmallFont(w->edtEventLog);
}

// Handlers and anchors, in the order the window relies on: the edit boxes'
// OnChange must exist before the fill so that it moves the scroll bars.
void AttachHandlers(TSettingsWindow* w) {
  SetOnMouseMove(w->Label1, PreviewMouseMove, w);
  SetOnMouseMove(w->Label2, PreviewMouseMove, w);
  SetOnClick(w->lblTabGeneral, Notify<OnGeneralTabClick>, w);
  SetOnClick(w->lblTabView, Notify<OnViewTabClick>, w);
  SetOnClick(w->lblTabLanguage, Notify<OnLanguageTabClick>, w);
  SetOnClick(w->lblTabOther, Notify<OnOtherTabClick>, w);
  SetOnClick(w->btnOK, Notify<OnOkClick>, w);
  SetDefaultKeyButton(w->btnOK, VK_RETURN, true);
  SetAnchors(w->btnOK, false, false, true, true);
  SetOnScroll(w->sbCancelTime, Scroll<OnCancelTimeScroll>, w);
  SetOnScroll(w->sbFontSize, Scroll<OnFontSizeScroll>, w);
  SetOnScroll(w->sbDelayTime, Scroll<OnDelayTimeScroll>, w);
  SetOnScroll(w->sbCriticalBattery, Scroll<OnCriticalBatteryScroll>, w);
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
  SetColor(w->edtCriticalBattery, kColorWindow);
  SetOnChange(w->edtCriticalBattery, Notify<OnCriticalBatteryChange>, w);
  SetOnClick(w->pnlTabGeneral, Notify<OnGeneralTabClick>, w);
  SetOnClick(w->pnlTabView, Notify<OnViewTabClick>, w);
  SetOnClick(w->pnlTabLanguage, Notify<OnLanguageTabClick>, w);
  SetOnClick(w->pnlTabOther, Notify<OnOtherTabClick>, w);
  SetAnchors(w->pnlGeneral, true, true, true, true);
  SetAnchors(w->pnlView, true, true, true, true);
  SetAnchors(w->pnlLanguage, true, true, true, true);
  SetAnchors(w->pnlOther, true, true, true, true);
  // The log's view grows with its page; its lines wrap at its width.
  SetAnchors(w->edtEventLog, true, true, true, true);
  SetColor(w->edtEventLog, kColorWindow);
  SetOnClick(w->btnTextColor, Notify<OnTextColorClick>, w);
  SetAnchors(w->cbAction, true, true, true, false);
  SetAnchors(w->cbLanguage, true, true, true, false);
  SetOnClick(w->chkAutoSize, Notify<OnAutoSizeClick>, w);
  // Check boxes are as wide as their captions (FitCheckBox), not the page.
  SetAnchors(w->chkAutostart, true, false, false, true);
  SetOnResize(w->frmMain, Notify<OnSettingsResize>, w);
  SetOnScreenChange(w->frmMain, Notify<OnScreenChange>, w);
  SetOnKeyDown(w->frmMain, KeyDown, w);
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
    case kPageOther: return {w->pnlTabOther, w->lblTabOther, w->pnlOther};
    case kPageGeneral: break;
  }
  return {w->pnlTabGeneral, w->lblTabGeneral, w->pnlGeneral};
}

void Show(void* context, TControl* sender) {
  OnSettingsShow(static_cast<TSettingsWindow*>(context), sender);
}

TSettingsPage SelectedPage(TSettingsWindow* w) {
  for (int page = 0; page < kPageCount; ++page) {
    TSettingsPage shown = static_cast<TSettingsPage>(page);
    if (GetVisible(PageControls(w, shown).page)) return shown;
  }
  return kPageGeneral;
}

// The log's view, read again from the file.
void ShowLatestEvents(TSettingsWindow* w) {
  std::wstring events = LatestEventsText(ProgramFile(kEventLogFileName), kShownEvents);
  SetText(w->edtEventLog, events.empty() ? std::wstring(kNoEventsText) : events);
}

// A page chosen by a tap on its tab or from the keyboard: its caption takes the
// focus, which may have been on the page now hidden.
void ChoosePage(TSettingsWindow* w, TSettingsPage page) {
  SelectPage(w, page);
  SetFocused(PageControls(w, page).caption, true);
}

// The design's columns: fields start at 112 and their labels end 4 pixels
// before them; 8 pixels from the page's edges.
const int kFieldLeft = 112;
const int kLabelGap = 4;
const int kPageMargin = 8;
const int kCheckBoxHeight = 16;  // one line
// What a combo box's field needs beside its drop-down button and its text: its
// frame and the text's indent.
const int kComboFrame = 8;

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

// Each step below sets what it fits from the design and the page's size alone,
// so that a window laid out again after a rotation looks as one started at the
// new size.

// A right-aligned label ends at right, against its field: too narrow for its
// caption in the font the system has ("Время задержки:" in 100 pixels), it
// grows leftwards.
void FitRightAlignedLabel(TControl* label, int right) {
  int needed = CaptionSize(label).cx;
  int left = std::max(0, std::min(kPageMargin, right - needed));
  SetLeft(label, left);
  SetWidth(label, right - left);
}

// A combo box shows its longest item whole (at 240 pixels "Приостановить" lost
// its last letter): too narrow, it grows leftwards as far as its label's
// caption allows, and the label moves with it.
void FitComboBox(TControl* combo, TControl* label, const std::vector<std::wstring>& items) {
  int right = GetLeft(combo) + GetWidth(combo);
  int widest = 0;
  for (const std::wstring& item : items) {
    widest = std::max(widest, static_cast<int>(TextExtent(GetCanvas(combo), item).cx));
  }
  int needed = widest + GetSystemMetrics(SM_CXVSCROLL) + kComboFrame;
  int leftmost = kPageMargin + CaptionSize(label).cx + kLabelGap;
  int left = std::min(kFieldLeft, std::max(leftmost, right - needed));
  SetLeft(combo, left);
  SetWidth(combo, right - left);
  FitRightAlignedLabel(label, left - kLabelGap);
}

// A label's text on the line of its field's text, in the same font: an edit box
// draws its text a few pixels lower than a label at the same top would.
void AlignWithField(TControl* label, TControl* field) {
  SetTop(label, GetTop(label) + GetTextTop(field) - GetTextTop(label));
}

// A check box is as wide as its box and caption, so that a tap on the empty
// page beside it does not tick it. Too wide for its page, it wraps onto more
// lines at the page's edge: centred on its row, or upwards when it sits at the
// bottom of its page.
void FitCheckBox(TControl* box, TControl* page, bool atBottom) {
  int top = GetTop(box), height = GetHeight(box);
  SetWordWrap(box, false);
  int needed = CaptionSize(box).cx;
  int available = GetClientWidth(page) - GetLeft(box);
  int lines = kCheckBoxHeight;
  if (needed <= available) {
    SetWidth(box, needed);
  } else {
    SetWidth(box, available);
    SetWordWrap(box, true);
    lines = CaptionSize(box).cy;
  }
  SetHeight(box, lines);
  SetTop(box, atBottom ? top + height - lines : top + height / 2 - lines / 2);
}

// The design's tabs are 72 pixels wide with a pixel between them; on a screen
// too narrow for four of them they share its width, their captions centred.
void FitTabs(TSettingsWindow* w) {
  const int kDesignTabWidth = 72;
  int width = std::min(kDesignTabWidth, (GetClientWidth(w->pnlMain) + 1) / kPageCount - 1);
  int inset = std::min(8, width / 8);
  for (int page = 0; page < kPageCount; ++page) {
    TPageControls controls = PageControls(w, static_cast<TSettingsPage>(page));
    SetLeft(controls.tab, page * (width + 1));
    SetWidth(controls.tab, width);
    // The design's caption: 8 pixels in, 57 wide in a tab of 72.
    SetLeft(controls.caption, inset);
    SetWidth(controls.caption, width - 2 * inset + 1);
  }
}

// No caption or item cut off or wrapped out of sight, whatever the screen's size.
void FitPages(TSettingsWindow* w) {
  FitTabs(w);
  FitComboBox(w->cbAction, w->lblAction, {kActionItems[0], kActionItems[1], kActionItems[2]});
  std::vector<std::wstring> packs;
  for (const TLanguageObject& pack : languageList) packs.push_back(pack.displayName);
  FitComboBox(w->cbLanguage, w->lblLanguage, packs);
  for (TControl* label : {w->lblCancelTime, w->lblDelayTime, w->lblBackgroundColor, w->lblTextColor,
                          w->lblFontSize, w->lblCriticalBattery}) {
    FitRightAlignedLabel(label, kFieldLeft - kLabelGap);
  }
  const struct {
    TControl* label;
    TControl* field;
  } rows[] = {{w->lblAction, w->cbAction},
              {w->lblCancelTime, w->edtCancelTime},
              {w->lblCancelUnit, w->edtCancelTime},
              {w->lblDelayTime, w->edtDelayTime},
              {w->lblDelayUnit, w->edtDelayTime},
              {w->lblBackgroundColor, w->btnBackgroundColor},
              {w->lblTextColor, w->btnTextColor},
              {w->lblFontSize, w->edtFontSize},
              {w->lblLanguage, w->cbLanguage},
              {w->lblCriticalBattery, w->edtCriticalBattery},
              {w->lblBatteryUnit, w->edtCriticalBattery}};
  for (const auto& row : rows) AlignWithField(row.label, row.field);
  FitCheckBox(w->chkForce, w->pnlGeneral, false);
  FitCheckBox(w->chkAutoSize, w->pnlView, false);
  FitCheckBox(w->chkAutostart, w->pnlGeneral, true);
  FitCheckBox(w->chkWarningSound, w->pnlOther, false);
  FitCheckBox(w->chkEventLog, w->pnlOther, false);
}

}  // namespace

void InitializeSetupState() {
  settings = TSettings();
  programDirectory.clear();
  languageList.clear();
  screenDpi = 96;
  cancelSyncEnabled = fontSyncEnabled = delaySyncEnabled = batterySyncEnabled = true;
  messageTexts = TMessageTexts();
  previewPointer = {};
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

  // Every fixed caption, in the table's order.
  const struct {
    TControl* TSettingsWindow::*control;
    const wchar_t* caption;
  } captions[] = {
      {&TSettingsWindow::btnOK, kOkCaption},
      {&TSettingsWindow::btnCancel, kCancelCaption},
      {&TSettingsWindow::btnPreview, kPreviewCaption},
      {&TSettingsWindow::lblTabGeneral, kGeneralCaption},
      {&TSettingsWindow::lblTabView, kViewCaption},
      {&TSettingsWindow::lblTabLanguage, kLanguageCaption},
      {&TSettingsWindow::lblAction, kActionCaption},
      {&TSettingsWindow::chkForce, kForceCaption},
      {&TSettingsWindow::lblCancelTime, kCancelTimeCaption},
      {&TSettingsWindow::lblCancelUnit, kUnitCaption},
      {&TSettingsWindow::lblDelayTime, kDelayTimeCaption},
      {&TSettingsWindow::lblDelayUnit, kUnitCaption},
      {&TSettingsWindow::chkAutostart, kAutostartCaption},
      {&TSettingsWindow::lblBackgroundColor, kBackgroundColorCaption},
      {&TSettingsWindow::btnBackgroundColor, kChangeCaption},
      {&TSettingsWindow::lblTextColor, kTextColorCaption},
      {&TSettingsWindow::btnTextColor, kChangeCaption},
      {&TSettingsWindow::lblFontSize, kFontSizeCaption},
      {&TSettingsWindow::chkAutoSize, kAutoSizeCaption},
      {&TSettingsWindow::lblLanguage, kLanguagePackCaption},
      {&TSettingsWindow::lblTabOther, kOtherCaption},
      {&TSettingsWindow::lblCriticalBattery, kCriticalBatteryCaption},
      {&TSettingsWindow::lblBatteryUnit, kPercentCaption},
      {&TSettingsWindow::chkWarningSound, kWarningSoundCaption},
      {&TSettingsWindow::chkEventLog, kEventLogCaption},
  };
  for (const auto& c : captions) SetText(w->*c.control, c.caption);
  Clear(w->cbAction);
  for (const wchar_t* item : kActionItems) AddItem(w->cbAction, item);

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
  SetScrollMax(w->sbCriticalBattery, 101);
  SetScrollMin(w->sbCriticalBattery, 0);
  SetText(w->edtCriticalBattery, IntToText(settings.critical_battery));
  SetChecked(w->chkWarningSound, settings.warning_sound);
  SetChecked(w->chkEventLog, settings.event_log);

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
  ChoosePage(w, kPageGeneral);
}

void LayOutSettingsWindow(TSettingsWindow* w, const RECT& screen) {
  SetBoundsRect(w->frmMain, screen);
  SetHasBorder(w->frmMain, false);
  // Not every change of the form's bounds resizes its client area.
  OnSettingsResize(w, w->frmMain);
}

void OnScreenChange(TSettingsWindow* w, TControl*) { LayOutSettingsWindow(w, GetScreenRect()); }

void OnSettingsResize(TSettingsWindow* w, TControl*) {
  // The preview was laid out for the old size: back to the settings.
  LeavePreview(w);

  // An 8-pixel white margin on every side; the anchored controls follow.
  SetLeft(w->pnlMain, 8);
  SetTop(w->pnlMain, 8);
  SetWidth(w->pnlMain, GetClientWidth(w->frmMain) - GetLeft(w->pnlMain) - 8);
  SetHeight(w->pnlMain, GetClientHeight(w->frmMain) - GetTop(w->pnlMain) - 8);

  SetLeft(w->pnlPreview, 0);
  SetTop(w->pnlPreview, 0);
  SetWidth(w->pnlPreview, GetClientWidth(w->frmMain));
  SetHeight(w->pnlPreview, GetClientHeight(w->frmMain));

  FitPages(w);
}

// The selected page's caption is the one tab stop of the tabs, as in a tab control.
void ClearPageSelection(TSettingsWindow* w) {
  for (int page = 0; page < kPageCount; ++page) {
    TPageControls controls = PageControls(w, static_cast<TSettingsPage>(page));
    SetColor(controls.tab, IdleTabColor);
    SetColor(controls.caption, IdleTabColor);
    SetTabStop(controls.caption, false);
    SetVisible(controls.page, false);
  }
}

void SelectPage(TSettingsWindow* w, TSettingsPage page) {
  // The log's page reads the log each time it comes forward: what the monitor
  // recorded since the window came up shows too.
  if (page == kPageOther) ShowLatestEvents(w);
  ClearPageSelection(w);
  TPageControls controls = PageControls(w, page);
  SetColor(controls.tab, ActiveTabColor);
  SetColor(controls.caption, ActiveTabColor);
  SetColor(controls.page, ActiveTabColor);
  SetTabStop(controls.caption, true);
  SetVisible(controls.page, true);
}

void OnGeneralTabClick(TSettingsWindow* w, TControl*) { ChoosePage(w, kPageGeneral); }
void OnViewTabClick(TSettingsWindow* w, TControl*) { ChoosePage(w, kPageView); }
void OnLanguageTabClick(TSettingsWindow* w, TControl*) { ChoosePage(w, kPageLanguage); }
void OnOtherTabClick(TSettingsWindow* w, TControl*) { ChoosePage(w, kPageOther); }

void OnPreviewMouseMove(TSettingsWindow* w, TControl* sender, TMouseEventData& data) {
  // The system also sends a mouse move when the preview comes up under a
  // pointer at rest: only one away from where it stood then leaves.
  POINT at = {data.x, data.y};
  ClientToScreen(GetHandle(sender), &at);
  if (at.x == previewPointer.x && at.y == previewPointer.y) return;
  LeavePreview(w);
}

void LeavePreview(TSettingsWindow* w) {
  bool previewing = GetVisible(w->pnlPreview);
  SetVisible(w->pnlMain, true);
  SetVisible(w->pnlPreview, false);
  // Hiding the settings took the focus from "Просмотр".
  if (previewing) SetFocused(w->btnPreview, true);
}

void OnSettingsKeyDown(TSettingsWindow* w, TControl* sender, int& key, uint32_t shift) {
  if (GetVisible(w->pnlPreview)) {
    LeavePreview(w);
    key = 0;
    return;
  }
  int step = 0;
  if (key == VK_TAB && (shift & MK_CONTROL)) step = (shift & MK_SHIFT) ? -1 : 1;
  bool onCaption = sender == PageControls(w, SelectedPage(w)).caption;
  if (onCaption && shift == 0 && (key == VK_LEFT || key == VK_RIGHT))
    step = key == VK_LEFT ? -1 : 1;
  if (step == 0) return;
  ChoosePage(w, static_cast<TSettingsPage>((SelectedPage(w) + step + kPageCount) % kPageCount));
  key = 0;
}

void OnCancelClick(TSettingsWindow* w, TControl* sender) {
  (void)sender;
  CloseForm(w->frmMain);
}
