#include <gtest/gtest.h>

#include "shared/files.h"
#include "tests/setup/settings_harness.h"

namespace {

const std::wstring kCaption = L"Настройки Vorlix";

using SetupWindow = SettingsWindowTest;

// What the controls of the General and View pages show, in one line: the
// swatches' colours in hexadecimal, "(off)" after a disabled font size pair,
// the scroll bars' positions in brackets.
std::wstring Shown(TSettingsWindow* w) {
  auto position = [](TControl* bar) {
    return std::to_wstring(GetScrollPos(GetHandle(bar), SB_CTL));
  };
  wchar_t colors[48];
  swprintf(colors, 48, L"background 0x%08X text 0x%08X", GetColor(w->pnlBackgroundColor),
           GetColor(w->pnlTextColor));
  bool sizeOn =
      IsWindowEnabled(GetHandle(w->edtFontSize)) && IsWindowEnabled(GetHandle(w->sbFontSize));
  return GetText(w->cbAction) + L" force " + std::to_wstring(GetChecked(w->chkForce)) +
         L" cancel " + GetText(w->edtCancelTime) + L" [" + position(w->sbCancelTime) + L"] delay " +
         GetText(w->edtDelayTime) + L" [" + position(w->sbDelayTime) + L"] " + colors + L" size " +
         GetText(w->edtFontSize) + L" [" + position(w->sbFontSize) + L"]" +
         (sizeOn ? L"" : L" (off)") + L" autosize " + std::to_wstring(GetChecked(w->chkAutoSize)) +
         L" autostart " + std::to_wstring(GetChecked(w->chkAutostart));
}

TEST_F(SetupWindow, WithoutASettingsFileShowsTheDefaults) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    EXPECT_EQ(kCaption, GetText(w->frmMain));
    EXPECT_EQ(0, GetItemIndex(w->cbAction));
    EXPECT_EQ(3, GetItemCount(w->cbAction));
    // The scroll bars stand where the values put them (upside down).
    const wchar_t* defaults =
        L"Приостановить force 0 cancel 10 [245] delay 2 [253] background 0x0000FF00 "
        L"text 0x00000000 size 8 [70] (off) autosize 1 autostart 0";
    EXPECT_EQ(defaults, Shown(w));
    EXPECT_EQ(0, GetItemCount(w->cbLanguage));
    EXPECT_EQ(L"сек.", GetText(w->lblCancelUnit));
    EXPECT_EQ(L"сек.", GetText(w->lblDelayUnit));
    EXPECT_EQ(L"Label1", GetText(w->Label1));
    // Settings view, General page.
    EXPECT_TRUE(IsShown(w->pnlMain));
    EXPECT_FALSE(IsShown(w->pnlPreview));
    EXPECT_EQ(0, ShownPage(w));
    EXPECT_EQ(ActiveTabColor, GetColor(w->pnlTabGeneral));
    EXPECT_EQ(IdleTabColor, GetColor(w->pnlTabView));
    EXPECT_EQ(IdleTabColor, GetColor(w->lblTabLanguage));
    EXPECT_EQ(WindowColor, GetColor(w->pnlMain));
  }));
  EXPECT_TRUE(dialogs->messageBoxes().empty());
}

// A save cut off after its bytes were complete, and the file itself lost (on
// the device a power loss between the delete and the rename of its replace):
// the window starts with the new version, now in the file's place.
TEST_F(SetupWindow, ACompleteLeftoverOfACutOffSaveIsReadInTheLostFilesPlace) {
  const std::string saved = "cancel_time=42\r\ndelay_time=7";
  // Hidden alone: the save's mark of a complete temporary file.
  ASSERT_TRUE(
      SetFileAttributesW(folder.Write(L"vorlix.ini~0", saved).c_str(), FILE_ATTRIBUTE_HIDDEN));
  std::wstring shown;
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    shown = L"cancel " + GetText(w->edtCancelTime) + L" delay " + GetText(w->edtDelayTime);
  }));
  EXPECT_EQ(L"cancel 42 delay 7", shown);
  EXPECT_EQ(saved, folder.Read(L"vorlix.ini"));
  EXPECT_EQ("<missing>", folder.Read(L"vorlix.ini~0"));
}

TEST_F(SetupWindow, TheFileAndTheRegistryFillTheControls) {
  folder.Write(L"vorlix.ini",
               "[Common]\r\npower_action=2\r\nforce_power=1\r\ncancel_time=30\r\n"
               "[View]\r\nbackground_color=255\r\ntext_color=16777215\r\nfont_size=12\r\n"
               "font_autosize=0\r\n[Language]\r\nlng_file=DEUTSCH.lng\r\n");
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  folder.Write(L"deutsch.lng", ShippedPack(L"deutsch.lng"));
  init.PutString(L"Launch200", L"\\Windows\\other.exe");
  init.PutString(L"Launch300", MonitorPath());
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    EXPECT_EQ(
        L"Перезагрузить force 1 cancel 30 [225] delay 2 [253] background 0x000000FF "
        L"text 0x00FFFFFF size 12 [66] autosize 0 autostart 1",
        Shown(w));
    ASSERT_EQ(2, GetItemCount(w->cbLanguage));
    EXPECT_EQ(L"Deutsch", GetText(w->cbLanguage));
    EXPECT_EQ(L"deutsch.lng", languageList[GetItemIndex(w->cbLanguage)].fileName);
  }));
}

TEST_F(SetupWindow, AnUnknownPackNameSelectsTheFirstPack) {
  folder.Write(L"vorlix.ini", "lng_file=klingon.lng");
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  folder.Write(L"deutsch.lng", ShippedPack(L"deutsch.lng"));
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    ASSERT_EQ(2, GetItemCount(w->cbLanguage));
    EXPECT_EQ(0, GetItemIndex(w->cbLanguage));
    EXPECT_EQ(languageList[0].displayName, GetText(w->cbLanguage));
  }));
}

TEST_F(SetupWindow, WithoutTheMonitorTheProgramSaysSoAndEnds) {
  DeleteFileW(MonitorPath().c_str());
  ResetDialogs({IDOK});
  EXPECT_FALSE(Run([](TSettingsWindow*) {}));
  ASSERT_EQ(1u, dialogs->messageBoxes().size());
  EXPECT_EQ(kCaption, dialogs->messageBoxes()[0].caption);
  EXPECT_EQ(L"Приложение Vorlix не найдено", dialogs->messageBoxes()[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), dialogs->messageBoxes()[0].icon);
  EXPECT_NE(nullptr, dialogs->messageBoxes()[0].owner);
  EXPECT_EQ("<missing>", folder.Read(L"vorlix.ini"));
}

TEST_F(SetupWindow, FullScreenLayoutKeepsTheDesignDistances) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    RECT screen = GetScreenRect();
    RECT form;
    GetWindowRect(GetHandle(w->frmMain), &form);
    EXPECT_EQ(screen.right, form.right - form.left);
    EXPECT_EQ(screen.bottom, form.bottom - form.top);
    EXPECT_EQ(screen.right, GetClientWidth(w->frmMain)) << "no border, no caption";
    EXPECT_TRUE(GetWindowLongW(GetHandle(w->frmMain), GWL_EXSTYLE) & WS_EX_TOPMOST);

    RECT main = BoundsOf(w->pnlMain);
    EXPECT_EQ(8, main.left);
    EXPECT_EQ(8, main.top);
    EXPECT_EQ(screen.right - 8, main.right);
    EXPECT_EQ(screen.bottom - 8, main.bottom);
    int width = main.right - main.left, height = main.bottom - main.top;
    EXPECT_EQ(80, width - BoundsOf(w->btnOK).right);
    EXPECT_EQ(0, width - BoundsOf(w->btnCancel).right);
    EXPECT_EQ(height, BoundsOf(w->btnOK).bottom);
    EXPECT_EQ(height, BoundsOf(w->btnCancel).bottom);
    EXPECT_EQ(0, BoundsOf(w->btnPreview).left);
    EXPECT_EQ(height, BoundsOf(w->btnPreview).bottom);
    for (TControl* page : {w->pnlGeneral, w->pnlView, w->pnlLanguage}) {
      EXPECT_EQ(0, width - BoundsOf(page).right);
      EXPECT_EQ(32, height - BoundsOf(page).bottom);
      EXPECT_EQ(24, BoundsOf(page).top);
    }
    // Design positions stay; the lists grow with the page, the check boxes do not.
    EXPECT_EQ(73, BoundsOf(w->pnlTabView).left);
    EXPECT_EQ(112, BoundsOf(w->edtCancelTime).left);
    EXPECT_EQ(144, BoundsOf(w->sbDelayTime).left);
    EXPECT_EQ(104, BoundsOf(w->sbDelayTime).top);
    EXPECT_EQ(112, BoundsOf(w->cbAction).left);
    EXPECT_EQ(width - 8, BoundsOf(w->cbAction).right);
    EXPECT_EQ(112, BoundsOf(w->chkForce).left);
    EXPECT_LT(BoundsOf(w->chkForce).right, 400);
    RECT general = BoundsOf(w->pnlGeneral);
    EXPECT_EQ(8, (general.bottom - general.top) - BoundsOf(w->chkAutostart).bottom);

    RECT preview = BoundsOf(w->pnlPreview);
    EXPECT_EQ(0, preview.left);
    EXPECT_EQ(screen.right, preview.right);
    EXPECT_EQ(screen.bottom, preview.bottom);
  }));
}

TEST_F(SetupWindow, TabPanelsAndTheirCaptionsSelectTheirPages) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    struct {
      TControl* clicked;
      int page;
    } const cases[] = {{w->lblTabView, 1},    {w->pnlTabGeneral, 0}, {w->pnlTabLanguage, 2},
                       {w->lblTabGeneral, 0}, {w->pnlTabView, 1},    {w->lblTabLanguage, 2}};
    TControl* tabs[] = {w->pnlTabGeneral, w->pnlTabView, w->pnlTabLanguage};
    TControl* captions[] = {w->lblTabGeneral, w->lblTabView, w->lblTabLanguage};
    for (const auto& c : cases) {
      Click(c.clicked);
      EXPECT_EQ(c.page, ShownPage(w)) << GetText(c.clicked);
      for (int i = 0; i < 3; ++i) {
        TColor expected = i == c.page ? ActiveTabColor : IdleTabColor;
        EXPECT_EQ(expected, GetColor(tabs[i])) << i;
        EXPECT_EQ(expected, GetColor(captions[i])) << i;
      }
    }
  }));
}

// Esc from an edit box, Esc from a button, and the Cancel button.
TEST_F(SetupWindow, EscAndCancelLeaveFileAndRegistryAlone) {
  const std::string file = "[Common]\r\ncancel_time=30\r\n";
  folder.Write(L"vorlix.ini", file);
  init.PutString(L"Launch200", MonitorPath());
  const std::function<void(TSettingsWindow*)> ways[] = {
      [](TSettingsWindow* w) {
        SetFocused(w->edtDelayTime, true);
        PressKey(VK_ESCAPE);
      },
      [](TSettingsWindow* w) {
        SetFocused(w->btnPreview, true);
        PressKey(VK_ESCAPE);
      },
      [](TSettingsWindow* w) { Click(w->btnCancel); },
  };
  for (const auto& leave : ways) {
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      TypeText(w->edtCancelTime, L"99");
      Click(w->chkAutostart);  // cleared: OK would remove the entry
      Click(w->chkForce);
      leave(w);
    }));
    EXPECT_TRUE(closedByScript);
    EXPECT_EQ(file, folder.Read(L"vorlix.ini"));
    EXPECT_EQ(MonitorPath(), init.Strings()[L"Launch200"]);
    EXPECT_EQ(1u, init.Strings().size());
    EXPECT_TRUE(dialogs->messageBoxes().empty());
    EXPECT_EQ("<missing>", PowerLog());
  }
}

// The pages and the preview as the README shows them (<build>/screenshots).
TEST_F(SetupWindow, ScreenshotsOfThePagesAndThePreview) {
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  folder.Write(L"deutsch.lng", ShippedPack(L"deutsch.lng"));
  folder.Write(L"vorlix.ini", "critical_battery=10\r\nevent_log=1\r\nwarning_sound=1");
  folder.Write(L"vorlix.log",
               "2026-12-09 07:32:15 monitor started\r\n"
               "2026-12-09 07:32:18 power lost\r\n"
               "2026-12-09 07:32:20 notice shown\r\n"
               "2026-12-09 07:32:23 cancelled by the pointer\r\n"
               "2026-12-09 09:10:41 critical battery: 10%\r\n"
               "2026-12-09 09:10:41 notice shown\r\n"
               "2026-12-09 09:10:46 power call: state=0x00200000 flags=0x00000000 result=ok\r\n");
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    EXPECT_EQ(kPageGeneral, ShownPage(w));
    SaveScreenshot(L"setup-general");
    Click(w->lblTabView);
    EXPECT_EQ(kPageView, ShownPage(w));
    SaveScreenshot(L"setup-view");
    Click(w->lblTabLanguage);
    ChooseItem(w->cbLanguage, FindLanguagePack(languageList, L"russian.lng"));
    EXPECT_EQ(kPageLanguage, ShownPage(w));
    EXPECT_EQ(L"Русский", GetText(w->cbLanguage));
    SaveScreenshot(L"setup-language");
    Click(w->lblTabOther);
    EXPECT_EQ(kPageOther, ShownPage(w));
    SaveScreenshot(L"setup-other");
    Click(w->btnPreview);
    EXPECT_TRUE(IsShown(w->pnlPreview));
    EXPECT_FALSE(IsShown(w->pnlMain));
    EXPECT_NE(std::wstring::npos, GetText(w->Label1).find(L"10"));
    SaveScreenshot(L"setup-preview");
  }));
}

}  // namespace
