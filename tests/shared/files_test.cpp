#include "shared/files.h"

#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

using TLines = std::vector<std::pair<int, std::string>>;

TLines ReadLines(const std::wstring& path, bool* ok) {
  TLines lines;
  *ok = ReadTextLines(
      path, [&lines](int number, const std::string& line) { lines.emplace_back(number, line); });
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

// Lines that cross the pieces the file is read in, a CR LF split between two
// pieces, and a line longer than the cut across a piece's end (dropped, its
// number used): the same lines as from one piece.
TEST(ReadTextLines, LinesAcrossPiecesAndOverlongLines) {
  std::string bytes;
  std::vector<std::string> expected;
  for (int i = 0; bytes.size() < 65536 - 40; ++i) {
    expected.push_back("line " + std::to_string(i));
    bytes += expected.back() + "\r\n";
  }
  // "tail\r" ends the first piece of 65536 bytes exactly; its LF opens the next.
  std::string tail(65536 - bytes.size() - 1, 't');
  expected.push_back(tail);
  bytes += tail + "\r\nnext\r\n";
  expected.push_back("next");
  // The file is read in pieces of 1 MiB: the long line runs over the first's end.
  for (int i = 0; bytes.size() < (1 << 20) - 100; ++i) {
    expected.push_back("filler " + std::to_string(i));
    bytes += expected.back() + "\n";
  }
  bytes += std::string(kMaxLineBytes + 10, 'x') + "\nafter";
  expected.push_back("after");
  ASSERT_EQ('\r', bytes[65535]);
  TempFolder folder;
  bool ok = false;
  TLines lines = ReadLines(folder.Write(L"pieces.txt", bytes), &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(expected.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    int number = static_cast<int>(i < expected.size() - 1 ? i : i + 1);  // the long line's
    EXPECT_EQ(number, lines[i].first);
    EXPECT_EQ(expected[i], lines[i].second) << "line " << i;
  }
}

// A sparse file of 4.5 GiB: the lines before and after the hole arrive, the
// reader's memory stays as it was, and the first line comes without reading on.
TEST(ReadTextLines, AFileOfSeveralGigabytesIsReadInBoundedMemory) {
  TempFolder folder;
  std::wstring path = folder.File(L"huge.ini");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, "first\r\n", 7, &written, nullptr);
  LARGE_INTEGER at;
  at.QuadPart = 4608ll << 20;
  SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
  WriteFile(file, "\r\nlast\r\n", 8, &written, nullptr);
  CloseHandle(file);

  PROCESS_MEMORY_COUNTERS before = {}, after = {};
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  std::vector<std::string> seen;
  size_t lines = 0;
  EXPECT_TRUE(ReadTextLines(path, [&](int, const std::string& line) {
    ++lines;
    if (line == "first" || line == "last") seen.push_back(line);
  }));
  GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
  EXPECT_EQ((std::vector<std::string>{"first", "last"}), seen);
  EXPECT_EQ(2u, lines);  // the hole is one line of NUL bytes, too long to count
  EXPECT_LT(after.PeakPagefileUsage, before.PeakPagefileUsage + (16u << 20));

  std::string first;
  ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(ReadFirstLine(path, &first));
  EXPECT_EQ("first", first);
  EXPECT_LT(GetTickCount64() - start, 1000u);
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

// The temporary file is named from the target, so a save works wherever the
// target's own path fits: folders of 246 to 253 characters with a file name
// that makes 255, one character more is refused.
TEST(WriteTextFile, SavesAtThePathLimit) {
  TempFolder folder;
  for (size_t length = 246; length <= 253; ++length) {
    std::wstring sub =
        folder.path() + L"\\" + std::wstring(length - folder.path().size() - 1, L'd');
    ASSERT_EQ(length, sub.size());
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    std::wstring target = sub + L"\\" + std::wstring(255 - length - 1, L'f');
    ASSERT_EQ(255u, target.size());
    EXPECT_TRUE(WriteTextFile(target, "saved")) << "folder of " << length;
    std::string line;
    EXPECT_TRUE(ReadFirstLine(target, &line));
    EXPECT_EQ("saved", line);
    EXPECT_FALSE(WriteTextFile(target + L"f", "too long")) << "folder of " << length;
    EXPECT_FALSE(IsFile(target + L"f"));
  }
}

// What a killed save left (the save's own naming, in the target's folder) goes
// with the next save; nothing else does.
TEST(WriteTextFile, TheNextSaveRemovesLeftoverTemporaries) {
  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", "old");
  folder.Write(L"vorlix.ini~0", "left by a killed save");
  folder.Write(L"vorlix.ini~7", "left by another");
  folder.Write(L"vorlix.ini~x", "not of the save's naming");
  folder.Write(L"other.ini~0", "another target's");
  EXPECT_TRUE(WriteTextFile(target, "new"));
  EXPECT_EQ("new", folder.Read(L"vorlix.ini"));
  std::vector<std::wstring> others = OtherFiles(folder, L"vorlix.ini");
  std::sort(others.begin(), others.end());
  EXPECT_EQ((std::vector<std::wstring>{L"other.ini~0", L"vorlix.ini~x"}), others);
}

HANDLE OpenAsTheReadersDo(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

// Whether the save's temporary file came to hold size bytes and was closed
// (while a save writes it, nobody else may open it) within 5 s.
bool TemporaryWritten(const TempFolder& folder, const std::wstring& name, DWORD size) {
  for (ULONGLONG giveUp = GetTickCount64() + 5000; GetTickCount64() < giveUp; Sleep(1)) {
    HANDLE probe = OpenAsTheReadersDo(folder.File(name));
    if (probe == INVALID_HANDLE_VALUE) continue;
    bool written = GetFileSize(probe, nullptr) == size;
    CloseHandle(probe);
    if (written) return true;
  }
  return false;
}

bool WaitFor(const std::atomic<bool>& flag) {
  for (ULONGLONG giveUp = GetTickCount64() + 5000; !flag && GetTickCount64() < giveUp;) Sleep(1);
  return flag;
}

// The other program may be reading the settings file just then, holding it
// open as the readers do: the save waits for it and replaces the file; a
// reader that never lets go makes the save fail and leaves the old file.
TEST(WriteTextFile, ASaveIsNotRefusedWhileTheFileIsBeingRead) {
  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", "old");
  HANDLE reader = OpenAsTheReadersDo(target);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  bool saved = false;
  std::atomic<bool> returned{false};
  std::thread save([&] {
    saved = WriteTextFile(target, "new");
    returned = true;
  });
  // The new bytes lie ready beside the file, and the save still waits for the reader.
  bool ready = TemporaryWritten(folder, L"vorlix.ini~0", 3);
  bool returnedWhileHeld = returned;
  CloseHandle(reader);
  save.join();
  EXPECT_TRUE(ready) << "the save wrote no temporary file";
  EXPECT_FALSE(returnedWhileHeld) << "the save ended while the reader held the file";
  EXPECT_TRUE(saved);
  EXPECT_EQ("new", folder.Read(L"vorlix.ini"));

  reader = OpenAsTheReadersDo(target);
  EXPECT_FALSE(WriteTextFile(target, "newer"));
  CloseHandle(reader);
  EXPECT_EQ("new", folder.Read(L"vorlix.ini"));
  EXPECT_TRUE(OtherFiles(folder, L"vorlix.ini").empty());
}

// Two saves of one file meet (two settings windows, say) while the monitor
// reads it: the first waits for the reader with its temporary file closed, and
// the second must neither take that file away as a leftover nor have its own
// bytes put in place by the first. Both succeed, one after the other.
TEST(WriteTextFile, TwoSavesWhileTheFileIsBeingReadBothLand) {
  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", "old");
  HANDLE reader = OpenAsTheReadersDo(target);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  bool firstSaved = false, secondSaved = false;
  std::atomic<bool> firstReturned{false}, secondStarted{false}, secondReturned{false};
  std::thread first([&] {
    firstSaved = WriteTextFile(target, "first");
    firstReturned = true;
  });
  bool firstWaits = TemporaryWritten(folder, L"vorlix.ini~0", 5);
  std::thread second([&] {
    secondStarted = true;
    secondSaved = WriteTextFile(target, "second");
    secondReturned = true;
  });
  // Once the second save is under way, a save that did not wait its turn would
  // soon clear the first's file as a leftover or write one of its own beside it.
  bool secondUnderWay = firstWaits && WaitFor(secondStarted);
  // The files beside the target, each with its size.
  auto beside = [&folder] {
    std::vector<std::wstring> files;
    for (const std::wstring& name : OtherFiles(folder, L"vorlix.ini")) {
      WIN32_FILE_ATTRIBUTE_DATA data = {};
      GetFileAttributesExW(folder.File(name).c_str(), GetFileExInfoStandard, &data);
      files.push_back(name + L" " + std::to_wstring(data.nFileSizeLow));
    }
    return files;
  };
  const std::vector<std::wstring> firstsOnly = {L"vorlix.ini~0 5"};
  std::vector<std::wstring> meanwhile = firstsOnly;
  for (ULONGLONG until = GetTickCount64() + 200;
       secondUnderWay && meanwhile == firstsOnly && GetTickCount64() < until; Sleep(1)) {
    meanwhile = beside();
  }
  bool firstReturnedWhileHeld = firstReturned, secondReturnedWhileHeld = secondReturned;
  CloseHandle(reader);
  first.join();
  second.join();
  ASSERT_TRUE(firstWaits) << "the first save wrote no temporary file";
  ASSERT_TRUE(secondUnderWay) << "the second save never started";
  EXPECT_EQ(firstsOnly, meanwhile) << "while the first waited, only its temporary file";
  EXPECT_FALSE(firstReturnedWhileHeld) << "the first save ended while the reader held the file";
  EXPECT_FALSE(secondReturnedWhileHeld) << "the second save ended while the reader held the file";
  EXPECT_TRUE(firstSaved);
  EXPECT_TRUE(secondSaved);
  EXPECT_EQ("second", folder.Read(L"vorlix.ini"));
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
