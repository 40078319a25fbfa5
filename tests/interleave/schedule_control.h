// How the interleaving tests steer the monitor's threads at its schedule points
// (shared/schedule_points.h): seeded random pauses for the stress, gates that
// hold one thread at one place for the step-by-step cases, and what the test
// learns on the way.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Random pauses from here on: each thread draws from a generator of its own,
// seeded from seed and the order in which the threads first reach a point.
void StartJitter(uint64_t seed);
void StopJitter();

// Holds the first thread that reaches a point of a given name (on one thread
// only, when asked) until it is released. Gates come from a fixed set that lives
// as long as the program, so a thread that looked one up a moment before it was
// disarmed never finds it freed.
class PointGate {
 public:
  // True once a thread is held here (waits up to milliseconds, serving the
  // messages sent to the calling thread meanwhile).
  bool WaitHeld(DWORD milliseconds);
  // The thread that is or was held, 0 before one arrived.
  DWORD HeldThread() const { return held_.load(); }
  void Release();

 private:
  friend PointGate& Arm(const char* where, DWORD thread, int passes, bool hold);
  friend void DisarmGates();
  friend void SchedulePoint(const char* where);
  bool TryHold(const char* where);

  std::atomic<const char*> where_{nullptr};
  std::atomic<DWORD> thread_{0};
  std::atomic<bool> hold_{true};
  std::atomic<int> passes_{0};
  std::atomic<bool> taken_{false};
  std::atomic<DWORD> held_{0};
  HANDLE arrived_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE released_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Arms a free gate for the point where (and, when thread is not 0, that thread),
// which lets the first `passes` arrivals through.
PointGate& ArmGate(const char* where, DWORD thread = 0, int passes = 0);
// The same, but the thread only marks its arrival and goes on.
PointGate& ArmWatch(const char* where, DWORD thread = 0, int passes = 0);
// Releases and disarms every gate.
void DisarmGates();

// The AC line status that the listener last finished handling a notification
// with (the place "reader: handled"); 0xFFFF before the first. And how many
// notifications it has finished handling.
extern std::atomic<unsigned> lastHandledAcLineStatus;
extern std::atomic<unsigned> handledNotifications;
// How many times the listener was woken for a notification ("reader: woken"):
// one more than those handled while it handles one.
extern std::atomic<unsigned> wokenNotifications;
// Both counts from 0, for the reader that is woken next: a reader let go during
// its power call at a close may still finish its handling later, and is not
// counted then.
void ResetNotificationCounts();

// The points the monitor's threads passed since the last ClearPointLog, in the
// order they got there, leaving out the claim's, the parking's and the workers'
// marks, which every step passes: the first kPointLogSize of them (a fault's
// trace shows them beside the driver's inputs). Written without a lock or the
// heap, as a thread may be parked or ended at any point.
struct PassedPoint {
  LONGLONG at;  // QueryPerformanceCounter
  DWORD thread;
  unsigned acLineStatus;  // the listener's last AC line status there
  std::atomic<const char*> where{nullptr};  // written last: null until the rest is there
};
constexpr unsigned kPointLogSize = 1024;
void ClearPointLog();
// How many there were in *passed (an entry's where is null while it is written).
const PassedPoint* PointLog(unsigned* passed);
