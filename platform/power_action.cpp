// Desktop stand-in for SetSystemPowerState. By default every call is recorded in a
// log and nothing happens to this machine.
#include <cstdio>
#include <string>

#include "platform/ce_power.h"

namespace {

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[1024];
  DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return (n > 0 && n < 1024) ? std::wstring(buffer, n) : std::wstring();
}

// The log of recorded power actions: VORLIX_POWER_LOG, else beside the program.
std::wstring PowerLogPath() {
  std::wstring path = EnvironmentText(L"VORLIX_POWER_LOG");
  if (!path.empty()) return path;
  wchar_t module[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
  path = module;
  size_t slash = path.find_last_of(L'\\');
  path.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"power-actions.log";
}

}  // namespace

DWORD WINAPI SetSystemPowerState(LPCWSTR pwsSystemState, DWORD StateFlags, DWORD Options) {
  (void)pwsSystemState;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[128];
  int n = snprintf(line, sizeof line,
                   "%04u-%02u-%02u %02u:%02u:%02u.%03u SetSystemPowerState state=0x%08lX flags=0x%08lX\r\n",
                   now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                   now.wMilliseconds, static_cast<unsigned long>(StateFlags),
                   static_cast<unsigned long>(Options));
  HANDLE file = CreateFileW(PowerLogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  BOOL ok = WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(file);
  return ok ? ERROR_SUCCESS : GetLastError();
}
