#include "tests/interleave/schedule_control.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "monitor/monitor.h"

std::atomic<unsigned> lastHandledAcLineStatus{0xFFFF};
std::atomic<unsigned> handledNotifications{0};
std::atomic<unsigned> wokenNotifications{0};

namespace {

PointGate gates[4];

PassedPoint pointLog[kPointLogSize];
std::atomic<unsigned> pointsPassed{0};
std::atomic<DWORD> countedReader{0};  // see ResetNotificationCounts

// Marks that every step passes, left out of the log.
bool Routine(const char* where) {
  return std::strncmp(where, "claim:", 6) == 0 || std::strncmp(where, "worker:", 7) == 0 ||
         std::strncmp(where, "park:", 5) == 0;
}

std::atomic<bool> jitterOn{false};
std::atomic<uint64_t> jitterSeed{0};
std::atomic<uint64_t> jitterThreads{0};
// Each thread's generator state lives in a TLS slot: a thread may be parked
// inside a pause, and nothing here may allocate or take a lock.
DWORD stateSlot = TlsAlloc();
std::atomic<uint64_t> jitterGeneration{1};

uint64_t NextRandom() {
  // The slot holds the state; its top byte the generation it was seeded in.
  auto stored = reinterpret_cast<uint64_t>(TlsGetValue(stateSlot));
  uint64_t generation = jitterGeneration.load() & 0xFF;
  uint64_t x = stored & 0x00FFFFFFFFFFFFFFull;
  if ((stored >> 56) != generation || x == 0) {
    x = (jitterSeed.load() ^ (0x9E3779B97F4A7C15ull * ++jitterThreads)) & 0x00FFFFFFFFFFFFFFull;
    if (x == 0) x = 1;
  }
  // xorshift, kept to 56 bits.
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  x &= 0x00FFFFFFFFFFFFFFull;
  if (x == 0) x = 1;
  TlsSetValue(stateSlot, reinterpret_cast<void*>(x | (generation << 56)));
  return x;
}

void SpinMicroseconds(unsigned microseconds) {
  LARGE_INTEGER start, now, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  do {
    QueryPerformanceCounter(&now);
  } while ((now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < microseconds);
}

// Most points pass at once or yield; some spin up to 0.3 ms; a few sleep 1 to 3 ms.
void Jitter() {
  uint64_t r = NextRandom() % 1000;
  if (r < 450) return;
  if (r < 750) {
    Sleep(0);
  } else if (r < 970) {
    SpinMicroseconds(static_cast<unsigned>(r % 300));
  } else {
    Sleep(1 + static_cast<DWORD>(r % 3));
  }
}

// Marks a worker thread while another thread may park or end it (from
// "worker: parkable" to "worker: in its tick"): it must touch only the kernel
// then, and a heap allocation there ends the program with a message. The slot
// is made during static set-up, on the main thread: made at a worker's first
// mark, TlsAlloc would take the process's lock right where the worker may be
// parked, and every thread that ends needs that lock. The constant start
// leaves allocations made before then unchecked.
std::atomic<DWORD> parkableSlot{TLS_OUT_OF_INDEXES};

struct ParkableSlotMaker {
  ParkableSlotMaker() { parkableSlot = TlsAlloc(); }
} parkableSlotMaker;

void MarkParkable(bool parkable) {
  TlsSetValue(parkableSlot.load(), reinterpret_cast<void*>(static_cast<uintptr_t>(parkable)));
}

void CheckHeapUse() {
  DWORD slot = parkableSlot.load();
  if (slot == TLS_OUT_OF_INDEXES) return;
  DWORD error = GetLastError();  // TlsGetValue clears it; callers may look at it
  bool parkable = TlsGetValue(slot) != nullptr;
  SetLastError(error);
  if (!parkable) return;
  static const char message[] =
      "\nFAULT the heap used by a worker thread that may be parked or ended just now\n";
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, sizeof message - 1, &written, nullptr);
  TerminateProcess(GetCurrentProcess(), 4);
}

}  // namespace

void* operator new(std::size_t size) {
  CheckHeapUse();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
  if (block) CheckHeapUse();
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

void ClearPointLog() {
  for (PassedPoint& point : pointLog) point.where = nullptr;
  pointsPassed = 0;
}

void ResetNotificationCounts() {
  countedReader = 0;
  wokenNotifications = 0;
  handledNotifications = 0;
}

const PassedPoint* PointLog(unsigned* passed) {
  *passed = pointsPassed.load();
  return pointLog;
}

void SchedulePoint(const char* where) {
  DWORD thread = GetCurrentThreadId();
  if (!Routine(where)) {
    unsigned n = pointsPassed++;
    if (n < kPointLogSize) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      pointLog[n].at = now.QuadPart;
      pointLog[n].thread = thread;
      pointLog[n].acLineStatus = lastAcLineStatus.load();
      pointLog[n].where.store(where, std::memory_order_release);
    }
  }
  if (std::strcmp(where, "worker: parkable") == 0) MarkParkable(true);
  if (std::strcmp(where, "worker: in its tick") == 0) MarkParkable(false);
  if (std::strcmp(where, "reader: woken") == 0) {
    DWORD none = 0;
    countedReader.compare_exchange_strong(none, thread);
    if (countedReader.load() == thread) ++wokenNotifications;
  }
  if (std::strcmp(where, "reader: handled") == 0 && countedReader.load() == thread) {
    lastHandledAcLineStatus = lastAcLineStatus.load();
    ++handledNotifications;
  }
  for (PointGate& gate : gates) {
    if (gate.TryHold(where)) break;
  }
  if (jitterOn) Jitter();
}

void StartJitter(uint64_t seed) {
  jitterSeed = seed;
  jitterThreads = 0;
  ++jitterGeneration;
  jitterOn = true;
}

void StopJitter() { jitterOn = false; }

PointGate& Arm(const char* where, DWORD thread, int passes, bool hold) {
  for (PointGate& gate : gates) {
    if (gate.where_.load()) continue;
    ResetEvent(gate.arrived_);
    ResetEvent(gate.released_);
    gate.held_ = 0;
    gate.taken_ = false;
    gate.thread_ = thread;
    gate.hold_ = hold;
    gate.passes_ = passes;
    gate.where_ = where;
    return gate;
  }
  std::abort();  // more gates than a test needs
}

PointGate& ArmGate(const char* where, DWORD thread, int passes) {
  return Arm(where, thread, passes, true);
}

PointGate& ArmWatch(const char* where, DWORD thread, int passes) {
  return Arm(where, thread, passes, false);
}

void DisarmGates() {
  for (PointGate& gate : gates) {
    gate.where_ = nullptr;
    gate.Release();
  }
}

bool PointGate::TryHold(const char* where) {
  const char* armed = where_.load();
  if (!armed || std::strcmp(where, armed) != 0) return false;
  if (thread_ && GetCurrentThreadId() != thread_) return false;
  if (passes_.fetch_sub(1) > 0) return false;
  if (taken_.exchange(true)) return false;
  held_ = GetCurrentThreadId();
  SetEvent(arrived_);
  if (hold_) WaitForSingleObject(released_, INFINITE);
  return true;
}

bool PointGate::WaitHeld(DWORD milliseconds) {
  ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    if (WaitForSingleObject(arrived_, 0) == WAIT_OBJECT_0) return true;
    ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(1, &arrived_, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void PointGate::Release() { SetEvent(released_); }
