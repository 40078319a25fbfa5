// Saves two different settings files in turn, forever, with the programs' own
// writer; the save-kill test terminates it at random moments.
//   save_loop.exe PATH
#include <windows.h>

#include "shared/files.h"
#include "tests/tools/settings_versions.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::string texts[2];
  SettingsVersions(texts);
  for (unsigned i = 0;; ++i) {
    if (!WriteTextFile(argv[1], texts[i % 2])) return 1;
  }
}
