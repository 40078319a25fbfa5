// Text output of the command-line tools: UTF-16 to a console, UTF-8 to a pipe or file.
#pragma once

#include <windows.h>

#include <string>

#include "shared/files.h"

inline void WriteText(DWORD which, const std::wstring& text) {
  HANDLE out = GetStdHandle(which);
  DWORD mode, written;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::string bytes = ToCodePageText(text, CP_UTF8);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
