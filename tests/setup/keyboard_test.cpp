// The settings window from the keyboard alone: Tab through each page, the
// pages turned, Enter on each kind of control, the preview left by any key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/setup/settings_harness.h"
#include "tests/support/window_capture.h"

namespace {

using SetupKeyboard = SettingsWindowTest;

const uint32_t kShift = MK_SHIFT;
const uint32_t kCtrl = MK_CONTROL;

// The field name of the control that has the focus.
std::string FocusedName(TSettingsWindow* w) {
  const struct {
    const char* name;
    TControl* control;
  } named[] = {{"lblTabGeneral", w->lblTabGeneral},
               {"lblTabView", w->lblTabView},
               {"lblTabLanguage", w->lblTabLanguage},
               {"lblTabOther", w->lblTabOther},
               {"cbAction", w->cbAction},
               {"chkForce", w->chkForce},
               {"edtCancelTime", w->edtCancelTime},
               {"sbCancelTime", w->sbCancelTime},
               {"edtDelayTime", w->edtDelayTime},
               {"sbDelayTime", w->sbDelayTime},
               {"chkAutostart", w->chkAutostart},
               {"btnBackgroundColor", w->btnBackgroundColor},
               {"btnTextColor", w->btnTextColor},
               {"edtFontSize", w->edtFontSize},
               {"sbFontSize", w->sbFontSize},
               {"chkAutoSize", w->chkAutoSize},
               {"cbLanguage", w->cbLanguage},
               {"edtCriticalBattery", w->edtCriticalBattery},
               {"sbCriticalBattery", w->sbCriticalBattery},
               {"chkWarningSound", w->chkWarningSound},
               {"chkEventLog", w->chkEventLog},
               {"edtEventLog", w->edtEventLog},
               {"btnPreview", w->btnPreview},
               {"btnOK", w->btnOK},
               {"btnCancel", w->btnCancel},
               {"pnlMain", w->pnlMain},
               {"frmMain", w->frmMain}};
  HWND focus = GetFocus();
  for (const auto& n : named) {
    if (n.control->handle == focus) return n.name;
  }
  return focus ? "other" : "none";
}

// Each page's stops in reading order, from its caption to the button row; the
// font size is left out while automatic size has it disabled.
TEST_F(SetupKeyboard, TabAndShiftTabWalkEachPageInReadingOrder) {
  const struct {
    TSettingsPage page;
    const char* autosize;
    std::vector<std::string> stops;
  } cases[] = {
      {kPageGeneral,
       "1",
       {"lblTabGeneral", "cbAction", "chkForce", "edtCancelTime", "edtDelayTime", "chkAutostart",
        "btnPreview", "btnOK", "btnCancel"}},
      {kPageView,
       "1",
       {"lblTabView", "btnBackgroundColor", "btnTextColor", "chkAutoSize", "btnPreview", "btnOK",
        "btnCancel"}},
      {kPageView,
       "0",
       {"lblTabView", "btnBackgroundColor", "btnTextColor", "edtFontSize", "chkAutoSize",
        "btnPreview", "btnOK", "btnCancel"}},
      {kPageLanguage, "1", {"lblTabLanguage", "cbLanguage", "btnPreview", "btnOK", "btnCancel"}},
      {kPageOther,
       "1",
       {"lblTabOther", "edtCriticalBattery", "chkWarningSound", "chkEventLog", "edtEventLog",
        "btnPreview", "btnOK", "btnCancel"}},
  };
  for (SIZE screen : {SIZE{1024, 768}, SIZE{240, 320}}) {
    SimulateScreen(screen.cx, screen.cy);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << screen.cx << "x" << screen.cy << " page " << c.page
                                      << " autosize " << c.autosize);
      folder.Write(L"vorlix.ini", std::string("font_autosize=") + c.autosize + "\r\n");
      ASSERT_TRUE(Run([&](TSettingsWindow* w) {
        TControl* tabs[] = {w->lblTabGeneral, w->lblTabView, w->lblTabLanguage, w->lblTabOther};
        Click(tabs[c.page]);
        ASSERT_EQ(c.stops[0], FocusedName(w));
        size_t n = c.stops.size();
        for (size_t i = 1; i <= n; ++i) {
          PressKey(VK_TAB);
          EXPECT_EQ(c.stops[i % n], FocusedName(w)) << "Tab " << i;
        }
        for (size_t i = 1; i <= n; ++i) {
          PressKey(VK_TAB, kShift);
          EXPECT_EQ(c.stops[(n - i) % n], FocusedName(w)) << "Shift+Tab " << i;
        }
        EXPECT_EQ(c.page, ShownPage(w));
      }));
      EXPECT_EQ(std::string("font_autosize=") + c.autosize + "\r\n", folder.Read(L"vorlix.ini"));
    }
  }
}

// How many pixels of two pictures of one control differ.
int DifferingPixels(const ClientImage& a, const ClientImage& b) {
  if (a.width != b.width || a.height != b.height) return a.width * a.height;
  int n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

// The focused control shows it: each stop that Tab reaches on each page looks
// otherwise while it has the focus (a focus rectangle round a caption, the
// highlighted item or number) than once Tab has moved on.
TEST_F(SetupKeyboard, EachStopShowsTheFocusWhileItHasIt) {
  folder.Write(L"vorlix.ini", "font_autosize=0\r\n");  // the font size is a stop then
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    int stops = 0;
    for (TControl* caption : {w->lblTabGeneral, w->lblTabView, w->lblTabLanguage, w->lblTabOther}) {
      Click(caption);
      // Once round the page, back to its caption.
      do {
        std::string name = FocusedName(w);
        HWND stop = GetFocus();
        ClientImage focused = CaptureClient(stop);
        PressKey(VK_TAB);
        ASSERT_NE(stop, GetFocus()) << name << " kept the focus";
        EXPECT_GE(DifferingPixels(focused, CaptureClient(stop)), 20) << name;
        ++stops;
      } while (GetFocus() != caption->handle && stops < 30);
    }
    EXPECT_EQ(9 + 8 + 5 + 8, stops);
  }));
}

// The window starts with the focus on the General page's caption, the first
// stop in reading order. Ctrl+Tab and Ctrl+Shift+Tab turn the pages from
// anywhere, wrapping; Right and Left do at the selected page's caption, and
// only there. The new page's caption takes the focus.
TEST_F(SetupKeyboard, CtrlTabAndTheArrowsOnTheCaptionTurnThePages) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    const struct {
      UINT key;
      uint32_t modifiers;
      int page;
      const char* focus;
    } steps[] = {
        {VK_TAB, kCtrl, kPageView, "lblTabView"},
        {VK_TAB, kCtrl, kPageLanguage, "lblTabLanguage"},
        {VK_TAB, kCtrl, kPageOther, "lblTabOther"},
        {VK_TAB, kCtrl, kPageGeneral, "lblTabGeneral"},
        {VK_TAB, kCtrl | kShift, kPageOther, "lblTabOther"},
        {VK_LEFT, 0, kPageLanguage, "lblTabLanguage"},
        {VK_LEFT, 0, kPageView, "lblTabView"},
        {VK_LEFT, 0, kPageGeneral, "lblTabGeneral"},
        {VK_LEFT, 0, kPageOther, "lblTabOther"},
        {VK_RIGHT, 0, kPageGeneral, "lblTabGeneral"},
        {VK_TAB, 0, kPageGeneral, "cbAction"},
        {VK_TAB, 0, kPageGeneral, "chkForce"},
        {VK_RIGHT, 0, kPageGeneral, "chkForce"},
        {VK_TAB, 0, kPageGeneral, "edtCancelTime"},
        {VK_TAB, kCtrl, kPageView, "lblTabView"},
        {VK_RIGHT, 0, kPageLanguage, "lblTabLanguage"},
    };
    EXPECT_EQ("lblTabGeneral", FocusedName(w));
    int n = 0;
    for (const auto& step : steps) {
      PressKey(step.key, step.modifiers);
      EXPECT_EQ(step.page, ShownPage(w)) << "step " << n;
      EXPECT_EQ(step.focus, FocusedName(w)) << "step " << n;
      ++n;
    }
    EXPECT_EQ(L"10", GetText(w->edtCancelTime));
  }));
}

// Enter at a focused "Просмотр", "Изменить" or "Отмена" presses that button;
// at any other control OK, which saves and, with no monitor running, offers to
// start it.
TEST_F(SetupKeyboard, EnterPressesTheFocusedButtonAndOkElsewhere) {
  const std::wstring kStart =
      L"Настройки Vorlix|Приложение Vorlix не запущено. Новые параметры вступят в силу после его "
      L"запуска.\r\n\r\nЗапустить Vorlix сейчас?";
  enum TOutcome { kPreview, kColorDialog, kClosedUnsaved, kSaved };
  const struct {
    const char* name;
    TControl* TSettingsWindow::*focus;
    TSettingsPage page;
    TOutcome outcome;
  } cases[] = {
      {"Просмотр", &TSettingsWindow::btnPreview, kPageGeneral, kPreview},
      {"Изменить (background)", &TSettingsWindow::btnBackgroundColor, kPageView, kColorDialog},
      {"Изменить (text)", &TSettingsWindow::btnTextColor, kPageView, kColorDialog},
      {"Отмена", &TSettingsWindow::btnCancel, kPageGeneral, kClosedUnsaved},
      {"OK", &TSettingsWindow::btnOK, kPageGeneral, kSaved},
      {"check box", &TSettingsWindow::chkAutoSize, kPageView, kSaved},
      {"edit box", &TSettingsWindow::edtDelayTime, kPageGeneral, kSaved},
      {"combo box", &TSettingsWindow::cbLanguage, kPageLanguage, kSaved},
      {"page caption", &TSettingsWindow::lblTabView, kPageView, kSaved},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(folder.File(L"vorlix.ini").c_str());
    ResetDialogs({IDNO});
    bool previewShown = false;
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      SelectPage(w, c.page);
      SetFocused(w->*c.focus, true);
      PressKey(VK_RETURN);
      previewShown = IsShown(w->pnlPreview);
    }));
    EXPECT_EQ(c.outcome == kPreview, previewShown);
    EXPECT_EQ(c.outcome == kColorDialog ? 1u : 0u, dialogs->colorDialogs().size());
    EXPECT_EQ(c.outcome == kClosedUnsaved || c.outcome == kSaved, closedByScript);
    EXPECT_EQ(c.outcome == kSaved, folder.Read(L"vorlix.ini") != "<missing>");
    EXPECT_EQ(c.outcome == kSaved ? std::vector<std::wstring>{kStart} : std::vector<std::wstring>{},
              BoxTexts());
  }
}

// The preview is left by any key as by any pointer movement (a device without
// a touch screen has no other way out), the key doing nothing else: Esc does
// not cancel, Enter does not save, Tab does not move on. "Просмотр" has the
// focus again.
TEST_F(SetupKeyboard, AnyKeyLeavesThePreviewAndDoesNothingElse) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    const UINT keys[] = {VK_SPACE, VK_ESCAPE, VK_RETURN, 'A',     VK_LEFT,
                         VK_TAB,   VK_F1,     VK_SHIFT,  VK_DOWN, VK_BACK};
    for (UINT key : keys) {
      SCOPED_TRACE(key);
      SetFocused(w->btnPreview, true);
      PressKey(VK_RETURN);
      ASSERT_TRUE(IsShown(w->pnlPreview));
      ASSERT_FALSE(IsShown(w->pnlMain));
      PressKey(key);
      EXPECT_FALSE(IsShown(w->pnlPreview));
      EXPECT_TRUE(IsShown(w->pnlMain));
      EXPECT_EQ(kPageGeneral, ShownPage(w));
      EXPECT_EQ("btnPreview", FocusedName(w));
    }
  }));
  EXPECT_FALSE(closedByScript);
  EXPECT_EQ("<missing>", folder.Read(L"vorlix.ini"));
  EXPECT_TRUE(BoxTexts().empty());
}

// The keyboard's focus as the README shows it (<build>/screenshots): the action
// list reached by Tab from the General page's caption, on a small screen.
TEST_F(SetupKeyboard, ScreenshotOfTheFocus) {
  SimulateScreen(240, 320);
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    Click(w->lblTabGeneral);
    PressKey(VK_TAB);
    EXPECT_EQ("cbAction", FocusedName(w));
    SaveScreenshot(L"setup-keyboard-240x320");
  }));
}

}  // namespace
