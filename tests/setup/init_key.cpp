#include "tests/setup/init_key.h"

namespace {

HKEY OpenInit() {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

}  // namespace

InitKeyFixture::InitKeyFixture() {
  HKEY key = nullptr;
  existed_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  if (existed_) saved_ = ReadAll();
  Empty();
}

InitKeyFixture::~InitKeyFixture() {
  Empty();
  if (!existed_) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Init");
    return;
  }
  HKEY key = OpenInit();
  for (const TSavedValue& value : saved_) {
    RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                   static_cast<DWORD>(value.data.size()));
  }
  RegCloseKey(key);
}

std::vector<InitKeyFixture::TSavedValue> InitKeyFixture::ReadAll() const {
  std::vector<TSavedValue> values;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD length = 16384;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, index, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    TSavedValue value{std::wstring(name, length), type, std::vector<BYTE>(size + 2)};
    DWORD read = static_cast<DWORD>(value.data.size());
    RegQueryValueExW(key, value.name.c_str(), nullptr, nullptr, value.data.data(), &read);
    value.data.resize(read);
    values.push_back(value);
  }
  RegCloseKey(key);
  return values;
}

void InitKeyFixture::Empty() {
  HKEY key = OpenInit();
  for (const TSavedValue& value : ReadAll()) RegDeleteValueW(key, value.name.c_str());
  RegCloseKey(key);
}

void InitKeyFixture::RemoveKey() {
  Empty();
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Init");
}

void InitKeyFixture::PutString(const std::wstring& name, const std::wstring& data) {
  HKEY key = OpenInit();
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void InitKeyFixture::PutDword(const std::wstring& name, DWORD data) {
  HKEY key = OpenInit();
  RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                 sizeof data);
  RegCloseKey(key);
}

std::map<std::wstring, std::wstring> InitKeyFixture::Strings() const {
  std::map<std::wstring, std::wstring> strings;
  for (const TSavedValue& value : ReadAll()) {
    if (value.type != REG_SZ) continue;
    std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / 2);
    strings[value.name] = text.c_str();  // up to the NUL
  }
  return strings;
}

bool InitKeyFixture::Has(const std::wstring& name) const {
  for (const TSavedValue& value : ReadAll()) {
    if (value.name == name) return true;
  }
  return false;
}
