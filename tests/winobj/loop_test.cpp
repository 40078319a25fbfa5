// What the message loop waits for besides messages: one kernel object and one
// deadline, served on the loop's thread.
#include <atomic>
#include <thread>

#include "shared/ticks.h"
#include "tests/winobj/winobj_test.h"

namespace {

class LoopWaits : public WinobjTest {
 protected:
  void TearDown() override {
    SetLoopWait(nullptr, nullptr, nullptr);
    SetLoopDeadline(0, nullptr, nullptr);
    WinobjTest::TearDown();
  }
  // RunApplication on a fresh main form; a loop that does not end within
  // seconds ends the test program.
  void RunLoop(int seconds = 10) {
    TControl* form = NewForm(nullptr, L"main");
    std::atomic<bool> returned{false};
    std::thread watchdog([&] {
      for (int i = 0; i < seconds * 100 && !returned; ++i) Sleep(10);
      if (!returned) TerminateProcess(GetCurrentProcess(), 3);
    });
    RunApplication(&form);
    returned = true;
    watchdog.join();
  }
};

struct Record {
  HANDLE event = nullptr;
  DWORD thread = 0;
  int calls = 0;
  uint32_t at = 0;  // TickNow of the last call
};

void CloseMain() {
  if (GetMainForm()) CloseForm(GetMainForm());
}

TEST_F(LoopWaits, ASignalledObjectRunsItsProcedureOnTheLoopsThread) {
  Record record;
  record.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetLoopWait(
      record.event,
      [](void* context) {
        auto* r = static_cast<Record*>(context);
        r->thread = GetCurrentThreadId();
        ++r->calls;
        ResetEvent(r->event);
        CloseMain();
      },
      &record);
  std::thread signaller([&] {
    Sleep(100);
    SetEvent(record.event);
  });
  RunLoop();  // only the procedure closes the form
  signaller.join();
  EXPECT_EQ(1, record.calls);
  EXPECT_EQ(GetCurrentThreadId(), record.thread);
  CloseHandle(record.event);
}

// A later deadline replaces the earlier; each runs once and never before its time.
TEST_F(LoopWaits, ADeadlineRunsOnceAfterItsDelayAndALaterOneReplacesIt) {
  static Record replaced, first, second;
  replaced = first = second = Record();
  uint32_t start = TickNow();
  SetLoopDeadline(
      50, [](void*) { ++replaced.calls; }, nullptr);
  SetLoopDeadline(
      150,
      [](void*) {
        ++first.calls;
        first.at = TickNow();
        SetLoopDeadline(
            100,
            [](void*) {
              ++second.calls;
              second.at = TickNow();
              CloseMain();
            },
            nullptr);
      },
      nullptr);
  RunLoop();
  EXPECT_EQ(0, replaced.calls);
  EXPECT_EQ(1, first.calls);
  EXPECT_EQ(1, second.calls);
  // Generous on a loaded machine, but never early.
  EXPECT_GE(static_cast<int32_t>(first.at - start), 148);
  EXPECT_LT(static_cast<int32_t>(first.at - start), 1500);
  EXPECT_GE(static_cast<int32_t>(second.at - first.at), 98);
}

// Messages that keep coming (another thread posts one every millisecond) keep
// neither the deadline nor the object from being served.
TEST_F(LoopWaits, ABusyQueueDelaysNeitherTheDeadlineNorTheObject) {
  static Record deadline, object;
  deadline = object = Record();
  object.event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  SetLoopWait(
      object.event,
      [](void*) {
        ++object.calls;
        ResetEvent(object.event);
      },
      nullptr);
  uint32_t start = TickNow();
  SetLoopDeadline(
      100,
      [](void*) {
        deadline.at = TickNow();
        CloseMain();
      },
      nullptr);
  TControl* form = NewForm(nullptr, L"busy");
  HWND window = GetHandle(form);
  std::atomic<bool> stop{false};
  std::atomic<int> posted{0};
  std::thread poster([&] {
    while (!stop && PostMessageW(window, WM_APP + 7, 0, 0)) {
      ++posted;
      Sleep(1);
    }
  });
  std::atomic<bool> returned{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 1000 && !returned; ++i) Sleep(10);
    if (!returned) TerminateProcess(GetCurrentProcess(), 3);
  });
  RunApplication(&form);
  returned = true;
  stop = true;
  poster.join();
  watchdog.join();
  EXPECT_GT(posted.load(), 10);
  EXPECT_EQ(1, object.calls);
  EXPECT_GE(static_cast<int32_t>(deadline.at - start), 98);
  EXPECT_LT(static_cast<int32_t>(deadline.at - start), 2000);
  CloseHandle(object.event);
}

// An object closed under the wait would end every wait at once: it is dropped,
// and the loop goes on with its messages and its deadline.
TEST_F(LoopWaits, AnObjectThatCannotBeWaitedForIsDropped) {
  static int calls = 0;
  calls = 0;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetLoopWait(
      event, [](void*) { ++calls; }, nullptr);
  CloseHandle(event);
  SetLoopDeadline(
      100, [](void*) { CloseMain(); }, nullptr);
  RunLoop();
  EXPECT_EQ(0, calls);
}

// A loop of one's own serves both without waiting, only what is due.
TEST_F(LoopWaits, ServeLoopWaitsRunsOnlyWhatIsDue) {
  static int objectCalls = 0, deadlineCalls = 0;
  objectCalls = deadlineCalls = 0;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetLoopWait(
      event, [](void* e) { ++objectCalls, ResetEvent(static_cast<HANDLE>(e)); }, event);
  SetLoopDeadline(
      60, [](void*) { ++deadlineCalls; }, nullptr);
  ServeLoopWaits();
  EXPECT_EQ(0, objectCalls);
  EXPECT_EQ(0, deadlineCalls);
  SetEvent(event);
  Sleep(80);
  ServeLoopWaits();
  ServeLoopWaits();
  EXPECT_EQ(1, objectCalls);
  EXPECT_EQ(1, deadlineCalls);
  // Cancelled, a deadline never comes.
  SetLoopDeadline(
      0, [](void*) { ++deadlineCalls; }, nullptr);
  SetLoopDeadline(0, nullptr, nullptr);
  Sleep(10);
  ServeLoopWaits();
  EXPECT_EQ(1, deadlineCalls);
  CloseHandle(event);
}

}  // namespace
