// Desktop stand-in for SetSystemPowerState. By default every call is recorded in a
// log and nothing happens to this machine; only VORLIX_POWER_ACTION=real acts.
#include <windows.h>
// powrprof.h needs windows.h first.
#include <powrprof.h>

#include <string>

#include "platform/desktop/power_standin.h"

namespace {

enum class Action { None, Suspend, Off, Reset };

const char* ActionName(Action action) {
  switch (action) {
    case Action::Suspend: return "suspend";
    case Action::Off: return "off";
    case Action::Reset: return "reset";
    default: return "none";
  }
}

Action ActionForState(DWORD state) {
  switch (state) {
    case POWER_STATE_SUSPEND: return Action::Suspend;
    case POWER_STATE_OFF: return Action::Off;
    case POWER_STATE_RESET: return Action::Reset;
    default: return Action::None;
  }
}

// A named state wins over the flags, as on CE; the names are those of the CE
// power manager's system power states.
Action ActionFor(LPCWSTR name, DWORD state, DWORD* effectiveState) {
  Action action = ActionForState(state);
  if (name) {
    action = Action::None;
    if (lstrcmpiW(name, L"suspend") == 0) action = Action::Suspend;
    if (lstrcmpiW(name, L"off") == 0 || lstrcmpiW(name, L"shutdown") == 0) action = Action::Off;
    if (lstrcmpiW(name, L"reset") == 0 || lstrcmpiW(name, L"reboot") == 0) action = Action::Reset;
  }
  static const DWORD states[] = {0, POWER_STATE_SUSPEND, POWER_STATE_OFF, POWER_STATE_RESET};
  *effectiveState = states[static_cast<int>(action)];
  return action;
}

// The entry for one call: "SetSystemPowerState state=0x... flags=0x...
// action=<name> mode=<recorded|real>".
DWORD AppendToLog(DWORD state, DWORD options, Action action, const char* mode) {
  // wsprintfA, not snprintf: the C runtime's formatting would bring its whole
  // printf into every program.
  char entry[128];
  wsprintfA(entry, "SetSystemPowerState state=0x%08lX flags=0x%08lX action=%s mode=%s",
            static_cast<unsigned long>(state), static_cast<unsigned long>(options),
            ActionName(action), mode);
  return AppendToPowerLog(entry);
}

DWORD EnableShutdownPrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return GetLastError();
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  DWORD result = ERROR_SUCCESS;
  // ERROR_NOT_ALL_ASSIGNED: this account may not shut the machine down.
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) ||
      !AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) ||
      GetLastError() == ERROR_NOT_ALL_ASSIGNED) {
    result = GetLastError();
  }
  CloseHandle(token);
  return result;
}

// Acts on this machine. Never reached unless VORLIX_POWER_ACTION=real.
DWORD PerformOnThisMachine(DWORD state, DWORD options) {
  bool force = (options & POWER_FORCE) != 0;
  if (RunningUnderWine()) {
    std::wstring arguments = HostPowerArguments(state, options);
    DWORD result = RunHostProgram("/usr/bin/systemctl", arguments);
    if (result == ERROR_FILE_NOT_FOUND) result = RunHostProgram("/bin/systemctl", arguments);
    return result;
  }
  DWORD privilege = EnableShutdownPrivilege();
  if (privilege != ERROR_SUCCESS) return privilege;
  if (state == POWER_STATE_SUSPEND) {
    return SetSuspendState(FALSE, force ? TRUE : FALSE, FALSE) ? ERROR_SUCCESS : GetLastError();
  }
  UINT how = (state == POWER_STATE_RESET ? EWX_REBOOT : EWX_POWEROFF) | (force ? EWX_FORCE : 0);
  DWORD reason = SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
  return ExitWindowsEx(how, reason) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

DWORD AppendToPowerLog(const char* entry) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[192];
  int n = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                    now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  lstrcpynA(line + n, entry, static_cast<int>(sizeof line) - n - 1);
  n = lstrlenA(line);
  line[n++] = '\n';
  HANDLE file = CreateFileW(PowerLogPath().c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  // One write per line: lines of several processes and threads never mix.
  DWORD written = 0;
  BOOL ok = WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  DWORD result = ok && written == static_cast<DWORD>(n) ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(file) && result == ERROR_SUCCESS) result = GetLastError();
  return result;
}

std::wstring HostPowerArguments(DWORD state, DWORD options) {
  std::wstring verb;
  switch (ActionForState(state)) {
    case Action::Suspend: verb = L"suspend"; break;
    case Action::Off: verb = L"poweroff"; break;
    case Action::Reset: verb = L"reboot"; break;
    default: return std::wstring();
  }
  // POWER_FORCE: do not let other programs hold the action back (inhibitor locks).
  return (options & POWER_FORCE) ? verb + L" -i" : verb;
}

DWORD RunHostProgram(const char* unixPath, const std::wstring& arguments) {
  if (!RunningUnderWine()) return ERROR_NOT_SUPPORTED;
  typedef WCHAR*(CDECL * ToDosName)(LPCSTR);
  auto toDos = reinterpret_cast<ToDosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!toDos) return ERROR_NOT_SUPPORTED;
  WCHAR* dos = toDos(unixPath);
  if (!dos) return ERROR_PATH_NOT_FOUND;
  std::wstring program = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;

  // Wine starts a Unix executable itself (fork and exec) and returns no handles;
  // the command line becomes its argv, split by the Windows rules.
  std::wstring commandLine = L"\"";
  for (const char* p = unixPath; *p; ++p)
    commandLine += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  commandLine += L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return GetLastError();
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  return ERROR_SUCCESS;
}

DWORD WINAPI SetSystemPowerState(LPCWSTR pwsSystemState, DWORD StateFlags, DWORD Options) {
  DWORD state = 0;
  Action action = ActionFor(pwsSystemState, StateFlags, &state);
  if (action == Action::None) return ERROR_INVALID_PARAMETER;
  switch (ConfiguredPowerAction()) {
    case PowerActionKind::Recorded: {
      DWORD result = AppendToLog(state, Options, action, "recorded");
      // On a device a suspend returns only when the device resumes.
      if (result == ERROR_SUCCESS && action == Action::Suspend)
        Sleep(RecordedSuspendMilliseconds());
      return result;
    }
    case PowerActionKind::Real:
      // The line goes first: after a power-off there is no later.
      AppendToLog(state, Options, action, "real");
      return PerformOnThisMachine(state, Options);
    case PowerActionKind::Invalid: break;
  }
  return ERROR_BAD_CONFIGURATION;
}
