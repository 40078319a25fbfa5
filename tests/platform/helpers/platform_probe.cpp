// Second process for the platform tests.
//   platform_probe                        appends "started <pid>" to the file named
//                                         by VORLIX_PROBE_FILE (the launcher test)
//   platform_probe write <queue> <count> <timeout-ms>
//                                         writes DWORD messages 1..count to a named
//                                         queue; exit code 0 or the first error
//   platform_probe subscribe              subscribes a queue to power notifications
//                                         and ends without unsubscribing
#include <string>

#include "platform/ce/ce_power.h"

namespace {

int Started() {
  wchar_t path[MAX_PATH];
  if (GetEnvironmentVariableW(L"VORLIX_PROBE_FILE", path, MAX_PATH) == 0) return 3;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 4;
  std::string line = "started " + std::to_string(GetCurrentProcessId()) + "\n";
  DWORD written;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}

int Write(const wchar_t* name, DWORD count, DWORD timeout) {
  MSGQUEUEOPTIONS options = {sizeof options, 0, 0, sizeof(DWORD), FALSE};
  HANDLE queue = CreateMsgQueue(name, &options);
  if (!queue) return static_cast<int>(GetLastError());
  for (DWORD i = 1; i <= count; ++i) {
    if (!WriteMsgQueue(queue, &i, sizeof i, timeout, 0)) return static_cast<int>(GetLastError());
  }
  CloseMsgQueue(queue);
  return 0;
}

int Subscribe() {
  MSGQUEUEOPTIONS options = {sizeof options, 0, 5, sizeof(POWER_BROADCAST), TRUE};
  HANDLE queue = CreateMsgQueue(nullptr, &options);
  return queue && RequestPowerNotifications(queue, POWER_NOTIFY_ALL) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 1) return Started();
  std::wstring mode = argv[1];
  if (mode == L"write" && argc == 5) return Write(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
  if (mode == L"subscribe" && argc == 2) return Subscribe();
  return 2;
}
