// The line splitter and the settings reader of both programs against models
// written from the file's rules (reference.h): the splitter hands on the
// model's lines; after every one of them both records hold what the model
// holds; and what the writer makes of a record reads back the same.
#include <string>
#include <vector>

#include "shared/lines.h"
#include "shared/settings.h"
#include "tests/fuzz/fuzz_common.h"
#include "tests/fuzz/reference.h"

namespace {

// The inverse of the file's table, as a Windows-1251 device writes.
std::string EncodeCyrillic8Bit(const std::wstring& text) {
  std::string bytes;
  for (wchar_t unit : text) {
    char byte = '?';
    for (int b = 0; b < 256; ++b) {
      if (reference::DecodeSettingsByte(static_cast<unsigned char>(b)) == unit)
        byte = static_cast<char>(b);
    }
    bytes.push_back(byte);
  }
  return bytes;
}

bool SameCommon(const TSettingsBase& record, const reference::Settings& model) {
  return record.force_power == model.force_power && record.cancel_time == model.cancel_time &&
         record.delay_time == model.delay_time &&
         record.background_color == model.background_color &&
         record.text_color == model.text_color && record.font_size == model.font_size &&
         record.font_autosize == model.font_autosize && record.lng_file == model.lng_file;
}

bool SameSetup(const TSettings& record, const reference::Settings& model) {
  return SameCommon(record, model) && record.power_action == model.power_action &&
         record.initial_slot_index == model.initial_slot_index;
}

bool SameMonitor(const TMonitorSettings& record, const reference::Settings& model) {
  return SameCommon(record, model) &&
         record.power_action == reference::PowerStateOf(model.power_action);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const reference::Lines lines = reference::SplitLines(std::string(text, size));

  // The splitter hands on the model's lines with their numbers, whole or in two
  // pieces cut anywhere.
  reference::Lines whole, pieces;
  SplitTextLines(text, size, [&](int n, const std::string& line) { whole.emplace_back(n, line); });
  FUZZ_CHECK(whole == lines);
  const size_t cut = size ? data[size - 1] % (size + 1) : 0;
  auto collect = [&](int n, const std::string& line) { pieces.emplace_back(n, line); };
  TLineSplit split;
  if (FeedTextLines(split, text, cut, collect))
    FeedTextLines(split, text + cut, size - cut, collect);
  FinishTextLines(split, collect);
  FUZZ_CHECK(pieces == lines);

  // After every line both records hold what the model holds.
  TSettings setup;
  TMonitorSettings monitor;
  reference::Settings setupModel, monitorModel;
  for (const auto& numbered : lines) {
    LoadSettingsLine(setup, numbered.first, numbered.second);
    LoadSettingsLine(monitor, numbered.first, numbered.second);
    reference::LoadLine(setupModel, numbered.second, true);
    reference::LoadLine(monitorModel, numbered.second, false);
    FUZZ_CHECK(SameSetup(setup, setupModel));
    FUZZ_CHECK(SameMonitor(monitor, monitorModel));
  }

  // What the writer makes of the record reads back to the same record.
  const reference::Lines written =
      reference::SplitLines(EncodeCyrillic8Bit(FormatSettingsText(setup)));
  TSettings setupAgain;
  TMonitorSettings monitorAgain;
  for (const auto& numbered : written) {
    LoadSettingsLine(setupAgain, numbered.first, numbered.second);
    LoadSettingsLine(monitorAgain, numbered.first, numbered.second);
  }
  FUZZ_CHECK(SameSetup(setupAgain, setupModel));
  reference::Settings monitorWritten = setupModel;
  monitorWritten.initial_slot_index = 200;
  FUZZ_CHECK(SameMonitor(monitorAgain, monitorWritten));
  return 0;
}
