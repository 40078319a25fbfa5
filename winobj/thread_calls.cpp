// Calls handed from a worker thread to the thread of a window. The message that
// carries one is registered, and it only names a call that a thread of this
// process has put up and is waiting for: any process can send a message to the
// resident monitor's window, and a call taken from a message's parameters as
// they stand would run whatever address another program chose.
#include <atomic>

#include "shared/schedule_points.h"
#include "winobj/internal.h"

namespace {

struct SentCall {
  TWindowThreadProc proc;
  void* context;
};

// One slot per call in flight (each waiting thread has one at most).
const size_t kSlots = 64;
std::atomic<SentCall*> sentCalls[kSlots];

size_t TakeSlot(SentCall* call) {
  for (;;) {
    for (size_t slot = 0; slot < kSlots; ++slot) {
      SentCall* none = nullptr;
      if (sentCalls[slot].compare_exchange_strong(none, call)) return slot;
    }
    Sleep(0);
  }
}

}  // namespace

namespace winobj {

UINT WindowThreadCallMessage() {
  // Not a function-local static: its guarded first call would bring the thread
  // library's once-only machinery into each program. The system hands out the
  // same number to every caller of one name, so a race here is harmless.
  static std::atomic<UINT> message{0};
  UINT number = message.load();
  if (!number) message = number = RegisterWindowMessageW(L"Vorlix.WindowThreadCall");
  return number;
}

bool SendToWindowThread(TControl* control, TWindowThreadProc proc, void* context) {
  HWND hwnd = control->handle;
  if (!hwnd || GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) return false;
  SentCall call = {proc, context};
  size_t slot = TakeSlot(&call);
  SchedulePoint("layer: send to window thread");
  SendMessageW(hwnd, WindowThreadCallMessage(), slot, reinterpret_cast<LPARAM>(&call));
  SchedulePoint("layer: window thread done");
  // Still there when the window went away before it ran the call.
  SentCall* mine = &call;
  sentCalls[slot].compare_exchange_strong(mine, nullptr);
  return true;
}

void RunSentCall(WPARAM slot, LPARAM call) {
  // Sent by another thread; never posted, never from this thread. (A notify
  // message would pass too, the device tells no more, but only a call that its
  // thread put up and waits for is ever found below.)
  if (slot >= kSlots || !InSendMessage()) return;
  auto* pending = reinterpret_cast<SentCall*>(call);
  // Only the call that the slot holds, taken once; a made-up address never
  // matches and is never read.
  SentCall* expected = pending;
  if (!pending || !sentCalls[slot].compare_exchange_strong(expected, nullptr)) return;
  pending->proc(pending->context);
}

}  // namespace winobj

using namespace winobj;

void RunOnWindowThread(TControl* control, TWindowThreadProc proc, void* context) {
  if (!SendToWindowThread(control, proc, context)) proc(context);
}
