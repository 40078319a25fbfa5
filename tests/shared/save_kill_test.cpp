// Saving without loss: a process that keeps saving is killed at random moments;
// afterwards the settings file must hold one of the two complete versions.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "tests/support/temp_folder.h"
#include "tests/tools/settings_versions.h"

namespace {

std::wstring SaveLoopPath() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path = module;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"save_loop.exe";
}

// Under load Wine now and then fails a start with ERROR_INTERNAL_ERROR: the new
// process died in its own start-up, before it ran a line of the saver. Such a
// start is tried again; any other failure, or three in a row, fails the test.
bool StartSaver(const std::wstring& command, PROCESS_INFORMATION* process) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring line = command;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       process))
      return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR) return false;
    Sleep(50);
  }
  return false;
}

TEST(SavingWithoutLoss, KilledSavesLeaveTheOldOrTheNewFile) {
  std::string versions[2];
  SettingsVersions(versions);

  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", versions[0]);
  std::wstring command = L"\"" + SaveLoopPath() + L"\" \"" + target + L"\"";
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> delay(0, 40);
  const int kKills = 200;
  int killedWhileRunning = 0;
  for (int i = 0; i < kKills; ++i) {
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(StartSaver(command, &process))
        << "start " << i << " failed with error " << GetLastError();
    Sleep(delay(random));
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) ++killedWhileRunning;
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string content = folder.Read(L"vorlix.ini");
    ASSERT_TRUE(content == versions[0] || content == versions[1])
        << "after kill " << i << " the file holds " << content.size() << " bytes";
  }
  // The loop never ends by itself: every kill hit a running saver.
  EXPECT_EQ(kKills, killedWhileRunning);
}

}  // namespace
