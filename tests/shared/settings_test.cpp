#include "shared/settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "shared/files.h"
#include "tests/support/temp_folder.h"

namespace {

template <class Record>
Record ReadLines(const std::vector<std::string>& lines) {
  Record settings;
  int number = 0;
  for (const std::string& line : lines) LoadSettingsLine(settings, number++, line);
  return settings;
}

// The fields both records share, in one line to compare.
std::wstring Shared(const TSettingsBase& s) {
  wchar_t colors[40];
  swprintf(colors, 40, L"background 0x%08X text 0x%08X", s.background_color, s.text_color);
  return L"force " + std::to_wstring(s.force_power) + L" cancel " + std::to_wstring(s.cancel_time) +
         L" delay " + std::to_wstring(s.delay_time) + L" " + colors + L" size " +
         std::to_wstring(s.font_size) + L" autosize " + std::to_wstring(s.font_autosize) +
         L" pack '" + s.lng_file + L"' battery " + std::to_wstring(s.critical_battery) +
         L" sound " + std::to_wstring(s.warning_sound) + L" log " + std::to_wstring(s.event_log);
}

TEST(SettingsDefaults, BothRecords) {
  TSettings setup;
  EXPECT_EQ(
      L"force 0 cancel 10 delay 2 background 0x0000FF00 text 0x00000000 size 8 autosize 1 pack '' "
      L"battery 0 sound 0 log 0",
      Shared(setup));
  EXPECT_EQ(0, setup.power_action);
  EXPECT_EQ(200, setup.initial_slot_index);
  TMonitorSettings monitor;
  EXPECT_EQ(
      L"force 0 cancel 10 delay 2 background 0x0000FF00 text 0x00000000 size 8 autosize 1 pack '' "
      L"battery 0 sound 0 log 0",
      Shared(monitor));
  EXPECT_EQ(0x00200000u, monitor.power_action) << "suspend";
}

TEST(SettingsReader, KeysAreCaseInsensitiveWithBlanksAndComments) {
  std::vector<std::string> lines = {"  POWER_Action =  2 ; restart"};
  EXPECT_EQ(2, ReadLines<TSettings>(lines).power_action);
  EXPECT_EQ(POWER_STATE_RESET, ReadLines<TMonitorSettings>(lines).power_action);
  EXPECT_EQ(POWER_STATE_OFF, ReadLines<TMonitorSettings>({"power_action=1"}).power_action);
}

struct TValueCase {
  const char* line;
  bool changes;
};

TEST(SettingsReader, InvalidValuesKeepTheEarlierValue) {
  // Each line is read after "cancel_time=7" etc.; a rejected value keeps the 7.
  const TValueCase powerCases[] = {{"power_action=3", false},
                                   {"power_action=-1", false},
                                   {"power_action=two", false},
                                   {"power_action=", false},
                                   {"power_action=$2", true}};
  for (const TValueCase& c : powerCases) {
    TSettings s = ReadLines<TSettings>({"power_action=1", c.line});
    EXPECT_EQ(c.changes ? 2 : 1, s.power_action) << c.line;
  }
  EXPECT_EQ(7, (ReadLines<TSettings>({"cancel_time=7", "cancel_time=256"}).cancel_time));
  EXPECT_EQ(7, (ReadLines<TSettings>({"cancel_time=7", "cancel_time="}).cancel_time));
  EXPECT_EQ(30, (ReadLines<TSettings>({"cancel_time=$1E"}).cancel_time));
  EXPECT_EQ(10, (ReadLines<TSettings>({"cancel_time=010"}).cancel_time));
  EXPECT_EQ(0, (ReadLines<TSettings>({"delay_time=0"}).delay_time));
  EXPECT_EQ(255, (ReadLines<TSettings>({"delay_time=255"}).delay_time));
  EXPECT_EQ(8, (ReadLines<TSettings>({"font_size=5"}).font_size));
  EXPECT_EQ(8, (ReadLines<TSettings>({"font_size=73"}).font_size));
  EXPECT_EQ(72, (ReadLines<TSettings>({"font_size=72"}).font_size));
  EXPECT_EQ(6, (ReadLines<TSettings>({"font_size=6"}).font_size));
  EXPECT_EQ(0xFFFFFFu, (ReadLines<TSettings>({"background_color=16777215"}).background_color));
  EXPECT_EQ(0xFF00u, (ReadLines<TSettings>({"background_color=2147483648"}).background_color));
  EXPECT_EQ(0xFF00u, (ReadLines<TSettings>({"background_color=$80000000"}).background_color));
  EXPECT_EQ(0x7FFFFFFFu, (ReadLines<TSettings>({"text_color=2147483647"}).text_color));
  EXPECT_FALSE((ReadLines<TSettings>({"force_power=2"}).force_power));
  EXPECT_TRUE((ReadLines<TSettings>({"force_power=1"}).force_power));
  EXPECT_FALSE((ReadLines<TSettings>({"font_autosize=0"}).font_autosize));
  EXPECT_TRUE((ReadLines<TSettings>({"font_autosize=yes"}).font_autosize));
  EXPECT_EQ(100, (ReadLines<TMonitorSettings>({"critical_battery=100"}).critical_battery));
  EXPECT_EQ(15, (ReadLines<TMonitorSettings>({"critical_battery=15", "critical_battery=101"})
                     .critical_battery));
  EXPECT_EQ(0, (ReadLines<TMonitorSettings>({"critical_battery=-5"}).critical_battery));
  EXPECT_TRUE((ReadLines<TMonitorSettings>({"warning_sound=1", "warning_sound=2"}).warning_sound));
  EXPECT_TRUE((ReadLines<TMonitorSettings>({"event_log=1"}).event_log));
}

// A file written before the battery, sound and log keys existed means what it
// did then: none of the three is on.
TEST(SettingsReader, AnOlderFileLeavesTheNewerKeysOff) {
  std::vector<std::string> older = {
      "[Common]",      "power_action=1",  "force_power=0",         "cancel_time=5",
      "delay_time=1",  "",                "[View]",                "background_color=255",
      "text_color=0",  "font_size=10",    "font_autosize=0",       "",
      "[Language]",    "lng_file=",       "",                      "[Launch]",
      "initial_slot_index=200"};
  TMonitorSettings monitor = ReadLines<TMonitorSettings>(older);
  EXPECT_EQ(0, monitor.critical_battery);
  EXPECT_FALSE(monitor.warning_sound);
  EXPECT_FALSE(monitor.event_log);
  EXPECT_EQ(5, monitor.cancel_time);
}

TEST(SettingsReader, LanguageFileName) {
  EXPECT_EQ(L"de.lng", (ReadLines<TSettings>({"lng_file=de.lng", "lng_file="}).lng_file));
  EXPECT_EQ(L"de.lng",
            (ReadLines<TSettings>({"lng_file=de.lng", "lng_file=seventeen_chars.x"}).lng_file));
  EXPECT_EQ(L"sixteen_chars.xy", (ReadLines<TSettings>({"lng_file=sixteen_chars.xy"}).lng_file));
  EXPECT_EQ(L"ru", (ReadLines<TSettings>({"lng_file=ru;.lng"}).lng_file));
  EXPECT_EQ(L"\u0440\u0443\u0441.lng",
            (ReadLines<TMonitorSettings>({"lng_file=\xF0\xF3\xF1.lng"}).lng_file));
}

TEST(SettingsReader, LinesStandAlone) {
  TSettings s = ReadLines<TSettings>({
      "text_color=5",  // before any section
      "[Common]",
      "text_color=255",  // under another section than its own
      "cancel_time=5", "cancel_time=6",
      "cancel_time=bad",  // the last valid occurrence wins
      "unknown=1", "no equals sign",
      "lng_file=a=b",  // a second "=" belongs to the value
  });
  EXPECT_EQ(255u, s.text_color);
  EXPECT_EQ(6, s.cancel_time);
  EXPECT_EQ(L"a=b", s.lng_file);
}

TEST(SettingsReader, SlotIndexIsKeptOnlyByTheSettingsApplication) {
  EXPECT_EQ(300, (ReadLines<TSettings>({"initial_slot_index=300"}).initial_slot_index));
  EXPECT_EQ(65535, (ReadLines<TSettings>({"initial_slot_index=65535"}).initial_slot_index));
  EXPECT_EQ(200, (ReadLines<TSettings>({"initial_slot_index=65536"}).initial_slot_index));
  // The monitor's record has no such field; the line must not disturb anything.
  TMonitorSettings monitor = ReadLines<TMonitorSettings>({"initial_slot_index=1"});
  EXPECT_EQ(POWER_STATE_SUSPEND, monitor.power_action);
  EXPECT_EQ(10, monitor.cancel_time);
}

TEST(SettingsReader, ByteOrderMarkIsNotRecognised) {
  TSettings s =
      ReadLines<TSettings>({"\xEF\xBB\xBF"
                            "cancel_time=20",
                            "delay_time=4"});
  EXPECT_EQ(10, s.cancel_time);
  EXPECT_EQ(4, s.delay_time);
}

TEST(Cyrillic8Bit, TableByteForByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::wstring text = DecodeCyrillic8Bit(all);
  ASSERT_EQ(255u, text.size());
  const std::pair<int, wchar_t> exceptions[] = {
      {0xA1, 0x040E}, {0xA2, 0x045E}, {0xA5, 0x0490}, {0xA8, 0x0401}, {0xAA, 0x0404},
      {0xAF, 0x0407}, {0xB2, 0x0406}, {0xB3, 0x0456}, {0xB4, 0x0491}, {0xB8, 0x0451},
      {0xB9, 0x2116}, {0xBA, 0x0454}, {0xBF, 0x0457}};
  for (int b = 1; b < 256; ++b) {
    wchar_t expected = static_cast<wchar_t>(b >= 0xC0 ? b + 0x350 : b);
    for (const auto& e : exceptions) {
      if (e.first == b) expected = e.second;
    }
    EXPECT_EQ(expected, text[b - 1]) << "byte " << b;
  }
  EXPECT_EQ(std::wstring(L"\0", 1), DecodeCyrillic8Bit(std::string("\0", 1)));
}

TEST(SettingsFile, ExactBytesOfTheDefaults) {
  EXPECT_EQ(
      L"[Common]\r\npower_action=0\r\nforce_power=0\r\ncancel_time=10\r\ndelay_time=2\r\n"
      L"critical_battery=0\r\nwarning_sound=0\r\nevent_log=0\r\n\r\n"
      L"[View]\r\nbackground_color=65280\r\ntext_color=0\r\nfont_size=8\r\nfont_autosize=1\r\n\r\n"
      L"[Language]\r\nlng_file=\r\n\r\n[Launch]\r\ninitial_slot_index=200",
      FormatSettingsText(TSettings()));
}

TEST(SettingsFile, RoundTripThroughFileAndBothReaders) {
  TSettings written;
  written.power_action = 2;
  written.force_power = true;
  written.cancel_time = 255;
  written.delay_time = 0;
  written.background_color = 0x00123456;
  written.text_color = 0x00FFFFFF;
  written.font_size = 72;
  written.font_autosize = false;
  written.lng_file = L"deutsch.lng";
  written.initial_slot_index = 65530;
  written.critical_battery = 100;
  written.warning_sound = true;
  written.event_log = true;

  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.ini");
  ASSERT_TRUE(WriteTextFile(path, ToAnsiTextLossy(FormatSettingsText(written))));
  // 0x123456 is 1193046; no line end after the last line.
  EXPECT_EQ(
      "[Common]\r\npower_action=2\r\nforce_power=1\r\ncancel_time=255\r\ndelay_time=0\r\n"
      "critical_battery=100\r\nwarning_sound=1\r\nevent_log=1\r\n\r\n"
      "[View]\r\nbackground_color=1193046\r\ntext_color=16777215\r\nfont_size=72\r\n"
      "font_autosize=0\r\n\r\n[Language]\r\nlng_file=deutsch.lng\r\n\r\n[Launch]\r\n"
      "initial_slot_index=65530",
      folder.Read(L"vorlix.ini"));

  TSettings setup;
  TMonitorSettings monitor;
  ASSERT_TRUE(ReadTextLines(path, [&](int n, const std::string& line) {
    LoadSettingsLine(setup, n, line);
    LoadSettingsLine(monitor, n, line);
  }));
  const std::wstring shared =
      L"force 1 cancel 255 delay 0 background 0x00123456 text 0x00FFFFFF size 72 autosize 0 "
      L"pack 'deutsch.lng' battery 100 sound 1 log 1";
  EXPECT_EQ(shared, Shared(setup));
  EXPECT_EQ(2, setup.power_action);
  EXPECT_EQ(65530, setup.initial_slot_index);
  EXPECT_EQ(shared, Shared(monitor));
  EXPECT_EQ(0x00800000u, monitor.power_action) << "restart";
}

// A line longer than the line cut is no setting, whatever its first 64 KiB say;
// the lines around it still count.
TEST(SettingsFile, ALineLongerThanTheCutIsNoSetting) {
  TempFolder folder;
  std::wstring path =
      folder.Write(L"vorlix.ini",
                   "delay_time=4\r\ncancel_time=5" + std::string(70000, ' ') + "x\r\nfont_size=12");
  TSettings setup;
  TMonitorSettings monitor;
  ASSERT_TRUE(ReadTextLines(path, [&](int n, const std::string& line) {
    LoadSettingsLine(setup, n, line);
    LoadSettingsLine(monitor, n, line);
  }));
  const std::wstring shared =
      L"force 0 cancel 10 delay 4 background 0x0000FF00 text 0x00000000 size 12 autosize 1 pack '' "
      L"battery 0 sound 0 log 0";
  EXPECT_EQ(shared, Shared(setup));
  EXPECT_EQ(shared, Shared(monitor));
}

}  // namespace
