// Desktop stand-in for the Pocket PC shell: an empty menu bar window along the
// bottom of the screen, owned by its form, the platform type "PocketPC", and a
// device's screen size when VORLIX_SCREEN asks for one.
#include "platform/ce/ce_shell.h"

#include <cwchar>

#include "platform/desktop/power_standin.h"

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

// The screen VORLIX_SCREEN names ("<width>x<height>", each 1 to 99999); false
// when it is unset or not of that form.
bool SimulatedScreen(SIZE* size) {
  std::wstring text = EnvironmentText(L"VORLIX_SCREEN");
  size_t x = text.find_first_of(L"xX");
  if (x == std::wstring::npos) return false;
  std::wstring width = text.substr(0, x), height = text.substr(x + 1);
  for (const std::wstring& part : {width, height}) {
    if (part.empty() || part.size() > 5 ||
        part.find_first_not_of(L"0123456789") != std::wstring::npos)
      return false;
  }
  size->cx = std::stoi(width);
  size->cy = std::stoi(height);
  return size->cx > 0 && size->cy > 0;
}

}  // namespace

int WINAPI PlatformGetSystemMetrics(int index) {
  SIZE screen;
  if ((index == SM_CXSCREEN || index == SM_CYSCREEN) && SimulatedScreen(&screen)) {
    return index == SM_CXSCREEN ? screen.cx : screen.cy;
  }
  return GetSystemMetrics(index);
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  if (!pmbi || pmbi->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!RegisterMenuBarClass()) return FALSE;
  int width = PlatformGetSystemMetrics(SM_CXSCREEN);
  int top = PlatformGetSystemMetrics(SM_CYSCREEN) - kMenuBarHeight;
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
  SIZE screen;
  if (uiAction == SPI_GETWORKAREA && pvParam && SimulatedScreen(&screen)) {
    if (!SystemParametersInfoW(uiAction, uiParam, pvParam, fWinIni)) return FALSE;
    RECT* work = static_cast<RECT*>(pvParam);
    RECT simulated = {0, 0, screen.cx, screen.cy};
    if (!IntersectRect(work, work, &simulated)) *work = simulated;
    return TRUE;
  }
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
