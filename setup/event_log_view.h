// What the settings window shows of the monitor's event log: its latest events,
// newest first, so that a user in the field can see why the device went off.
#pragma once

#include <cstddef>
#include <string>

// The last count lines of the log at path, newest first, each ended by CR LF;
// a character that is not printable ASCII shows as "?". Empty when the file is
// missing or holds no line.
std::wstring LatestEventsText(const std::wstring& path, size_t count);
