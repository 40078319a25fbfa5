// The mark of the monitor's one running copy: a named event that the monitor
// makes at start-up and holds while it runs. A second copy that finds it there
// ends; the settings application looks for it to know whether the monitor runs.
#pragma once

extern const wchar_t kMonitorInstanceName[];

// Whether a monitor holds the mark just now. Only opens it: a look that made
// the object would, for that moment, make a monitor starting then end.
bool MonitorIsRunning();
