// Trimming, ReplaceFirst, paths and the line splitter.
#include <algorithm>
#include <utility>
#include <vector>

#include "shared/lines.h"
#include "shared/paths.h"
#include "shared/settings.h"
#include "shared/text.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

bool IsBlank(wchar_t c) { return c <= 0x20; }

// Trimming takes away the blanks at either end and nothing else: exactly the
// units from the first non-blank to the last stay.
void CheckTrimming(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  FUZZ_CHECK(TrimBlanks(text) == text.substr(first, last - first));
  FUZZ_CHECK(TrimLeftBlanks(text) == text.substr(first == last ? text.size() : first));
  size_t keepRight = text.size();
  while (keepRight > 0 && IsBlank(text[keepRight - 1])) --keepRight;
  FUZZ_CHECK(TrimRightBlanks(text) == text.substr(0, keepRight));
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

// The lines, each followed by the line end that stood after it in the input,
// rebuild the input up to its first Ctrl-Z: nothing dropped but lines longer
// than the cut (whose numbers stay used), nothing merged. Split in two pieces
// at any point, the input gives the same lines.
void CheckLines(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t end = std::min(input.find('\x1A'), input.size());
  std::vector<std::pair<int, std::string>> lines;
  SplitTextLines(input.data(), input.size(),
                 [&](int n, const std::string& line) { lines.emplace_back(n, line); });
  size_t at = 0, next = 0;
  // Only an empty line may be left out at the end (text ending in a line end, or
  // a Ctrl-Z at the start of a line).
  for (int number = 0; at < end; ++number) {
    size_t stop = std::min(input.find_first_of("\r\n", at), end);
    if (next < lines.size() && lines[next].first == number) {
      FUZZ_CHECK(lines[next].second == input.substr(at, stop - at));
      ++next;
    } else {
      FUZZ_CHECK(stop - at > kMaxLineBytes);
    }
    at = stop;
    if (at == end) break;
    at += (input[at] == '\r' && at + 1 < end && input[at + 1] == '\n') ? 2 : 1;
  }
  FUZZ_CHECK(next == lines.size());

  size_t cut = size ? data[0] % (size + 1) : 0;
  std::vector<std::pair<int, std::string>> pieces;
  TLineSplit split;
  auto collect = [&](int n, const std::string& line) { pieces.emplace_back(n, line); };
  if (FeedTextLines(split, input.data(), cut, collect)) {
    FeedTextLines(split, input.data() + cut, size - cut, collect);
  }
  FinishTextLines(split, collect);
  FUZZ_CHECK(pieces == lines);
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
