// The application: main form, message loop, shutdown, and the platform queries.
#include <cwchar>

#include "platform/ce/ce_shell.h"
#include "shared/ticks.h"
#include "winobj/internal.h"

using namespace winobj;

void SetMainForm(TControl* form) { g.mainForm = form; }

TControl* GetMainForm() { return g.mainForm; }

namespace {

void ProcessMessage(const MSG& message) {
  if (message.message == WM_QUIT) {
    g.terminated = true;
    return;
  }
  if (HandleKeyPress(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// Runs the deadline's procedure when it is due; true when it ran.
bool ServeDeadline() {
  TEvent<TLoopProc> due = g.onDeadline;
  if (!due.proc || TicksUntil(g.deadline, TickNow()) > 0) return false;
  g.onDeadline = TEvent<TLoopProc>();  // once; the procedure may set a new one
  Fire(due);
  return true;
}

// Waits for a message, the loop's handle or its deadline, whichever comes
// first, and serves the handle or the deadline. Messages are left for the
// caller (waiting with MWMO_INPUTAVAILABLE, those already looked at count too).
void WaitForLoopWork() {
  if (ServeDeadline()) return;
  DWORD timeout = INFINITE;
  if (g.onDeadline.proc) {
    int32_t left = TicksUntil(g.deadline, TickNow());
    timeout = left > 0 ? static_cast<DWORD>(left) : 0;
  }
  HANDLE handle = g.loopWait;
  DWORD count = handle ? 1 : 0;
  DWORD result =
      MsgWaitForMultipleObjectsEx(count, &handle, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (count && result == WAIT_OBJECT_0) {
    Fire(g.onLoopWait);
  } else if (result == WAIT_TIMEOUT) {
    ServeDeadline();
  } else if (result == WAIT_FAILED && count && g.loopWait == handle) {
    // A closed or unusable handle would end every wait at once, for good.
    SetLoopWait(nullptr, nullptr, nullptr);
  }
}

}  // namespace

void SetLoopWait(HANDLE handle, TLoopProc proc, void* context) {
  g.loopWait = handle;
  g.onLoopWait.proc = handle ? proc : nullptr;
  g.onLoopWait.context = handle ? context : nullptr;
}

void SetLoopDeadline(DWORD delay, TLoopProc proc, void* context) {
  g.deadline = TickNow() + delay;
  g.onDeadline.proc = proc;
  g.onDeadline.context = proc ? context : nullptr;
}

void ServeLoopWaits() {
  if (g.loopWait && WaitForSingleObject(g.loopWait, 0) == WAIT_OBJECT_0) Fire(g.onLoopWait);
  ServeDeadline();
}

void ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(message);
}

void RunApplication(TControl** mainForm) {
  TControl* form = *mainForm;
  g.uiThread = GetCurrentThreadId();
  g.running = true;
  g.terminated = false;
  g.mainForm = form;
  // A form whose window was made earlier (hidden) is shown by this second call.
  // Without a window nothing could ever end the loop: there is none then.
  if (GetHandle(form)) {
    form->CreateWindowHandle();
  } else {
    g.terminated = true;
  }
  while (!g.terminated) {
    if (g.loopWait || g.onDeadline.proc) {
      WaitForLoopWork();
      ProcessMessages();
      continue;
    }
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) == -1) {
      g.terminated = true;
      break;
    }
    ProcessMessage(message);
    ProcessMessages();
  }

  g.running = false;
  g.mainForm = nullptr;
  if (*mainForm) {
    form = *mainForm;
    AddRef(form);
    *mainForm = nullptr;
    // Ours and the program's: the form goes, and with it every control.
    ReleaseObject(form);
    ReleaseObject(form);
  }
  // Ready for another run (hooks are silent only while a loop is ending).
  g.terminated = false;
}

void CloseForm(TControl* form) {
  if (form->handle) PostMessageW(form->handle, WM_CLOSE, 0, 0);
}

int GetPlatformKind() {
  if (g.platformKind == 255) {
    wchar_t platform[51] = {};  // 102 bytes
    if (PlatformSystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(platform), platform, 0)) {
      platform[50] = 0;
      if (wcscmp(platform, L"PocketPC") == 0) {
        g.platformKind = 1;
      } else if (wcscmp(platform, L"SmartPhone") == 0) {
        g.platformKind = 2;
      } else {
        g.platformKind = 0;
      }
    } else {
      g.platformKind = GetLastError() == ERROR_ACCESS_DENIED ? 2 : 0;
    }
  }
  return g.platformKind;
}

RECT GetScreenRect() {
  return {0, 0, PlatformGetSystemMetrics(SM_CXSCREEN), PlatformGetSystemMetrics(SM_CYSCREEN)};
}

std::wstring GetCommandLineArgument(int n) {
  if (n <= 0) {
    wchar_t path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return std::wstring(path, length);
  }
  const wchar_t* p = GetCommandLineW();
  for (int index = 0;; ++index) {
    for (;;) {
      while (*p >= 1 && *p <= 32) ++p;
      if (p[0] == L'"' && p[1] == L'"') {
        p += 2;
      } else {
        break;
      }
    }
    if (!*p) return std::wstring();
    const wchar_t* start = p;
    bool quoted = false;
    while (*p && (quoted || *p > 32)) {
      if (*p == L'"') quoted = !quoted;
      ++p;
    }
    if (index == n) {
      std::wstring argument(start, p);
      if (argument.size() > 1 && argument.front() == L'"' && argument.back() == L'"') {
        argument = argument.substr(1, argument.size() - 2);
      }
      return argument;
    }
  }
}
