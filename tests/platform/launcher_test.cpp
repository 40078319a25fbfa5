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

RunResult Launch(const std::wstring& arguments) {
  return Run(ToolPath(L"vorlix-launch.exe"), arguments);
}

}  // namespace

TEST(Launcher, StartsLaunchValuesInNumberOrderAndSkipsBadOnes) {
  std::wstring subkey = std::wstring(kTestRoot) + L"\\" + UniqueName(L"Init");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
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

  std::wstring started = TempFileName(L"vorlix-launched");
  ScopedEnvironment probeFile(L"VORLIX_PROBE_FILE", started.c_str());
  RunResult run = Launch(L"--key \"HKCU\\" + subkey + L"\"");
  EXPECT_EQ(1u, run.exitCode) << "bad entries are reported";
  std::vector<std::string> order;
  for (const std::string& line : Lines(run.output))
    order.push_back(line.substr(0, line.find_first_of(" :", 8)));
  std::vector<std::string> expected = {"started Launch5",  "skipped Launch7",  "skipped Launch9",
                                       "skipped Launch12", "started Launch30", "started Launch200",
                                       "skipped LaunchX"};
  EXPECT_EQ(expected, order);

  // The three programs really ran.
  size_t runs = 0;
  for (int i = 0; i < 250 && runs < 3; ++i, Sleep(20)) runs = Lines(ReadBytes(started)).size();
  EXPECT_EQ(3u, runs);
  DeleteFileW(started.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str());
}

TEST(Launcher, MissingKeyStartsNothingAndBadArgumentsAreRefused) {
  RunResult run = Launch(L"--key \"HKCU\\" + std::wstring(kTestRoot) + L"\\no such key\"");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("nothing to start")) << run.output;
  EXPECT_EQ(2u, Launch(L"--key HKCR\\Init").exitCode);
}
