// Power actions of the settings application are only ever recorded here, in a
// log of the tests' own, whatever the environment the tests were started from says.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

int main(int argc, char** argv) {
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG",
                          (std::wstring(temp) + L"vorlix-test-setup-power.log").c_str());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
