#include "setup/registry.h"

#include <gtest/gtest.h>

#include "tests/setup/init_key.h"

namespace {

const std::wstring kExe = L"C:\\Program Files\\Vorlix\\vorlix.exe";

class SetupStartupEntry : public ::testing::Test {
 protected:
  InitKeyFixture init;
};

struct TSlotCase {
  const char* title;
  uint16_t firstSlot;
  std::vector<std::wstring> taken;
  const wchar_t* expected;
};

TEST_F(SetupStartupEntry, AddTakesTheFirstFreeSlotInStepsOfTen) {
  const TSlotCase cases[] = {
      {"free first slot", 200, {}, L"Launch200"},
      {"taken by another program", 200, {L"Launch200"}, L"Launch210"},
      {"two taken", 200, {L"Launch200", L"Launch210", L"Launch205"}, L"Launch220"},
      {"wraps at 16 bits", 65530, {L"Launch65530"}, L"Launch4"},
      {"slot 0", 0, {}, L"Launch0"},
  };
  for (const TSlotCase& c : cases) {
    init.Empty();
    for (const std::wstring& name : c.taken) init.PutString(name, L"\\Windows\\other.exe");
    std::wstring used;
    ASSERT_TRUE(AddStartupEntry(kExe, &used, c.firstSlot)) << c.title;
    EXPECT_EQ(c.expected, used) << c.title;
    EXPECT_EQ(kExe, init.Strings()[c.expected]) << c.title;
    for (const std::wstring& name : c.taken) {
      EXPECT_EQ(L"\\Windows\\other.exe", init.Strings()[name]) << c.title << ": left alone";
    }
  }
}

TEST_F(SetupStartupEntry, FindMatchesTheDataIgnoringAsciiCase) {
  init.PutString(L"Launch50", L"\\Windows\\explorer.exe");
  init.PutString(L"Launch90", L"c:\\PROGRAM FILES\\vorlix\\VORLIX.EXE");
  std::wstring name;
  ASSERT_TRUE(FindStartupEntry(kExe, &name));
  EXPECT_EQ(L"Launch90", name);
  EXPECT_FALSE(FindStartupEntry(L"C:\\Program Files\\Vorlix\\vorlix.ex", &name));
}

TEST_F(SetupStartupEntry, OtherValueTypesAreNeverTakenForAnEntry) {
  // Data that spells the path, but as REG_EXPAND_SZ and REG_BINARY.
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, KEY_ALL_ACCESS, &key));
  const BYTE* data = reinterpret_cast<const BYTE*>(kExe.c_str());
  DWORD size = static_cast<DWORD>((kExe.size() + 1) * 2);
  RegSetValueExW(key, L"Launch200", 0, REG_EXPAND_SZ, data, size);
  RegSetValueExW(key, L"Launch210", 0, REG_BINARY, data, size);
  RegCloseKey(key);
  init.PutDword(L"Depend200", 0x14);

  std::wstring name;
  EXPECT_FALSE(FindStartupEntry(kExe, &name));
  ASSERT_TRUE(AddStartupEntry(kExe, &name, 200));
  EXPECT_EQ(L"Launch220", name);
  ASSERT_TRUE(FindStartupEntry(kExe, &name));
  EXPECT_EQ(L"Launch220", name);
}

TEST_F(SetupStartupEntry, TwoEntriesFindTheFirstAndRemoveOnlyTheNamedOne) {
  init.PutString(L"Launch200", kExe);
  init.PutString(L"Launch300", kExe);
  std::wstring name;
  ASSERT_TRUE(FindStartupEntry(kExe, &name));
  EXPECT_EQ(L"Launch200", name);
  EXPECT_TRUE(RemoveStartupEntry(name));
  ASSERT_TRUE(FindStartupEntry(kExe, &name));
  EXPECT_EQ(L"Launch300", name);
  EXPECT_FALSE(RemoveStartupEntry(L"Launch200"));
}

TEST_F(SetupStartupEntry, ALongValueNameDoesNotHideTheEntriesAfterIt) {
  // Sorted before "Launch200" in the enumeration.
  init.PutString(std::wstring(300, L'A'), L"\\Windows\\other.exe");
  init.PutString(L"Launch200", kExe);
  TRegistryObjectList values;
  ASSERT_TRUE(ListRegistryValues(HKEY_LOCAL_MACHINE, L"Init", &values));
  ASSERT_EQ(1u, values.size());
  EXPECT_EQ(L"Launch200", values[0].name);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), values[0].type);
  std::wstring name;
  EXPECT_TRUE(FindStartupEntry(kExe, &name));
}

TEST_F(SetupStartupEntry, WithoutTheKeyNothingIsFoundAndNothingIsCreated) {
  init.RemoveKey();
  std::wstring name;
  EXPECT_FALSE(FindStartupEntry(kExe, &name));
  EXPECT_FALSE(AddStartupEntry(kExe, &name, 200));
  EXPECT_FALSE(RemoveStartupEntry(L"Launch200"));
  TRegistryObjectList values = {{L"stale", REG_SZ}};
  EXPECT_FALSE(ListRegistryValues(HKEY_LOCAL_MACHINE, L"Init", &values));
  EXPECT_TRUE(values.empty());
  HKEY key;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, KEY_READ, &key));
}

TEST_F(SetupStartupEntry, ReadRegistryStringFillsTheTextOnlyForStrings) {
  init.PutString(L"Text", L"abc");
  init.PutDword(L"Number", 7);
  std::wstring text = L"unchanged";
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, L"Init", L"Number", &text));
  EXPECT_EQ(L"unchanged", text);
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, L"Init", L"Text", &text));
  EXPECT_EQ(L"abc", text);
  EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, L"Init", L"Missing", &text));
  EXPECT_TRUE(RegistryValueExists(HKEY_LOCAL_MACHINE, L"Init", L"Number"));
  EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, L"Init", L"Missing"));
}

TEST_F(SetupStartupEntry, StringsStoredWithoutTheirNulReadWhole) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Init", 0, KEY_ALL_ACCESS, &key));
  RegSetValueExW(key, L"Launch70", 0, REG_SZ, reinterpret_cast<const BYTE*>(kExe.c_str()),
                 static_cast<DWORD>(kExe.size() * 2));
  RegCloseKey(key);
  std::wstring name;
  ASSERT_TRUE(FindStartupEntry(kExe, &name));
  EXPECT_EQ(L"Launch70", name);
}

}  // namespace
