// Configuration of the power stand-in, read from the process environment.
#include <vector>

#include "platform/desktop/power_standin.h"

namespace {

bool SameText(const wchar_t* a, const wchar_t* b) { return lstrcmpiW(a, b) == 0; }

}  // namespace

std::wstring EnvironmentText(const wchar_t* name) {
  std::vector<wchar_t> buffer(256);
  for (;;) {
    DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(n);  // n is the size needed, with its NUL
  }
}

PowerSourceKind ParsePowerSource(const wchar_t* text) {
  if (!text || !*text || SameText(text, L"simulated")) return PowerSourceKind::Simulated;
  if (SameText(text, L"real")) return PowerSourceKind::Real;
  return PowerSourceKind::Invalid;
}

PowerActionKind ParsePowerAction(const wchar_t* text) {
  if (!text || !*text || SameText(text, L"recorded")) return PowerActionKind::Recorded;
  if (SameText(text, L"real")) return PowerActionKind::Real;
  return PowerActionKind::Invalid;
}

PowerSourceKind ConfiguredPowerSource() {
  return ParsePowerSource(EnvironmentText(L"VORLIX_POWER_SOURCE").c_str());
}

PowerActionKind ConfiguredPowerAction() {
  return ParsePowerAction(EnvironmentText(L"VORLIX_POWER_ACTION").c_str());
}

DWORD RecordedSuspendMilliseconds() {
  std::wstring text = EnvironmentText(L"VORLIX_POWER_SUSPEND_MS");
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of(L"0123456789") != std::wstring::npos)
    return 0;
  return static_cast<DWORD>(std::stoul(text));
}

std::wstring PowerLogPath() {
  std::wstring path = EnvironmentText(L"VORLIX_POWER_LOG");
  if (!path.empty()) return path;
  std::vector<wchar_t> module(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (n == 0) return L"power-actions.log";
    if (n < module.size()) {
      path.assign(module.data(), n);
      break;
    }
    module.resize(module.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  path.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"power-actions.log";
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

struct AcLineName {
  BYTE status;
  const wchar_t* name;
};
const AcLineName kAcLineNames[] = {
    {AC_LINE_OFFLINE, L"offline"}, {AC_LINE_ONLINE, L"online"}, {AC_LINE_UNKNOWN, L"unknown"}};

}  // namespace

bool AcLineStatusOfName(const std::wstring& name, BYTE* status) {
  for (const AcLineName& known : kAcLineNames) {
    if (name == known.name) {
      *status = known.status;
      return true;
    }
  }
  return false;
}

const wchar_t* NameOfAcLineStatus(BYTE status) {
  for (const AcLineName& known : kAcLineNames) {
    if (status == known.status) return known.name;
  }
  return L"other";
}

bool BatteryPercentOfName(const std::wstring& name, BYTE* percent) {
  if (name == L"unknown") {
    *percent = BATTERY_PERCENTAGE_UNKNOWN;
    return true;
  }
  if (name.empty() || name.size() > 3 ||
      name.find_first_not_of(L"0123456789") != std::wstring::npos)
    return false;
  unsigned long value = std::stoul(name);
  if (value > 100) return false;
  *percent = static_cast<BYTE>(value);
  return true;
}

std::wstring NameOfBatteryLevel(BYTE percent, BYTE flag) {
  if (flag != BATTERY_FLAG_UNKNOWN && (flag & BATTERY_FLAG_NO_BATTERY)) return L"none";
  if (flag == BATTERY_FLAG_UNKNOWN || percent > 100) return L"unknown";
  // wsprintfW, not std::to_wstring: that brings the C runtime's wide printf
  // into every program that links the stand-in.
  wchar_t text[8];
  wsprintfW(text, L"%u%%", static_cast<unsigned>(percent));
  return text;
}

BYTE SimulatedBatteryFlag(BYTE percent) {
  if (percent > 100) return BATTERY_FLAG_UNKNOWN;
  if (percent > 66) return BATTERY_FLAG_HIGH;
  if (percent < 5) return BATTERY_FLAG_CRITICAL;
  if (percent < 33) return BATTERY_FLAG_LOW;
  return 0;
}
