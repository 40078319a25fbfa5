// Holds a Win32 mutex for a scope. The stand-in locks with Win32 mutexes rather
// than std::mutex because the monitor ends threads with TerminateThread, and an
// abandoned Win32 mutex can still be taken (it counts as taken here).
#pragma once

#include <windows.h>

class HeldMutex {
 public:
  explicit HeldMutex(HANDLE mutex) : mutex_(mutex) {
    DWORD r = WaitForSingleObject(mutex_, INFINITE);
    owned_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
  }
  ~HeldMutex() {
    if (owned_) ReleaseMutex(mutex_);
  }
  bool owned() const { return owned_; }
  HeldMutex(const HeldMutex&) = delete;
  HeldMutex& operator=(const HeldMutex&) = delete;

 private:
  HANDLE mutex_;
  bool owned_;
};
