// Reference models for the fuzz targets, written from the rules of the integer
// syntax, the line ends, the settings file and its reader and the language
// pack's lines alone: nothing here calls or copies the code they check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace reference {

// The lines of a text file, each with its number from 0: CR LF, LF or a lone
// CR ends a line, a last line without an end counts unless empty, and a byte
// 0x1A ends the text (a line begun before it counts). A line of more than
// 65536 bytes is left out; the lines after it keep their numbers.
using Lines = std::vector<std::pair<int, std::string>>;

inline Lines SplitLines(const std::string& text) {
  const size_t kLongest = 65536;
  Lines lines;
  std::string line;
  int number = 0;
  auto end = [&] {
    if (line.size() <= kLongest) lines.emplace_back(number, line);
    ++number;
    line.clear();
  };
  for (size_t at = 0; at < text.size(); ++at) {
    const char byte = text[at];
    if (byte == '\x1A') break;
    if (byte == '\r' || byte == '\n') {
      end();
      if (byte == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    } else {
      line.push_back(byte);
    }
  }
  if (!line.empty()) end();
  return lines;
}

// The integer syntax: leading spaces and tabs, one optional sign, an optional
// base prefix ("$", "x", "X", "0x", "0X" sixteen, "%" two, "&" eight), then at
// least one digit of the base and nothing else. Texts of 256 units or more and
// units outside ASCII are never numbers. Base ten allows magnitudes up to
// 2^31 - 1 (2^31 after "-"); the other bases up to 2^32 - 1, read as two's
// complement; "-" negates. False when the text is not a number.
inline bool ParseInteger(const std::wstring& text, int32_t* value) {
  if (text.size() >= 256) return false;
  for (wchar_t unit : text) {
    if (unit >= 0x80) return false;
  }
  size_t at = 0;
  while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;
  bool minus = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) minus = text[at++] == L'-';
  unsigned base = 10;
  std::wstring rest = text.substr(at);
  if (rest.compare(0, 2, L"0x") == 0 || rest.compare(0, 2, L"0X") == 0) {
    base = 16;
    rest = rest.substr(2);
  } else if (!rest.empty() && (rest[0] == L'$' || rest[0] == L'x' || rest[0] == L'X')) {
    base = 16;
    rest = rest.substr(1);
  } else if (!rest.empty() && rest[0] == L'%') {
    base = 2;
    rest = rest.substr(1);
  } else if (!rest.empty() && rest[0] == L'&') {
    base = 8;
    rest = rest.substr(1);
  }
  if (rest.empty()) return false;
  uint64_t magnitude = 0;
  for (wchar_t unit : rest) {
    unsigned digit;
    if (unit >= L'0' && unit <= L'9') {
      digit = static_cast<unsigned>(unit - L'0');
    } else if (unit >= L'a' && unit <= L'f') {
      digit = static_cast<unsigned>(unit - L'a') + 10;
    } else if (unit >= L'A' && unit <= L'F') {
      digit = static_cast<unsigned>(unit - L'A') + 10;
    } else {
      return false;
    }
    if (digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > 0xFFFFFFFFull) return false;  // no limit lets more through
  }
  uint32_t bits;
  if (base == 10) {
    if (magnitude > (minus ? 2147483648ull : 2147483647ull)) return false;
    bits = static_cast<uint32_t>(magnitude);
  } else {
    bits = static_cast<uint32_t>(magnitude);
  }
  if (minus) bits = 0u - bits;
  *value = static_cast<int32_t>(bits);
  return true;
}

// One byte of the settings file: the Cyrillic half of Windows-1251 laid over
// ISO 8859-1.
inline wchar_t DecodeSettingsByte(unsigned char byte) {
  if (byte >= 0xC0) return static_cast<wchar_t>(0x0410 + (byte - 0xC0));
  switch (byte) {
    case 0xA1: return 0x040E;
    case 0xA2: return 0x045E;
    case 0xA5: return 0x0490;
    case 0xA8: return 0x0401;
    case 0xAA: return 0x0404;
    case 0xAF: return 0x0407;
    case 0xB2: return 0x0406;
    case 0xB3: return 0x0456;
    case 0xB4: return 0x0491;
    case 0xB8: return 0x0451;
    case 0xB9: return 0x2116;
    case 0xBA: return 0x0454;
    case 0xBF: return 0x0457;
    default: return static_cast<wchar_t>(byte);
  }
}

inline bool IsBlank(wchar_t unit) { return unit <= 0x20; }

inline std::wstring Trimmed(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// The settings application's record, the action as its index 0 to 2.
struct Settings {
  int power_action = 0;
  bool force_power = false;
  int cancel_time = 10;
  int delay_time = 2;
  uint32_t background_color = 65280;
  uint32_t text_color = 0;
  int font_size = 8;
  bool font_autosize = true;
  std::wstring lng_file;
  int initial_slot_index = 200;
};

// Applies one raw line as the reader's rules say; withSlot for the settings
// application (the monitor knows no initial_slot_index).
inline void LoadLine(Settings& settings, const std::string& line, bool withSlot) {
  std::wstring text;
  for (char byte : line) text.push_back(DecodeSettingsByte(static_cast<unsigned char>(byte)));
  size_t semicolon = text.find(L';');
  if (semicolon != std::wstring::npos) text.erase(semicolon);
  size_t equals = text.find(L'=');
  if (equals == std::wstring::npos) return;
  std::wstring key = text.substr(0, equals);
  for (wchar_t& unit : key) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  key = Trimmed(key);
  std::wstring value = Trimmed(text.substr(equals + 1));
  int32_t number = 0;
  bool isNumber = ParseInteger(value, &number);
  auto inRange = [&](int64_t low, int64_t high) {
    return isNumber && number >= low && number <= high;
  };
  if (key == L"power_action") {
    if (inRange(0, 2)) settings.power_action = number;
  } else if (key == L"force_power") {
    if (inRange(0, 1)) settings.force_power = number == 1;
  } else if (key == L"cancel_time") {
    if (inRange(0, 255)) settings.cancel_time = number;
  } else if (key == L"delay_time") {
    if (inRange(0, 255)) settings.delay_time = number;
  } else if (key == L"background_color") {
    if (inRange(0, 2147483647)) settings.background_color = static_cast<uint32_t>(number);
  } else if (key == L"text_color") {
    if (inRange(0, 2147483647)) settings.text_color = static_cast<uint32_t>(number);
  } else if (key == L"font_size") {
    if (inRange(6, 72)) settings.font_size = number;
  } else if (key == L"font_autosize") {
    if (inRange(0, 1)) settings.font_autosize = number == 1;
  } else if (key == L"lng_file") {
    if (!value.empty() && value.size() <= 16) settings.lng_file = value;
  } else if (key == L"initial_slot_index" && withSlot) {
    if (inRange(0, 65535)) settings.initial_slot_index = number;
  }
}

// The power state the monitor hands on for an action index.
inline uint32_t PowerStateOf(int actionIndex) {
  const uint32_t states[] = {0x00200000, 0x00020000, 0x00800000};
  return states[actionIndex];
}

// A line of a language pack, read as UTF-8 by the lead byte alone: below 0x80
// one byte; 0x80 to 0x9F and 0xC0 to 0xDF lead two bytes, 0xA0 to 0xBF and 0xE0
// to 0xFF three. Every byte after the lead lies in 0x80 to 0xBF and gives six
// bits; no value is refused (overlong forms, surrogates). A bad or missing byte
// makes the whole line empty; one U+FEFF at its start goes.
inline std::wstring DecodeUtf8Line(const std::string& line) {
  std::wstring text;
  size_t at = 0;
  while (at < line.size()) {
    const unsigned lead = static_cast<unsigned char>(line[at]);
    size_t length = 1;
    unsigned value = lead;
    if ((lead >= 0x80 && lead <= 0x9F) || (lead >= 0xC0 && lead <= 0xDF)) {
      length = 2;
      value = lead % 32;
    } else if (lead >= 0xA0) {
      length = 3;
      value = lead % 16;
    }
    if (line.size() - at < length) return std::wstring();
    for (size_t k = 1; k < length; ++k) {
      const unsigned next = static_cast<unsigned char>(line[at + k]);
      if (next < 0x80 || next > 0xBF) return std::wstring();
      value = value * 64 + (next - 0x80);
    }
    text.push_back(static_cast<wchar_t>(value));
    at += length;
  }
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  return text;
}

}  // namespace reference
