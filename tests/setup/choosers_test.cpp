#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "shared/files.h"
#include "shared/text.h"
#include "shared/ui.h"
#include "tests/setup/settings_harness.h"

namespace {

using SetupChoosers = SettingsWindowTest;
using SetupPreview = SettingsWindowTest;

enum TPair { kCancel, kDelay, kFont, kBattery };

struct TArrowCase {
  TPair pair;
  const wchar_t* start;
  int code;
  const wchar_t* expected;
};

TEST_F(SetupChoosers, ArrowsStepTheValueAndStopAtBothEnds) {
  const TArrowCase cases[] = {
      {kCancel, L"10", SB_LINEUP, L"11"},   {kCancel, L"10", SB_LINEDOWN, L"9"},
      {kCancel, L"255", SB_LINEUP, L"255"}, {kCancel, L"0", SB_LINEDOWN, L"0"},
      {kCancel, L"1", SB_LINEDOWN, L"0"},   {kDelay, L"2", SB_LINEUP, L"3"},
      {kDelay, L"255", SB_LINEUP, L"255"},  {kDelay, L"0", SB_LINEDOWN, L"0"},
      {kFont, L"8", SB_LINEUP, L"9"},       {kFont, L"6", SB_LINEDOWN, L"6"},
      {kFont, L"72", SB_LINEUP, L"72"},     {kFont, L"7", SB_LINEDOWN, L"6"},
      {kBattery, L"0", SB_LINEUP, L"1"},    {kBattery, L"0", SB_LINEDOWN, L"0"},
      {kBattery, L"99", SB_LINEUP, L"100"}, {kBattery, L"100", SB_LINEUP, L"100"},
  };
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    Click(w->chkAutoSize);  // fixed size: the font pair is enabled
    TControl* edits[] = {w->edtCancelTime, w->edtDelayTime, w->edtFontSize, w->edtCriticalBattery};
    TControl* bars[] = {w->sbCancelTime, w->sbDelayTime, w->sbFontSize, w->sbCriticalBattery};
    for (const TArrowCase& c : cases) {
      TypeText(edits[c.pair], c.start);
      PressArrow(bars[c.pair], c.code);
      EXPECT_EQ(c.expected, GetText(edits[c.pair]))
          << c.pair << ": " << TextToInt(c.start) << (c.code == SB_LINEUP ? " up" : " down");
    }
    TypeText(w->edtCancelTime, L"10");
    EXPECT_EQ(245, GetScrollPos(GetHandle(w->sbCancelTime), SB_CTL));
    TypeText(w->edtFontSize, L"12");
    EXPECT_EQ(66, GetScrollPos(GetHandle(w->sbFontSize), SB_CTL));
    TypeText(w->edtCriticalBattery, L"15");
    EXPECT_EQ(85, GetScrollPos(GetHandle(w->sbCriticalBattery), SB_CTL));
  }));
}

TEST_F(SetupChoosers, InvalidTextLeavesTheBarAndTheNextArrowReplacesIt) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    TypeText(w->edtDelayTime, L"ab");
    EXPECT_EQ(253, GetScrollPos(GetHandle(w->sbDelayTime), SB_CTL));
    PressArrow(w->sbDelayTime, SB_LINEUP);
    EXPECT_EQ(L"3", GetText(w->edtDelayTime));
    // "30" on the way to "300" is valid and moves the bar; the last 0 does not.
    TypeText(w->edtCancelTime, L"30");
    EXPECT_EQ(225, GetScrollPos(GetHandle(w->sbCancelTime), SB_CTL));
    SendMessageW(GetHandle(w->edtCancelTime), WM_CHAR, L'0', 1);
    EXPECT_EQ(L"300", GetText(w->edtCancelTime));
    EXPECT_EQ(225, GetScrollPos(GetHandle(w->sbCancelTime), SB_CTL));
    TypeText(w->edtCancelTime, L"");
    EXPECT_EQ(225, GetScrollPos(GetHandle(w->sbCancelTime), SB_CTL));
    PressArrow(w->sbCancelTime, SB_LINEDOWN);
    EXPECT_EQ(L"29", GetText(w->edtCancelTime));
  }));
}

TEST_F(SetupChoosers, AutomaticSizeSwitchesTheFontSizePairOff) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    for (bool ticked : {false, true, false}) {
      Click(w->chkAutoSize);
      EXPECT_EQ(ticked, GetChecked(w->chkAutoSize));
      EXPECT_EQ(!ticked, IsWindowEnabled(GetHandle(w->edtFontSize)) != FALSE);
      EXPECT_EQ(!ticked, IsWindowEnabled(GetHandle(w->sbFontSize)) != FALSE);
    }
  }));
}

// Watches the colour dialogs besides the answerer: whether the form was still
// topmost and was disabled, and whether the dialog stood above it; in the first,
// "Add to Custom Colors" pressed with the colour it opened with.
struct TColorDialogWatch {
  HWND form = nullptr;
  std::vector<bool> topmost, formEnabled, dialogAbove;
  HHOOK hook;
  TColorDialogWatch() { hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId()); }
  ~TColorDialogWatch() { UnhookWindowsHookEx(hook); }
  static TColorDialogWatch* active;
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    HWND dialog = reinterpret_cast<HWND>(wParam);
    const int kColorAdd = 712, kColorRed = 706;
    if (code == HCBT_ACTIVATE && GetDlgItem(dialog, kColorRed) &&
        !GetPropW(dialog, L"TEST_WATCHED")) {
      SetPropW(dialog, L"TEST_WATCHED", dialog);
      active->topmost.push_back((GetWindowLongW(active->form, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
      active->formEnabled.push_back(IsWindowEnabled(active->form) != FALSE);
      bool above = false;
      for (HWND below = GetWindow(dialog, GW_HWNDNEXT); below && !above;
           below = GetWindow(below, GW_HWNDNEXT)) {
        above = below == active->form;
      }
      active->dialogAbove.push_back(above);
      if (active->topmost.size() == 1)
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kColorAdd, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, kColorAdd)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
};
TColorDialogWatch* TColorDialogWatch::active = nullptr;

TEST_F(SetupChoosers, ColourButtonsShareOneDialogAndItsCustomColours) {
  ResetDialogs({IDNO});
  TColorDialogWatch watch;  // after the answerer: asked first
  TColorDialogWatch::active = &watch;
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    watch.form = GetHandle(w->frmMain);
    Click(w->lblTabView);
    dialogs->PickColor(0x123456);
    Click(w->btnBackgroundColor);
    EXPECT_EQ(0x123456u, GetColor(w->pnlBackgroundColor));
    EXPECT_EQ(0x00FF00u, w->dlgColor->customColors[0]);
    dialogs->CancelColorDialog();
    Click(w->btnTextColor);
    EXPECT_EQ(0u, GetColor(w->pnlTextColor));
    dialogs->PickColor(0xABCDEF);
    Click(w->btnTextColor);
    EXPECT_EQ(0xABCDEFu, GetColor(w->pnlTextColor));
    // One chooser for both buttons: its custom colours stay for the run.
    EXPECT_EQ(0x00FF00u, w->dlgColor->customColors[0]);
    EXPECT_EQ(0xFFFFFFu, w->dlgColor->customColors[1]);
    EXPECT_TRUE(GetWindowLongW(watch.form, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Click(w->btnOK);
  }));
  TColorDialogWatch::active = nullptr;
  const std::vector<SeenColorDialog>& seen = dialogs->colorDialogs();
  ASSERT_EQ(3u, seen.size());
  const COLORREF starts[] = {0x00FF00, 0x000000, 0x000000};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(starts[i], seen[i].initial) << i;
    EXPECT_EQ(watch.form, seen[i].owner) << i;
    EXPECT_TRUE(seen[i].fullOpen) << i;
  }
  // Owned by the form: above it, and the form takes no input while it is open.
  EXPECT_EQ((std::vector<bool>{true, true, true}), watch.topmost);
  EXPECT_EQ((std::vector<bool>{false, false, false}), watch.formEnabled);
  EXPECT_EQ((std::vector<bool>{true, true, true}), watch.dialogAbove);
  std::string file = folder.Read(L"vorlix.ini");
  EXPECT_NE(std::string::npos, file.find("background_color=1193046\r\n"));
  EXPECT_NE(std::string::npos, file.find("text_color=11259375\r\n"));
}

struct TPreviewCase {
  const wchar_t* pack;  // file name, or nullptr for none
  int action;
  const wchar_t* cancelTime;
  const wchar_t* cancelShown;  // the box afterwards
  std::wstring line1;
  std::wstring line2;
};

TEST_F(SetupPreview, ShowsTheMonitorsTextsForActionAndPack) {
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  folder.Write(L"deutsch.lng", ShippedPack(L"deutsch.lng"));
  folder.Write(L"partial.lng", "Partial\r\naction=Nur %second%, %action%\r\nsuspend=schlafen\r\n");
  const TPreviewCase cases[] = {
      {L"russian.lng", 1, L"10", L"10", L"Устройство будет выключено через 10 сек.",
       L"Для отмены проведите стилусом по экрану..."},
      {L"deutsch.lng", 2, L"010", L"10", L"Das Gerät wird in 10 Sek. neu gestartet",
       L"Zum Abbrechen mit dem Stift über den Bildschirm streichen..."},
      // A pack without a cancel line shows the built-in one, as the monitor would,
      // not the one of the pack previewed before.
      {L"partial.lng", 0, L"5", L"5", L"Nur 5, schlafen", L"Use move on the screen to cancel..."},
      {L"partial.lng", 2, L"5", L"5", L"Nur 5, restarted", L"Use move on the screen to cancel..."},
  };
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    for (const TPreviewCase& c : cases) {
      SCOPED_TRACE(c.pack);
      ChooseItem(w->cbAction, c.action);
      ChooseItem(w->cbLanguage, FindLanguagePack(languageList, c.pack));
      TypeText(w->edtCancelTime, c.cancelTime);
      Click(w->btnPreview);
      EXPECT_TRUE(IsShown(w->pnlPreview));
      EXPECT_FALSE(IsShown(w->pnlMain));
      EXPECT_EQ(c.line1, GetText(w->Label1));
      EXPECT_EQ(c.line2, GetText(w->Label2));
      EXPECT_EQ(c.cancelShown, GetText(w->edtCancelTime)) << "normalised";
      MoveMouse(w->pnlPreview, 5, 5);
    }
  }));
  EXPECT_TRUE(dialogs->messageBoxes().empty());
}

TEST_F(SetupPreview, WithoutAPackShowsTheBuiltInTexts) {
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    for (int action : {0, 2}) {
      ChooseItem(w->cbAction, action);
      Click(w->btnPreview);
      EXPECT_EQ(action == 0 ? L"Device will be suspended after 10 second"
                            : L"Device will be restarted after 10 second",
                GetText(w->Label1));
      EXPECT_EQ(L"Use move on the screen to cancel...", GetText(w->Label2));
      MoveMouse(w->Label1, 1, 1);
    }
  }));
}

struct TFontCase {
  bool autosize;
  const wchar_t* fontSize;
  int dpi;
  int width;  // 0: the whole screen (1024 on the test display)
  int px;
};

TEST_F(SetupPreview, FontHeightAndPlacesFollowTheOverlaysRule) {
  const TFontCase cases[] = {
      {true, L"abc", 96, 240, 8},
      {true, L"8", 96, 320, 11},
      {true, L"8", 128, 240, 10},
      {true, L"8", 192, 480, 32},
      {false, L"8", 96, 0, 11},
      {false, L"8", 192, 0, 21},
      {false, L"12", 96, 0, 16},
      {true, L"8", 96, 0, 35},    // step round(96 / 9) = 11, 1024 x 11 /
                                  // 320 = 35.2
      {false, L"30", 96, 0, 40},  // 30 / 72 x 96
  };
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    SetColor(w->pnlBackgroundColor, 0x00203040);
    SetColor(w->pnlTextColor, 0x00F0E0D0);
    const int screenWidth = GetClientWidth(w->frmMain);
    ASSERT_EQ(1024, screenWidth) << "the rows are worked out for the test display";
    EXPECT_EQ(96, screenDpi) << "Wine's resolution, which the test display keeps";
    for (const TFontCase& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << c.autosize << " " << c.fontSize << " " << c.dpi << " " << c.width);
      if (GetChecked(w->chkAutoSize) != c.autosize) Click(w->chkAutoSize);
      SetText(w->edtFontSize, c.fontSize);
      screenDpi = c.dpi;
      int width = c.width ? c.width : screenWidth;
      SetWidth(w->pnlPreview, width);
      int px = c.px;
      Click(w->btnPreview);
      ASSERT_TRUE(IsShown(w->pnlPreview));
      EXPECT_EQ(-px, GetFontHeight(GetFont(w->Label1)));
      EXPECT_EQ(-px, GetFontHeight(GetFont(w->Label2)));
      // Half the height; a half rounds to the even neighbour.
      int height = GetHeight(w->pnlPreview), middle = height / 2;
      if (height % 2 && middle % 2) ++middle;
      RECT label1 = BoundsOf(w->Label1), label2 = BoundsOf(w->Label2);
      EXPECT_EQ(middle, label1.bottom) << "Label1 ends on the middle line";
      EXPECT_EQ(middle + (label2.bottom - label2.top), label2.top) << "one empty band";
      EXPECT_EQ(0, label1.left);
      EXPECT_EQ(width, label1.right);
      EXPECT_EQ(width, label2.right);
      EXPECT_EQ(0x00203040u, GetColor(w->pnlPreview));
      EXPECT_EQ(0x00203040u, GetColor(w->Label2));
      EXPECT_EQ(0x00F0E0D0u, GetFontColor(GetFont(w->Label1)));
      EXPECT_TRUE(GetFontStyle(GetFont(w->Label1)) & kFontBold);
      EXPECT_FALSE(GetFontStyle(GetFont(w->Label2)) & kFontBold);
      MoveMouse(w->pnlPreview, 1, 1);
    }
  }));
  EXPECT_TRUE(dialogs->messageBoxes().empty())
      << "letters in the size are no error with automatic size";
}

TEST_F(SetupPreview, ABadFieldOrAMissingPackStopsIt) {
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  ResetDialogs({IDOK, IDOK, IDOK});
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    TypeText(w->edtDelayTime, L"xyz");  // never looked at by the preview
    TypeText(w->edtCancelTime, L"256");
    Click(w->lblTabLanguage);
    Click(w->btnPreview);
    EXPECT_EQ(0, ShownPage(w));
    EXPECT_EQ(GetHandle(w->edtCancelTime), GetFocus());
    TypeText(w->edtCancelTime, L"12");
    Click(w->chkAutoSize);
    TypeText(w->edtFontSize, L"5");
    Click(w->btnPreview);
    EXPECT_EQ(1, ShownPage(w));
    EXPECT_EQ(GetHandle(w->edtFontSize), GetFocus());
    TypeText(w->edtFontSize, L"6");
    DeleteFileW(folder.File(L"russian.lng").c_str());
    Click(w->btnPreview);
    EXPECT_EQ(2, ShownPage(w));
    EXPECT_FALSE(IsShown(w->pnlPreview));
    EXPECT_TRUE(IsShown(w->pnlMain));
  }));
  EXPECT_EQ((std::vector<std::wstring>{L"Настройки Vorlix|Введены некорректные данные",
                                       L"Настройки Vorlix|Введены некорректные данные",
                                       L"Настройки Vorlix|Выбранный языковой пакет не найден"}),
            BoxTexts());
}

TEST_F(SetupPreview, AnyPointerMovementReturnsToTheSelectedPage) {
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    Click(w->lblTabView);
    TControl* targets[] = {w->pnlPreview, w->Label1, w->Label2};
    for (TControl* target : targets) {
      Click(w->btnPreview);
      ASSERT_TRUE(IsShown(w->pnlPreview));
      // pnlPreview: a point in the empty band between the two labels.
      int y = target == w->pnlPreview ? BoundsOf(w->Label2).top - 2 : 1;
      MoveMouse(target, 10, y);
      EXPECT_FALSE(IsShown(w->pnlPreview));
      EXPECT_TRUE(IsShown(w->pnlMain));
      EXPECT_EQ(1, ShownPage(w));
    }
  }));
}

// The mouse move the system sends when the preview comes up under a pointer
// at rest is no movement: the preview stays until the pointer moves.
TEST_F(SetupPreview, APointerAtRestDoesNotLeaveIt) {
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    Click(w->btnPreview);
    ASSERT_TRUE(IsShown(w->pnlPreview));
    POINT rest;
    GetCursorPos(&rest);
    ScreenToClient(GetHandle(w->pnlPreview), &rest);
    MoveMouse(w->pnlPreview, rest.x, rest.y);
    EXPECT_TRUE(IsShown(w->pnlPreview));
    MoveMouse(w->pnlPreview, rest.x + 1, rest.y);
    EXPECT_FALSE(IsShown(w->pnlPreview));
  }));
}

TEST(SetupShippedPacks, EachNamesItselfAndSetsAllSevenTexts) {
  TLanguageObjectList packs;
  DiscoverLanguagePacks(ShippedFolder(), &packs);
  // The packs in lang/ and the first line of each.
  std::vector<std::pair<std::wstring, std::wstring>> found;
  for (const TLanguageObject& pack : packs) found.emplace_back(pack.fileName, pack.displayName);
  std::sort(found.begin(), found.end());
  const std::vector<std::pair<std::wstring, std::wstring>> shipped = {
      {L"deutsch.lng", L"Deutsch"},
      {L"francais.lng", L"Fran\u00E7ais"},
      {L"russian.lng", L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"},
  };
  ASSERT_EQ(shipped, found);
  const TMessageTexts english;
  for (const TLanguageObject& pack : packs) {
    SCOPED_TRACE(pack.fileName);
    TMessageTexts texts;
    ASSERT_TRUE(
        ReadTextLines(ShippedFolder() + L"\\" + pack.fileName,
                      [&](int n, const std::string& line) { LoadLanguageLine(texts, n, line); }));
    const std::wstring TMessageTexts::*keys[] = {&TMessageTexts::suspend, &TMessageTexts::off,
                                                 &TMessageTexts::reset,   &TMessageTexts::action,
                                                 &TMessageTexts::cancel,  &TMessageTexts::recovery,
                                                 &TMessageTexts::wait};
    for (auto key : keys) EXPECT_NE(english.*key, texts.*key);
    EXPECT_NE(std::wstring::npos, texts.action.find(kActionPlaceholder));
    EXPECT_NE(std::wstring::npos, texts.action.find(kSecondPlaceholder));
  }
}

}  // namespace
