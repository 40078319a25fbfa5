#include "setup/language_packs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "shared/files.h"
#include "tests/support/temp_folder.h"

namespace {

// Display name by file name; the listing order is the platform's.
std::map<std::wstring, std::wstring> ByFileName(const TLanguageObjectList& list) {
  std::map<std::wstring, std::wstring> names;
  for (const TLanguageObject& pack : list) names[pack.fileName] = pack.displayName;
  return names;
}

// Where the ANSI code page is UTF-8 the packs of a folder that no 8-bit code
// page can name are listed; a pack whose name lng_file cannot carry back through
// the file's Cyrillic table still is not. tests/e2e/utf8_code_page.sh runs this
// under such a code page.
TEST(Utf8AnsiCodePage, PacksAreListedInAnyFolder) {
  if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  TempFolder folder;
  const std::wstring sub =
      folder.File(L"\u03A9\u03BC\u03AD\u03B3\u03B1 \u041F\u0430\u043F\u043A\u0430");
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  ASSERT_TRUE(WriteTextFile(sub + L"\\deutsch.lng", "Deutsch\naction=x"));
  ASSERT_TRUE(WriteTextFile(sub + L"\\\u0444.lng", "Cyrillic\naction=x"));
  TLanguageObjectList list;
  DiscoverLanguagePacks(sub, &list);
  EXPECT_EQ((std::map<std::wstring, std::wstring>{{L"deutsch.lng", L"Deutsch"}}), ByFileName(list));
}

TEST(SetupLanguagePacks, FindsLngFilesInAnyCaseOnly) {
  TempFolder folder;
  folder.Write(L"lower.lng", "Lower\r\nsuspend=x\r\n");
  folder.Write(L"UPPER.LNG", "Upper");
  folder.Write(L"Mixed.LnG", "Mixed");
  folder.Write(L"backup.lng.bak", "Backup");
  folder.Write(L"lng", "No dot");
  folder.Write(L"notes.txt", "Notes");
  CreateDirectoryW(folder.File(L"folder.lng").c_str(), nullptr);
  TLanguageObjectList list = {{L"stale", L"stale.lng"}};
  DiscoverLanguagePacks(folder.path(), &list);
  std::map<std::wstring, std::wstring> expected = {
      {L"lower.lng", L"Lower"}, {L"UPPER.LNG", L"Upper"}, {L"Mixed.LnG", L"Mixed"}};
  EXPECT_EQ(expected, ByFileName(list));
}

// lng_file holds 1 to 16 characters, cut at ";" and trimmed, and goes through the
// ANSI code page and back through the fixed Cyrillic table: a pack whose name
// does not come back whole would be saved and never found by the monitor.
TEST(SetupLanguagePacks, PacksTheMonitorCouldNotFindAreLeftOut) {
  TempFolder folder;
  const wchar_t* listed[] = {L"sixteen_char.lng", L"a.lng", L"two words.lng"};
  const wchar_t* left[] = {L"seventeen_chars.lng", L"semi;colon.lng", L"café.lng"};
  for (const wchar_t* name : listed) folder.Write(name, "Pack");
  for (const wchar_t* name : left) folder.Write(name, "Pack");
  TLanguageObjectList list;
  DiscoverLanguagePacks(folder.path(), &list);
  std::map<std::wstring, std::wstring> expected;
  for (const wchar_t* name : listed) expected[name] = L"Pack";
  EXPECT_EQ(expected, ByFileName(list));

  EXPECT_TRUE(FitsLngFile(std::wstring(16, L'x')));
  EXPECT_FALSE(FitsLngFile(std::wstring(17, L'x')));
  EXPECT_FALSE(FitsLngFile(L""));
  EXPECT_FALSE(FitsLngFile(L" lead.lng"));  // trimmed on the way back
  EXPECT_FALSE(FitsLngFile(L"中.lng"));     // outside the code page
  // A line end or a Ctrl-Z would cut the settings file at lng_file.
  EXPECT_FALSE(FitsLngFile(L"a\nb.lng"));
  EXPECT_FALSE(FitsLngFile(std::wstring(L"a") + L'\x1A' + L"b.lng"));
}

std::string Repeat(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

struct TFirstLineCase {
  const char* title;
  std::string firstLine;
  bool listed;
  std::wstring displayName;
};

TEST(SetupLanguagePacks, FirstLineRules) {
  const TFirstLineCase cases[] = {
      {"64 units", std::string(64, 'a'), true, std::wstring(64, L'a')},
      {"65 units, trimmed or not", " " + std::string(63, 'a') + " ", false, L""},
      {"blanks only", "   ", true, L""},
      {"trimmed", "  Deutsch\t", true, L"Deutsch"},
      {"byte order mark",
       "\xEF\xBB\xBF"
       "Deutsch",
       true, L"Deutsch"},
      {"Cyrillic", "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", true,
       L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"},
      {"64 Cyrillic letters", Repeat("\xD0\x96", 64), true, std::wstring(64, L'\u0416')},
      {"65 Cyrillic letters", Repeat("\xD0\x96", 65), false, L""},
      {"empty first line", "\r\naction=x", false, L""},
      {"empty file", "", false, L""},
      {"Windows-1251 instead of UTF-8", "\xD0\xF3\xF1\xF1\xEA\xE8\xE9", false, L""},
  };
  for (const TFirstLineCase& c : cases) {
    TempFolder folder;
    folder.Write(L"pack.lng", c.firstLine);
    TLanguageObjectList list;
    DiscoverLanguagePacks(folder.path(), &list);
    ASSERT_EQ(c.listed ? 1u : 0u, list.size()) << c.title;
    if (c.listed) {
      EXPECT_EQ(c.displayName, list[0].displayName) << c.title;
      EXPECT_EQ(L"pack.lng", list[0].fileName) << c.title;
    }
  }
}

TEST(SetupLanguagePacks, SameDisplayNameTwiceKeepsEachFileName) {
  TempFolder folder;
  folder.Write(L"a.lng", "Deutsch");
  folder.Write(L"b.lng", "Deutsch");
  TLanguageObjectList list;
  DiscoverLanguagePacks(folder.path(), &list);
  std::map<std::wstring, std::wstring> expected = {{L"a.lng", L"Deutsch"}, {L"b.lng", L"Deutsch"}};
  EXPECT_EQ(expected, ByFileName(list));
}

TEST(SetupLanguagePacks, AMissingFolderLeavesTheListEmpty) {
  TempFolder folder;
  TLanguageObjectList list = {{L"stale", L"stale.lng"}};
  DiscoverLanguagePacks(folder.File(L"missing"), &list);
  EXPECT_TRUE(list.empty());
}

TEST(SetupLanguagePacks, SelectionFoldsAsciiCaseAndTakesTheFirstMatch) {
  const TLanguageObjectList list = {
      {L"One", L"Deutsch.lng"}, {L"Two", L"DEUTSCH.LNG"}, {L"Three", L"russian.lng"}};
  EXPECT_EQ(0, FindLanguagePack(list, L"deutsch.lng"));
  EXPECT_EQ(0, FindLanguagePack(list, L"DEUTSCH.lng"));
  EXPECT_EQ(2, FindLanguagePack(list, L"Russian.LNG"));
  EXPECT_EQ(-1, FindLanguagePack(list, L"russian"));
  EXPECT_EQ(-1, FindLanguagePack(list, L""));
  EXPECT_EQ(-1, FindLanguagePack({}, L"deutsch.lng"));
}

}  // namespace
