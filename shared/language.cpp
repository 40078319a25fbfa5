#include "shared/language.h"

#include "platform/ce/power_states.h"
#include "shared/text.h"

const wchar_t kActionPlaceholder[] = L"%action%";
const wchar_t kSecondPlaceholder[] = L"%second%";

std::wstring DecodeUtf8Line(const std::string& line) {
  std::wstring text;
  size_t i = 0;
  const size_t size = line.size();
  while (i < size) {
    unsigned char lead = static_cast<unsigned char>(line[i++]);
    if (lead < 0x80) {
      text.push_back(static_cast<wchar_t>(lead));
      continue;
    }
    // The sequence length follows from bit 0x20 of the lead byte alone.
    int continuations = (lead & 0x20) ? 2 : 1;
    unsigned unit = (continuations == 1) ? (lead & 0x1Fu) : (lead & 0x0Fu);
    for (int k = 0; k < continuations; ++k) {
      if (i >= size) return std::wstring();
      unsigned char next = static_cast<unsigned char>(line[i++]);
      if (next < 0x80 || next > 0xBF) return std::wstring();
      unit = (unit << 6) | (next & 0x3Fu);
    }
    text.push_back(static_cast<wchar_t>(unit));
  }
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  return text;
}

namespace {

// The keys of a pack and the text each sets, in the reader's order.
struct TLanguageKey {
  const wchar_t* name;
  std::wstring TMessageTexts::*text;
};
const TLanguageKey kLanguageKeys[] = {
    {L"suspend", &TMessageTexts::suspend}, {L"off", &TMessageTexts::off},
    {L"reset", &TMessageTexts::reset},     {L"action", &TMessageTexts::action},
    {L"cancel", &TMessageTexts::cancel},   {L"recovery", &TMessageTexts::recovery},
    {L"wait", &TMessageTexts::wait},       {L"battery", &TMessageTexts::battery},
};

}  // namespace

void LoadLanguageLine(TMessageTexts& texts, int, const std::string& line) {
  std::wstring key, value;
  if (!SplitKeyValue(DecodeUtf8Line(line), &key, &value) || !IsLengthInRange(value, 1, 256)) return;
  for (const TLanguageKey& known : kLanguageKeys) {
    if (key == known.name) {
      texts.*known.text = value;
      return;
    }
  }
}

std::wstring ActionWordOf(const TMessageTexts& texts, uint32_t powerState) {
  switch (powerState) {
    case POWER_STATE_SUSPEND: return texts.suspend;
    case POWER_STATE_OFF: return texts.off;
    case POWER_STATE_RESET: return texts.reset;
    default: return std::wstring();
  }
}

std::wstring CountdownLine(const std::wstring& actionText, int32_t seconds) {
  return ReplaceFirst(actionText, kSecondPlaceholder, IntToText(seconds));
}
