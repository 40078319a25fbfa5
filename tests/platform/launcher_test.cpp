// vorlix-launch.exe against a private Init key of the test, with the probe as the
// harmless program to start.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

const wchar_t kTestRoot[] = L"Software\\Vorlix Platform Tests";

void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string Launch(const std::wstring& arguments, DWORD* exitCode) {
  RunResult run = Run(ToolPath(L"vorlix-launch.exe"), arguments);
  *exitCode = run.exitCode;
  return run.output;
}

}  // namespace

TEST(Launcher, StartsLaunchValuesInNumberOrderAndSkipsBadOnes) {
  std::wstring subkey = std::wstring(kTestRoot) + L"\\" + UniqueName(L"Init");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  std::wstring probe = ProbePath();
  SetText(key, L"Launch30", probe);
  SetText(key, L"Launch5", probe);
  SetText(key, L"Launch200", L"\"" + probe + L"\"");
  SetText(key, L"Launch9", TestFolder() + L"missing-program.exe");
  SetText(key, L"Launch12", L"");
  SetText(key, L"LaunchX", probe);
  SetText(key, L"Depend30", L"not a launch value");
  DWORD number = 7;
  RegSetValueExW(key, L"Launch7", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
  RegCloseKey(key);

  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring started = std::wstring(folder) + UniqueName(L"vorlix-launched") + L".txt";
  ScopedEnvironment probeFile(L"VORLIX_PROBE_FILE", started.c_str());
  DWORD exitCode;
  std::vector<std::string> lines = Lines(Launch(L"--key \"HKCU\\" + subkey + L"\"", &exitCode));
  EXPECT_EQ(1u, exitCode) << "bad entries are reported";

  std::vector<std::string> order;
  for (const std::string& line : lines) order.push_back(line.substr(0, line.find_first_of(" :", 8)));
  std::vector<std::string> expected = {"started Launch5", "skipped Launch7",  "skipped Launch9",
                                       "skipped Launch12", "started Launch30", "started Launch200",
                                       "skipped LaunchX"};
  EXPECT_EQ(expected, order);

  // The three programs really ran.
  size_t runs = 0;
  for (int i = 0; i < 250 && runs < 3; ++i, Sleep(20)) {
    HANDLE file = CreateFileW(started.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    char buffer[256];
    DWORD n = 0;
    ReadFile(file, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(file);
    runs = Lines(std::string(buffer, n)).size();
  }
  EXPECT_EQ(3u, runs);
  DeleteFileW(started.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str());
}

TEST(Launcher, MissingKeyStartsNothingAndBadArgumentsAreRefused) {
  DWORD exitCode;
  std::string output = Launch(L"--key \"HKCU\\" + std::wstring(kTestRoot) + L"\\no such key\"", &exitCode);
  EXPECT_EQ(0u, exitCode);
  EXPECT_NE(std::string::npos, output.find("nothing to start")) << output;
  Launch(L"--key HKCR\\Init", &exitCode);
  EXPECT_EQ(2u, exitCode);
  Launch(L"--other HKLM\\Init", &exitCode);
  EXPECT_EQ(2u, exitCode);
}
