// powerctl.exe: drives the simulated power source of the CE power stand-in from
// outside the programs (a shell, a test script) and shows what it recorded.
#include <string>
#include <vector>

#include "platform/desktop/power_standin.h"
#include "tools/console.h"

namespace {

void Print(const std::wstring& text) { WriteText(STD_OUTPUT_HANDLE, text + L"\n"); }

int Failure(const std::wstring& text, DWORD error) {
  wchar_t* message = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring reason = message ? message : L"";
  if (message) LocalFree(message);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
  WriteText(STD_ERROR_HANDLE, L"powerctl: " + text + L": error " + std::to_wstring(error) +
                                  (reason.empty() ? L"" : L" (" + reason + L")") + L"\n");
  return 1;
}

int Usage() {
  WriteText(STD_ERROR_HANDLE,
            L"usage: powerctl <command>\n"
            L"  ac offline|online|unknown  set the simulated AC line status; a change sends\n"
            L"                             PBT_POWERSTATUSCHANGE to every subscribed queue\n"
            L"  battery 0..100|unknown     set the simulated battery level; a change sends\n"
            L"                             PBT_POWERSTATUSCHANGE to every subscribed queue\n"
            L"  status                     print the AC line status and the battery level\n"
            L"                             the programs see\n"
            L"  notify                     send PBT_POWERSTATUSCHANGE without a change\n"
            L"  notify-other               send PBT_TRANSITION (not a status change)\n"
            L"  subscribers                list the subscribed queues\n"
            L"  wait-subscriber [seconds]  wait until a queue is subscribed (default 10)\n"
            L"  log [file]                 print the recorded power actions\n");
  return 2;
}

std::wstring Hex(DWORD value) {
  wchar_t text[16];
  wsprintfW(text, L"0x%08lX", value);
  return text;
}

std::wstring Delivered(const PowerDelivery& d) {
  std::wstring text = std::to_wstring(d.delivered) + L" queue(s) notified";
  if (d.dropped) text += L", " + std::to_wstring(d.dropped) + L" not reached (full or closed)";
  return text;
}

int SetAc(const std::wstring& word) {
  BYTE status;
  if (!AcLineStatusOfName(word, &status)) return Usage();
  bool changed = false;
  PowerDelivery delivery;
  DWORD result = SetSimulatedAcLineStatus(status, &changed, &delivery);
  if (result != ERROR_SUCCESS) return Failure(L"cannot set the AC line status", result);
  Print(L"AC line " + word + L": " + (changed ? L"changed, " + Delivered(delivery) : L"unchanged"));
  return 0;
}

int SetBattery(const std::wstring& word) {
  BYTE percent;
  if (!BatteryPercentOfName(word, &percent)) return Usage();
  bool changed = false;
  PowerDelivery delivery;
  DWORD result = SetSimulatedBatteryPercent(percent, &changed, &delivery);
  if (result != ERROR_SUCCESS) return Failure(L"cannot set the battery level", result);
  Print(L"battery " + NameOfBatteryLevel(percent, SimulatedBatteryFlag(percent)) + L": " +
        (changed ? L"changed, " + Delivered(delivery) : L"unchanged"));
  return 0;
}

std::wstring Hex2(BYTE value) {
  wchar_t text[8];
  wsprintfW(text, L"0x%02X", value);
  return text;
}

// Two lines: the AC line status, then "battery 15% flag=0x02" (or "unknown",
// "none" for no battery).
int Status() {
  SYSTEM_POWER_STATUS_EX status;
  if (!GetSystemPowerStatusEx(&status, TRUE))
    return Failure(L"cannot read the power status", GetLastError());
  Print(NameOfAcLineStatus(status.ACLineStatus));
  Print(L"battery " + NameOfBatteryLevel(status.BatteryLifePercent, status.BatteryFlag) +
        L" flag=" + Hex2(status.BatteryFlag));
  return 0;
}

int Notify(DWORD message) {
  Print(Delivered(BroadcastPowerNotification(message)));
  return 0;
}

int Subscribers() {
  for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) {
    Print(L"pid=" + std::to_wstring(s.processId) + L" filter=" + Hex(s.filter) + L" queue=" +
          s.queue);
  }
  return 0;
}

int WaitSubscriber(const wchar_t* secondsText) {
  int seconds = secondsText ? _wtoi(secondsText) : 10;
  if (seconds <= 0) return Usage();
  ULONGLONG end = GetTickCount64() + seconds * 1000ull;
  // A diagnostic wait for scripts, bounded; checking every 50 ms is plenty.
  while (ListPowerSubscriptions().empty()) {
    if (GetTickCount64() >= end) {
      WriteText(STD_ERROR_HANDLE,
                L"powerctl: no subscriber after " + std::to_wstring(seconds) + L" s\n");
      return 1;
    }
    Sleep(50);
  }
  return 0;
}

int Log(const wchar_t* file) {
  std::wstring path = file ? file : PowerLogPath();
  HANDLE in = CreateFileW(path.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return 0;  // nothing recorded yet
    return Failure(L"cannot read " + path, error);
  }
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[4096];
  DWORD n, written;
  while (ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    WriteFile(out, buffer, n, &written, nullptr);
  }
  CloseHandle(in);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  const wchar_t* arg = argc > 2 ? argv[2] : nullptr;
  if (argc > 3) return Usage();
  if (command == L"ac" && arg) return SetAc(arg);
  if (command == L"battery" && arg) return SetBattery(arg);
  if (command == L"status" && !arg) return Status();
  if (command == L"notify" && !arg) return Notify(PBT_POWERSTATUSCHANGE);
  if (command == L"notify-other" && !arg) return Notify(PBT_TRANSITION);
  if (command == L"subscribers" && !arg) return Subscribers();
  if (command == L"wait-subscriber") return WaitSubscriber(arg);
  if (command == L"log") return Log(arg);
  return Usage();
}
