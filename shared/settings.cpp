#include "shared/settings.h"

#include "shared/text.h"

const wchar_t kSettingsFileName[] = L"vorlix.ini";
const wchar_t kMonitorFileName[] = L"vorlix.exe";
const wchar_t kEventLogFileName[] = L"vorlix.log";

namespace {

// Keys in the order the reader tests them.
enum class TSettingsKey {
  PowerAction,
  ForcePower,
  CancelTime,
  DelayTime,
  BackgroundColor,
  TextColor,
  FontSize,
  FontAutosize,
  LngFile,
  CriticalBattery,
  WarningSound,
  EventLog,
  InitialSlotIndex,
  Unknown
};

const wchar_t* const kKeyNames[] = {
    L"power_action", L"force_power", L"cancel_time",   L"delay_time", L"background_color",
    L"text_color",   L"font_size",   L"font_autosize", L"lng_file",   L"critical_battery",
    L"warning_sound", L"event_log",  L"initial_slot_index"};

// One validated line of the file: which key, and its value.
struct TSettingsValue {
  TSettingsKey key = TSettingsKey::Unknown;
  uint32_t number = 0;
  std::wstring text;
};

// Whether the raw line's key (before the first "=", outside the comment, ASCII
// letters folded and blanks trimmed) is one of the first keyCount keys, found
// without decoding: the decoding leaves ASCII as it is and gives no blank for
// any other byte, so this is the answer SplitKeyValue would give. A settings
// file of a million junk lines is passed over at this cost alone.
bool HasKnownKey(const std::string& line, int keyCount) {
  size_t end = line.find_first_of(";=");
  if (end == std::string::npos || line[end] != '=') return false;
  size_t start = 0;
  while (start < end && static_cast<unsigned char>(line[start]) <= 0x20) ++start;
  while (end > start && static_cast<unsigned char>(line[end - 1]) <= 0x20) --end;
  for (int index = 0; index < keyCount; ++index) {
    const wchar_t* name = kKeyNames[index];
    size_t i = 0;
    for (; start + i < end && name[i]; ++i) {
      char c = line[start + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (static_cast<wchar_t>(c) != name[i]) break;
    }
    if (start + i == end && !name[i]) return true;
  }
  return false;
}

// Decodes, splits and checks one raw line; false when it changes nothing.
// initial_slot_index, the last key, is known only to the settings application.
bool ReadSettingsValue(const std::string& line, bool withSlotIndex, TSettingsValue* out) {
  const int kKeyCount = sizeof kKeyNames / sizeof kKeyNames[0];
  int keyCount = withSlotIndex ? kKeyCount : kKeyCount - 1;
  if (!HasKnownKey(line, keyCount)) return false;
  std::wstring key, value;
  if (!SplitKeyValue(DecodeCyrillic8Bit(line), &key, &value)) return false;
  int index = 0;
  while (index < keyCount && key != kKeyNames[index]) ++index;
  if (index == keyCount) return false;
  out->key = static_cast<TSettingsKey>(index);
  bool valid = false;
  switch (out->key) {
    case TSettingsKey::PowerAction: valid = IsByteText(value) && TextToInt(value) <= 2; break;
    case TSettingsKey::ForcePower:
    case TSettingsKey::FontAutosize:
    case TSettingsKey::WarningSound:
    case TSettingsKey::EventLog: valid = IsBoolText(value); break;
    case TSettingsKey::CancelTime:
    case TSettingsKey::DelayTime: valid = IsByteText(value); break;
    case TSettingsKey::BackgroundColor:
    case TSettingsKey::TextColor: valid = IsColorText(value); break;
    case TSettingsKey::FontSize: valid = IsIntInRange(value, 6, 72); break;
    case TSettingsKey::CriticalBattery: valid = IsIntInRange(value, 0, 100); break;
    case TSettingsKey::LngFile: out->text = value; return IsLengthInRange(value, 1, 16);
    case TSettingsKey::InitialSlotIndex: valid = IsWordText(value); break;
    case TSettingsKey::Unknown: break;
  }
  out->number = static_cast<uint32_t>(TextToInt(value));
  return valid;
}

// Stores a value of a key that both records hold; false for the others.
bool StoreCommonValue(TSettingsBase& settings, const TSettingsValue& value) {
  switch (value.key) {
    case TSettingsKey::ForcePower: settings.force_power = value.number != 0; return true;
    case TSettingsKey::CancelTime:
      settings.cancel_time = static_cast<uint8_t>(value.number);
      return true;
    case TSettingsKey::DelayTime:
      settings.delay_time = static_cast<uint8_t>(value.number);
      return true;
    case TSettingsKey::BackgroundColor: settings.background_color = value.number; return true;
    case TSettingsKey::TextColor: settings.text_color = value.number; return true;
    case TSettingsKey::FontSize:
      settings.font_size = static_cast<uint8_t>(value.number);
      return true;
    case TSettingsKey::FontAutosize: settings.font_autosize = value.number != 0; return true;
    case TSettingsKey::LngFile: settings.lng_file = value.text; return true;
    case TSettingsKey::CriticalBattery:
      settings.critical_battery = static_cast<uint8_t>(value.number);
      return true;
    case TSettingsKey::WarningSound: settings.warning_sound = value.number != 0; return true;
    case TSettingsKey::EventLog: settings.event_log = value.number != 0; return true;
    default: return false;
  }
}

// Windows-1251 letters in 0x80..0xBF that differ from ISO 8859-1.
struct TCyrillicException {
  unsigned char byte;
  wchar_t unit;
};
const TCyrillicException kCyrillicExceptions[] = {
    {0xA1, 0x040E}, {0xA2, 0x045E}, {0xA5, 0x0490}, {0xA8, 0x0401}, {0xAA, 0x0404},
    {0xAF, 0x0407}, {0xB2, 0x0406}, {0xB3, 0x0456}, {0xB4, 0x0491}, {0xB8, 0x0451},
    {0xB9, 0x2116}, {0xBA, 0x0454}, {0xBF, 0x0457}};

wchar_t DecodeCyrillicByte(unsigned char byte) {
  if (byte >= 0xC0) return static_cast<wchar_t>(byte + 0x350);
  for (const TCyrillicException& e : kCyrillicExceptions) {
    if (e.byte == byte) return e.unit;
  }
  return static_cast<wchar_t>(byte);
}

}  // namespace

uint32_t PowerStateOfAction(uint8_t actionIndex) {
  switch (actionIndex) {
    case 1: return POWER_STATE_OFF;
    case 2: return POWER_STATE_RESET;
    default: return POWER_STATE_SUSPEND;
  }
}

std::wstring DecodeCyrillic8Bit(const std::string& line) {
  std::wstring text;
  text.reserve(line.size());
  for (char c : line) text.push_back(DecodeCyrillicByte(static_cast<unsigned char>(c)));
  return text;
}

void LoadSettingsLine(TSettings& settings, int, const std::string& line) {
  TSettingsValue value;
  if (!ReadSettingsValue(line, true, &value) || StoreCommonValue(settings, value)) return;
  if (value.key == TSettingsKey::PowerAction) {
    settings.power_action = static_cast<uint8_t>(value.number);
  } else if (value.key == TSettingsKey::InitialSlotIndex) {
    settings.initial_slot_index = static_cast<uint16_t>(value.number);
  }
}

void LoadSettingsLine(TMonitorSettings& settings, int, const std::string& line) {
  TSettingsValue value;
  if (!ReadSettingsValue(line, false, &value) || StoreCommonValue(settings, value)) return;
  if (value.key == TSettingsKey::PowerAction) {
    settings.power_action = PowerStateOfAction(static_cast<uint8_t>(value.number));
  }
}

std::wstring FormatSettingsText(const TSettings& settings) {
  // Every value here is at most 2147483647 (a colour's limit).
  auto number = [](uint32_t value) { return IntToText(static_cast<int32_t>(value)); };
  const std::wstring lines[] = {
      L"[Common]",
      L"power_action=" + number(settings.power_action),
      L"force_power=" + number(settings.force_power ? 1 : 0),
      L"cancel_time=" + number(settings.cancel_time),
      L"delay_time=" + number(settings.delay_time),
      L"critical_battery=" + number(settings.critical_battery),
      L"warning_sound=" + number(settings.warning_sound ? 1 : 0),
      L"event_log=" + number(settings.event_log ? 1 : 0),
      L"",
      L"[View]",
      L"background_color=" + number(settings.background_color),
      L"text_color=" + number(settings.text_color),
      L"font_size=" + number(settings.font_size),
      L"font_autosize=" + number(settings.font_autosize ? 1 : 0),
      L"",
      L"[Language]",
      L"lng_file=" + settings.lng_file,
      L"",
      L"[Launch]",
      L"initial_slot_index=" + number(settings.initial_slot_index),
  };
  std::wstring text = lines[0];
  for (size_t i = 1; i < sizeof lines / sizeof lines[0]; ++i) text += L"\r\n" + lines[i];
  return text;
}
