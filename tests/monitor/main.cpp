// The monitor's tests run on Xvfb, which has no window manager. Wine treats a
// full-screen window as managed and, each time it hides one, waits two seconds
// for a window manager that never answers. Unmanaged, the overlay hides at once,
// as it does on a device; the setting applies to this test program only.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/power_standin.h"

int main(int argc, char** argv) {
  if (RunningUnderWine()) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\test_monitor.exe\\X11 Driver",
                    L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
