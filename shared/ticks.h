// Milliseconds for schedules and timeouts, counted the way the device can: a
// 32-bit count that wraps every 49.7 days, compared by differences only.
#pragma once

#include <cstdint>

// The count now. From the performance counter where the system has one, else
// GetTickCount: the tick count of some systems (Wine's among them) moves in
// steps of up to 16 ms, which a schedule of ticks would carry as drift.
// Touches only the kernel, so a worker thread may call it anywhere.
uint32_t TickNow();

// Milliseconds from now until deadline, negative once it has passed; sound while
// the two lie less than 24.8 days apart, across a wrap of the count too.
inline int32_t TicksUntil(uint32_t deadline, uint32_t now) {
  return static_cast<int32_t>(deadline - now);
}
