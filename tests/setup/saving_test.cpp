#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <thread>
#include <utility>

#include "shared/files.h"
#include "shared/settings.h"
#include "tests/setup/settings_harness.h"

namespace {

const std::wstring kCaption = L"Настройки Vorlix";
const std::wstring kInvalid = L"Настройки Vorlix|Введены некорректные данные";
// Asked after a save while the monitor is not running.
const std::wstring kStart =
    L"Настройки Vorlix|Приложение Vorlix не запущено. Новые параметры вступят в силу после его "
    L"запуска.\r\n\r\nЗапустить Vorlix сейчас?";
// Asked when the monitor could not be started.
const std::wstring kStartFailedRestart =
    L"Настройки Vorlix|Не удалось запустить приложение Vorlix.\r\n\r\n"
    L"Новые параметры вступят в силу только после перезагрузки устройства..."
    L"\r\n\r\nПерезагрузить устройство сейчас?";
const std::wstring kRegistryError = L"Настройки Vorlix|Ошибка изменения данных реестра";
const std::wstring kWriteError = L"Настройки Vorlix|Ошибка записи данных в файл";

const std::string kDefaultFile =
    "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=10\r\ndelay_time=2\r\n"
    "critical_battery=0\r\nwarning_sound=0\r\nevent_log=0\r\n\r\n"
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
       "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=30\r\ndelay_time=3\r\n"
       "critical_battery=0\r\nwarning_sound=0\r\nevent_log=0\r\n\r\n"
       "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=14\r\nfont_autosize=1\r\n"
       "\r\n[Language]\r\nlng_file=\r\n\r\n[Launch]\r\ninitial_slot_index=200"},
      {"valid size is normalised", L"7", L"3", L"0x0C", false, kNone, -1, L"7", L"12",
       "[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=7\r\ndelay_time=3\r\n"
       "critical_battery=0\r\nwarning_sound=0\r\nevent_log=0\r\n\r\n"
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
      EXPECT_EQ(std::vector<std::wstring>{kStart}, BoxTexts());
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
  int criticalBattery;
  bool sound, log;
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
  EXPECT_EQ(expected.criticalBattery, record.critical_battery);
  EXPECT_EQ(expected.sound, record.warning_sound);
  EXPECT_EQ(expected.log, record.event_log);
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
       {0, 0x00200000, false, 10, 2, 0x00FF00, 0, 8, true, L"", 200, 0, false, false}},
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
         TypeText(w->edtCriticalBattery, L"020");
         Click(w->chkWarningSound);
         Click(w->chkEventLog);
       },
       "[Common]\r\npower_action=1\r\nforce_power=1\r\ncancel_time=25\r\ndelay_time=0\r\n"
       "critical_battery=20\r\nwarning_sound=1\r\nevent_log=1\r\n\r\n"
       "[View]\r\nbackground_color=255\r\ntext_color=16777215\r\nfont_size=20\r\nfont_autosize="
       "0\r\n\r\n"
       "[Language]\r\nlng_file=deutsch.lng\r\n\r\n[Launch]\r\ninitial_slot_index=300",
       {1, 0x00020000, true, 25, 0, 0x0000FF, 0xFFFFFF, 20, false, L"deutsch.lng", 300, 20, true,
        true}},
      {"restart with a pack, a level, the sound and the log picked from the file",
       "power_action=2\r\nlng_file=RUSSIAN.LNG\r\ninitial_slot_index=65535\r\n"
       "critical_battery=7\r\nwarning_sound=1\r\nevent_log=1",
       true,
       [](TSettingsWindow*) {},
       "[Common]\r\npower_action=2\r\nforce_power=0\r\ncancel_time=10\r\ndelay_time=2\r\n"
       "critical_battery=7\r\nwarning_sound=1\r\nevent_log=1\r\n\r\n"
       "[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=8\r\nfont_autosize=1\r\n\r\n"
       "[Language]\r\nlng_file=russian.lng\r\n\r\n[Launch]\r\ninitial_slot_index=65535",
       {2, 0x00800000, false, 10, 2, 0x00FF00, 0, 8, true, L"russian.lng", 65535, 7, true, true}},
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
    std::vector<std::wstring> expected = {kStart};
    if (c.registryError) expected.insert(expected.begin(), kRegistryError);
    EXPECT_EQ(expected, BoxTexts());
    EXPECT_TRUE(closedByScript);
    EXPECT_EQ("[Common]", folder.Read(L"vorlix.ini").substr(0, 8)) << "written all the same";
  }
}

HANDLE OpenAsTheReadersDo(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

struct TFailedSaveCase {
  const char* title;
  // Makes the save fail in the program folder; the call returned puts it right.
  std::function<std::function<void()>(const TempFolder&)> block;
  const wchar_t* cause;
};

// A failed save loses nothing: the error says why, no restart is offered, the
// start-up entry is left as it was, and the window stays with every edit. Once
// the cause is gone, OK again saves them all.
TEST_F(SetupOkButton, AFailedSaveSaysWhyAndKeepsEveryEdit) {
  const TFailedSaveCase cases[] = {
      {"a folder in the file's place",
       [](const TempFolder& f) -> std::function<void()> {
         std::wstring path = f.File(L"vorlix.ini");
         CreateDirectoryW(path.c_str(), nullptr);
         return [path] { RemoveDirectoryW(path.c_str()); };
       },
       L"На месте файла находится папка"},
      {"the file read-only",
       [](const TempFolder& f) -> std::function<void()> {
         std::wstring path = f.Write(L"vorlix.ini", "cancel_time=20");
         SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
         return [path] { SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); };
       },
       L"Файл доступен только для чтения"},
      {"another program keeps the file open",
       [](const TempFolder& f) -> std::function<void()> {
         HANDLE reader = OpenAsTheReadersDo(f.Write(L"vorlix.ini", "cancel_time=20"));
         return [reader] { CloseHandle(reader); };
       },
       L"Файл открыт другой программой"},
  };
  for (const TFailedSaveCase& c : cases) {
    SCOPED_TRACE(c.title);
    DeleteFileW(folder.File(L"vorlix.ini").c_str());
    init.Empty();
    std::function<void()> unblock = c.block(folder);
    ResetDialogs({IDOK, IDNO});
    std::vector<std::wstring> boxesAfterFailure;
    std::map<std::wstring, std::wstring> entriesAfterFailure;
    std::wstring shownAfterFailure;
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      Click(w->chkAutostart);
      TypeText(w->edtCancelTime, L"30");
      Click(w->chkAutoSize);
      Click(w->btnOK);
      boxesAfterFailure = BoxTexts();
      entriesAfterFailure = init.Strings();
      shownAfterFailure = std::wstring(IsShown(w->frmMain) ? L"shown" : L"gone") + L" cancel " +
                          GetText(w->edtCancelTime) + L" autosize " +
                          std::to_wstring(GetChecked(w->chkAutoSize)) + L" autostart " +
                          std::to_wstring(GetChecked(w->chkAutostart));
      unblock();
      Click(w->btnOK);
    }));
    const std::wstring error = kWriteError + L"\r\n\r\n" + c.cause;
    EXPECT_EQ(std::vector<std::wstring>{error}, boxesAfterFailure);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), dialogs->messageBoxes()[0].icon);
    EXPECT_EQ((std::map<std::wstring, std::wstring>{}), entriesAfterFailure);
    EXPECT_EQ(L"shown cancel 30 autosize 0 autostart 1", shownAfterFailure);
    // Tried again: saved, the entry added, the start offered, the window closed.
    EXPECT_EQ((std::vector<std::wstring>{error, kStart}), BoxTexts());
    EXPECT_NE(std::string::npos, folder.Read(L"vorlix.ini").find("cancel_time=30\r\n"));
    EXPECT_NE(std::string::npos, folder.Read(L"vorlix.ini").find("font_autosize=0\r\n"));
    EXPECT_EQ(MonitorPath(), init.Strings()[L"Launch200"]);
    EXPECT_TRUE(closedByScript);
  }
}

// While a save waits (here for a reader that never lets go, 2 s) the window
// shows the wait cursor and is painted when it needs it, and input given
// meanwhile (Esc, a tap on "Отмена") does nothing, then or after.
TEST_F(SetupOkButton, ASaveThatWaitsShowsTheWaitCursorAndKeepsTheWindowPainted) {
  HANDLE reader = OpenAsTheReadersDo(folder.Write(L"vorlix.ini", "cancel_time=20"));
  ResetDialogs({IDOK});
  bool waitCursor = false, painted = false, inputWhileWaiting = false, shownAfter = false;
  std::wstring cancelAfter;
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    TypeText(w->edtCancelTime, L"30");
    HWND form = GetHandle(w->frmMain), focus = GetFocus(), cancel = GetHandle(w->btnCancel);
    DWORD windowThread = GetCurrentThreadId();
    std::thread observer([&] {
      // Sharing the window's input state, this thread sees its cursor.
      AttachThreadInput(GetCurrentThreadId(), windowThread, TRUE);
      const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
      auto waiting = [wait] { return GetCursor() == wait; };
      for (ULONGLONG giveUp = GetTickCount64() + 10000; !waitCursor && GetTickCount64() < giveUp;
           Sleep(1)) {
        waitCursor = waiting();
      }
      if (waitCursor) {
        InvalidateRect(form, nullptr, TRUE);
        for (ULONGLONG giveUp = GetTickCount64() + 1000; !painted && GetTickCount64() < giveUp;
             Sleep(1)) {
          painted = !GetUpdateRect(form, nullptr, FALSE);
        }
        PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        inputWhileWaiting = waiting();
      }
      AttachThreadInput(GetCurrentThreadId(), windowThread, FALSE);
    });
    Click(w->btnOK);
    observer.join();
    ProcessMessages();
    shownAfter = IsShown(w->frmMain);
    cancelAfter = GetText(w->edtCancelTime);
  }));
  CloseHandle(reader);
  EXPECT_TRUE(waitCursor) << "no wait cursor within 10 s";
  EXPECT_TRUE(painted) << "the window was not painted within 1 s";
  EXPECT_TRUE(inputWhileWaiting) << "the save was over before the input came";
  EXPECT_TRUE(shownAfter);
  EXPECT_EQ(L"30", cancelAfter);
  EXPECT_FALSE(closedByScript);
  EXPECT_EQ(std::vector<std::wstring>{kWriteError + L"\r\n\r\nФайл открыт другой программой"},
            BoxTexts());
  EXPECT_EQ("cancel_time=20", folder.Read(L"vorlix.ini"));
}

// The causes no window test above brings about, each in the words the user
// reads; an error without words gives its code.
TEST(SetupWriteError, EachCauseInTheUsersWords) {
  const std::pair<DWORD, std::wstring> causes[] = {
      {ERROR_LOCK_VIOLATION, L"Запись в файл заблокирована другой программой"},
      {ERROR_ACCESS_DENIED, L"Папка доступна только для чтения"},
      {ERROR_WRITE_PROTECT, L"Папка доступна только для чтения"},
      {ERROR_PATH_NOT_FOUND, L"Папка не найдена"},
      {ERROR_FILENAME_EXCED_RANGE, L"Слишком длинный путь к файлу"},
      {ERROR_NO_UNICODE_TRANSLATION, L"Путь к файлу содержит недопустимые символы"},
      {ERROR_DISK_FULL, L"Недостаточно места на диске"},
      {ERROR_HANDLE_DISK_FULL, L"Недостаточно места на диске"},
      {ERROR_GEN_FAILURE, L"Код ошибки: 31"},
  };
  InitializeSetupState();
  for (const auto& cause : causes) {
    EXPECT_EQ(L"Ошибка записи данных в файл\r\n\r\n" + cause.second,
              WriteErrorMessage(cause.first));
  }
  FinalizeSetupState();
}

// After a save: a running monitor takes the settings itself, so nothing is
// asked; otherwise a start is offered, and only a monitor that cannot start
// (the harness's "vorlix.exe" is no program) leaves the restart, unforced.
TEST_F(SetupOkButton, TheNewSettingsTakeEffectWithoutARestartWhereTheyCan) {
  struct TAfterSaveCase {
    const char* title;
    bool monitorRunning;
    std::vector<int> answers;
    std::vector<std::wstring> boxes;
    bool restarted;
  };
  const TAfterSaveCase cases[] = {
      {"the monitor runs", true, {}, {}, false},
      {"no start", false, {IDNO}, {kStart}, false},
      {"the start fails, no restart", false, {IDYES, IDNO}, {kStart, kStartFailedRestart}, false},
      {"the start fails, restart", false, {IDYES, IDYES}, {kStart, kStartFailedRestart}, true},
  };
  for (const TAfterSaveCase& c : cases) {
    SCOPED_TRACE(c.title);
    ResetDialogs(c.answers);
    DeleteFileW(logFolder.File(L"power.log").c_str());
    DeleteFileW(folder.File(L"vorlix.ini").c_str());
    HANDLE mark =
        c.monitorRunning ? CreateEventW(nullptr, TRUE, FALSE, L"Vorlix.Monitor.Running") : nullptr;
    ASSERT_TRUE(Run([](TSettingsWindow* w) {
      Click(w->chkForce);  // the monitor's setting, not the restart's
      SetFocused(w->edtDelayTime, true);
      PressKey(VK_RETURN);
    }));
    if (mark) CloseHandle(mark);
    EXPECT_EQ(c.boxes, BoxTexts());
    EXPECT_TRUE(closedByScript);
    EXPECT_NE(std::string::npos, folder.Read(L"vorlix.ini").find("force_power=1"));
    std::string log = PowerLog();
    if (!c.restarted) {
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

// The battery level is a percent: anything else is refused on its own page,
// the text selected, the file untouched.
TEST_F(SetupOkButton, TheBatteryLevelIsAPercentFrom0To100) {
  for (const wchar_t* bad : {L"101", L"-1", L"abc", L""}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(bad)));
    folder.Write(L"vorlix.ini", "critical_battery=15");
    ResetDialogs({IDOK});
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      EXPECT_EQ(L"15", GetText(w->edtCriticalBattery));
      Click(w->lblTabOther);
      TypeText(w->edtCriticalBattery, bad);
      Click(w->lblTabGeneral);  // the warning must bring the page forward
      Click(w->btnOK);
      EXPECT_EQ(kPageOther, ShownPage(w));
      HWND field = GetHandle(w->edtCriticalBattery);
      EXPECT_EQ(field, GetFocus());
      EXPECT_EQ(MAKELONG(0, lstrlenW(bad)), SendMessageW(field, EM_GETSEL, 0, 0));
    }));
    EXPECT_EQ(std::vector<std::wstring>{kInvalid}, BoxTexts());
    EXPECT_FALSE(closedByScript);
    EXPECT_EQ("critical_battery=15", folder.Read(L"vorlix.ini"));
  }
}

}  // namespace
