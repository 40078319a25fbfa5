// Test entry point. Under Xvfb there is no window manager, and Wine waits two
// seconds for one to withdraw every managed window that is hidden or destroyed.
// This program's windows are therefore unmanaged (a Wine setting for this
// executable alone). The driver reads it when the process starts, so it applies
// from the next run on; CTest lists the tests in a run of its own first.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

void UseUnmanagedWindows() {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\test_winobj.exe\\X11 Driver", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const wchar_t kNo[] = L"N";
  RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
  RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
  UseUnmanagedWindows();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
