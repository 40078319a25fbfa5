#include "shared/files.h"

#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/no_copy.h"
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

// The slot of this program's import table that holds kernel32's function of
// that name; null when it imports none.
void** ImportSlot(const char* name) {
  BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name; ++library) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + library->Name), "kernel32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<char*>(byName->Name), name) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

void* PutImport(void** slot, void* function) {
  DWORD protection;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
  void* previous = *slot;
  *slot = function;
  VirtualProtect(slot, sizeof *slot, protection, &protection);
  return previous;
}

using TWideToMultiByte = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);
TWideToMultiByte wineWideToMultiByte = nullptr;

// WideCharToMultiByte as Windows has it for UTF-8, which Wine is lenient about:
// any flag but WC_ERR_INVALID_CHARS and any default-character argument are refused.
int WINAPI WindowsWideToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out,
                                  int size, LPCCH defaultChar, LPBOOL usedDefault) {
  if (codePage == CP_UTF8 && (flags & ~WC_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (codePage == CP_UTF8 && (defaultChar || usedDefault)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return wineWideToMultiByte(codePage, flags, text, length, out, size, defaultChar, usedDefault);
}

struct TCodePageCase {
  UINT codePage;
  const wchar_t* text;
  bool fits;
  const char* bytes;
};

// Only what the code page holds as it is: no best fit (a Cyrillic letter is no
// Latin one), and in UTF-8 everything but a lone surrogate.
TEST(ToExactCodePageText, HoldsWhatTheCodePageHoldsAsItIs) {
  const TCodePageCase cases[] = {
      {1252, L"vorlix.ini", true, "vorlix.ini"},
      {1252, L"caf\u00E9", true, "caf\xE9"},
      {1252, L"\u0416", false, ""},  // Cyrillic Zhe
      {1252, L"\u2248", false, ""},  // almost equal: best fit would make it "="
      {1251, L"\u0416.lng", true, "\xC6.lng"},
      {1251, L"caf\u00E9", false, ""},  // best fit would make it "cafe"
      {CP_UTF8, L"", true, ""},
      {CP_UTF8, L"vorlix.ini", true, "vorlix.ini"},
      {CP_UTF8, L"\u0416.lng", true, "\xD0\x96.lng"},
      {CP_UTF8, L"caf\u00E9 \u4E2D", true, "caf\xC3\xA9 \xE4\xB8\xAD"},
      {CP_UTF8, L"a\xD800", false, ""},  // a lone surrogate
  };
  void** slot = ImportSlot("WideCharToMultiByte");
  ASSERT_NE(nullptr, slot);
  wineWideToMultiByte = reinterpret_cast<TWideToMultiByte>(
      PutImport(slot, reinterpret_cast<void*>(&WindowsWideToMultiByte)));
  for (const TCodePageCase& c : cases) {
    std::string bytes = "stale";
    EXPECT_EQ(c.fits, ToExactCodePageText(c.text, c.codePage, &bytes))
        << c.codePage << " " << testing::PrintToString(std::wstring(c.text));
    if (c.fits) {
      EXPECT_EQ(c.bytes, bytes) << c.codePage;
    }
  }
  PutImport(slot, reinterpret_cast<void*>(wineWideToMultiByte));
}

// Names of the entries of a listing, folders or files.
std::vector<std::wstring> NamesOf(const TExplorerObjectList& entries) {
  std::vector<std::wstring> names;
  for (const TExplorerObject& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

// Where the ANSI code page is UTF-8 every name fits: files are read, saved and
// listed in a folder whose name no 8-bit code page holds (Greek and Cyrillic).
// tests/e2e/utf8_code_page.sh runs this under such a code page.
TEST(Utf8AnsiCodePage, PathsSavesAndListingsWork) {
  if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  TempFolder folder;
  const std::wstring name = L"\u03A9\u03BC\u03AD\u03B3\u03B1 \u041F\u0430\u043F\u043A\u0430";
  const std::wstring sub = folder.File(name);
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  std::string ansi;
  EXPECT_TRUE(ToAnsiText(L"\u041F.lng", &ansi));
  EXPECT_EQ("\xD0\x9F.lng", ansi);

  EXPECT_TRUE(WriteTextFile(sub + L"\\vorlix.ini", "cancel_time=5\r\n"));
  EXPECT_TRUE(WriteTextFile(sub + L"\\\u0444.lng", "Name\naction=x"));
  std::string first;
  EXPECT_TRUE(ReadFirstLine(sub + L"\\vorlix.ini", &first));
  EXPECT_EQ("cancel_time=5", first);
  bool ok = false;
  EXPECT_EQ((TLines{{0, "Name"}, {1, "action=x"}}), ReadLines(sub + L"\\\u0444.lng", &ok));
  EXPECT_TRUE(ok);

  TExplorerObjectList folders, files;
  ASSERT_TRUE(ListDirectory(folder.path(), &folders, &files));
  EXPECT_EQ(std::vector<std::wstring>{name}, NamesOf(folders));
  ASSERT_TRUE(ListDirectory(sub, &folders, &files));
  EXPECT_EQ((std::vector<std::wstring>{L"vorlix.ini", L"\u0444.lng"}), NamesOf(files));
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

HANDLE OpenAsTheReadersDo(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

// A file as a save leaves it when it is cut off, by the save's own mark:
// hidden and system while it is written, hidden alone once it is complete.
const DWORD kWritingMark = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const DWORD kCompleteMark = FILE_ATTRIBUTE_HIDDEN;

void WriteLeftover(const TempFolder& folder, const std::wstring& name, const std::string& bytes,
                   DWORD mark) {
  ASSERT_TRUE(SetFileAttributesW(folder.Write(name, bytes).c_str(), mark));
}

// Every entry of the folder: a file with its bytes, a folder as "<folder>".
std::map<std::wstring, std::string> Snapshot(const TempFolder& folder) {
  std::map<std::wstring, std::string> entries;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(folder.File(L"*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries[name] =
        data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? "<folder>" : folder.Read(name);
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return entries;
}

// What killed saves left (the save's naming and mark, in the target's folder)
// goes with the next save, and so does an empty file of the naming (a save
// killed as it made its file leaves one before it is marked); a user's own
// files stay, however like a leftover they look. The names are the target's
// name, "~" and 0 to 99, in any case of letters, as the file system compares.
TEST(WriteTextFile, TheNextSaveRemovesOnlyItsOwnLeftovers) {
  TempFolder folder;
  std::wstring target = folder.Write(L"vorlix.ini", "old");
  WriteLeftover(folder, L"vorlix.ini~0", "half writ", kWritingMark);
  WriteLeftover(folder, L"vorlix.ini~7", "complete", kCompleteMark);
  WriteLeftover(folder, L"vorlix.ini~12", "complete", kCompleteMark);
  WriteLeftover(folder, L"vorlix.ini~99", "complete", kCompleteMark);
  WriteLeftover(folder, L"VORLIX.INI~9", "half writ", kWritingMark);
  WriteLeftover(folder, L"vorlix.ini~07", "marked, not of the naming", kWritingMark);
  WriteLeftover(folder, L"vorlix.ini~100", "marked, not of the naming", kWritingMark);
  WriteLeftover(folder, L"vorlix.ini~1~2", "marked, not of the naming", kWritingMark);
  folder.Write(L"vorlix.ini~5", "");
  folder.Write(L"vorlix.ini~3", "a user's notes");
  WriteLeftover(folder, L"vorlix.ini~4", "a user's read-only notes", FILE_ATTRIBUTE_READONLY);
  folder.Write(L"vorlix.ini~x", "not of the save's naming");
  WriteLeftover(folder, L"other.ini~0", "another target's", kWritingMark);
  EXPECT_TRUE(WriteTextFile(target, "new"));
  std::map<std::wstring, std::string> expected = {{L"vorlix.ini", "new"},
                                                  {L"vorlix.ini~3", "a user's notes"},
                                                  {L"vorlix.ini~4", "a user's read-only notes"},
                                                  {L"vorlix.ini~x", "not of the save's naming"},
                                                  {L"vorlix.ini~07", "marked, not of the naming"},
                                                  {L"vorlix.ini~100", "marked, not of the naming"},
                                                  {L"vorlix.ini~1~2", "marked, not of the naming"},
                                                  {L"other.ini~0", "another target's"}};
  EXPECT_EQ(expected, Snapshot(folder));
}

HANDLE HoldWithoutDeleting(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

struct TTakenNamesCase {
  const char* name;
  // Puts something that stays in the place of "vorlix.ini~<n>"; handles held
  // meanwhile go to *held.
  std::function<void(const TempFolder&, int n, std::vector<HANDLE>* held)> take;
};

// Ten names of the save's naming taken by what a save cannot or may not remove:
// the save takes another name, and what took them is still there as it was.
TEST(WriteTextFile, TakenTemporaryNamesDoNotStopASave) {
  const TTakenNamesCase cases[] = {
      {"folders",
       [](const TempFolder& f, int n, std::vector<HANDLE>*) {
         CreateDirectoryW(f.File(L"vorlix.ini~" + std::to_wstring(n)).c_str(), nullptr);
       }},
      {"a user's files",
       [](const TempFolder& f, int n, std::vector<HANDLE>*) {
         f.Write(L"vorlix.ini~" + std::to_wstring(n), "notes " + std::to_string(n));
       }},
      {"leftovers another program holds open",
       [](const TempFolder& f, int n, std::vector<HANDLE>* held) {
         std::wstring name = L"vorlix.ini~" + std::to_wstring(n);
         WriteLeftover(f, name, "left " + std::to_string(n), kCompleteMark);
         held->push_back(HoldWithoutDeleting(f.File(name)));
       }},
  };
  for (const TTakenNamesCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    std::wstring target = folder.Write(L"vorlix.ini", "old");
    std::vector<HANDLE> held;
    for (int n = 0; n < 10; ++n) c.take(folder, n, &held);
    std::map<std::wstring, std::string> expected = Snapshot(folder);
    EXPECT_TRUE(WriteTextFile(target, "new"));
    expected[L"vorlix.ini"] = "new";
    EXPECT_EQ(expected, Snapshot(folder));
    for (HANDLE h : held) CloseHandle(h);
    if (!held.empty()) {
      // Let go of, the leftovers go with the next save.
      EXPECT_TRUE(WriteTextFile(target, "newer"));
      EXPECT_EQ((std::map<std::wstring, std::string>{{L"vorlix.ini", "newer"}}), Snapshot(folder));
    }
  }
}

// The name of a save's turn, by its rule: "vorlix-save-" and the 64-bit FNV-1a
// hash of the path's ANSI text, ASCII letters folded, in 16 hex digits.
std::wstring TurnName(const std::wstring& path) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (wchar_t c : path) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  }
  wchar_t digits[17];
  swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
  return L"vorlix-save-" + std::wstring(digits);
}

// Holds a save's turn from another thread until it is destroyed, as a program
// that never lets go would.
class HeldTurn : NoCopy {
 public:
  explicit HeldTurn(const std::wstring& name) : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    holder_ = std::thread([this, name, taken] {
      HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
      SetEvent(taken);
      WaitForSingleObject(stop_, INFINITE);
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    });
    WaitForSingleObject(taken, 10000);
    CloseHandle(taken);
  }
  ~HeldTurn() {
    SetEvent(stop_);
    holder_.join();
    CloseHandle(stop_);
  }

 private:
  HANDLE stop_;
  std::thread holder_;
};

struct TFailureCase {
  const char* name;
  // Makes the situation in the folder and returns the target; what it holds
  // meanwhile it lets go of when *undo runs.
  std::function<std::wstring(const TempFolder&, std::function<void()>* undo)> arrange;
  DWORD error;
};

// A save that cannot land says why in its last error (see files.h), and leaves
// the folder as it was: the old file whole, nothing new beside it.
TEST(WriteTextFile, AFailedSaveSaysWhyAndLeavesEverythingAsItWas) {
  const TFailureCase cases[] = {
      {"the folder is missing",
       [](const TempFolder& f, std::function<void()>*) { return f.File(L"absent\\vorlix.ini"); },
       ERROR_PATH_NOT_FOUND},
      {"the path is longer than 255 characters",
       [](const TempFolder& f, std::function<void()>*) {
         return f.File(std::wstring(256 - f.path().size() - 1, L'n'));
       },
       ERROR_FILENAME_EXCED_RANGE},
      {"the name is outside the ANSI code page",
       [](const TempFolder& f, std::function<void()>*) { return f.Write(L"\u4E2D.ini", "old"); },
       ERROR_NO_UNICODE_TRANSLATION},
      {"the file is read-only",
       [](const TempFolder& f, std::function<void()>*) {
         std::wstring path = f.Write(L"vorlix.ini", "old");
         SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
         return path;
       },
       ERROR_FILE_READ_ONLY},
      {"a folder is in the file's place",
       [](const TempFolder& f, std::function<void()>*) {
         CreateDirectoryW(f.File(L"vorlix.ini").c_str(), nullptr);
         return f.File(L"vorlix.ini");
       },
       ERROR_DIRECTORY},
      {"another program reads the file and never lets go",
       [](const TempFolder& f, std::function<void()>* undo) {
         std::wstring path = f.Write(L"vorlix.ini", "old");
         HANDLE reader = OpenAsTheReadersDo(path);
         *undo = [reader] { CloseHandle(reader); };
         return path;
       },
       ERROR_SHARING_VIOLATION},
      {"an object of another kind has the turn's name",
       [](const TempFolder& f, std::function<void()>* undo) {
         std::wstring path = f.Write(L"vorlix.ini", "old");
         HANDLE event = CreateEventW(nullptr, TRUE, FALSE, TurnName(path).c_str());
         *undo = [event] { CloseHandle(event); };
         return path;
       },
       ERROR_LOCK_VIOLATION},
      {"another program holds the turn and never lets go",
       [](const TempFolder& f, std::function<void()>* undo) {
         std::wstring path = f.Write(L"vorlix.ini", "old");
         auto turn = std::make_shared<HeldTurn>(TurnName(path));
         *undo = [turn]() mutable { turn.reset(); };
         return path;
       },
       ERROR_LOCK_VIOLATION},
  };
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    std::function<void()> undo = [] {};
    std::wstring target = c.arrange(folder, &undo);
    std::map<std::wstring, std::string> before = Snapshot(folder);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WriteTextFile(target, "new"));
    EXPECT_EQ(c.error, GetLastError());
    undo();
    EXPECT_EQ(before, Snapshot(folder));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
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

struct TDiskCase {
  const char* name;
  const wchar_t* variable;  // the folder on such a disk, as the script names it
  DWORD error;
};

// A disk that takes no more bytes, or none at all: the save says so and the old
// file ("cancel_time=5") stays whole, alone. tests/e2e/unwritable_disks.sh mounts such disks and
// names a folder on each; without them these cases are skipped.
TEST(UnwritableDisk, ASaveSaysWhyAndKeepsTheOldFile) {
  const TDiskCase cases[] = {
      {"a full disk", L"VORLIX_FULL_FOLDER", ERROR_DISK_FULL},
      // Wine reports a read-only file system as access denied (a locked card on
      // the device as ERROR_WRITE_PROTECT; the settings application says the
      // same of both).
      {"a read-only disk", L"VORLIX_READ_ONLY_FOLDER", ERROR_ACCESS_DENIED},
  };
  int run = 0;
  for (const TDiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    wchar_t folder[MAX_PATH];
    if (!GetEnvironmentVariableW(c.variable, folder, MAX_PATH)) continue;
    ++run;
    const std::wstring target = std::wstring(folder) + L"\\vorlix.ini";
    std::string first;
    EXPECT_FALSE(WriteTextFile(target, std::string(1 << 20, 'x')));
    EXPECT_EQ(c.error, GetLastError());
    EXPECT_TRUE(ReadFirstLine(target, &first));
    EXPECT_EQ("cancel_time=5", first);
    TExplorerObjectList folders, files;
    ASSERT_TRUE(ListDirectory(folder, &folders, &files));
    EXPECT_EQ(std::vector<std::wstring>{L"vorlix.ini"}, NamesOf(files));
  }
  if (run == 0) GTEST_SKIP() << "no unwritable disk named";
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
