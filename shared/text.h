// Text helpers and the one integer syntax used for every number read from text.
// Portable C++ (no <windows.h>): text is UTF-16 held in std::wstring.
#pragma once

#include <cstdint>
#include <string>

// Blanks are the units U+0000 to U+0020 (control characters and the space).
std::wstring TrimLeftBlanks(const std::wstring& text);
std::wstring TrimRightBlanks(const std::wstring& text);
std::wstring TrimBlanks(const std::wstring& text);

// Replaces the first occurrence of search (exact, case-sensitive) in *text.
void ReplaceFirst(std::wstring* text, const std::wstring& search, const std::wstring& replacement);
// The same on a copy; text itself is left alone.
std::wstring ReplaceFirst(const std::wstring& text, const std::wstring& search,
                          const std::wstring& replacement);

// Decimal text of a value, "-" for negative values, no padding.
std::wstring IntToText(int32_t value);

// Parses text by the integer syntax: leading spaces and tabs, an optional sign,
// an optional base prefix ("$", "x", "X", "0x", "0X" hexadecimal, "%" binary,
// "&" octal), then only digits of the base. Decimal magnitudes up to 2147483647
// (2147483648 after "-"); other bases up to 4294967295, taken as two's complement.
// Texts of 256 or more characters and non-ASCII characters are never numbers.
// Returns false, leaving *value alone, when the text is not a number.
bool ParseIntegerText(const std::wstring& text, int32_t* value);

// The value of the text by the integer syntax; 0 when it is not a number.
int32_t TextToInt(const std::wstring& text);
// True when TextToInt of the text is not 0.
bool TextToBool(const std::wstring& text);

// A number whose value lies between the bounds (signed, bounds included).
bool IsIntInRange(const std::wstring& text, int32_t low, int32_t high);
// A number whose signed value lies between the bounds taken as unsigned values;
// a negative value always fails.
bool IsCardinalInRange(const std::wstring& text, uint32_t low, uint32_t high);
bool IsByteText(const std::wstring& text);   // 0 to 255
bool IsColorText(const std::wstring& text);  // 0 to 4294967295, so 0 to 2147483647 in effect
bool IsWordText(const std::wstring& text);   // 0 to 65535
bool IsBoolText(const std::wstring& text);   // 0 or 1
// The number of UTF-16 units lies between the bounds, bounds included.
bool IsLengthInRange(const std::wstring& text, int32_t low, int32_t high);

uint16_t HiWordOf(uint32_t value);
uint16_t LoWordOf(uint32_t value);

// The text with the ASCII letters A to Z turned into a to z; nothing else changes.
std::wstring FoldAsciiLower(const std::wstring& text);

// Cuts the line at its first ";".
std::wstring StripComment(const std::wstring& line);
// Strips the comment and splits at the first "=": the key with ASCII letters
// folded to lower case and trimmed, the rest trimmed. False without "=".
bool SplitKeyValue(const std::wstring& line, std::wstring* key, std::wstring* value);
