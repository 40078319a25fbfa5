// Settings without a restart: a saved settings file (or a changed pack) is read
// again once the folder is quiet and is in force from the next countdown on.
#include "tests/monitor/monitor_fixture.h"

namespace {

// A pack of the test's own: every text differs from the English one.
const char kPack[] =
    "Testsprache\n"
    "suspend=angehalten\n"
    "off=ausgeschaltet\n"
    "reset=neu gestartet\n"
    "action=Neu: %action% in %second% s\n"
    "cancel=Stift bewegen\n"
    "recovery=Strom zurueck\n"
    "wait=Bitte warten\n";

std::wstring PackLine(const std::wstring& action, int seconds) {
  return L"Neu: " + action + L" in " + std::to_wstring(seconds) + L" s";
}

class ReloadTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    UseTestFolder();
    folder.Write(L"test.lng", kPack);
  }
  // Pumps until the settings in force have the cancel time (the reload is in).
  bool WaitForCancelTime(int seconds, int milliseconds = 3000) {
    return PumpUntil(milliseconds, [seconds] { return monitorSettings.cancel_time == seconds; });
  }
  // Power lost, and the countdown run out; then power back.
  void CountDown(size_t calls) {
    MarkTime();
    SetAc(AC_LINE_OFFLINE);
    ASSERT_TRUE(WaitForPowerCalls(calls, 5000));
    Pump(kTestTick);
    SetAcAndWait(AC_LINE_ONLINE);
  }
};

// The colours, texts, times and action of the new file, none before the folder
// has been quiet for a moment.
TEST_F(ReloadTest, ASavedFileIsInForceForTheNextNoticeWithoutARestart) {
  SaveSettings({"delay_time=0", "cancel_time=3"});
  StartMonitor();
  ASSERT_EQ(3, monitorSettings.cancel_time);
  LARGE_INTEGER frequency, saved, seen;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&saved);
  SaveSettings({"power_action=2", "delay_time=0", "cancel_time=4", "[View]", "background_color=255",
                "text_color=16777215", "[Language]", "lng_file=test.lng"});
  ASSERT_TRUE(WaitForCancelTime(4));
  QueryPerformanceCounter(&seen);
  EXPECT_GE((seen.QuadPart - saved.QuadPart) * 1000.0 / frequency.QuadPart, kSettleTime - 3.0);
  // The hidden overlay already holds the pack's texts and colours.
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(L"Strom zurueck", GetText(monitor->Label1));
  EXPECT_EQ(L"Bitte warten", GetText(monitor->Label2));

  CountDown(1);
  std::vector<std::wstring> expected;
  for (int n = 4; n >= 1; --n) expected.push_back(PackLine(L"neu gestartet", n));
  EXPECT_EQ(expected, TextsWhileShown());
  EXPECT_EQ(0x000000FFu, GetColor(monitor->form));
  EXPECT_EQ(0x000000FFu, GetColor(monitor->Label1));
  EXPECT_EQ(0x00FFFFFFu, GetFontColor(GetFont(monitor->Label1)));
  EXPECT_EQ(0x00FFFFFFu, GetFontColor(GetFont(monitor->Label2)));
  ASSERT_EQ(1u, PowerCalls().size());
  EXPECT_NE(std::string::npos, PowerCalls()[0].find("state=0x00800000"));

  // Back to no pack and the defaults: the English texts again.
  SaveSettings({"delay_time=0", "cancel_time=2"});
  ASSERT_TRUE(WaitForCancelTime(2));
  CountDown(2);
  EXPECT_EQ((std::vector<std::wstring>{Line(2), Line(1)}), TextsWhileShown());
  EXPECT_EQ(0x0000FF00u, GetColor(monitor->form));
}

// A save is a burst of changes in the folder (a temporary file made, written,
// renamed): several saves in a row are read once, as the last one left them.
// The monitor's own writes beside the file (its log) cause no reading.
TEST_F(ReloadTest, ABurstOfSavesIsReadOnceAndTheLogCausesNoReading) {
  SaveSettings({"event_log=1"});
  StartMonitor();
  for (int seconds = 11; seconds <= 15; ++seconds) {
    SaveSettings({"event_log=1", "cancel_time=" + std::to_string(seconds)});
    Pump(20);
  }
  ASSERT_TRUE(WaitForCancelTime(15));
  Pump(4 * kSettleTime);
  std::vector<std::string> log = EventLogTexts();
  ASSERT_EQ(3u, log.size());
  EXPECT_EQ(
      "settings reread: power_action=0 force_power=0 cancel_time=15 delay_time=2 "
      "critical_battery=0 warning_sound=0 event_log=1 background_color=65280 text_color=0 "
      "font_size=8 font_autosize=1 lng_file=",
      log[2]);
}

// A pack changed alone (its settings file left as it is) is read again too.
TEST_F(ReloadTest, AChangedPackIsReadAgain) {
  SaveSettings({"delay_time=0", "cancel_time=2", "lng_file=test.lng"});
  StartMonitor();
  ASSERT_EQ(L"Stift bewegen", messageTexts.cancel);
  Pump(2 * kSettleTime);
  std::string pack = kPack;
  folder.Write(L"test.lng", pack + "cancel=Bitte tippen\n");
  ASSERT_TRUE(PumpUntil(3000, [] { return messageTexts.cancel == L"Bitte tippen"; }));
  EXPECT_EQ(PackLine(L"angehalten", 2), CountdownLine(messageTexts.action, 2));
}

// A countdown keeps the settings it began with, whatever is saved meanwhile:
// its times, texts and action. The next one has the new settings.
TEST_F(ReloadTest, AReloadDuringACountdownKeepsThatCountdownsSettings) {
  SetTickIntervalForTesting(100);
  SaveSettings({"delay_time=0", "cancel_time=12"});
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(PumpUntil(3000, [&] { return FirstEvent('T', Line(11)) >= 0; }));
  SaveSettings({"power_action=1", "delay_time=0", "cancel_time=3", "[View]", "background_color=255",
                "[Language]", "lng_file=test.lng"});
  ASSERT_TRUE(WaitForPowerCalls(1, 5000));
  Pump(kTestTick);
  std::vector<std::wstring> expected;
  for (int n = 12; n >= 1; --n) expected.push_back(Line(n));
  EXPECT_EQ(expected, TextsWhileShown());
  EXPECT_NE(std::string::npos, PowerCalls()[0].find("state=0x00200000"));
  EXPECT_EQ(0x0000FF00u, GetColor(monitor->form));

  // In force once the countdown is over.
  ASSERT_TRUE(WaitForCancelTime(3));
  SetAcAndWait(AC_LINE_ONLINE);
  CountDown(2);
  EXPECT_EQ((std::vector<std::wstring>{PackLine(L"ausgeschaltet", 3), PackLine(L"ausgeschaltet", 2),
                                       PackLine(L"ausgeschaltet", 1)}),
            TextsWhileShown());
  EXPECT_NE(std::string::npos, PowerCalls()[1].find("state=0x00020000"));
  EXPECT_EQ(0x000000FFu, GetColor(monitor->form));
}

// A file that cannot be read keeps the settings in force: a settings file gone,
// or held by a program that lets nobody read it. Once it can be read, the next
// change in the folder brings it in.
TEST_F(ReloadTest, AFailedReadKeepsTheSettingsInForce) {
  SaveSettings({"delay_time=0", "cancel_time=4", "lng_file=test.lng"});
  StartMonitor();
  ASSERT_TRUE(DeleteFileW(folder.File(L"vorlix.ini").c_str()));
  Pump(4 * kSettleTime);
  EXPECT_EQ(4, monitorSettings.cancel_time);
  EXPECT_EQ(L"test.lng", monitorSettings.lng_file);
  CountDown(1);
  EXPECT_EQ(PackLine(L"angehalten", 4), TextsWhileShown().at(0));

  // Written by a program that shares it with nobody.
  HANDLE held = CreateFileW(folder.File(L"vorlix.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const char text[] = "[Common]\r\ndelay_time=0\r\ncancel_time=7\r\n";
  DWORD written = 0;
  WriteFile(held, text, sizeof text - 1, &written, nullptr);
  Pump(4 * kSettleTime);
  EXPECT_EQ(4, monitorSettings.cancel_time);
  CloseHandle(held);
  folder.Write(L"other.txt", "a change in the folder");
  ASSERT_TRUE(WaitForCancelTime(7));
  EXPECT_EQ(L"Use move on the screen to cancel...", messageTexts.cancel);
}

}  // namespace
