// Registry access and the monitor's start-up entry under HKEY_LOCAL_MACHINE "Init".
// Every operation opens its key itself and closes it before it returns; keys are
// never created.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One value found under a key.
struct TRegistryObject {
  std::wstring name;  // at most 259 units
  DWORD type;         // REG_SZ = 1
};
using TRegistryObjectList = std::vector<TRegistryObject>;

// Empties the list, then appends every value of the key in enumeration order.
// False when the key cannot be opened.
bool ListRegistryValues(HKEY root, const std::wstring& subkey, TRegistryObjectList* list);
// True when the value exists; *text receives its data only for a REG_SZ value.
bool ReadRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                        std::wstring* text);
bool WriteRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                         const std::wstring& text);
bool DeleteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name);
bool RegistryValueExists(HKEY root, const std::wstring& subkey, const std::wstring& name);

// The key that the system reads its start-up programs from at boot.
extern const wchar_t kStartupKey[];  // "Init" under HKEY_LOCAL_MACHINE

// The first REG_SZ "Init" value whose data names exePath (ASCII letter case
// ignored); true with its name in *valueName.
bool FindStartupEntry(const std::wstring& exePath, std::wstring* valueName);
// Writes exePath under the first free "Launch<n>", n = firstSlot, firstSlot + 10 ...
// (16-bit, wrapping); true when written, with the name used in *valueName.
bool AddStartupEntry(const std::wstring& exePath, std::wstring* valueName, uint16_t firstSlot);
bool RemoveStartupEntry(const std::wstring& valueName);
