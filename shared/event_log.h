// The monitor's event log, "vorlix.log" (kEventLogFileName) beside the
// programs: one event a line, newest last, "YYYY-MM-DD hh:mm:ss text" in local
// time, ASCII, each line ended by CR LF. It holds at most kEventLogLimit bytes:
// an append that would pass that first cuts it to its newest whole lines that
// fit in kEventLogKeep bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

const size_t kEventLogLimit = 64 * 1024;
const size_t kEventLogKeep = 32 * 1024;

// One line of the log with its line end; the text as ToLogText leaves it.
std::string FormatEventLine(const SYSTEMTIME& time, const std::string& text);
// ASCII for the log: printable ASCII stays, every other unit (a control
// character, a letter outside ASCII) becomes "?".
std::string ToLogText(const std::string& text);
std::string ToLogText(const std::wstring& text);
// Decimal digits, and "0x" with eight upper-case hexadecimal digits.
std::string DecimalText(uint32_t value);
std::string HexText(uint32_t value);
// Appends whole lines to the log file within its bound (AppendToBoundedFile).
bool AppendEventLines(const std::wstring& path, const std::string& lines);
