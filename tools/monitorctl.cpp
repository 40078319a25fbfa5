// monitorctl.exe: looks at and drives a running vorlix.exe from outside, as the
// end-to-end tests and the demo need it: its overlay's state and texts, a close
// request, and timed power events against the simulated power source.
//
//   monitorctl wait-window [seconds]       wait until the monitor's form exists
//   monitorctl state                       print the overlay's state and texts
//   monitorctl wait-visible 0|1 [seconds]  wait until the overlay is hidden/shown
//   monitorctl ping [milliseconds]         exit 0 when the monitor answers a message
//   monitorctl close                       post WM_CLOSE to the monitor's form
//   monitorctl flap [steps] [seed]         random AC status changes, 20-400 ms apart
//   monitorctl ac offline|online|unknown   set the AC status, wait (2 s at most) until
//                                          every subscribed queue has been read, then ping
//   monitorctl battery 0..100|unknown      the same for the battery level
//   monitorctl stray-calls                 send the monitor's windows the messages that a
//                                          program's own threads use to hand it calls, with
//                                          made-up parameters, then ping
//
// VORLIX_CTL_PROGRAM names another program to look at instead of vorlix.exe (the
// settings application, vorlix-setup.exe, has a "Form" too); state then also
// lists its combo boxes with their item counts and selected texts, and its edit
// boxes' texts (the line ends of one of several lines shown as " | ").
//
// Exit codes: 0 done, 1 failed or timed out, 2 bad usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/desktop/power_standin.h"
#include "tools/console.h"

namespace {

void Print(const std::wstring& text) { WriteText(STD_OUTPUT_HANDLE, text + L"\n"); }

void Error(const std::wstring& text) {
  WriteText(STD_ERROR_HANDLE, L"monitorctl: " + text + L"\n");
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool IsMonitorProcess(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return false;
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  bool ok = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  if (!ok) return false;
  std::wstring name = path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  wchar_t program[MAX_PATH] = L"vorlix.exe";
  DWORD length = GetEnvironmentVariableW(L"VORLIX_CTL_PROGRAM", program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) lstrcpyW(program, L"vorlix.exe");
  return lstrcmpiW(name.c_str(), program) == 0;
}

BOOL CALLBACK FindFormProc(HWND window, LPARAM found) {
  if (ClassOf(window) == L"Form" && IsMonitorProcess(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// The monitor's form: a top-level "Form" window of a process named vorlix.exe.
HWND FindMonitorForm() {
  HWND found = nullptr;
  EnumWindows(FindFormProc, reinterpret_cast<LPARAM>(&found));
  return found;
}

struct ChildSearch {
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChildProc(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<ChildSearch*>(search);
  if (lstrcmpiW(ClassOf(window).c_str(), s->className) == 0) s->found.push_back(window);
  return TRUE;
}

// The child windows of a class in creation order (their identifiers rise with it).
std::vector<HWND> Children(HWND form, const wchar_t* className) {
  ChildSearch search{className, {}};
  EnumChildWindows(form, CollectChildProc, reinterpret_cast<LPARAM>(&search));
  std::vector<HWND>& labels = search.found;
  std::sort(labels.begin(), labels.end(),
            [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  return labels;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
  std::vector<wchar_t> text(length + 1);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &result);
  return text.data();
}

// One line of output for a text of several: its line ends become " | ".
std::wstring OneLine(std::wstring text) {
  for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.replace(at, 2, L" | ");
  return text;
}

std::wstring RectText(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) +
         L"," + std::to_wstring(r.bottom);
}

int ArgInt(int argc, wchar_t** argv, int index, int fallback) {
  return argc > index ? _wtoi(argv[index]) : fallback;
}

// Polls until done() or the time is up; true when done.
template <class Done>
bool WaitFor(int milliseconds, Done done) {
  ULONGLONG end = GetTickCount64() + milliseconds;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(1);
  }
  return true;
}

int WaitWindow(int seconds) {
  if (WaitFor(seconds * 1000, [] { return FindMonitorForm() != nullptr; })) return 0;
  Error(L"no monitor window");
  return 1;
}

int State() {
  HWND form = FindMonitorForm();
  if (!form) {
    Error(L"no monitor window");
    return 1;
  }
  LONG style = GetWindowLongW(form, GWL_STYLE);
  LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
  Print(L"visible=" + std::to_wstring(IsWindowVisible(form) ? 1 : 0));
  Print(L"topmost=" + std::to_wstring((exStyle & WS_EX_TOPMOST) ? 1 : 0));
  Print(L"caption=" + std::to_wstring((style & WS_CAPTION) ? 1 : 0));
  Print(L"form=" + RectText(form));
  std::vector<HWND> labels = Children(form, L"Static");
  for (size_t i = 0; i < labels.size(); ++i) {
    std::wstring name = L"label" + std::to_wstring(i + 1);
    Print(name + L"=" + RectText(labels[i]));
    Print(name + L".text=" + TextOf(labels[i]));
  }
  std::vector<HWND> combos = Children(form, L"ComboBox");
  for (size_t i = 0; i < combos.size(); ++i) {
    std::wstring name = L"combo" + std::to_wstring(i + 1);
    DWORD_PTR count = 0;
    SendMessageTimeoutW(combos[i], CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    Print(name + L".items=" + std::to_wstring(static_cast<LONG_PTR>(count)));
    Print(name + L".text=" + TextOf(combos[i]));
  }
  std::vector<HWND> edits = Children(form, L"Edit");
  for (size_t i = 0; i < edits.size(); ++i) {
    Print(L"edit" + std::to_wstring(i + 1) + L".text=" + OneLine(TextOf(edits[i])));
  }
  return 0;
}

int WaitVisible(bool visible, int seconds) {
  bool ok = WaitFor(seconds * 1000, [visible] {
    HWND form = FindMonitorForm();
    return form && (IsWindowVisible(form) != FALSE) == visible;
  });
  if (ok) return 0;
  Error(visible ? L"overlay not shown" : L"overlay not hidden");
  return 1;
}

int Ping(int milliseconds) {
  HWND form = FindMonitorForm();
  DWORD_PTR result = 0;
  if (form && SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, milliseconds, &result))
    return 0;
  Error(L"the monitor does not answer");
  return 1;
}

int Close() {
  HWND form = FindMonitorForm();
  if (!form || !PostMessageW(form, WM_CLOSE, 0, 0)) {
    Error(L"no monitor window to close");
    return 1;
  }
  return 0;
}

int Usage();

bool SetAc(BYTE status) {
  bool changed = false;
  PowerDelivery delivery;
  return SetSimulatedAcLineStatus(status, &changed, &delivery) == ERROR_SUCCESS;
}

// Random status changes with short pauses. Offline never lasts longer than one
// pause (at most 400 ms), so no countdown of a second or more can run out.
int Flap(int steps, unsigned seed) {
  const BYTE statuses[] = {AC_LINE_OFFLINE, AC_LINE_ONLINE, AC_LINE_UNKNOWN};
  unsigned state = seed ? seed : 1;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7FFF;
  };
  BYTE last = AC_LINE_ONLINE;
  int losses = 0;
  for (int i = 0; i < steps; ++i) {
    BYTE status = statuses[next() % 3];
    if (last == AC_LINE_OFFLINE && status == AC_LINE_OFFLINE) status = AC_LINE_ONLINE;
    if (!SetAc(status)) {
      Error(L"cannot set the AC line status");
      return 1;
    }
    if (status == AC_LINE_OFFLINE) ++losses;
    last = status;
    Sleep(20 + next() % 380);
  }
  Print(L"flap: " + std::to_wstring(steps) + L" steps, " + std::to_wstring(losses) +
        L" power losses");
  return SetAc(AC_LINE_ONLINE) ? 0 : 1;
}

// Waits until the notification has left every subscribed queue and the
// monitor's form answers, each within 2 s (a hang fails).
int WaitUntilRead() {
  bool drained = WaitFor(2000, [] {
    for (const PowerSubscriptionInfo& subscription : ListPowerSubscriptions()) {
      HANDLE queue = OpenMsgQueueByObjectName(subscription.queue, false);
      if (!queue) continue;  // its owner is gone
      MSGQUEUEINFO info = {};
      info.dwSize = sizeof info;
      bool pending = GetMsgQueueInfo(queue, &info) && info.dwCurrentMessages != 0;
      CloseMsgQueue(queue);
      if (pending) return false;
    }
    return true;
  });
  if (!drained) {
    Error(L"a notification was not read within 2 s");
    return 1;
  }
  return Ping(2000);
}

// Sets the status, then waits until the monitor has read it.
int Ac(const std::wstring& name) {
  BYTE status;
  if (!AcLineStatusOfName(name, &status)) return Usage();
  if (!SetAc(status)) {
    Error(L"cannot set the AC line status");
    return 1;
  }
  return WaitUntilRead();
}

// Sets the battery level, then waits until the monitor has read it.
int Battery(const std::wstring& name) {
  BYTE percent;
  if (!BatteryPercentOfName(name, &percent)) return Usage();
  bool changed = false;
  PowerDelivery delivery;
  if (SetSimulatedBatteryPercent(percent, &changed, &delivery) != ERROR_SUCCESS) {
    Error(L"cannot set the battery level");
    return 1;
  }
  return WaitUntilRead();
}

BOOL CALLBACK CollectAllProc(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// What another program could send the resident monitor: the layer's call
// message (registered) and the private message number it once used, carrying
// addresses that would end or crash the monitor if it ran them (ExitProcess is
// at the same address in every process of the prefix).
int StrayCalls() {
  HWND form = FindMonitorForm();
  if (!form) {
    Error(L"no monitor window");
    return 1;
  }
  std::vector<HWND> windows = {form};
  EnumChildWindows(form, CollectAllProc, reinterpret_cast<LPARAM>(&windows));
  auto exitProcess =
      reinterpret_cast<WPARAM>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitProcess"));
  const UINT messages[] = {RegisterWindowMessageW(L"Vorlix.WindowThreadCall"), 0xB006};
  const WPARAM values[] = {0, 1, 63, 64, exitProcess, 0x41414141, static_cast<WPARAM>(-1)};
  for (HWND window : windows) {
    for (UINT message : messages) {
      for (WPARAM wParam : values) {
        for (WPARAM lParam : values) {
          DWORD_PTR result = 0;
          SendMessageTimeoutW(window, message, wParam, static_cast<LPARAM>(lParam),
                              SMTO_ABORTIFHUNG, 1000, &result);
          PostMessageW(window, message, wParam, static_cast<LPARAM>(lParam));
        }
      }
    }
  }
  Print(L"stray-calls: " + std::to_wstring(windows.size()) + L" windows");
  Sleep(200);
  return Ping(2000);
}

int Usage() {
  Error(
      L"usage: monitorctl wait-window [s] | state | wait-visible 0|1 [s] | ping [ms] | close | "
      L"flap [steps] [seed] | ac offline|online|unknown | battery 0..100|unknown | stray-calls");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  if (command == L"wait-window") return WaitWindow(ArgInt(argc, argv, 2, 10));
  if (command == L"state") return State();
  if (command == L"wait-visible" && argc > 2)
    return WaitVisible(_wtoi(argv[2]) != 0, ArgInt(argc, argv, 3, 10));
  if (command == L"ping") return Ping(ArgInt(argc, argv, 2, 2000));
  if (command == L"close") return Close();
  if (command == L"ac" && argc > 2) return Ac(argv[2]);
  if (command == L"battery" && argc > 2) return Battery(argv[2]);
  if (command == L"stray-calls") return StrayCalls();
  if (command == L"flap")
    return Flap(ArgInt(argc, argv, 2, 50), static_cast<unsigned>(ArgInt(argc, argv, 3, 1)));
  return Usage();
}
