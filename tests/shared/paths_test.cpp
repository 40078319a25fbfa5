#include "shared/paths.h"

#include <gtest/gtest.h>

TEST(Paths, ParentDirectory) {
  EXPECT_EQ(L"\\Program Files\\Vorlix", ParentDirectory(L"\\Program Files\\Vorlix\\vorlix.exe"));
  EXPECT_EQ(L"", ParentDirectory(L"\\vorlix.exe"));
  EXPECT_EQ(L"vorlix.exe", ParentDirectory(L"vorlix.exe"));
  EXPECT_EQ(L"\\A\\B", ParentDirectory(L"\\A\\B\\"));
  EXPECT_EQ(L"C:\\A", ParentDirectory(L"C:\\A\\\\file"));
}

TEST(Paths, FileExtension) {
  EXPECT_EQ(L"lng", FileExtension(L"russian.lng"));
  EXPECT_EQ(L"", FileExtension(L"name."));
  EXPECT_EQ(L"profile", FileExtension(L".profile"));
  EXPECT_EQ(L"", FileExtension(L"noext"));
  EXPECT_EQ(L"d\\file", FileExtension(L"a.d\\file"));  // the scan does not stop at "\"
  EXPECT_EQ(L"bak", FileExtension(L"pack.lng.bak"));
}

TEST(Paths, StripTrailingBackslashes) {
  EXPECT_EQ(L"\\A", StripTrailingBackslashes(L"\\A\\\\"));
  EXPECT_EQ(L"", StripTrailingBackslashes(L"\\"));
  EXPECT_EQ(L"A", StripTrailingBackslashes(L"A"));
}
