#include "shared/instance.h"

const wchar_t kMonitorInstanceName[] = L"Vorlix.Monitor.Running";
