// The Windows side of the benchmarks: start-up to idle, power-loss-to-overlay
// latency and countdown timing, measured from outside the programs.
//   bench_probe startup EXE RUNS
//   bench_probe latency FOLDER EVENTS   (FOLDER holds vorlix.exe with delay_time 0)
//   bench_probe ticks FOLDER RUNS       (FOLDER holds vorlix.exe with delay_time 0, cancel_time 10)
// Prints "name value" lines; times in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/desktop/power_standin.h"

namespace {

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart * 1000.0 / frequency.QuadPart;
}

// Sets the simulated AC line status as powerctl does.
void SetAcLine(BYTE status) {
  bool changed = false;
  PowerDelivery delivery;
  SetSimulatedAcLineStatus(status, &changed, &delivery);
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  // Non-negative, so adding a half and truncating rounds to the nearest.
  size_t index =
      static_cast<size_t>(p * (values.size() - 1) + 0.5);  // NOLINT(bugprone-incorrect-roundings)
  return values[std::min(index, values.size() - 1)];
}

void Report(const char* name, const std::vector<double>& values) {
  if (values.empty()) {
    std::printf("%s none\n", name);
    return;
  }
  std::printf("%s median=%.1f p99=%.1f min=%.1f max=%.1f n=%zu\n", name, Percentile(values, 0.5),
              Percentile(values, 0.99), Percentile(values, 0.0), Percentile(values, 1.0),
              values.size());
}

struct TProgram {
  PROCESS_INFORMATION process = {};
};

bool Start(const std::wstring& exe, TProgram* program) {
  std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &program->process) != 0;
}

struct TFindData {
  DWORD processId;
  const wchar_t* className;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
  auto* data = reinterpret_cast<TFindData*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (pid == data->processId && (!data->className || wcscmp(name, data->className) == 0)) {
    data->windows.push_back(hwnd);
  }
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className) {
  TFindData data = {processId, className, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&data));
  return data.windows;
}

// Asks the program to close (WM_CLOSE to its windows), then makes sure it is gone.
void Stop(TProgram* program) {
  for (HWND hwnd : TopLevelWindows(program->process.dwProcessId, nullptr)) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(program->process.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(program->process.hProcess, 1);
    WaitForSingleObject(program->process.hProcess, 5000);
  }
  CloseHandle(program->process.hThread);
  CloseHandle(program->process.hProcess);
}

bool WaitFor(bool (*condition)(HWND), HWND hwnd, double timeoutMs) {
  double end = NowMs() + timeoutMs;
  while (!condition(hwnd)) {
    if (NowMs() > end) return false;
    Sleep(1);
  }
  return true;
}

bool IsShown(HWND hwnd) { return IsWindowVisible(hwnd) != 0; }
bool IsHidden(HWND hwnd) { return IsWindowVisible(hwnd) == 0; }

// Starts the monitor of folder and returns its overlay once it listens.
HWND StartMonitor(const std::wstring& folder, TProgram* monitor) {
  SetAcLine(1);
  if (!Start(folder + L"\\vorlix.exe", monitor)) return nullptr;
  WaitForInputIdle(monitor->process.hProcess, 30000);
  double end = NowMs() + 30000;
  while (NowMs() < end) {
    for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) {
      if (s.processId == monitor->process.dwProcessId) {
        std::vector<HWND> forms = TopLevelWindows(monitor->process.dwProcessId, L"Form");
        if (!forms.empty()) return forms[0];
      }
    }
    Sleep(10);
  }
  return nullptr;
}

int Startup(const std::wstring& exe, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    TProgram program;
    double start = NowMs();
    if (!Start(exe, &program)) return 1;
    if (WaitForInputIdle(program.process.hProcess, 30000) == 0) times.push_back(NowMs() - start);
    Sleep(200);  // let it settle before it is asked to close
    Stop(&program);
  }
  Report("startup", times);
  return times.size() == static_cast<size_t>(runs) ? 0 : 1;
}

// Starts the monitor of folder and takes count measurements of it; each starts
// with AC back and the overlay hidden and yields a time, or false when the
// monitor did not do its part. Reports them under name.
template <class Measure>
int MeasureMonitor(const std::wstring& folder, int count, const char* name, Measure measure) {
  TProgram monitor;
  HWND overlay = StartMonitor(folder, &monitor);
  if (!overlay) return 1;
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    SetAcLine(1);
    if (!WaitFor(IsHidden, overlay, 5000)) break;
    Sleep(150);
    double time;
    if (!measure(overlay, &time)) break;
    times.push_back(time);
  }
  SetAcLine(1);
  Stop(&monitor);
  Report(name, times);
  return times.size() == static_cast<size_t>(count) ? 0 : 1;
}

int Latency(const std::wstring& folder, int events) {
  return MeasureMonitor(folder, events, "latency", [](HWND overlay, double* latency) {
    double start = NowMs();
    SetAcLine(0);
    // Spin: the latency is what is measured, not the poll interval.
    while (!IsWindowVisible(overlay) && NowMs() - start < 5000) {
    }
    *latency = NowMs() - start;
    return IsWindowVisible(overlay) != FALSE;
  });
}

int Ticks(const std::wstring& folder, int runs) {
  return MeasureMonitor(folder, runs, "drift", [](HWND overlay, double* drift) {
    // One schedule runs from the loss: with no delay the tenth tick is due
    // ten seconds after it, and hides the overlay right before the power call.
    double lost = NowMs();
    SetAcLine(0);
    if (!WaitFor(IsShown, overlay, 5000)) return false;
    // Polled until shortly before the hide is due, then spun on: the drift is
    // what is measured, not the poll interval.
    while (NowMs() - lost < 9900.0) {
      if (IsHidden(overlay)) return false;  // hidden far too early
      Sleep(1);
    }
    while (!IsHidden(overlay) && NowMs() - lost < 25000.0) {
    }
    if (!IsHidden(overlay)) return false;
    *drift = NowMs() - lost - 10000.0;
    std::fprintf(stderr, "drift %.1f ms\n", *drift);
    // Let the countdown thread park itself after the power call.
    Sleep(500);
    return true;
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_probe startup|latency|ticks PATH COUNT\n");
    return 2;
  }
  std::wstring command = argv[1];
  int count = _wtoi(argv[3]);
  if (command == L"startup") return Startup(argv[2], count);
  if (command == L"latency") return Latency(argv[2], count);
  if (command == L"ticks") return Ticks(argv[2], count);
  return 2;
}
