#include "shared/text.h"

namespace {

bool IsBlank(wchar_t c) { return c <= 0x20; }

// The value of c as a digit of base, or -1.
int DigitValue(wchar_t c, int base) {
  int value = -1;
  if (c >= L'0' && c <= L'9') {
    value = c - L'0';
  } else if (c >= L'a' && c <= L'f') {
    value = c - L'a' + 10;
  } else if (c >= L'A' && c <= L'F') {
    value = c - L'A' + 10;
  }
  return value < base ? value : -1;
}

}  // namespace

std::wstring TrimLeftBlanks(const std::wstring& text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return text.substr(start);
}

std::wstring TrimRightBlanks(const std::wstring& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::wstring TrimBlanks(const std::wstring& text) { return TrimLeftBlanks(TrimRightBlanks(text)); }

void ReplaceFirst(std::wstring* text, const std::wstring& search, const std::wstring& replacement) {
  size_t at = text->find(search);
  if (at != std::wstring::npos) text->replace(at, search.size(), replacement);
}

std::wstring ReplaceFirst(const std::wstring& text, const std::wstring& search,
                          const std::wstring& replacement) {
  std::wstring copy = text;
  ReplaceFirst(&copy, search, replacement);
  return copy;
}

std::wstring IntToText(int32_t value) {
  // By hand: the C runtime's formatting would bring its whole printf along.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  wchar_t digits[12];
  size_t at = sizeof digits / sizeof digits[0];
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) digits[--at] = L'-';
  return std::wstring(digits + at, digits + sizeof digits / sizeof digits[0]);
}

bool ParseIntegerText(const std::wstring& text, int32_t* value) {
  if (text.size() >= 256) return false;
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  int base = 10;
  if (i < text.size()) {
    wchar_t c = text[i];
    if (c == L'$' || c == L'x' || c == L'X') {
      base = 16;
      ++i;
    } else if (c == L'%') {
      base = 2;
      ++i;
    } else if (c == L'&') {
      base = 8;
      ++i;
    } else if (c == L'0' && i + 1 < text.size() && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
      base = 16;
      i += 2;
    }
  }
  if (i == text.size()) return false;  // no digit at all
  const uint64_t limit = base == 10 ? (negative ? 2147483648u : 2147483647u) : 4294967295u;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  // Non-decimal magnitudes are 32-bit two's complement: FFFFFFFF is -1.
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  *value = static_cast<int32_t>(bits);
  return true;
}

int32_t TextToInt(const std::wstring& text) {
  int32_t value = 0;
  ParseIntegerText(text, &value);
  return value;
}

bool TextToBool(const std::wstring& text) { return TextToInt(text) != 0; }

bool IsIntInRange(const std::wstring& text, int32_t low, int32_t high) {
  int32_t value = 0;
  return ParseIntegerText(text, &value) && value >= low && value <= high;
}

bool IsCardinalInRange(const std::wstring& text, uint32_t low, uint32_t high) {
  int32_t value = 0;
  if (!ParseIntegerText(text, &value) || value < 0) return false;
  uint32_t cardinal = static_cast<uint32_t>(value);
  return cardinal >= low && cardinal <= high;
}

bool IsByteText(const std::wstring& text) { return IsCardinalInRange(text, 0, 255); }
bool IsColorText(const std::wstring& text) { return IsCardinalInRange(text, 0, 4294967295u); }
bool IsWordText(const std::wstring& text) { return IsCardinalInRange(text, 0, 65535); }
bool IsBoolText(const std::wstring& text) { return IsIntInRange(text, 0, 1); }

bool IsLengthInRange(const std::wstring& text, int32_t low, int32_t high) {
  // Lengths are counted in UTF-16 units; text never holds more than 2^31 of them here.
  int64_t length = static_cast<int64_t>(text.size());
  return length >= low && length <= high;
}

uint16_t HiWordOf(uint32_t value) { return static_cast<uint16_t>(value >> 16); }
uint16_t LoWordOf(uint32_t value) { return static_cast<uint16_t>(value & 0xFFFF); }

std::wstring FoldAsciiLower(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
  }
  return folded;
}

std::wstring StripComment(const std::wstring& line) {
  size_t semicolon = line.find(L';');
  return semicolon == std::wstring::npos ? line : line.substr(0, semicolon);
}

bool SplitKeyValue(const std::wstring& line, std::wstring* key, std::wstring* value) {
  std::wstring text = StripComment(line);
  size_t equals = text.find(L'=');
  if (equals == std::wstring::npos) return false;
  *key = TrimBlanks(FoldAsciiLower(text.substr(0, equals)));
  *value = TrimBlanks(text.substr(equals + 1));
  return true;
}
