// The event log's lines and its bound, and the stamps that tell a changed file.
#include "shared/event_log.h"

#include <gtest/gtest.h>

#include <string>

#include "shared/files.h"
#include "tests/support/temp_folder.h"

namespace {

// One line per event, date and time without the milliseconds, ASCII: a line
// end, a tab or a letter outside ASCII in the text shows as "?".
TEST(EventLogLine, DateTimeAndOneLineOfAscii) {
  SYSTEMTIME time = {2026, 3, 1, 9, 5, 7, 3, 999};
  EXPECT_EQ("2026-03-09 05:07:03 power lost\r\n", FormatEventLine(time, "power lost"));
  EXPECT_EQ("2026-03-09 05:07:03 a??b?c?z\r\n", FormatEventLine(time, "a\r\nb\tc\x7Fz"));
  EXPECT_EQ("lng_file=????.lng", ToLogText(std::wstring(L"lng_file=\x0440\x0443\x0441\x0441.lng")));
  EXPECT_EQ("0x00001000 4294967295", HexText(0x1000) + " " + DecimalText(0xFFFFFFFFu));
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

// Worked by hand. 1023 lines of 64 bytes and one more fill the 64 KiB exactly;
// the 1025th would pass it, so the newest 512 lines (32768 bytes) stay and it
// follows them. Of 655 lines of 100 bytes (65500), 327 (32700 bytes) are the
// most that fit in 32768. A batch larger than 32 KiB keeps its own newest lines.
TEST(EventLogBound, TheOlderHalfGoesWhenAnAppendWouldPassTheBound) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.log");
  ASSERT_TRUE(AppendEventLines(path, Lines(1, 1023, 64)));  // made when missing
  ASSERT_TRUE(AppendEventLines(path, Lines(1024, 1, 64)));
  EXPECT_EQ(Lines(1, 1024, 64), folder.Read(L"vorlix.log"));
  ASSERT_TRUE(AppendEventLines(path, Lines(1025, 1, 64)));
  EXPECT_EQ(Lines(513, 513, 64), folder.Read(L"vorlix.log"));

  folder.Write(L"vorlix.log", Lines(1, 655, 100));
  ASSERT_TRUE(AppendEventLines(path, Lines(656, 1, 100)));
  EXPECT_EQ(Lines(329, 328, 100), folder.Read(L"vorlix.log"));

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
  EXPECT_TRUE(AppendEventLines(path, Lines(3, 1, 64)));
  CloseHandle(reader);
  HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(AppendEventLines(path, Lines(4, 1, 64)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  CloseHandle(writer);
  EXPECT_EQ(Lines(1, 3, 64), folder.Read(L"vorlix.log"));
}

// What a reload looks at: a file saved again (same size), or written in place,
// has another stamp; one left alone keeps it.
TEST(FileStamp, TellsAChangedFile) {
  TempFolder folder;
  std::wstring path = folder.File(L"vorlix.ini");
  EXPECT_FALSE(StampOf(path).present);
  ASSERT_TRUE(WriteTextFile(path, "cancel_time=5\r\n"));
  TFileStamp saved = StampOf(path);
  EXPECT_TRUE(saved.present);
  EXPECT_EQ(saved, StampOf(path));
  Sleep(20);
  ASSERT_TRUE(WriteTextFile(path, "cancel_time=7\r\n"));
  TFileStamp resaved = StampOf(path);
  EXPECT_NE(saved, resaved);
  Sleep(20);
  folder.Write(L"vorlix.ini", "cancel_time=9\r\n");
  EXPECT_NE(resaved, StampOf(path));
  EXPECT_FALSE(StampOf(folder.path()).present);
}

}  // namespace
