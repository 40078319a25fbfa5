// A fresh folder under the system's temporary folder, removed with its contents.
#pragma once

#include <string>

#include "tests/support/no_copy.h"

class TempFolder : NoCopy {
 public:
  TempFolder();
  ~TempFolder();

  const std::wstring& path() const { return path_; }
  // path() + "\" + name
  std::wstring File(const std::wstring& name) const;
  // Writes bytes to the named file; returns its full path.
  std::wstring Write(const std::wstring& name, const std::string& bytes) const;
  // The bytes of the named file, or "<missing>" when it cannot be read.
  std::string Read(const std::wstring& name) const;

 private:
  std::wstring path_;
};
