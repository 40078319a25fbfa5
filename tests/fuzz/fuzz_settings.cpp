// The settings reader and writer: written records read back to the same values in
// both programs' records, and a value that fails its check never changes a record.
#include "shared/lines.h"
#include "shared/settings.h"
#include "shared/text.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

// The inverse of the fixed Cyrillic table, as a Windows-1251 device writes.
std::string EncodeCyrillic8Bit(const std::wstring& text) {
  static const std::wstring decoded = [] {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    return DecodeCyrillic8Bit(all);
  }();
  std::string bytes;
  for (wchar_t unit : text) {
    size_t at = decoded.find(unit);
    bytes.push_back(at == std::wstring::npos ? '?' : static_cast<char>(at));
  }
  return bytes;
}

bool SameValues(const TSettingsBase& a, const TSettingsBase& b) {
  return a.force_power == b.force_power && a.cancel_time == b.cancel_time &&
         a.delay_time == b.delay_time && a.background_color == b.background_color &&
         a.text_color == b.text_color && a.font_size == b.font_size &&
         a.font_autosize == b.font_autosize && a.lng_file == b.lng_file;
}

bool SameSetup(const TSettings& a, const TSettings& b) {
  return SameValues(a, b) && a.power_action == b.power_action &&
         a.initial_slot_index == b.initial_slot_index;
}

// Whether value passes the check of key, by the documented table.
bool PassesCheck(const std::wstring& key, const std::wstring& value) {
  if (key == L"power_action") return IsByteText(value) && TextToInt(value) <= 2;
  if (key == L"force_power" || key == L"font_autosize") return IsBoolText(value);
  if (key == L"cancel_time" || key == L"delay_time") return IsByteText(value);
  if (key == L"background_color" || key == L"text_color") return IsColorText(value);
  if (key == L"font_size") return IsIntInRange(value, 6, 72);
  if (key == L"lng_file") return IsLengthInRange(value, 1, 16);
  if (key == L"initial_slot_index") return IsWordText(value);
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSettings setup;
  TMonitorSettings monitor;
  SplitTextLines(reinterpret_cast<const char*>(data), size, [&](int n, const std::string& line) {
    TSettings before = setup;
    TMonitorSettings monitorBefore = monitor;
    LoadSettingsLine(setup, n, line);
    LoadSettingsLine(monitor, n, line);
    std::wstring key, value;
    bool split = SplitKeyValue(DecodeCyrillic8Bit(line), &key, &value);
    if (!split || !PassesCheck(key, value)) {
      FUZZ_CHECK(SameSetup(before, setup));
      FUZZ_CHECK(SameValues(monitorBefore, monitor) && monitorBefore.power_action == monitor.power_action);
    }
  });
  // Both records agree on everything they share.
  FUZZ_CHECK(SameValues(setup, monitor));
  FUZZ_CHECK(monitor.power_action == PowerStateOfAction(setup.power_action));

  // What the writer makes of the record reads back to the same record.
  std::string file = EncodeCyrillic8Bit(FormatSettingsText(setup));
  TSettings setupAgain;
  TMonitorSettings monitorAgain;
  SplitTextLines(file.data(), file.size(), [&](int n, const std::string& line) {
    LoadSettingsLine(setupAgain, n, line);
    LoadSettingsLine(monitorAgain, n, line);
  });
  if (setup.lng_file.empty()) {
    // An empty name is written as "lng_file=" and ignored on reading: the default stays.
    FUZZ_CHECK(setupAgain.lng_file.empty());
  }
  FUZZ_CHECK(SameSetup(setup, setupAgain));
  FUZZ_CHECK(SameValues(monitor, monitorAgain) && monitor.power_action == monitorAgain.power_action);
  return 0;
}
