// The monitor's eight message texts and the language pack reader. Portable C++.
#pragma once

#include <cstdint>
#include <string>

// The message texts with their English defaults, in the reader's key order.
struct TMessageTexts {
  std::wstring suspend = L"suspended";
  std::wstring off = L"turned off";
  std::wstring reset = L"restarted";
  std::wstring action = L"Device will be %action% after %second% second";
  std::wstring cancel = L"Use move on the screen to cancel...";
  std::wstring recovery = L"Recovery power device";
  std::wstring wait = L"Please wait...";
  // The first line of the notice when the battery runs low on battery power.
  std::wstring battery = L"Battery low: device will be %action% after %second% second";
};

extern const wchar_t kActionPlaceholder[];  // "%action%"
extern const wchar_t kSecondPlaceholder[];  // "%second%"

// Decodes one line as UTF-8 (one to three bytes by the lead byte alone) into
// UTF-16, dropping one leading U+FEFF; empty when the line is malformed or cut.
std::wstring DecodeUtf8Line(const std::string& line);

// Per-line reader for ReadTextLines: applies one key line of a language pack.
void LoadLanguageLine(TMessageTexts& texts, int lineNumber, const std::string& line);

// The word for a power state (POWER_STATE_SUSPEND, _OFF, _RESET); empty otherwise.
std::wstring ActionWordOf(const TMessageTexts& texts, uint32_t powerState);

// A copy of the action text with its first "%second%" replaced by the seconds.
std::wstring CountdownLine(const std::wstring& actionText, int32_t seconds);
