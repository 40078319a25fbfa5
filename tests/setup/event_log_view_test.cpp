// The event log as the settings window shows it: the latest events, newest
// first, read again each time its page is chosen.
#include <gtest/gtest.h>

#include <string>

#include "setup/event_log_view.h"
#include "tests/setup/settings_harness.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(SetupEventLogView, TheLatestLinesNewestFirst) {
  TempFolder folder;
  const struct {
    const char* title;
    const char* file;  // nullptr: no file
    size_t count;
    const wchar_t* shown;
  } cases[] = {
      {"no file", nullptr, 200, L""},
      {"an empty file", "", 200, L""},
      {"three lines", "2026-12-09 10:00:00 a\r\n2026-12-09 10:00:01 b\r\n2026-12-09 10:00:02 c\r\n",
       200, L"2026-12-09 10:00:02 c\r\n2026-12-09 10:00:01 b\r\n2026-12-09 10:00:00 a\r\n"},
      {"the last two of three", "a\r\nb\r\nc\r\n", 2, L"c\r\nb\r\n"},
      {"a last line without its end, blank lines left out", "a\r\n\r\nb", 200, L"b\r\na\r\n"},
      {"bytes outside printable ASCII", "caf\xC3\xA9\tx\r\n", 200, L"caf???x\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    DeleteFileW(folder.File(L"vorlix.log").c_str());
    if (c.file) folder.Write(L"vorlix.log", c.file);
    EXPECT_EQ(c.shown, LatestEventsText(folder.File(L"vorlix.log"), c.count));
  }
  // A line of 600 bytes shows its first 512.
  folder.Write(L"vorlix.log", std::string(600, 'x') + "\r\n");
  EXPECT_EQ(std::wstring(512, L'x') + L"\r\n", LatestEventsText(folder.File(L"vorlix.log"), 200));
  // 205 lines: the newest 200, from 205 down to 6.
  std::string many;
  for (int i = 1; i <= 205; ++i) many += "event " + std::to_string(i) + "\r\n";
  folder.Write(L"vorlix.log", many);
  std::wstring shown = LatestEventsText(folder.File(L"vorlix.log"), 200);
  EXPECT_EQ(0u, shown.find(L"event 205\r\nevent 204\r\n"));
  EXPECT_EQ(shown.size() - 9, shown.rfind(L"event 6\r\n"));
  EXPECT_EQ(std::wstring::npos, shown.find(L"event 5\r\n"));
}

using SetupEventLogPage = SettingsWindowTest;

// Without a log the page says so; with one it shows it, and what the monitor
// writes while the window is open shows when the page is chosen again, by a
// tap or from the keyboard.
TEST_F(SetupEventLogPage, ShowsTheLogAsItIsWhenThePageIsChosen) {
  ASSERT_TRUE(Run([&](TSettingsWindow* w) {
    Click(w->lblTabOther);
    EXPECT_EQ(L"Записей нет", GetText(w->edtEventLog));
    folder.Write(L"vorlix.log", "2026-12-09 10:00:00 start\r\n");
    Click(w->lblTabGeneral);
    Click(w->pnlTabOther);
    EXPECT_EQ(L"2026-12-09 10:00:00 start\r\n", GetText(w->edtEventLog));
    folder.Write(L"vorlix.log", "2026-12-09 10:00:00 start\r\n2026-12-09 10:05:00 power lost\r\n");
    PressKey(VK_TAB, MK_CONTROL);  // to General, round to this page
    PressKey(VK_TAB, MK_CONTROL | MK_SHIFT);
    EXPECT_EQ(kPageOther, ShownPage(w));
    EXPECT_EQ(L"2026-12-09 10:05:00 power lost\r\n2026-12-09 10:00:00 start\r\n",
              GetText(w->edtEventLog));
    // Read-only: typing there changes nothing.
    SetFocused(w->edtEventLog, true);
    SendMessageW(GetHandle(w->edtEventLog), WM_CHAR, L'x', 1);
    EXPECT_EQ(L"2026-12-09 10:05:00 power lost\r\n2026-12-09 10:00:00 start\r\n",
              GetText(w->edtEventLog));
  }));
  EXPECT_EQ("<missing>", folder.Read(L"vorlix.ini"));
}

}  // namespace
