// Saves two different settings files in turn, forever, with the programs' own
// writer; the save-kill test terminates it at random moments.
//   save_loop.exe PATH
#include <windows.h>

#include "shared/files.h"
#include "shared/settings.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  TSettings first;
  TSettings second;
  second.power_action = 2;
  second.cancel_time = 255;
  second.lng_file = L"deutsch.lng";
  second.initial_slot_index = 65530;
  const std::string texts[] = {ToAnsiTextLossy(FormatSettingsText(first)),
                               ToAnsiTextLossy(FormatSettingsText(second))};
  for (unsigned i = 0;; ++i) {
    if (!WriteTextFile(argv[1], texts[i % 2])) return 1;
  }
}
