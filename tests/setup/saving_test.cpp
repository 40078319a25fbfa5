#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>

#include "shared/files.h"
#include "shared/settings.h"
#include "tests/setup/settings_harness.h"

namespace {

const std::wstring kCaption = L"Настройки Vorlix";
const std::wstring kInvalid = L"Настройки Vorlix|Введены некорректные данные";
const std::wstring kRestart =
    L"Настройки Vorlix|Новые параметры вступят в силу только после перезагрузки устройства..."
    L"\r\n\r\nПерезагрузить устройство сейчас?";
const std::wstring kRegistryError = L"Настройки Vorlix|Ошибка изменения данных реестра";
const std::wstring kWriteError = L"Настройки Vorlix|Ошибка записи данных в файл";

const std::string kDefaultFile =
    "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=10\r\ndelay_time=2\r\n\r\n"
    "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=8\r\nfont_autosize=1\r\n\r\n"
    "[Language]\r\nlng_file=\r\n\r\n[Launch]\r\ninitial_slot_index=200";

using SetupOkButton = SettingsWindowTest;

enum TField { kNone = -1, kCancelTime, kDelayTime, kFontSize };

struct TOkCase {
  const char* title;
  const wchar_t* cancelTime;
  const wchar_t* delayTime;
  const wchar_t* fontSize;
  bool autosize;
  TField warnedField;  // kNone: saved
  int page;            // shown afterwards when warned
  const wchar_t* cancelTimeAfter;
  const wchar_t* fontSizeAfter;
  const char* savedFile;  // when saved
};

TControl* FieldOf(TSettingsWindow* w, TField field) {
  TControl* fields[] = {w->edtCancelTime, w->edtDelayTime, w->edtFontSize};
  return fields[field];
}

TEST_F(SetupOkButton, ChecksTheFieldsInOrderAndStopsAtTheFirstBadOne) {
  const TOkCase cases[] = {
      {"300 reports only the cancel time", L"300", L"abc", L"73", false, kCancelTime, 0, L"300",
       L"73", nullptr},
      {"010 is 10 before the delay warning", L"010", L"abc", L"8", true, kDelayTime, 0, L"10", L"8",
       nullptr},
      {"73 without automatic size", L"5", L"3", L"73", false, kFontSize, 1, L"5", L"73", nullptr},
      // $1E is 30; 5 is no size, so the file's 14 stays.
      {"automatic size takes the file's size", L"$1E", L"3", L"5", true, kNone, -1, L"30", L"14",
       "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=30\r\ndelay_time=3\r\n\r\n"
       "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=14\r\nfont_autosize=1\r\n"
       "\r\n[Language]\r\nlng_file=\r\n\r\n[Launch]\r\ninitial_slot_index=200"},
      {"valid size is normalised", L"7", L"3", L"0x0C", false, kNone, -1, L"7", L"12",
       "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=7\r\ndelay_time=3\r\n\r\n"
       "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=12\r\nfont_autosize=0\r\n"
       "\r\n[Language]\r\nlng_file=\r\n\r\n[Launch]\r\ninitial_slot_index=200"},
  };
  for (const TOkCase& c : cases) {
    SCOPED_TRACE(c.title);
    folder.Write(L"vorlix.ini", "font_size=14\r\nfont_autosize=0");
    ResetDialogs({c.warnedField != kNone ? IDOK : IDNO});
    int shownPage = -2;
    bool focused = false;
    DWORD selection = 0;
    std::wstring cancelAfter, fontAfter;
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      if (c.autosize) Click(w->chkAutoSize);
      Click(w->lblTabLanguage);  // the warning must bring the field's page forward
      TypeText(w->edtCancelTime, c.cancelTime);
      TypeText(w->edtDelayTime, c.delayTime);
      if (!c.autosize) TypeText(w->edtFontSize, c.fontSize);
      if (c.autosize) SetText(w->edtFontSize, c.fontSize);  // the box is disabled
      Click(w->btnOK);
      shownPage = ShownPage(w);
      if (c.warnedField != kNone) {
        HWND field = GetHandle(FieldOf(w, c.warnedField));
        focused = GetFocus() == field;
        selection = static_cast<DWORD>(SendMessageW(field, EM_GETSEL, 0, 0));
      }
      cancelAfter = GetText(w->edtCancelTime);
      fontAfter = GetText(w->edtFontSize);
    }));
    EXPECT_EQ(c.cancelTimeAfter, cancelAfter);
    EXPECT_EQ(c.fontSizeAfter, fontAfter);
    if (c.warnedField != kNone) {
      EXPECT_EQ(std::vector<std::wstring>{kInvalid}, BoxTexts());
      EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), dialogs->messageBoxes()[0].icon);
      EXPECT_EQ(c.page, shownPage);
      EXPECT_TRUE(focused);
      std::wstring text = c.warnedField == kCancelTime  ? c.cancelTime
                          : c.warnedField == kDelayTime ? c.delayTime
                                                        : c.fontSize;
      EXPECT_EQ(MAKELONG(0, text.size()), selection) << "all of the text selected";
      EXPECT_FALSE(closedByScript);
      EXPECT_EQ("font_size=14\r\nfont_autosize=0", folder.Read(L"vorlix.ini"));
    } else {
      EXPECT_EQ(std::vector<std::wstring>{kRestart}, BoxTexts());
      EXPECT_TRUE(closedByScript);
      EXPECT_EQ(c.savedFile, folder.Read(L"vorlix.ini"));
    }
  }
}

// The record either program reads back from the file.
struct TReadBack {
  int action;
  uint32_t powerState;  // the monitor's
  bool force;
  int cancel, delay;
  uint32_t background, text;
  int size;
  bool autosize;
  std::wstring pack;
  int slot;  // the settings application's
};

void ExpectCommon(const TReadBack& expected, const TSettingsBase& record) {
  EXPECT_EQ(expected.force, record.force_power);
  EXPECT_EQ(expected.cancel, record.cancel_time);
  EXPECT_EQ(expected.delay, record.delay_time);
  EXPECT_EQ(expected.background, record.background_color);
  EXPECT_EQ(expected.text, record.text_color);
  EXPECT_EQ(expected.size, record.font_size);
  EXPECT_EQ(expected.autosize, record.font_autosize);
  EXPECT_EQ(expected.pack, record.lng_file);
}

struct TWrittenCase {
  const char* title;
  std::string fileBefore;
  bool withPacks;
  std::function<void(TSettingsWindow*)> edit;
  std::string expected;
  TReadBack readBack;
};

TEST_F(SetupOkButton, WritesTheFileFromTheControlsAndTheMonitorReadsItBack) {
  const TWrittenCase cases[] = {
      {"defaults, no pack",
       "",
       false,
       [](TSettingsWindow*) {},
       kDefaultFile,
       {0, 0x00200000, false, 10, 2, 0x00FF00, 0, 8, true, L"", 200}},
      {"every control changed",
       "initial_slot_index=300\r\nbackground_color=255\r\ntext_color=16777215\r\nlng_file=RUSSIAN."
       "LNG",
       true,
       [](TSettingsWindow* w) {
         ChooseItem(w->cbAction, 1);
         Click(w->chkForce);
         TypeText(w->edtCancelTime, L"25");
         TypeText(w->edtDelayTime, L"0");
         Click(w->chkAutoSize);
         TypeText(w->edtFontSize, L"20");
         ChooseItem(w->cbLanguage, FindLanguagePack(languageList, L"deutsch.lng"));
       },
       "[Common]\r\npower_action=1\r\nforce_power=1\r\ncancel_time=25\r\ndelay_time=0\r\n\r\n"
       "[View]\r\nbackground_color=255\r\ntext_color=16777215\r\nfont_size=20\r\nfont_autosize="
       "0\r\n\r\n"
       "[Language]\r\nlng_file=deutsch.lng\r\n\r\n[Launch]\r\ninitial_slot_index=300",
       {1, 0x00020000, true, 25, 0, 0x0000FF, 0xFFFFFF, 20, false, L"deutsch.lng", 300}},
      {"restart with a pack picked from the file",
       "power_action=2\r\nlng_file=RUSSIAN.LNG\r\ninitial_slot_index=65535",
       true,
       [](TSettingsWindow*) {},
       "[Common]\r\npower_action=2\r\nforce_power=0\r\ncancel_time=10\r\ndelay_time=2\r\n\r\n"
       "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=8\r\nfont_autosize=1\r\n\r\n"
       "[Language]\r\nlng_file=russian.lng\r\n\r\n[Launch]\r\ninitial_slot_index=65535",
       {2, 0x00800000, false, 10, 2, 0x00FF00, 0, 8, true, L"russian.lng", 65535}},
  };
  for (const TWrittenCase& c : cases) {
    SCOPED_TRACE(c.title);
    ResetDialogs({IDNO});
    DeleteFileW(folder.File(L"vorlix.ini").c_str());
    if (!c.fileBefore.empty()) folder.Write(L"vorlix.ini", c.fileBefore);
    DeleteFileW(folder.File(L"russian.lng").c_str());
    DeleteFileW(folder.File(L"deutsch.lng").c_str());
    if (c.withPacks) {
      folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
      folder.Write(L"deutsch.lng", ShippedPack(L"deutsch.lng"));
    }
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      c.edit(w);
      Click(w->btnOK);
    }));
    EXPECT_EQ(c.expected, folder.Read(L"vorlix.ini"));

    // What each program takes from it: the values of the controls.
    TMonitorSettings monitor;
    TSettings setup;
    ASSERT_TRUE(ReadTextLines(folder.File(L"vorlix.ini"), [&](int n, const std::string& line) {
      LoadSettingsLine(monitor, n, line);
      LoadSettingsLine(setup, n, line);
    }));
    {
      SCOPED_TRACE("the monitor");
      ExpectCommon(c.readBack, monitor);
      EXPECT_EQ(c.readBack.powerState, monitor.power_action);
    }
    {
      SCOPED_TRACE("the settings application");
      ExpectCommon(c.readBack, setup);
      EXPECT_EQ(c.readBack.action, setup.power_action);
      EXPECT_EQ(c.readBack.slot, setup.initial_slot_index);
    }
  }
}

struct TStartupCase {
  const char* title;
  std::function<void(InitKeyFixture&, const std::wstring& exe)> before;
  bool clickBox;  // flips what the registry showed
  std::map<std::wstring, std::wstring> after;
  bool registryError;
};

TEST_F(SetupOkButton, AddsOrRemovesTheStartupEntryAsTheBoxSays) {
  const std::wstring exe = MonitorPath();
  const std::wstring other = L"\\Windows\\other.exe";
  std::wstring upper = exe;
  for (wchar_t& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
  const TStartupCase cases[] = {
      {"ticked, none yet",
       [](InitKeyFixture&, const std::wstring&) {},
       true,
       {{L"Launch300", exe}},
       false},
      {"ticked, slot taken",
       [&](InitKeyFixture& k, const std::wstring&) { k.PutString(L"Launch300", other); },
       true,
       {{L"Launch300", other}, {L"Launch310", exe}},
       false},
      {"ticked, entry present in other case",
       [&](InitKeyFixture& k, const std::wstring&) { k.PutString(L"Launch7", upper); },
       false,
       {{L"Launch7", upper}},
       false},
      {"cleared, two entries: both go",
       [&](InitKeyFixture& k, const std::wstring& e) {
         k.PutString(L"Launch200", e);
         k.PutString(L"Launch210", other);
         k.PutString(L"Launch300", upper);
       },
       true,
       {{L"Launch210", other}},
       false},
      {"cleared, none",
       [&](InitKeyFixture& k, const std::wstring&) { k.PutString(L"Launch1", other); },
       false,
       {{L"Launch1", other}},
       false},
      {"ticked without the Init key",
       [](InitKeyFixture& k, const std::wstring&) { k.RemoveKey(); },
       true,
       {},
       true},
  };
  for (const TStartupCase& c : cases) {
    SCOPED_TRACE(c.title);
    folder.Write(L"vorlix.ini", "initial_slot_index=300");
    init.Empty();
    c.before(init, exe);
    if (c.registryError) {
      ResetDialogs({IDOK, IDNO});
    } else {
      ResetDialogs({IDNO});
    }
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      if (c.clickBox) Click(w->chkAutostart);
      Click(w->btnOK);
    }));
    EXPECT_EQ(c.after, init.Strings());
    std::vector<std::wstring> expected = {kRestart};
    if (c.registryError) expected.insert(expected.begin(), kRegistryError);
    EXPECT_EQ(expected, BoxTexts());
    EXPECT_TRUE(closedByScript);
    EXPECT_EQ("[Common]", folder.Read(L"vorlix.ini").substr(0, 8)) << "written all the same";
  }
}

TEST_F(SetupOkButton, AFailedWriteIsReportedAndTheRestStillHappens) {
  CreateDirectoryW(folder.File(L"vorlix.ini").c_str(), nullptr);
  ResetDialogs({IDOK, IDNO});
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    Click(w->chkAutostart);
    Click(w->btnOK);
  }));
  EXPECT_EQ((std::vector<std::wstring>{kWriteError, kRestart}), BoxTexts());
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), dialogs->messageBoxes()[0].icon);
  EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), dialogs->messageBoxes()[1].icon);
  EXPECT_EQ(MonitorPath(), init.Strings()[L"Launch200"]);
  EXPECT_TRUE(closedByScript);
}

TEST_F(SetupOkButton, YesToTheRestartQuestionRestartsUnforced) {
  for (int answer : {IDNO, IDYES}) {
    ResetDialogs({answer});
    DeleteFileW(logFolder.File(L"power.log").c_str());
    DeleteFileW(folder.File(L"vorlix.ini").c_str());
    ASSERT_TRUE(Run([](TSettingsWindow* w) {
      Click(w->chkForce);  // the monitor's setting, not the restart's
      SetFocused(w->edtDelayTime, true);
      PressKey(VK_RETURN);
    }));
    EXPECT_TRUE(closedByScript);
    EXPECT_NE(std::string::npos, folder.Read(L"vorlix.ini").find("force_power=1"));
    std::string log = PowerLog();
    if (answer == IDNO) {
      EXPECT_EQ("<missing>", log);
    } else {
      EXPECT_NE(std::string::npos,
                log.find("SetSystemPowerState state=0x00800000 flags=0x00000000"));
      EXPECT_NE(std::string::npos, log.find("mode=recorded"));
      EXPECT_EQ(1, std::count(log.begin(), log.end(), '\n'));
    }
  }
}

TEST_F(SetupOkButton, APackDeletedSinceTheStartIsReported) {
  folder.Write(L"russian.lng", ShippedPack(L"russian.lng"));
  ResetDialogs({IDOK});
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    DeleteFileW(folder.File(L"russian.lng").c_str());
    Click(w->btnOK);
    EXPECT_EQ(2, ShownPage(w));
    EXPECT_EQ(GetHandle(w->cbLanguage), GetFocus());
  }));
  EXPECT_EQ(std::vector<std::wstring>{L"Настройки Vorlix|Выбранный языковой пакет не найден"},
            BoxTexts());
  EXPECT_FALSE(closedByScript);
  EXPECT_EQ("<missing>", folder.Read(L"vorlix.ini"));
}

}  // namespace
