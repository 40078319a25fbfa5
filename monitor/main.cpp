// vorlix.exe: the resident power monitor. No window while idle; the overlay
// appears only while a countdown runs.
#include "monitor/monitor.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CreateMonitorWindow(theMonitor, nullptr);
  // Creates the hidden window and runs the loop until the form closes or a
  // failed start-up step posted WM_QUIT; then releases the form and the monitor.
  TControl* frmMain = GetMainForm();
  RunApplication(&frmMain);
  return 0;
}
