// Named places where the monitor's threads meet: a shared flag read or written,
// a thread parked or woken, a wait for the user-interface thread.
//
// A normal build compiles them to nothing. The interleaving tests build the
// monitor and the window layer a second time with VORLIX_SCHEDULE_POINTS and
// define SchedulePoint themselves: a short seeded random pause, to shake out
// interleavings that are microseconds wide, or a gate that holds one thread at
// one place until the test lets it go.
#pragma once

#ifdef VORLIX_SCHEDULE_POINTS
void SchedulePoint(const char* where);
#else
inline void SchedulePoint(const char*) {}
#endif
