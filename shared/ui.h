// Message boxes and thin wrappers of platform calls.
#pragma once

#include <windows.h>

#include <string>

// MessageBoxW with MB_ICONERROR and one OK button.
void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text);
// MessageBoxW with MB_ICONEXCLAMATION and one OK button.
void ShowWarningBox(HWND owner, const std::wstring& caption, const std::wstring& text);
// MessageBoxW with MB_YESNO | MB_ICONQUESTION; the button pressed (IDYES, IDNO).
int AskYesNo(HWND owner, const std::wstring& caption, const std::wstring& text);

// Destroys the window's menu bar, if it has one.
void HideMenuBar(HWND window);
// The screen's vertical resolution (LOGPIXELSY); 96 when it reports less than 1.
int ScreenDpi();
// SetSystemPowerState with no state name, the state, and POWER_FORCE when forced.
DWORD SetPowerState(DWORD powerState, bool force);
// GetScrollInfo with SIF_RANGE; on success *minimum and *maximum receive the range,
// else they stay as they were. Win32 has a function of the same name, hence the namespace.
namespace vorlix {
BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum);
}
// GetTextExtentExPointW of the first length units, without a maximum extent.
BOOL MeasureText(HDC dc, const wchar_t* text, int length, SIZE* size);
