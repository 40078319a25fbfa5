// Power actions of the settings application are only ever recorded here, never
// carried out, whatever the environment the tests were started from says.
//
// Under Wine without a window manager (Xvfb), hiding a managed top-level window
// waits 2 s for a state change that never comes; every message box and every
// window test would pay it. Windows of this program are therefore unmanaged
// (a per-program Wine setting, read when the process starts: the first run in a
// fresh prefix sets it and starts itself again).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring ProgramName() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path = module;
  return path.substr(path.find_last_of(L"\\/") + 1);
}

// True when the setting had to be made now, so that this process lacks it.
bool MakeWindowsUnmanaged() {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + ProgramName() + L"\\X11 Driver";
  wchar_t value[8] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", RRF_RT_REG_SZ, nullptr, value,
                   &size) == ERROR_SUCCESS &&
      value[0] == L'N') {
    return false;
  }
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool written = RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                                2 * sizeof(wchar_t)) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return written;
}

int RunAgain() {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = GetCommandLineW();
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (RunningUnderWine() && MakeWindowsUnmanaged()) {
    int code = RunAgain();
    if (code != -1) return code;
  }
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG",
                          (std::wstring(temp) + L"vorlix-test-setup-power.log").c_str());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
