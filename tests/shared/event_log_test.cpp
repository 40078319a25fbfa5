// The event log's lines and its bound, and the stamps that tell a changed file.
#include "shared/event_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/files.h"
#include "shared/lines.h"
#include "tests/support/temp_folder.h"

namespace {

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time = {};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  time.wMilliseconds = 999;  // not shown
  return time;
}

TEST(EventLogLine, DateTimeTextAndCrLf) {
  EXPECT_EQ("2026-03-09 05:07:03 power lost\r\n",
            FormatEventLine(Time(2026, 3, 9, 5, 7, 3), "power lost"));
  EXPECT_EQ("1999-12-31 23:59:59 monitor ended\r\n",
            FormatEventLine(Time(1999, 12, 31, 23, 59, 59), "monitor ended"));
  EXPECT_EQ("2026-01-01 00:00:00 \r\n", FormatEventLine(Time(2026, 1, 1, 0, 0, 0), ""));
}

// One line per event, ASCII: a line end, a tab or a letter outside ASCII in
// the text shows as "?".
TEST(EventLogLine, TextStaysOneLineOfAscii) {
  EXPECT_EQ("2026-03-09 05:07:03 a??b?c?z\r\n",
            FormatEventLine(Time(2026, 3, 9, 5, 7, 3), "a\r\nb\tc\x7Fz"));
  EXPECT_EQ("lng_file=?????.lng",
            ToLogText(std::wstring(L"lng_file=\x0440\x0443\x0441\x0441\x043A.lng")));
  EXPECT_EQ("caf?", ToLogText(std::string("caf\xE9")));
  EXPECT_EQ("~ !", ToLogText(std::string("~ !")));
}

TEST(EventLogLine, Numbers) {
  EXPECT_EQ("0", DecimalText(0));
  EXPECT_EQ("65280", DecimalText(0x00FF00));
  EXPECT_EQ("4294967295", DecimalText(0xFFFFFFFFu));
  EXPECT_EQ("0x00200000", HexText(0x00200000));
  EXPECT_EQ("0x00001000", HexText(0x1000));
  EXPECT_EQ("0xDEADBEEF", HexText(0xDEADBEEFu));
}

TEST(NewestLinesStart, CutsAtALineStart) {
  const std::string text = "aaa\r\nbb\r\ncccc\r\n";  // lines of 5, 4 and 6 bytes
  EXPECT_EQ(0u, NewestLinesStart(text, 15));         // all of it fits
  EXPECT_EQ(0u, NewestLinesStart(text, 100));
  EXPECT_EQ(5u, NewestLinesStart(text, 14));  // the first line goes
  EXPECT_EQ(5u, NewestLinesStart(text, 10));
  EXPECT_EQ(9u, NewestLinesStart(text, 9));  // the last alone
  EXPECT_EQ(9u, NewestLinesStart(text, 6));
  EXPECT_EQ(15u, NewestLinesStart(text, 5));  // not even the last line fits
  EXPECT_EQ(0u, NewestLinesStart(std::string(), 0));
  // A last line without its end counts as a line.
  EXPECT_EQ(3u, NewestLinesStart("ab\nlast", 4));
}

// Lines of a fixed length: the line with number n, "0000n ...x\r\n".
std::string Lines(int first, int count, size_t length) {
  std::string text;
  for (int n = first; n < first + count; ++n) {
    std::string line = std::to_string(100000 + n).substr(1) + " ";
    line.resize(length - 2, 'x');
    text += line + "\r\n";
  }
  return text;
}

TEST(EventLogBound, AnAppendThatFitsOnlyAppends) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.log");
  ASSERT_TRUE(AppendEventLines(path, Lines(1, 1, 64)));  // made when missing
  EXPECT_EQ(Lines(1, 1, 64), folder.Read(L"vorlix.log"));
  // 1023 lines of 64 bytes and one more: 65536 bytes, exactly the bound.
  folder.Write(L"vorlix.log", Lines(1, 1023, 64));
  ASSERT_TRUE(AppendEventLines(path, Lines(1024, 1, 64)));
  EXPECT_EQ(Lines(1, 1024, 64), folder.Read(L"vorlix.log"));
}

// Worked by hand: 1024 lines of 64 bytes fill the 64 KiB; the 1025th would
// pass it, so the newest 512 lines (32768 bytes) stay and it follows them.
TEST(EventLogBound, TheOlderHalfGoesWhenAnAppendWouldPassTheBound) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.log");
  folder.Write(L"vorlix.log", Lines(1, 1024, 64));
  ASSERT_TRUE(AppendEventLines(path, Lines(1025, 1, 64)));
  std::string log = folder.Read(L"vorlix.log");
  EXPECT_EQ(Lines(513, 513, 64), log);
  EXPECT_EQ(32832u, log.size());
  // Lines of 100 bytes: 655 of them (65500 bytes) and 100 more pass 65536; 327
  // lines (32700 bytes) are the most that fit in 32768.
  folder.Write(L"vorlix.log", Lines(1, 655, 100));
  ASSERT_TRUE(AppendEventLines(path, Lines(656, 1, 100)));
  EXPECT_EQ(Lines(329, 328, 100), folder.Read(L"vorlix.log"));
}

// However the appends come, the file never passes 64 KiB and holds the newest
// lines whole and in order, the newest last.
TEST(EventLogBound, ManyAppendsStayWithinTheBoundAtLineStarts) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.log");
  auto length = [](int n) { return static_cast<size_t>(30 + (n * 37) % 200); };
  int cuts = 0;
  size_t last = 0;
  for (int n = 1; n <= 1500; ++n) {
    ASSERT_TRUE(AppendEventLines(path, Lines(n, 1, length(n))));
    std::string log = folder.Read(L"vorlix.log");
    ASSERT_LE(log.size(), 65536u) << n;
    if (log.size() < last) ++cuts;
    last = log.size();
    // Back from the newest: whole lines n, n-1, ... up to the file's start.
    size_t end = log.size();
    int line = n;
    while (end > 0) {
      size_t size = length(line);
      ASSERT_GE(end, size) << n << ": the log begins inside a line";
      ASSERT_EQ(Lines(line, 1, size), log.substr(end - size, size)) << n;
      end -= size;
      --line;
    }
  }
  EXPECT_GE(cuts, 3);
}

// A batch larger than the kept half keeps only its own newest lines.
TEST(EventLogBound, AnOversizedBatchKeepsItsNewestLines) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.log");
  folder.Write(L"vorlix.log", Lines(1, 1000, 64));
  ASSERT_TRUE(AppendEventLines(path, Lines(1001, 1500, 64)));  // 96000 bytes
  EXPECT_EQ(Lines(1989, 512, 64), folder.Read(L"vorlix.log"));
}

// A reader does not keep the log from being written; another writer does, and
// then nothing changes.
TEST(EventLogBound, ReadersShareTheFileAnotherWriterDoesNot) {
  TempFolder folder;
  std::wstring path = folder.Write(L"vorlix.log", Lines(1, 2, 64));
  HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_TRUE(AppendEventLines(path, Lines(3, 1, 64)));
  CloseHandle(reader);
  EXPECT_EQ(Lines(1, 3, 64), folder.Read(L"vorlix.log"));

  HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_FALSE(AppendEventLines(path, Lines(4, 1, 64)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  CloseHandle(writer);
  EXPECT_EQ(Lines(1, 3, 64), folder.Read(L"vorlix.log"));
}

TEST(EventLogBound, PathsTheFileLayerDoesNotTake) {
  TempFolder folder;
  EXPECT_FALSE(AppendEventLines(folder.path() + L"\\" + std::wstring(260, L'a'), "x\r\n"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
  CreateDirectoryW(folder.File(L"vorlix.log").c_str(), nullptr);
  EXPECT_FALSE(AppendEventLines(folder.File(L"vorlix.log"), "x\r\n"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
}

// What a reload looks at: the file replaced by a save, or written in place, has
// another stamp; one left alone keeps it.
TEST(FileStamp, TellsAChangedFile) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.ini");
  EXPECT_FALSE(StampOf(path).present);
  EXPECT_EQ(StampOf(path), StampOf(path));
  ASSERT_TRUE(WriteTextFile(path, "cancel_time=5\r\n"));
  TFileStamp saved = StampOf(path);
  EXPECT_TRUE(saved.present);
  EXPECT_EQ(saved, StampOf(path));
  EXPECT_NE(saved, TFileStamp());
  // The same size, saved again.
  Sleep(20);
  ASSERT_TRUE(WriteTextFile(path, "cancel_time=7\r\n"));
  TFileStamp resaved = StampOf(path);
  EXPECT_NE(saved, resaved);
  Sleep(20);
  folder.Write(L"vorlix.ini", "cancel_time=9\r\n");
  EXPECT_NE(resaved, StampOf(path));
  // A folder, and a name with wildcards, are no file.
  EXPECT_FALSE(StampOf(folder.path()).present);
  EXPECT_FALSE(StampOf(folder.File(L"*.ini")).present);
}

}  // namespace
