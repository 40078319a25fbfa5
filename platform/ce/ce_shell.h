// The Pocket PC shell (aygshell) and the platform-type query. On the desktop the
// stand-in in this folder behaves as a Pocket PC; a CE build uses the real calls.
#pragma once

#include <windows.h>

typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the menu bar window
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002

// Creates a menu bar along the bottom of the screen for hwndParent.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);
// The menu bar of hwnd, or NULL.
HWND WINAPI SHFindMenuBar(HWND hwnd);

#define SPI_GETPLATFORMTYPE 257

// SystemParametersInfoW as the device has it: answers SPI_GETPLATFORMTYPE
// ("PocketPC" on this desktop build) and passes every other request through.
BOOL WINAPI PlatformSystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);

// GetSystemMetrics as the device has it. On the desktop SM_CXSCREEN and
// SM_CYSCREEN report the screen that VORLIX_SCREEN names ("240x320"), so that a
// device's screen can be tried on a larger one; SPI_GETWORKAREA and the menu bar
// keep within it. Every other request is passed through.
int WINAPI PlatformGetSystemMetrics(int index);
