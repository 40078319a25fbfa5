// vorlix-launch.exe: starts the programs registered for start-up the way Windows CE
// does at boot: every REG_SZ value "Launch<n>" under HKEY_LOCAL_MACHINE\Init names a
// program, started in the order of n. Meant for the desktop session's autostart
// (for instance "wine C:\path\vorlix-launch.exe").
//
//   vorlix-launch [--key HKLM|HKCU\<subkey>]
//
// CE's "Depend<n>" values and the launch number that CE passes on the command line
// are not used: programs start one after the other without arguments and are not
// waited for. Prints one line per Launch value ("started ..." or "skipped ...").
// Exit code: 0 all started (or none registered), 1 some skipped, 2 bad usage.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/console.h"

namespace {

struct LaunchEntry {
  unsigned long long number;
  std::wstring name;
  DWORD type;
  std::wstring program;
};

void Print(const std::wstring& text) { WriteText(STD_OUTPUT_HANDLE, text + L"\n"); }

bool StartsWithLaunch(const std::wstring& name) {
  return name.size() >= 6 &&
         CompareStringOrdinal(name.c_str(), 6, L"Launch", 6, TRUE) == CSTR_EQUAL;
}

// The decimal number after "Launch"; false when there is none or it passes 32 bits.
bool LaunchNumber(const std::wstring& name, unsigned long long* number) {
  const size_t prefix = 6;
  if (name.size() == prefix || name.size() - prefix > 10) return false;
  unsigned long long n = 0;
  for (size_t i = prefix; i < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return false;
    n = n * 10 + (name[i] - L'0');
  }
  if (n > 0xFFFFFFFFull) return false;
  *number = n;
  return true;
}

// Every value whose name begins with "Launch"; number is ~0 for a malformed name.
std::vector<LaunchEntry> ReadEntries(HKEY key) {
  std::vector<LaunchEntry> entries;
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = 0, bytes = 0;
    LSTATUS r =
        RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &bytes);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;
    LaunchEntry entry{~0ull, std::wstring(name.data(), nameLength), type, L""};
    if (!StartsWithLaunch(entry.name)) continue;
    LaunchNumber(entry.name, &entry.number);
    if (type == REG_SZ && bytes > 0) {
      std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
      DWORD size = bytes;
      if (RegQueryValueExW(key, entry.name.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
        entry.program = data.data();  // up to the first NUL, terminated or not
      }
    }
    entries.push_back(entry);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const LaunchEntry& a, const LaunchEntry& b) {
    return a.number != b.number ? a.number < b.number : a.name < b.name;
  });
  return entries;
}

std::wstring Trimmed(std::wstring text) {
  while (!text.empty() && iswspace(text.back())) text.pop_back();
  size_t start = 0;
  while (start < text.size() && iswspace(text[start])) ++start;
  text.erase(0, start);
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    text = text.substr(1, text.size() - 2);
  return text;
}

// Starts one program in its own folder; empty on success, else the reason.
std::wstring Start(const std::wstring& program, DWORD* processId) {
  DWORD attributes = GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return L"program not found";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return L"a folder, not a program";
  std::wstring folder = program;
  size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return L"cannot start it (error " + std::to_wstring(GetLastError()) + L")";
  }
  *processId = process.dwProcessId;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return std::wstring();
}

bool ParseKey(const std::wstring& text, HKEY* root, std::wstring* subkey) {
  size_t slash = text.find(L'\\');
  if (slash == std::wstring::npos || slash + 1 >= text.size()) return false;
  std::wstring head = text.substr(0, slash);
  if (lstrcmpiW(head.c_str(), L"HKLM") == 0 ||
      lstrcmpiW(head.c_str(), L"HKEY_LOCAL_MACHINE") == 0) {
    *root = HKEY_LOCAL_MACHINE;
  } else if (lstrcmpiW(head.c_str(), L"HKCU") == 0 ||
             lstrcmpiW(head.c_str(), L"HKEY_CURRENT_USER") == 0) {
    *root = HKEY_CURRENT_USER;
  } else {
    return false;
  }
  *subkey = text.substr(slash + 1);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::wstring subkey = L"Init";
  bool usable = argc == 1 || (argc == 3 && lstrcmpW(argv[1], L"--key") == 0 &&
                              ParseKey(argv[2], &root, &subkey));
  if (!usable) {
    Print(L"usage: vorlix-launch [--key HKLM|HKCU\\<subkey>]   (default HKLM\\Init)");
    return 2;
  }

  HKEY key;
  LSTATUS r = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key);
  if (r == ERROR_FILE_NOT_FOUND) {
    Print(L"nothing to start: no key " + subkey);
    return 0;
  }
  if (r != ERROR_SUCCESS) {
    Print(L"cannot open " + subkey + L" (error " + std::to_wstring(r) + L")");
    return 1;
  }
  std::vector<LaunchEntry> entries = ReadEntries(key);
  RegCloseKey(key);

  int skipped = 0;
  for (const LaunchEntry& entry : entries) {
    std::wstring reason;
    std::wstring program = Trimmed(entry.program);
    DWORD processId = 0;
    if (entry.number == ~0ull) {
      reason = L"no launch number in the name";
    } else if (entry.type != REG_SZ) {
      reason = L"not a REG_SZ value";
    } else if (program.empty()) {
      reason = L"no program named";
    } else {
      reason = Start(program, &processId);
    }
    if (reason.empty()) {
      Print(L"started " + entry.name + L" " + program + L" pid=" + std::to_wstring(processId));
    } else {
      Print(L"skipped " + entry.name + L": " + reason);
      ++skipped;
    }
  }
  return skipped ? 1 : 0;
}
