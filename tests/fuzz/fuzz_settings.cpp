// The settings reader of both programs against a model of the record written
// from the file's rules (reference.h): after every line both records hold what
// the model holds; and what the writer makes of a record reads back the same.
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
  TSettings setup;
  TMonitorSettings monitor;
  reference::Settings setupModel, monitorModel;
  SplitTextLines(reinterpret_cast<const char*>(data), size, [&](int n, const std::string& line) {
    LoadSettingsLine(setup, n, line);
    LoadSettingsLine(monitor, n, line);
    reference::LoadLine(setupModel, line, true);
    reference::LoadLine(monitorModel, line, false);
    FUZZ_CHECK(SameSetup(setup, setupModel));
    FUZZ_CHECK(SameMonitor(monitor, monitorModel));
  });

  // What the writer makes of the record reads back to the same record.
  std::string file = EncodeCyrillic8Bit(FormatSettingsText(setup));
  TSettings setupAgain;
  TMonitorSettings monitorAgain;
  SplitTextLines(file.data(), file.size(), [&](int n, const std::string& line) {
    LoadSettingsLine(setupAgain, n, line);
    LoadSettingsLine(monitorAgain, n, line);
  });
  FUZZ_CHECK(SameSetup(setupAgain, setupModel));
  reference::Settings monitorWritten = setupModel;
  monitorWritten.initial_slot_index = 200;
  FUZZ_CHECK(SameMonitor(monitorAgain, monitorWritten));
  return 0;
}
