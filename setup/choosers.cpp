// The colour buttons, the four spin pairs, automatic font size and the preview.
#include "overlay/overlay_lines.h"
#include "setup/settings_window.h"
#include "shared/files.h"
#include "shared/overlay_metrics.h"
#include "shared/text.h"

namespace {

// An edit box with a vertical scroll bar as its arrows. The bar runs from low to
// high upside down, so that the upper arrow raises the value.
struct TSpinPair {
  TControl* edit;
  TControl* bar;
  bool* syncEnabled;
  bool (*test)(const std::wstring&);
  int low, high;
};

TSpinPair CancelTimePair(TSettingsWindow* w) {
  return {w->edtCancelTime, w->sbCancelTime, &cancelSyncEnabled, IsByteText, 0, 255};
}
TSpinPair DelayTimePair(TSettingsWindow* w) {
  return {w->edtDelayTime, w->sbDelayTime, &delaySyncEnabled, IsByteText, 0, 255};
}
TSpinPair FontSizePair(TSettingsWindow* w) {
  return {w->edtFontSize, w->sbFontSize, &fontSyncEnabled, IsFontSizeText, 6, 72};
}
TSpinPair CriticalBatteryPair(TSettingsWindow* w) {
  return {w->edtCriticalBattery, w->sbCriticalBattery, &batterySyncEnabled, IsPercentText, 0, 100};
}

// The bar follows a valid text; anything else leaves it where it was.
void EditChanged(const TSpinPair& pair) {
  if (!*pair.syncEnabled) return;  // the text came from the bar itself
  std::wstring text = GetText(pair.edit);
  if (pair.test(text)) SetScrollPosition(pair.bar, (pair.high - TextToInt(text)) + pair.low);
}

void BarScrolled(const TSpinPair& pair) {
  *pair.syncEnabled = false;
  SetText(pair.edit, IntToText((pair.high - GetScrollPosition(pair.bar)) + pair.low));
  *pair.syncEnabled = true;
}

void ChooseSwatchColor(TSettingsWindow* w, TControl* swatch) {
  w->dlgColor->color = GetColor(swatch);
  // Owned by the window, the dialog stays above it and the window is disabled
  // while it is open: a tap beside the dialog can neither bury it under the
  // full-screen form nor open a second one or press OK.
  w->dlgColor->owner = GetHandle(w->frmMain);
  if (ExecuteColorChooser(w->dlgColor)) SetColor(swatch, w->dlgColor->color);
  // Wine lets a window that owned a popup drop below it; topmost again.
  SetTopmost(w->frmMain, true);
}

}  // namespace

void OnBackgroundColorClick(TSettingsWindow* w, TControl*) {
  ChooseSwatchColor(w, w->pnlBackgroundColor);
}
void OnTextColorClick(TSettingsWindow* w, TControl*) { ChooseSwatchColor(w, w->pnlTextColor); }

void OnCancelTimeChange(TSettingsWindow* w, TControl*) { EditChanged(CancelTimePair(w)); }
void OnDelayTimeChange(TSettingsWindow* w, TControl*) { EditChanged(DelayTimePair(w)); }
void OnFontSizeChange(TSettingsWindow* w, TControl*) { EditChanged(FontSizePair(w)); }
void OnCriticalBatteryChange(TSettingsWindow* w, TControl*) { EditChanged(CriticalBatteryPair(w)); }
void OnCancelTimeScroll(TSettingsWindow* w, TControl*, int) { BarScrolled(CancelTimePair(w)); }
void OnDelayTimeScroll(TSettingsWindow* w, TControl*, int) { BarScrolled(DelayTimePair(w)); }
void OnFontSizeScroll(TSettingsWindow* w, TControl*, int) { BarScrolled(FontSizePair(w)); }
void OnCriticalBatteryScroll(TSettingsWindow* w, TControl*, int) {
  BarScrolled(CriticalBatteryPair(w));
}

void OnAutoSizeClick(TSettingsWindow* w, TControl*) {
  bool ticked = GetChecked(w->chkAutoSize);
  SetEnabled(w->edtFontSize, !ticked);
  SetEnabled(w->sbFontSize, !ticked);
}

void OnPreviewClick(TSettingsWindow* w, TControl*) {
  if (!CheckNumberField(w, w->edtCancelTime, IsByteText, kPageGeneral)) return;
  bool autosize = GetChecked(w->chkAutoSize);
  if (!autosize && !CheckNumberField(w, w->edtFontSize, IsFontSizeText, kPageView)) return;
  std::wstring packFile;
  if (!CheckLanguagePack(w, &packFile)) return;

  // Each preview starts from the built-in texts, as the monitor does when it
  // starts: a text that this pack lacks must not show an earlier pack's.
  messageTexts = TMessageTexts();
  if (!packFile.empty()) {
    ReadTextLines(ProgramFile(packFile), [](int number, const std::string& line) {
      LoadLanguageLine(messageTexts, number, line);
    });
  }
  int action = GetItemIndex(w->cbAction);
  std::wstring word =
      (action >= 0 && action < 3)
          ? ActionWordOf(messageTexts, PowerStateOfAction(static_cast<uint8_t>(action)))
          : std::wstring();
  std::wstring line1 = ReplaceFirst(messageTexts.action, kActionPlaceholder, word);
  ReplaceFirst(&line1, kSecondPlaceholder, GetText(w->edtCancelTime));
  SetText(w->Label1, line1);
  SetText(w->Label2, messageTexts.cancel);

  int width = GetWidth(w->pnlPreview);
  int middle = OverlayMiddle(GetHeight(w->pnlPreview));
  int px = OverlayFontHeight(autosize, TextToInt(GetText(w->edtFontSize)), screenDpi, width);
  LayOutOverlayLines(w->Label1, w->Label2, px, width, middle);

  TColor background = GetColor(w->pnlBackgroundColor);
  TColor text = GetColor(w->pnlTextColor);
  SetColor(w->pnlPreview, background);
  SetColor(w->Label1, background);
  SetColor(w->Label2, background);
  SetFontColor(GetFont(w->Label1), text);
  SetFontColor(GetFont(w->Label2), text);
  if (!GetCursorPos(&previewPointer)) previewPointer = {-1, -1};
  SetVisible(w->pnlMain, false);
  SetVisible(w->pnlPreview, true);
}
