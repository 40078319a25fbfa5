// Helpers of the platform tests: the programs built beside them, running them,
// and environment variables set for one test.
#pragma once

#include <windows.h>

#include <string>

#include "platform/desktop/power_standin.h"

#include "tests/support/no_copy.h"

namespace platform_test {

// The folder of this test program, with a trailing backslash.
inline std::wstring TestFolder() {
  wchar_t path[MAX_PATH];
  std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The tools are built beside the programs, in the build folder's "bin".
inline std::wstring ToolPath(const std::wstring& exe) {
  std::wstring tests = TestFolder();
  return tests.substr(0, tests.find_last_of(L'\\', tests.size() - 2) + 1) + L"bin\\" + exe;
}

inline std::wstring ProbePath() { return TestFolder() + L"platform_probe.exe"; }

// Starts "<program> <arguments>", its standard output into output when given;
// returns the process handle or NULL.
inline HANDLE Start(const std::wstring& program, const std::wstring& arguments,
                    HANDLE output = nullptr) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0,
                      nullptr, nullptr, &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// The exit code of a started process (closing its handle), ~0 if it did not end in time.
inline DWORD ExitCodeOf(HANDLE process, DWORD timeoutMs = 15000) {
  DWORD code = ~0u;
  if (process && WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process, &code);
  if (process) CloseHandle(process);
  return code;
}

struct RunResult {
  DWORD exitCode = ~0u;
  std::string output;  // standard output
};

// Runs a program to its end, collecting its standard output.
inline RunResult Run(const std::wstring& program, const std::wstring& arguments) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE process = Start(program, arguments, writeEnd);
  CloseHandle(writeEnd);
  char buffer[4096];
  DWORD n;
  while (process && ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
    result.output.append(buffer, n);
  CloseHandle(readEnd);
  result.exitCode = ExitCodeOf(process);
  return result;
}

inline RunResult Powerctl(const std::wstring& arguments) {
  return Run(ToolPath(L"powerctl.exe"), arguments);
}

// Sets (or with nullptr removes) an environment variable until the end of a scope.
class ScopedEnvironment : NoCopy {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value)
      : name_(name), old_(EnvironmentText(name)) {
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() {
    SetEnvironmentVariableW(name_.c_str(), old_.empty() ? nullptr : old_.c_str());
  }

 private:
  std::wstring name_;
  std::wstring old_;
};

// A name no other test run uses.
// Waits (up to 10 s) until a call of this process is blocked on the queue
// handle: the other side of a handshake with ReadMsgQueue or WriteMsgQueue.
inline bool WaitUntilBlocked(HANDLE queue) {
  for (int i = 0; i < 10000 && MsgQueueWaitingCalls(queue) == 0; ++i) Sleep(1);
  return MsgQueueWaitingCalls(queue) > 0;
}

inline std::wstring UniqueName(const std::wstring& stem) {
  static LONG serial = 0;
  return stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&serial));
}

// A file name in the temporary folder that no other test run uses.
inline std::wstring TempFileName(const std::wstring& stem) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return folder + UniqueName(stem) + L".txt";
}

inline std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  char buffer[4096];
  DWORD n;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &n, nullptr) &&
         n > 0) {
    bytes.append(buffer, n);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return bytes;
}

inline MSGQUEUEOPTIONS QueueOptions(BOOL readAccess, DWORD maxMessages = 5, DWORD cbMaxMessage = 16,
                                    DWORD flags = 0) {
  return MSGQUEUEOPTIONS{sizeof(MSGQUEUEOPTIONS), flags, maxMessages, cbMaxMessage, readAccess};
}

}  // namespace platform_test
