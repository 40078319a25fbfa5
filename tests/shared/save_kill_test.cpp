// Saving without loss: a process that keeps saving is killed at random moments;
// afterwards the settings file must hold one of the two complete versions.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "shared/files.h"
#include "shared/settings.h"
#include "tests/support/temp_folder.h"

namespace {

std::wstring SaveLoopPath() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path = module;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"save_loop.exe";
}

TEST(SavingWithoutLoss, KilledSavesLeaveTheOldOrTheNewFile) {
  TSettings first;
  TSettings second;
  second.power_action = 2;
  second.cancel_time = 255;
  second.lng_file = L"deutsch.lng";
  second.initial_slot_index = 65530;
  const std::string versions[] = {ToAnsiTextLossy(FormatSettingsText(first)),
                                  ToAnsiTextLossy(FormatSettingsText(second))};

  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", versions[0]);
  std::wstring command = L"\"" + SaveLoopPath() + L"\" \"" + target + L"\"";
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> delay(0, 40);
  const int kKills = 200;
  int killedWhileRunning = 0;
  for (int i = 0; i < kKills; ++i) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring line = command;
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
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
