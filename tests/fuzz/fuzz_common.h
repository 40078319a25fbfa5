// Helpers for the fuzz targets: inputs as texts, and property checks that abort.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

// Bytes taken as UTF-16 units (pairs), so that every unit value can appear.
inline std::wstring UnitsOf(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  return text;
}

// Bytes widened one to one (the ASCII range, mostly), for syntax-heavy inputs.
inline std::wstring WidenBytes(const uint8_t* data, size_t size) {
  return std::wstring(data, data + size);
}
