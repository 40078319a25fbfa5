// Desktop stand-in for the Pocket PC shell: an empty menu bar window along the
// bottom of the screen, owned by its form, and the platform type "PocketPC".
#include "platform/ce/ce_shell.h"

#include <cwchar>

namespace {

// The class name that the Pocket PC shell gives its menu bars.
const wchar_t kMenuBarClass[] = L"menu_worker";
// Height of a Pocket PC menu bar at 96 dpi.
const int kMenuBarHeight = 26;

bool RegisterMenuBarClass() {
  WNDCLASSW wc = {};
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoW(instance, kMenuBarClass, &wc)) return true;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kMenuBarClass;
  return RegisterClassW(&wc) != 0;
}

struct FindMenuBarData {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindMenuBarProc(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<FindMenuBarData*>(lParam);
  wchar_t name[32];
  if (GetWindow(hwnd, GW_OWNER) == data->owner && GetClassNameW(hwnd, name, 32) &&
      wcscmp(name, kMenuBarClass) == 0) {
    data->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  if (!pmbi || pmbi->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!RegisterMenuBarClass()) return FALSE;
  int width = GetSystemMetrics(SM_CXSCREEN);
  int top = GetSystemMetrics(SM_CYSCREEN) - kMenuBarHeight;
  // An owned popup; like the device's bar it is only on screen with a visible form.
  DWORD style = WS_POPUP | WS_BORDER;
  if (IsWindowVisible(pmbi->hwndParent) && !(pmbi->dwFlags & SHCMBF_HIDDEN)) style |= WS_VISIBLE;
  HWND bar =
      CreateWindowExW(WS_EX_NOACTIVATE, kMenuBarClass, L"", style, 0, top, width, kMenuBarHeight,
                      pmbi->hwndParent, nullptr, GetModuleHandleW(nullptr), nullptr);
  pmbi->hwndMB = bar;
  return bar != nullptr;
}

HWND WINAPI SHFindMenuBar(HWND hwnd) {
  if (!hwnd) return nullptr;
  FindMenuBarData data = {hwnd, nullptr};
  EnumThreadWindows(GetWindowThreadProcessId(hwnd, nullptr), FindMenuBarProc,
                    reinterpret_cast<LPARAM>(&data));
  return data.found;
}

BOOL WINAPI PlatformSystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam,
                                          UINT fWinIni) {
  if (uiAction != SPI_GETPLATFORMTYPE) {
    return SystemParametersInfoW(uiAction, uiParam, pvParam, fWinIni);
  }
  static const wchar_t kPlatform[] = L"PocketPC";
  if (!pvParam || uiParam < sizeof(kPlatform)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(pvParam, kPlatform, sizeof(kPlatform));
  return TRUE;
}
