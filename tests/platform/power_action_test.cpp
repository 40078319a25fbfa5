// SetSystemPowerState of the stand-in. Only the recorded action runs here; the
// real one is checked through its pieces (arguments, starting a harmless host
// program), never performed.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

struct LogLine {
  unsigned long state = 0, flags = 0;
  std::string action, mode;
};

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD n;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(file);
  return bytes;
}

// Parses the log the way a script or test would; fails on any malformed line.
std::vector<LogLine> ParseLog(const std::string& text) {
  std::vector<LogLine> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    LogLine parsed;
    int year, month, day, hour, minute, second, ms;
    char action[16] = {}, mode[16] = {};
    int fields = sscanf(line.c_str(),
                        "%4d-%2d-%2d %2d:%2d:%2d.%3d SetSystemPowerState state=0x%8lx flags=0x%8lx "
                        "action=%15s mode=%15s",
                        &year, &month, &day, &hour, &minute, &second, &ms, &parsed.state, &parsed.flags,
                        action, mode);
    EXPECT_EQ(11, fields) << line;
    EXPECT_EQ(std::string::npos, line.find('\r'));
    parsed.action = action;
    parsed.mode = mode;
    lines.push_back(parsed);
  }
  return lines;
}

class PowerAction : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    log_ = std::wstring(folder) + UniqueName(L"vorlix-power") + L".log";
    SetEnvironmentVariableW(L"VORLIX_POWER_LOG", log_.c_str());
  }
  void TearDown() override { DeleteFileW(log_.c_str()); }
  ScopedEnvironment action_{L"VORLIX_POWER_ACTION", nullptr};
  ScopedEnvironment logVariable_{L"VORLIX_POWER_LOG", nullptr};
  std::wstring log_;
};

}  // namespace

TEST_F(PowerAction, RecordsOneLinePerCall) {
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_RESET, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(L"Reboot", 0, POWER_FORCE));
  std::string text = ReadBytes(log_);
  std::vector<LogLine> lines = ParseLog(text);
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(POWER_STATE_SUSPEND, lines[0].state);
  EXPECT_EQ(0u, lines[0].flags);
  EXPECT_EQ("suspend", lines[0].action);
  EXPECT_EQ(POWER_STATE_OFF, lines[1].state);
  EXPECT_EQ(POWER_FORCE, lines[1].flags);
  EXPECT_EQ("off", lines[1].action);
  EXPECT_EQ("reset", lines[2].action);
  EXPECT_EQ(POWER_STATE_RESET, lines[3].state) << "a named state is logged as its value";
  for (const LogLine& line : lines) EXPECT_EQ("recorded", line.mode);
  EXPECT_EQ(text, Powerctl(L"log \"" + log_ + L"\"").output);
}

TEST_F(PowerAction, RefusesUnknownStatesWithoutRecording) {
  const DWORD states[] = {0, POWER_STATE_ON, POWER_STATE_IDLE, POWER_STATE_SUSPEND | POWER_STATE_OFF};
  for (DWORD state : states) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), SetSystemPowerState(nullptr, state, 0)) << state;
  }
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), SetSystemPowerState(L"hibernate", POWER_STATE_SUSPEND, 0));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(log_.c_str()));
}

TEST_F(PowerAction, ReportsALogThatCannotBeWritten) {
  std::wstring missing = log_ + L".folder\\power.log";
  ScopedEnvironment unwritable(L"VORLIX_POWER_LOG", missing.c_str());
  EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0));
}

TEST_F(PowerAction, DefaultLogLiesBesideTheProgram) {
  ScopedEnvironment unset(L"VORLIX_POWER_LOG", nullptr);
  std::wstring beside = TestFolder() + L"power-actions.log";
  EXPECT_EQ(beside, PowerLogPath());
  bool existed = GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_OFF, 0));
  std::vector<LogLine> lines = ParseLog(ReadBytes(beside));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("off", lines.back().action);
  if (!existed) DeleteFileW(beside.c_str());
}

TEST(PowerConfiguration, OnlyTheWordRealActs) {
  EXPECT_EQ(PowerActionKind::Recorded, ParsePowerAction(nullptr));
  EXPECT_EQ(PowerActionKind::Recorded, ParsePowerAction(L""));
  EXPECT_EQ(PowerActionKind::Recorded, ParsePowerAction(L"Recorded"));
  EXPECT_EQ(PowerActionKind::Real, ParsePowerAction(L"REAL"));
  EXPECT_EQ(PowerActionKind::Invalid, ParsePowerAction(L"real "));
  EXPECT_EQ(PowerActionKind::Invalid, ParsePowerAction(L"yes"));
  EXPECT_EQ(PowerSourceKind::Simulated, ParsePowerSource(nullptr));
  EXPECT_EQ(PowerSourceKind::Real, ParsePowerSource(L"real"));
  EXPECT_EQ(PowerSourceKind::Invalid, ParsePowerSource(L"ac"));
}

TEST(RealPowerAction, HostCommandFollowsStateAndForce) {
  EXPECT_EQ(L"suspend", HostPowerArguments(POWER_STATE_SUSPEND, 0));
  EXPECT_EQ(L"poweroff -i", HostPowerArguments(POWER_STATE_OFF, POWER_FORCE));
  EXPECT_EQ(L"reboot", HostPowerArguments(POWER_STATE_RESET, 0));
  EXPECT_EQ(L"", HostPowerArguments(POWER_STATE_ON, 0));
}

TEST(RealPowerAction, StartsAHarmlessHostProgramUnderWine) {
  if (!RunningUnderWine()) GTEST_SKIP() << "host programs exist only under Wine";
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring marker = std::wstring(folder) + UniqueName(L"vorlix-host") + L".txt";
  typedef char*(CDECL * ToUnixName)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  ASSERT_TRUE(toUnix);
  char* unix = toUnix(marker.c_str());
  ASSERT_TRUE(unix);
  std::wstring unixMarker(unix, unix + strlen(unix));
  HeapFree(GetProcessHeap(), 0, unix);

  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            RunHostProgram("/bin/sh", L"-c \"echo host > '" + unixMarker + L"'\""));
  std::string text;
  for (int i = 0; i < 250 && text.empty(); ++i, Sleep(20)) text = ReadBytes(marker);
  EXPECT_EQ("host\n", text);
  DeleteFileW(marker.c_str());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RunHostProgram("/nonexistent/vorlix-program", L""));
}
