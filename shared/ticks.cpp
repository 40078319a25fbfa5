#include "shared/ticks.h"

#include <windows.h>

uint32_t TickNow() {
  // No cached frequency: a function-local static would take a lock the first
  // time, and a worker thread parked in there would hold it for good.
  LARGE_INTEGER frequency, count;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
      !QueryPerformanceCounter(&count)) {
    return GetTickCount();
  }
  int64_t whole = count.QuadPart / frequency.QuadPart, part = count.QuadPart % frequency.QuadPart;
  return static_cast<uint32_t>(whole * 1000 + part * 1000 / frequency.QuadPart);
}
