// CE message queues of the stand-in: limits, waiting, closing, and sharing a
// named queue with another process.
#include <gtest/gtest.h>

#include <thread>

#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

// Reads one DWORD message; returns it, or ~0 when none could be read.
DWORD ReadValue(HANDLE queue, DWORD timeout = 0) {
  DWORD value = 0, bytes = 0, flags = 0;
  if (!ReadMsgQueue(queue, &value, sizeof value, &bytes, timeout, &flags) || bytes != sizeof value)
    return ~0u;
  return value;
}

BOOL WriteValue(HANDLE queue, DWORD value, DWORD timeout = 0) {
  return WriteMsgQueue(queue, &value, sizeof value, timeout, 0);
}

MSGQUEUEINFO InfoOf(HANDLE queue) {
  MSGQUEUEINFO info = {};
  info.dwSize = sizeof info;
  EXPECT_TRUE(GetMsgQueueInfo(queue, &info));
  return info;
}

struct QueuePair {
  HANDLE reader;
  HANDLE writer;
  explicit QueuePair(DWORD maxMessages = 5, DWORD cbMaxMessage = 16) {
    std::wstring name = UniqueName(L"pair");
    MSGQUEUEOPTIONS r = QueueOptions(TRUE, maxMessages, cbMaxMessage);
    MSGQUEUEOPTIONS w = QueueOptions(FALSE, maxMessages, cbMaxMessage);
    reader = CreateMsgQueue(name.c_str(), &r);
    writer = CreateMsgQueue(name.c_str(), &w);
  }
  ~QueuePair() {
    if (reader) CloseMsgQueue(reader);
    if (writer) CloseMsgQueue(writer);
  }
};

}  // namespace

TEST(MsgQueue, ReadHandleSignalsWaitingMessagesAndReadConsumesThem) {
  QueuePair q;
  ASSERT_TRUE(q.reader && q.writer);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(q.reader, 0));
  ASSERT_TRUE(WriteValue(q.writer, 1));
  ASSERT_TRUE(WriteValue(q.writer, 2));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(q.reader, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(q.reader, 0)) << "a wait must not consume";
  EXPECT_EQ(1u, ReadValue(q.reader));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(q.reader, 0));
  EXPECT_EQ(2u, ReadValue(q.reader));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(q.reader, 0));
  DWORD value, bytes;
  EXPECT_FALSE(ReadMsgQueue(q.reader, &value, sizeof value, &bytes, 50, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
}

TEST(MsgQueue, FullQueueMakesWritersWaitForRoom) {
  QueuePair q(2);
  ASSERT_TRUE(q.reader && q.writer);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(q.writer, 0)) << "the write handle signals room";
  ASSERT_TRUE(WriteValue(q.writer, 1));
  ASSERT_TRUE(WriteValue(q.writer, 2));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(q.writer, 0));
  EXPECT_FALSE(WriteValue(q.writer, 9, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(WriteValue(q.writer, 9, 200));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
  EXPECT_GE(GetTickCount64() - start, 150u);

  // The read comes once the write below is blocked, waiting for room.
  std::thread reader([&] {
    EXPECT_TRUE(WaitUntilBlocked(q.writer));
    EXPECT_EQ(1u, ReadValue(q.reader));
  });
  EXPECT_TRUE(WriteValue(q.writer, 3, INFINITE));
  reader.join();
  EXPECT_EQ(2u, ReadValue(q.reader));
  EXPECT_EQ(3u, ReadValue(q.reader));
  EXPECT_EQ(2u, InfoOf(q.reader).dwMaxQueueMessages);
}

TEST(MsgQueue, MessageSizeLimits) {
  QueuePair q(5, 8);
  ASSERT_TRUE(q.reader && q.writer);
  char bytes[9] = "abcdefgh";
  EXPECT_FALSE(WriteMsgQueue(q.writer, bytes, 9, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_FALSE(WriteMsgQueue(q.writer, bytes, 0, 0, 0));
  ASSERT_TRUE(WriteMsgQueue(q.writer, bytes, 8, 0, 0));
  // As on CE: a short buffer gets the start of the message, which is consumed.
  char small[4] = {};
  DWORD read = 0;
  EXPECT_FALSE(ReadMsgQueue(q.reader, small, sizeof small, &read, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(4u, read);
  EXPECT_EQ(0, memcmp(small, "abcd", 4));
  EXPECT_EQ(0u, InfoOf(q.reader).dwCurrentMessages);
}

TEST(MsgQueue, MissingOtherSideBreaksTheQueueUnlessAllowed) {
  std::wstring name = UniqueName(L"broken");
  MSGQUEUEOPTIONS w = QueueOptions(FALSE, 1), r = QueueOptions(TRUE, 1);
  HANDLE writer = CreateMsgQueue(name.c_str(), &w);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(WriteValue(writer, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PIPE_NOT_CONNECTED), GetLastError());

  // A writer blocked on a full queue fails when the last reader goes.
  HANDLE reader = CreateMsgQueue(name.c_str(), &r);
  ASSERT_TRUE(reader);
  ASSERT_TRUE(WriteValue(writer, 1));
  std::thread closer([&] {
    EXPECT_TRUE(WaitUntilBlocked(writer));
    CloseMsgQueue(reader);
  });
  EXPECT_FALSE(WriteValue(writer, 2, INFINITE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PIPE_NOT_CONNECTED), GetLastError());
  closer.join();
  CloseMsgQueue(writer);

  MSGQUEUEOPTIONS allowed = QueueOptions(FALSE, 1, 16, MSGQUEUE_ALLOW_BROKEN);
  HANDLE lonelyWriter = CreateMsgQueue(UniqueName(L"allowed").c_str(), &allowed);
  EXPECT_TRUE(WriteValue(lonelyWriter, 1));
  CloseMsgQueue(lonelyWriter);
}

TEST(MsgQueue, ClosedHandleFailsWaitsAndWakesABlockedRead) {
  QueuePair q;
  ASSERT_TRUE(q.reader && q.writer);
  DWORD result = 0, error = 0;
  std::thread blocked([&] {
    DWORD value, bytes;
    result = ReadMsgQueue(q.reader, &value, sizeof value, &bytes, INFINITE, nullptr);
    error = GetLastError();
  });
  ASSERT_TRUE(WaitUntilBlocked(q.reader));
  HANDLE reader = q.reader;
  ASSERT_TRUE(CloseMsgQueue(reader));
  q.reader = nullptr;
  blocked.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), error);

  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(reader, 0));
  EXPECT_FALSE(CloseMsgQueue(reader));
  EXPECT_EQ(0u, InfoOf(q.writer).wNumReaders);
}

TEST(MsgQueue, SameNameOpensTheFirstQueueWithItsLimits) {
  std::wstring name = L"Vorlix\\Queue " + UniqueName(L"same");
  MSGQUEUEOPTIONS r = QueueOptions(TRUE, 3, 4), w = QueueOptions(FALSE, 10, 64);
  HANDLE reader = CreateMsgQueue(name.c_str(), &r);
  ASSERT_TRUE(reader) << GetLastError();
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  HANDLE writer = CreateMsgQueue(name.c_str(), &w);
  ASSERT_TRUE(writer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ(3u, InfoOf(writer).dwMaxMessages);
  EXPECT_FALSE(WriteMsgQueue(writer, &name[0], 5, 0, 0)) << "4 bytes at most, as first created";

  // A name that only looks like the escaped form is another queue.
  std::wstring lookalike = L"Vorlix%5CQueue " + name.substr(name.find(L' ') + 1);
  HANDLE other = CreateMsgQueue(lookalike.c_str(), &r);
  ASSERT_TRUE(other);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  ASSERT_TRUE(WriteValue(writer, 7));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(other, 0));
  EXPECT_EQ(7u, ReadValue(reader));
  for (HANDLE h : {reader, writer, other}) CloseMsgQueue(h);
}

TEST(MsgQueueAcrossProcesses, WriterInAnotherProcessWaitsForRoom) {
  std::wstring name = UniqueName(L"cross");
  MSGQUEUEOPTIONS r = QueueOptions(TRUE, 2, sizeof(DWORD));
  HANDLE reader = CreateMsgQueue(name.c_str(), &r);
  ASSERT_TRUE(reader);
  HANDLE probe = Start(ProbePath(), L"write " + name + L" 3 10000");
  ASSERT_TRUE(probe);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 10000));
  for (int i = 0; i < 200 && InfoOf(reader).dwCurrentMessages < 2; ++i) Sleep(20);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(probe, 300)) << "the third write must wait";
  EXPECT_EQ(1u, ReadValue(reader, 5000));
  EXPECT_EQ(2u, ReadValue(reader, 5000));
  EXPECT_EQ(3u, ReadValue(reader, 5000));
  EXPECT_EQ(0u, ExitCodeOf(probe));

  ASSERT_TRUE(ExitCodeOf(Start(ProbePath(), L"write " + name + L" 2 0")) == 0);
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT),
            ExitCodeOf(Start(ProbePath(), L"write " + name + L" 1 0")));
  CloseMsgQueue(reader);
}
