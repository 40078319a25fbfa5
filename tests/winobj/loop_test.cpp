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

}  // namespace
