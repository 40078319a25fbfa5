// The settings record, the reader of "vorlix.ini" and the file's layout.
// Portable C++: the 8-bit file text is decoded through a fixed Cyrillic table.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ce/power_states.h"

// The files both programs know, side by side in the programs' folder.
extern const wchar_t kSettingsFileName[];  // "vorlix.ini"
extern const wchar_t kMonitorFileName[];   // "vorlix.exe"
extern const wchar_t kEventLogFileName[];  // "vorlix.log", the monitor's event log

// What both programs keep of the file, with the defaults they start from.
struct TSettingsBase {
  bool force_power = false;
  uint8_t cancel_time = 10;              // seconds of the cancellable countdown
  uint8_t delay_time = 2;                // seconds before the countdown
  uint32_t background_color = 0x00FF00;  // COLORREF 0x00BBGGRR, green
  uint32_t text_color = 0;               // black
  uint8_t font_size = 8;                 // 6 to 72
  bool font_autosize = true;
  std::wstring lng_file;  // language pack file name, no folder
  // The battery percent at or below which the monitor counts down on battery,
  // 1 to 100; 0 never.
  uint8_t critical_battery = 0;
  bool warning_sound = false;  // a beep as the notice shows and in its last three seconds
  bool event_log = false;      // the monitor records what it does in "vorlix.log"
};

// The settings application's record: the action as its index, and the first
// start-up slot tried.
struct TSettings : TSettingsBase {
  uint8_t power_action = 0;  // 0 suspend, 1 turn off, 2 restart
  uint16_t initial_slot_index = 200;
};

// The monitor's record: the action as the power state handed to the platform.
struct TMonitorSettings : TSettingsBase {
  uint32_t power_action = POWER_STATE_SUSPEND;
};

// The power state for an action index 0, 1, 2 (suspend, turn off, restart).
uint32_t PowerStateOfAction(uint8_t actionIndex);

// UTF-16 text of an 8-bit line by the fixed table (Windows-1251's Cyrillic part
// laid over ISO 8859-1).
std::wstring DecodeCyrillic8Bit(const std::string& line);

// Per-line readers for ReadTextLines: apply one raw line of "vorlix.ini".
// A line without a known key and a valid value changes nothing.
void LoadSettingsLine(TSettings& settings, int lineNumber, const std::string& line);
void LoadSettingsLine(TMonitorSettings& settings, int lineNumber, const std::string& line);

// The 20 lines of "vorlix.ini" as the settings application writes them, joined
// by CR LF with none after the last. UTF-16; the writer converts it to the ANSI
// code page.
std::wstring FormatSettingsText(const TSettings& settings);
