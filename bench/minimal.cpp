// The floor for the benchmarks: a hidden window and an empty message loop,
// built with the same compiler and flags as the programs. With the argument
// "thread", also one more thread that waits from the start, as a reader of a
// queue does: under Wine each thread that has run costs its stack's top
// 960 KiB, which Wine's thread start writes.
#include <windows.h>
#include <wchar.h>

static DWORD WINAPI WaitForever(LPVOID event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 0;
}

static LRESULT CALLBACK MinimalProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  if (wcscmp(commandLine, L"thread") == 0) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = never ? CreateThread(nullptr, 64 * 1024, WaitForever, never,
                                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                          : nullptr;
    if (!thread) return 1;
    CloseHandle(thread);
  }
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
