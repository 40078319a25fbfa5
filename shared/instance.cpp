#include "shared/instance.h"

#include <windows.h>

const wchar_t kMonitorInstanceName[] = L"Vorlix.Monitor.Running";

bool MonitorIsRunning() {
  // The device has no OpenMutex, nor any access narrower than this.
  HANDLE mark = OpenEventW(EVENT_ALL_ACCESS, FALSE, kMonitorInstanceName);
  if (!mark) return false;
  CloseHandle(mark);
  return true;
}
