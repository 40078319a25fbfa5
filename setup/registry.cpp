#include "setup/registry.h"

#include "shared/files.h"
#include "shared/text.h"

const wchar_t kStartupKey[] = L"Init";

namespace {

const REGSAM kReadWrite = KEY_READ | KEY_WRITE;
const DWORD kNameCapacity = 260;

// An open key that is closed when it goes out of scope.
struct TOpenKey {
  HKEY handle = nullptr;
  TOpenKey(HKEY root, const std::wstring& subkey, REGSAM access) {
    if (RegOpenKeyExW(root, subkey.c_str(), 0, access, &handle) != ERROR_SUCCESS) handle = nullptr;
  }
  ~TOpenKey() {
    if (handle) RegCloseKey(handle);
  }
  TOpenKey(const TOpenKey&) = delete;
  TOpenKey& operator=(const TOpenKey&) = delete;
};

// The form in which paths are compared: ANSI code page, A to Z folded.
std::string ComparisonForm(const std::wstring& text) {
  std::string ansi = ToAnsiTextLossy(text);
  for (char& c : ansi) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return ansi;
}

}  // namespace

bool ListRegistryValues(HKEY root, const std::wstring& subkey, TRegistryObjectList* list) {
  list->clear();
  TOpenKey key(root, subkey, KEY_READ);
  if (!key.handle) return false;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameCapacity];
    DWORD length = kNameCapacity;
    DWORD type = 0;
    LONG status = RegEnumValueW(key.handle, index, name, &length, nullptr, &type, nullptr, nullptr);
    // A name too long for the buffer is passed over rather than ending the list:
    // it would otherwise hide every entry enumerated after it.
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    list->push_back(TRegistryObject{std::wstring(name, length), type});
  }
  return true;
}

bool ReadRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                        std::wstring* text) {
  TOpenKey key(root, subkey, KEY_READ);
  if (!key.handle) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.handle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  if (type == REG_SZ) {
    // Twice the size, zeroed: data stored without its NUL still ends in one.
    std::vector<wchar_t> buffer(size + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t)) - sizeof(wchar_t);
    if (RegQueryValueExW(key.handle, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &bytes) == ERROR_SUCCESS) {
      *text = buffer.data();
    }
  }
  return true;
}

bool WriteRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                         const std::wstring& text) {
  TOpenKey key(root, subkey, kReadWrite);
  if (!key.handle) return false;
  DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  // The device's hive registry keeps a change in memory until it is flushed:
  // a restart soon after could lose it.
  return RegSetValueExW(key.handle, name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS &&
         RegFlushKey(key.handle) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  TOpenKey key(root, subkey, kReadWrite);
  return key.handle && RegDeleteValueW(key.handle, name.c_str()) == ERROR_SUCCESS &&
         RegFlushKey(key.handle) == ERROR_SUCCESS;
}

bool RegistryValueExists(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  TOpenKey key(root, subkey, kReadWrite);
  return key.handle && RegQueryValueExW(key.handle, name.c_str(), nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
}

bool FindStartupEntry(const std::wstring& exePath, std::wstring* valueName) {
  TRegistryObjectList values;
  ListRegistryValues(HKEY_LOCAL_MACHINE, kStartupKey, &values);
  const std::string wanted = ComparisonForm(exePath);
  for (const TRegistryObject& value : values) {
    if (value.type != REG_SZ) continue;
    std::wstring data;
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kStartupKey, value.name, &data)) continue;
    if (ComparisonForm(data) == wanted) {
      *valueName = value.name;
      return true;
    }
  }
  return false;
}

bool AddStartupEntry(const std::wstring& exePath, std::wstring* valueName, uint16_t firstSlot) {
  uint16_t slot = firstSlot;
  std::wstring name = L"Launch" + IntToText(slot);
  // Steps of 10 come back to the first slot after 32768 names; stop there
  // instead of searching forever.
  while (RegistryValueExists(HKEY_LOCAL_MACHINE, kStartupKey, name)) {
    slot = static_cast<uint16_t>(slot + 10);
    if (slot == firstSlot) return false;
    name = L"Launch" + IntToText(slot);
  }
  *valueName = name;
  return WriteRegistryString(HKEY_LOCAL_MACHINE, kStartupKey, name, exePath);
}

bool RemoveStartupEntry(const std::wstring& valueName) {
  return DeleteRegistryValue(HKEY_LOCAL_MACHINE, kStartupKey, valueName);
}
