// HKEY_LOCAL_MACHINE "Init" as the device has it, for one test: created when
// missing, and put back as it was (values and key) afterwards.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/no_copy.h"

class InitKeyFixture : NoCopy {
 public:
  InitKeyFixture();
  ~InitKeyFixture();

  // Every value removed, so that a test starts from an empty key.
  void Empty();
  // Removes the key itself (restored afterwards).
  void RemoveKey();
  void PutString(const std::wstring& name, const std::wstring& data);
  void PutDword(const std::wstring& name, DWORD data);
  // REG_SZ values by name; other types are left out.
  std::map<std::wstring, std::wstring> Strings() const;
  bool Has(const std::wstring& name) const;

 private:
  struct TSavedValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::vector<TSavedValue> ReadAll() const;
  bool existed_ = false;
  std::vector<TSavedValue> saved_;
};
