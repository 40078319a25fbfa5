// vorlix-setup.exe: the settings application.
#include <windows.h>

#include "setup/settings_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  InitializeSetupState();
  TSettingsWindow* window = nullptr;
  CreateSettingsWindow(&window, nullptr);
  // Releases the form, and with it every control and the holder object.
  TControl* form = window->frmMain;
  RunApplication(&form);
  FinalizeSetupState();
  return 0;
}
