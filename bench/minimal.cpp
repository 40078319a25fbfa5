// The floor for the benchmarks: a hidden window and an empty message loop,
// built with the same compiler and flags as the programs.
#include <windows.h>

static LRESULT CALLBACK MinimalProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = MinimalProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"Minimal";
  RegisterClassW(&wc);
  // Without its window nothing would ever post WM_CLOSE: fail instead of waiting forever.
  if (!CreateWindowExW(0, L"Minimal", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, instance,
                       nullptr))
    return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
