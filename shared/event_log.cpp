#include "shared/event_log.h"

#include "shared/files.h"

namespace {

void AppendPadded(std::string* text, unsigned value, int digits) {
  char units[10];
  for (int i = digits - 1; i >= 0; --i) {
    units[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  text->append(units, static_cast<size_t>(digits));
}

char LogUnit(unsigned unit) { return unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?'; }

}  // namespace

std::string FormatEventLine(const SYSTEMTIME& time, const std::string& text) {
  std::string line;
  line.reserve(text.size() + 22);
  AppendPadded(&line, time.wYear, 4);
  line += '-';
  AppendPadded(&line, time.wMonth, 2);
  line += '-';
  AppendPadded(&line, time.wDay, 2);
  line += ' ';
  AppendPadded(&line, time.wHour, 2);
  line += ':';
  AppendPadded(&line, time.wMinute, 2);
  line += ':';
  AppendPadded(&line, time.wSecond, 2);
  line += ' ';
  line += ToLogText(text);
  line += "\r\n";
  return line;
}

std::string ToLogText(const std::string& text) {
  std::string ascii(text.size(), '?');
  for (size_t i = 0; i < text.size(); ++i) ascii[i] = LogUnit(static_cast<unsigned char>(text[i]));
  return ascii;
}

std::string ToLogText(const std::wstring& text) {
  std::string ascii(text.size(), '?');
  for (size_t i = 0; i < text.size(); ++i) ascii[i] = LogUnit(static_cast<unsigned>(text[i]));
  return ascii;
}

std::string DecimalText(uint32_t value) {
  char units[10];
  int count = 0;
  do {
    units[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  std::string text;
  while (count) text += units[--count];
  return text;
}

std::string HexText(uint32_t value) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 15];
  return text;
}

bool AppendEventLines(const std::wstring& path, const std::string& lines) {
  return AppendToBoundedFile(path, lines, kEventLogLimit, kEventLogKeep);
}
