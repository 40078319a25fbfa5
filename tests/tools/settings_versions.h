// The two settings files that the save-kill test alternates between.
#pragma once

#include <string>

#include "shared/files.h"
#include "shared/settings.h"

inline void SettingsVersions(std::string versions[2]) {
  TSettings second;
  second.power_action = 2;
  second.cancel_time = 255;
  second.lng_file = L"deutsch.lng";
  second.initial_slot_index = 65530;
  versions[0] = ToAnsiTextLossy(FormatSettingsText(TSettings()));
  versions[1] = ToAnsiTextLossy(FormatSettingsText(second));
}
