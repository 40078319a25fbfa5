// SetSystemPowerState of the stand-in. Only the recorded action runs here; of the
// real one only the start of a harmless host program is tried, never an action.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/ce/ce_sound.h"
#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

const DWORD kSuccess = ERROR_SUCCESS, kInvalidParameter = ERROR_INVALID_PARAMETER;

// Each log line as "<state> <flags> <action> <mode>", parsed the way a script would;
// a malformed line fails the test.
std::vector<std::string> ParseLog(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    char state[9] = {}, flags[9] = {}, action[16] = {}, mode[16] = {};
    int fields = sscanf(line.c_str(),
                        "%*4d-%*2d-%*2d %*2d:%*2d:%*2d.%*3d SetSystemPowerState state=0x%8[0-9A-F] "
                        "flags=0x%8[0-9A-F] action=%15s mode=%15s",
                        state, flags, action, mode);
    EXPECT_EQ(4, fields) << line;
    EXPECT_EQ(std::string::npos, line.find('\r'));
    lines.push_back(std::string(state) + " " + flags + " " + action + " " + mode);
  }
  return lines;
}

class PowerAction : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableW(L"VORLIX_POWER_LOG", log_.c_str()); }
  void TearDown() override { DeleteFileW(log_.c_str()); }
  ScopedEnvironment action_{L"VORLIX_POWER_ACTION", nullptr};
  ScopedEnvironment logVariable_{L"VORLIX_POWER_LOG", nullptr};
  std::wstring log_ = TempFileName(L"vorlix-power");
};

}  // namespace

TEST_F(PowerAction, RecordsOneLinePerCall) {
  EXPECT_EQ(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0));
  EXPECT_EQ(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE));
  EXPECT_EQ(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_RESET, 0));
  EXPECT_EQ(kSuccess, SetSystemPowerState(L"Reboot", 0, POWER_FORCE));
  std::string text = ReadBytes(log_);
  std::vector<std::string> expected = {
      "00200000 00000000 suspend recorded", "00020000 00001000 off recorded",
      "00800000 00000000 reset recorded", "00800000 00001000 reset recorded"};
  EXPECT_EQ(expected, ParseLog(text));
  EXPECT_EQ(text, Powerctl(L"log \"" + log_ + L"\"").output);
}

TEST_F(PowerAction, RefusesUnknownStatesWithoutRecording) {
  for (DWORD state :
       {0u, POWER_STATE_ON, POWER_STATE_IDLE, POWER_STATE_SUSPEND | POWER_STATE_OFF}) {
    EXPECT_EQ(kInvalidParameter, SetSystemPowerState(nullptr, state, 0)) << state;
  }
  EXPECT_EQ(kInvalidParameter, SetSystemPowerState(L"hibernate", POWER_STATE_SUSPEND, 0));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(log_.c_str()));
}

TEST_F(PowerAction, ReportsALogThatCannotBeWritten) {
  ScopedEnvironment unwritable(L"VORLIX_POWER_LOG", (log_ + L".folder\\power.log").c_str());
  EXPECT_NE(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0));
}

TEST_F(PowerAction, DefaultLogLiesBesideTheProgram) {
  ScopedEnvironment unset(L"VORLIX_POWER_LOG", nullptr);
  std::wstring beside = TestFolder() + L"power-actions.log";
  EXPECT_EQ(beside, PowerLogPath());
  bool existed = GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES;
  ASSERT_EQ(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_OFF, 0));
  std::vector<std::string> lines = ParseLog(ReadBytes(beside));
  EXPECT_EQ("00020000 00000000 off recorded", lines.empty() ? "" : lines.back());
  if (!existed) DeleteFileW(beside.c_str());
}

// The device's beep, written into the power log in the order of the calls, as
// "<date> <time> MessageBeep type=0x... mode=recorded"; nothing sounds.
TEST_F(PowerAction, BeepsAreRecordedBesideThePowerCalls) {
  ScopedEnvironment sound(L"VORLIX_SOUND", nullptr);
  EXPECT_TRUE(PlatformMessageBeep(MB_ICONEXCLAMATION));
  EXPECT_EQ(kSuccess, SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0));
  EXPECT_TRUE(PlatformMessageBeep(0xFFFFFFFF));
  std::istringstream in(ReadBytes(log_));
  std::vector<std::string> entries;
  for (std::string line; std::getline(in, line);) {
    int date[7] = {};
    int n = 0;
    EXPECT_EQ(7, sscanf(line.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d %n", &date[0], &date[1],
                        &date[2], &date[3], &date[4], &date[5], &date[6], &n))
        << line;
    entries.push_back(line.substr(static_cast<size_t>(n)));
  }
  std::vector<std::string> expected = {
      "MessageBeep type=0x00000030 mode=recorded",
      "SetSystemPowerState state=0x00200000 flags=0x00000000 action=suspend mode=recorded",
      "MessageBeep type=0xFFFFFFFF mode=recorded"};
  EXPECT_EQ(expected, entries);

  // Only "recorded" and "real" are sounds; anything else writes nothing.
  ScopedEnvironment loud(L"VORLIX_SOUND", L"loud");
  EXPECT_FALSE(PlatformMessageBeep(MB_OK));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_CONFIGURATION), GetLastError());
  std::string after = ReadBytes(log_);
  EXPECT_EQ(3, std::count(after.begin(), after.end(), '\n'));
  EXPECT_EQ(SoundKind::Recorded, ParseSound(L"Recorded"));
  EXPECT_EQ(SoundKind::Real, ParseSound(L"REAL"));
}

TEST(PowerConfiguration, OnlyTheWordRealActs) {
  EXPECT_EQ(PowerActionKind::Recorded, ParsePowerAction(nullptr));
  EXPECT_EQ(PowerActionKind::Recorded, ParsePowerAction(L"Recorded"));
  EXPECT_EQ(PowerActionKind::Real, ParsePowerAction(L"REAL"));
  EXPECT_EQ(PowerActionKind::Invalid, ParsePowerAction(L"real "));
  EXPECT_EQ(PowerSourceKind::Simulated, ParsePowerSource(L""));
  EXPECT_EQ(PowerSourceKind::Invalid, ParsePowerSource(L"ac"));
}

TEST(RealPowerAction, StartsAHarmlessHostProgramUnderWine) {
  if (!RunningUnderWine()) GTEST_SKIP() << "host programs exist only under Wine";
  std::wstring marker = TempFileName(L"vorlix-host");
  typedef char*(CDECL * ToUnixName)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = toUnix ? toUnix(marker.c_str()) : nullptr;
  ASSERT_TRUE(unix);
  std::wstring unixMarker(unix, unix + strlen(unix));
  HeapFree(GetProcessHeap(), 0, unix);

  EXPECT_EQ(kSuccess, RunHostProgram("/bin/sh", L"-c \"echo host > '" + unixMarker + L"'\""));
  std::string text;
  for (int i = 0; i < 250 && text.empty(); ++i, Sleep(20)) text = ReadBytes(marker);
  EXPECT_EQ("host\n", text);
  DeleteFileW(marker.c_str());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
            RunHostProgram("/nonexistent/vorlix-program", L""));
}
