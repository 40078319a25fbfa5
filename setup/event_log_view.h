// What the settings window shows of the monitor's event log: its latest events,
// newest first, so that a user in the field can see why the device went off.
#pragma once

#include <cstddef>
#include <string>

const size_t kShownLineLength = 512;

// The last count lines of the log at path, newest first, each ended by CR LF;
// a byte that is not printable ASCII shows as "?", and a line shows at most its
// first kShownLineLength bytes (the monitor's lines are far shorter; a foreign
// file must not fill the memory). Empty when the file is missing or holds no
// line.
std::wstring LatestEventsText(const std::wstring& path, size_t count);
