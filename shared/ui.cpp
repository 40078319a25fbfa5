#include "shared/ui.h"

#include "platform/ce/ce_power.h"
#include "platform/ce/ce_shell.h"

void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void ShowWarningBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

int AskYesNo(HWND owner, const std::wstring& caption, const std::wstring& text) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION);
}

void HideMenuBar(HWND window) {
  HWND menuBar = SHFindMenuBar(window);
  if (menuBar) DestroyWindow(menuBar);
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi < 1 ? 96 : dpi;
}

DWORD SetPowerState(DWORD powerState, bool force) {
  return SetSystemPowerState(nullptr, powerState, force ? POWER_FORCE : 0);
}

BOOL vorlix::GetScrollRange(HWND window, int bar, int* minimum, int* maximum) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE;
  BOOL ok = GetScrollInfo(window, bar, &info);
  if (ok) {
    *minimum = info.nMin;
    *maximum = info.nMax;
  }
  return ok;
}

BOOL MeasureText(HDC dc, const wchar_t* text, int length, SIZE* size) {
  return GetTextExtentExPointW(dc, text, length, 0, nullptr, nullptr, size);
}
