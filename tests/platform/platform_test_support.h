// Helpers of the platform tests: the programs built beside them, running them,
// and environment variables set for one test.
#pragma once

#include <windows.h>

#include <string>

#include "platform/power_standin.h"

namespace platform_test {

// The folder of this test program, with a trailing backslash.
inline std::wstring TestFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The tools are built beside the programs, in the build folder's "bin".
inline std::wstring ToolPath(const std::wstring& exe) {
  std::wstring tests = TestFolder();
  std::wstring build = tests.substr(0, tests.find_last_of(L'\\', tests.size() - 2) + 1);
  return build + L"bin\\" + exe;
}

inline std::wstring ProbePath() { return TestFolder() + L"platform_probe.exe"; }

struct RunResult {
  DWORD exitCode = ~0u;
  std::string output;  // standard output
};

// Runs "<program> <arguments>" and waits for it (at most timeoutMs).
inline RunResult Run(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 15000) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    char buffer[4096];
    DWORD n;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) result.output.append(buffer, n);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &result.exitCode);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  return result;
}

// Starts "<program> <arguments>" without waiting; the process handle, or NULL.
inline HANDLE Start(const std::wstring& program, const std::wstring& arguments) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// The exit code of a started process (closing its handle), ~0 if it did not end in time.
inline DWORD ExitCodeOf(HANDLE process, DWORD timeoutMs = 15000) {
  DWORD code = ~0u;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

inline RunResult Powerctl(const std::wstring& arguments) { return Run(ToolPath(L"powerctl.exe"), arguments); }

// Sets (or with nullptr removes) an environment variable until the end of a scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t old[32768];
    DWORD n = GetEnvironmentVariableW(name, old, 32768);
    had_ = n > 0 && n < 32768;
    if (had_) old_.assign(old, n);
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// A queue name no other test run uses.
inline std::wstring UniqueName(const std::wstring& stem) {
  static LONG serial = 0;
  return stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&serial));
}

inline MSGQUEUEOPTIONS QueueOptions(BOOL readAccess, DWORD maxMessages = 5, DWORD cbMaxMessage = 16,
                                    DWORD flags = 0) {
  MSGQUEUEOPTIONS options = {};
  options.dwSize = sizeof options;
  options.dwFlags = flags;
  options.dwMaxMessages = maxMessages;
  options.cbMaxMessage = cbMaxMessage;
  options.bReadAccess = readAccess;
  return options;
}

}  // namespace platform_test
