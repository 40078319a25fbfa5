// Trimming, ReplaceFirst, paths and the line splitter.
#include "shared/lines.h"
#include "shared/paths.h"
#include "shared/settings.h"
#include "shared/text.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

bool IsBlank(wchar_t c) { return c <= 0x20; }

void CheckTrimming(const std::wstring& text) {
  std::wstring trimmed = TrimBlanks(text);
  FUZZ_CHECK(trimmed.empty() || (!IsBlank(trimmed.front()) && !IsBlank(trimmed.back())));
  FUZZ_CHECK(text.find(trimmed) != std::wstring::npos);
  FUZZ_CHECK(TrimBlanks(trimmed) == trimmed);
  FUZZ_CHECK(TrimLeftBlanks(TrimRightBlanks(text)) == TrimRightBlanks(TrimLeftBlanks(text)));
}

void CheckReplaceFirst(const std::wstring& text, const std::wstring& search,
                       const std::wstring& replacement) {
  std::wstring copy = ReplaceFirst(text, search, replacement);
  std::wstring inPlace = text;
  ReplaceFirst(&inPlace, search, replacement);
  FUZZ_CHECK(copy == inPlace);
  size_t at = text.find(search);
  if (at == std::wstring::npos) {
    FUZZ_CHECK(copy == text);
  } else {
    FUZZ_CHECK(copy == text.substr(0, at) + replacement + text.substr(at + search.size()));
  }
}

void CheckSplitKeyValue(const std::wstring& line) {
  std::wstring key, value;
  if (!SplitKeyValue(line, &key, &value)) return;
  FUZZ_CHECK(key.find(L'=') == std::wstring::npos && key.find(L';') == std::wstring::npos);
  FUZZ_CHECK(value.find(L';') == std::wstring::npos);
  FUZZ_CHECK(TrimBlanks(key) == key && TrimBlanks(value) == value);
  for (wchar_t c : key) FUZZ_CHECK(!(c >= L'A' && c <= L'Z'));
}

void CheckPaths(const std::wstring& path) {
  std::wstring parent = ParentDirectory(path);
  FUZZ_CHECK(parent.size() <= path.size());
  FUZZ_CHECK(path.compare(0, parent.size(), parent) == 0);
  FUZZ_CHECK(parent.empty() || parent.back() != L'\\' || path.find(L'\\') == std::wstring::npos);
  std::wstring extension = FileExtension(path);
  FUZZ_CHECK(extension.find(L'.') == std::wstring::npos);
}

void CheckLines(const uint8_t* data, size_t size) {
  size_t total = 0;
  int expected = 0;
  SplitTextLines(reinterpret_cast<const char*>(data), size, [&](int n, const std::string& line) {
    FUZZ_CHECK(n == expected++);
    FUZZ_CHECK(line.find_first_of("\r\n\x1A") == std::string::npos);
    total += line.size() + 1;
  });
  FUZZ_CHECK(total <= size + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring units = UnitsOf(data, size);
  CheckTrimming(units);
  CheckSplitKeyValue(units);
  CheckSplitKeyValue(WidenBytes(data, size));
  CheckPaths(WidenBytes(data, size));
  CheckLines(data, size);
  // Three texts out of one input: search and replacement are short prefixes.
  size_t a = size ? data[0] % 8 : 0, b = size > 1 ? data[1] % 8 : 0;
  std::wstring all = WidenBytes(data, size);
  std::wstring search = all.substr(std::min(all.size(), size_t{2}), a);
  std::wstring replacement = all.substr(std::min(all.size(), 2 + a), b);
  CheckReplaceFirst(all, search, replacement);
  return 0;
}
