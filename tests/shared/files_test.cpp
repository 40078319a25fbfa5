#include "shared/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

using TLines = std::vector<std::pair<int, std::string>>;

TLines ReadLines(const std::wstring& path, bool* ok) {
  TLines lines;
  *ok = ReadTextLines(path, [&lines](int number, const std::string& line) {
    lines.emplace_back(number, line);
  });
  return lines;
}

struct TLineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(ReadTextLines, LineEnds) {
  const TLineCase cases[] = {
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF", "a\nb\n", {"a", "b"}},
      {"lone CR", "a\rb", {"a", "b"}},
      {"no end on the last line", "a\r\nlast", {"a", "last"}},
      {"empty lines", "\r\n\n\r", {"", "", ""}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"Ctrl-Z inside a line", "first\r\nsec\x1Aond\r\nthird", {"first", "sec"}},
      {"Ctrl-Z at a line start", "first\r\n\x1Arest", {"first"}},
      {"empty file", "", {}},
      {"NUL bytes stay", std::string("a\0b", 3), {std::string("a\0b", 3)}},
  };
  TempFolder folder;
  for (const TLineCase& c : cases) {
    bool ok = false;
    TLines lines = ReadLines(folder.Write(L"lines.txt", c.bytes), &ok);
    EXPECT_TRUE(ok) << c.name;
    ASSERT_EQ(c.lines.size(), lines.size()) << c.name;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(static_cast<int>(i), lines[i].first) << c.name;
      EXPECT_EQ(c.lines[i], lines[i].second) << c.name;
    }
  }
}

TEST(ReadTextLines, FailsWithoutAFileOrHandler) {
  TempFolder folder;
  bool ok = true;
  EXPECT_TRUE(ReadLines(folder.File(L"missing.txt"), &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(ReadLines(folder.path(), &ok).empty());  // a folder is no file
  EXPECT_FALSE(ok);
  EXPECT_FALSE(ReadTextLines(folder.Write(L"x.txt", "x"), TLineHandler()));
}

TEST(ReadTextLines, PathsBeyondTheAnsiLimitFail) {
  TempFolder folder;
  std::wstring longName(255 - folder.path().size() - 1, L'n');
  std::wstring fits = folder.Write(longName, "ok");
  ASSERT_EQ(255u, fits.size());
  bool ok = false;
  EXPECT_EQ(1u, ReadLines(fits, &ok).size());
  EXPECT_TRUE(ok);

  std::wstring tooLong = folder.Write(longName + L"n", "ok");
  EXPECT_TRUE(IsFile(tooLong));
  EXPECT_TRUE(ReadLines(tooLong, &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(ReadTextLines, NamesOutsideTheAnsiCodePageFail) {
  TempFolder folder;
  std::wstring path = folder.Write(L"\u4E2D\u6587.txt", "text");  // not in any Western code page
  ASSERT_TRUE(IsFile(path));
  bool ok = true;
  EXPECT_TRUE(ReadLines(path, &ok).empty());
  EXPECT_FALSE(ok);
  std::string line;
  EXPECT_FALSE(ReadFirstLine(path, &line));
  EXPECT_FALSE(WriteTextFile(path, "new"));
  EXPECT_EQ("text", folder.Read(L"\u4E2D\u6587.txt"));
}

TEST(ReadFirstLine, ReadsOneLine) {
  TempFolder folder;
  std::string line = "stale";
  EXPECT_TRUE(ReadFirstLine(folder.Write(L"a.lng", "Deutsch\r\naction=x"), &line));
  EXPECT_EQ("Deutsch", line);
  EXPECT_TRUE(ReadFirstLine(folder.Write(L"empty.lng", ""), &line));
  EXPECT_EQ("", line);
  line = "kept";
  EXPECT_FALSE(ReadFirstLine(folder.File(L"missing.lng"), &line));
  EXPECT_EQ("kept", line);
}

TEST(FileTests, FilesAndFolders) {
  TempFolder folder;
  std::wstring file = folder.Write(L"f.txt", "");
  EXPECT_TRUE(IsFile(file));
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_TRUE(IsDirectory(folder.path()));
  EXPECT_FALSE(IsFile(folder.path()));
  EXPECT_FALSE(IsFile(folder.File(L"nothing")));
  EXPECT_FALSE(IsDirectory(folder.File(L"nothing")));
}

// The temporary files a save leaves behind in the folder, if any.
std::vector<std::wstring> OtherFiles(const TempFolder& folder, const std::wstring& keep) {
  TExplorerObjectList folders, files;
  ListDirectory(folder.path(), &folders, &files);
  std::vector<std::wstring> others;
  for (const TExplorerObject& f : files) {
    if (f.name != keep) others.push_back(f.name);
  }
  return others;
}

TEST(WriteTextFile, ReplacesTheWholeFile) {
  TempFolder folder;
  std::wstring path = folder.Write(L"vorlix.ini", "a much longer old content\r\n");
  EXPECT_TRUE(WriteTextFile(path, "new"));
  EXPECT_EQ("new", folder.Read(L"vorlix.ini"));
  EXPECT_TRUE(WriteTextFile(path, std::string("\xC0\r\n\0", 4)));
  EXPECT_EQ(std::string("\xC0\r\n\0", 4), folder.Read(L"vorlix.ini"));  // bytes as they are
  EXPECT_TRUE(WriteTextFile(path, ""));
  EXPECT_EQ("", folder.Read(L"vorlix.ini"));
  EXPECT_TRUE(OtherFiles(folder, L"vorlix.ini").empty());
}

TEST(WriteTextFile, MissingFolderCreatesNothing) {
  TempFolder folder;
  EXPECT_FALSE(WriteTextFile(folder.File(L"absent\\vorlix.ini"), "x"));
  EXPECT_FALSE(IsDirectory(folder.File(L"absent")));
  EXPECT_TRUE(OtherFiles(folder, L"").empty());
}

TEST(WriteTextFile, FailureLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder folder;
  std::wstring path = folder.Write(L"vorlix.ini", "old settings");
  // A read-only target cannot be replaced.
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(WriteTextFile(path, "new settings"));
  EXPECT_EQ("old settings", folder.Read(L"vorlix.ini"));
  EXPECT_TRUE(OtherFiles(folder, L"vorlix.ini").empty());

  // A folder in the file's place is not replaced either.
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"dir.ini").c_str(), nullptr));
  EXPECT_FALSE(WriteTextFile(folder.File(L"dir.ini"), "x"));
  EXPECT_TRUE(IsDirectory(folder.File(L"dir.ini")));
}

TEST(ListDirectory, SplitsFoldersAndFiles) {
  TempFolder folder;
  folder.Write(L"b.lng", "x");
  folder.Write(L"a.txt", "x");
  CreateDirectoryW(folder.File(L"sub.lng").c_str(), nullptr);
  std::wstring hidden = folder.Write(L"hidden.lng", "x");
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);

  TExplorerObjectList folders = {{L"stale", 0}}, files;
  ASSERT_TRUE(ListDirectory(folder.path(), &folders, &files));
  ASSERT_EQ(1u, folders.size());
  EXPECT_EQ(L"sub.lng", folders[0].name);
  EXPECT_TRUE(folders[0].attributes & FILE_ATTRIBUTE_DIRECTORY);
  std::vector<std::wstring> names;
  for (const TExplorerObject& f : files) names.push_back(f.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"b.lng", L"hidden.lng"}), names);

  EXPECT_FALSE(ListDirectory(folder.File(L"absent"), &folders, &files));
  EXPECT_TRUE(folders.empty());
  EXPECT_TRUE(files.empty());
}

TEST(ListDirectory, NamesOutsideTheCodePageComeBackChanged) {
  TempFolder folder;
  folder.Write(L"\u4E2D.lng", "x");
  TExplorerObjectList folders, files;
  ASSERT_TRUE(ListDirectory(folder.path(), &folders, &files));
  ASSERT_EQ(1u, files.size());
  EXPECT_NE(L"\u4E2D.lng", files[0].name);
  EXPECT_FALSE(IsFile(folder.File(files[0].name)));
}

}  // namespace
