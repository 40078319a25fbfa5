// Desktop stand-in for the CE power manager's notifications and power status.
//
// Subscriptions live in a table shared by all processes of the session (a named
// file mapping guarded by a named mutex), so that powerctl.exe, a separate
// process, can write notifications into the queues of a running monitor. Each
// entry names the subscribed queue by its object name; the subscribing process
// keeps a write handle to the queue for as long as the subscription lasts, as
// the CE power manager does.
#include <set>

#include "platform/desktop/held_mutex.h"
#include "platform/desktop/power_standin.h"

const wchar_t kSimulatedPowerKey[] = L"Software\\Vorlix Platform\\Power";
const wchar_t kSimulatedAcValue[] = L"ACLineStatus";
const wchar_t kSimulatedBatteryValue[] = L"BatteryLifePercent";

namespace {

// The table's second layout (the names apart from the slots) under a name of
// its own: a program built with the first one never shares it.
constexpr DWORD kTableMagic = 0x32504C56;  // "VLP2"
constexpr DWORD kMaxSubscriptions = 64;
constexpr DWORD kQueueNameChars = 1024;  // escaped CE name (<= 3 * 259) plus prefix
constexpr DWORD kRealPollMs = 1000;

struct SubscriptionSlot {
  DWORD used;
  DWORD processId;
  DWORD filter;
  DWORD serial;
};

// The queue names apart from the slots: a scan of the slots touches one page,
// and a name's pages only once a subscription uses them (an untouched page of
// the mapping costs no memory).
struct SubscriptionTable {
  DWORD magic;
  DWORD lastSerial;
  SubscriptionSlot slots[kMaxSubscriptions];
  wchar_t queues[kMaxSubscriptions][kQueueNameChars];
};

// One subscription of this process; its address is the handle handed out.
struct Subscription {
  DWORD slot;
  DWORD serial;
  HANDLE writer;  // keeps the queue open for writing while subscribed
};

// Per-process state. Never freed: worker threads may use it while the process exits.
struct PowerState {
  HANDLE lock = CreateMutexW(nullptr, FALSE, nullptr);
  HANDLE tableMapping = nullptr;
  HANDLE tableLock = nullptr;
  SubscriptionTable* table = nullptr;
  std::set<Subscription*> subscriptions;
  HANDLE watcher = nullptr;      // thread for the real power source
  HANDLE watcherStop = nullptr;  // manual-reset event that ends it
};

// Made before main runs, while the process has one thread (see msg_queue.cpp).
PowerState* const powerState = new PowerState;

PowerState& State() { return *powerState; }

// The shared table, opened once per process and kept open (so it lives as long
// as any process that subscribed). Null with the last error on failure.
SubscriptionTable* Table(HANDLE* tableLock) {
  PowerState& state = State();
  HeldMutex held(state.lock);
  if (!state.table) {
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"VorlixPower.Subscriptions.lock");
    if (!lock) return nullptr;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(SubscriptionTable), L"VorlixPower.Subscriptions.2");
    if (!mapping) {
      DWORD error = GetLastError();
      CloseHandle(lock);
      SetLastError(error);
      return nullptr;
    }
    bool made = GetLastError() != ERROR_ALREADY_EXISTS;  // a new mapping is all zeros
    auto* table =
        static_cast<SubscriptionTable*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!table) {
      DWORD error = GetLastError();
      CloseHandle(mapping);
      CloseHandle(lock);
      SetLastError(error);
      return nullptr;
    }
    {
      HeldMutex shared(lock);
      if (table->magic != kTableMagic) {
        if (!made) ZeroMemory(table, sizeof *table);
        table->magic = kTableMagic;
      }
    }
    state.tableLock = lock;
    state.tableMapping = mapping;
    state.table = table;
  }
  *tableLock = state.tableLock;
  return state.table;
}

bool ProcessRunning(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

// Entries of processes that ended without StopPowerNotifications. Table lock held.
void DropDeadSubscriptions(SubscriptionTable* table) {
  for (SubscriptionSlot& slot : table->slots) {
    if (slot.used && !ProcessRunning(slot.processId)) slot.used = 0;
  }
}

// Bounded: the table is writable by every process of the session.
std::wstring QueueNameOf(const SubscriptionTable* table, DWORD slot) {
  return std::wstring(table->queues[slot], wcsnlen(table->queues[slot], kQueueNameChars));
}

// What the watcher compares: the AC line status, the battery's flag and level.
DWORD RealPowerFigures() {
  SYSTEM_POWER_STATUS status = {};
  if (!GetSystemPowerStatus(&status)) return AC_LINE_UNKNOWN;
  return status.ACLineStatus | (DWORD(status.BatteryFlag) << 8) |
         (DWORD(status.BatteryLifePercent) << 16);
}

// The watcher of the real power source. A hidden top-level window receives
// WM_POWERBROADCAST on Windows; Wine sends none, so the status is also read once
// a second. A change of the AC line or of the battery's level or flag is passed
// on, to this process's queues, as the device's power manager does.
DWORD WINAPI WatchRealPower(LPVOID stopEvent) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = DefWindowProcW;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"VorlixPowerWatcher";
  RegisterClassW(&cls);  // fails harmlessly when registered by an earlier watcher
  HWND window = CreateWindowExW(0, cls.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                cls.hInstance, nullptr);
  HANDLE stop = static_cast<HANDLE>(stopEvent);
  DWORD last = RealPowerFigures();
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &stop, FALSE, kRealPollMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
    // Looking for messages is a call to the window server: only when one came.
    if (r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    DWORD now = RealPowerFigures();
    if (now != last) {
      last = now;
      BroadcastPowerNotification(PBT_POWERSTATUSCHANGE, GetCurrentProcessId());
    }
  }
  if (window) DestroyWindow(window);
  return 0;
}

void FillUnknownBattery(SYSTEM_POWER_STATUS_EX* s) {
  ZeroMemory(s, sizeof *s);
  s->ACLineStatus = AC_LINE_UNKNOWN;
  s->BatteryFlag = BATTERY_FLAG_UNKNOWN;
  s->BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  s->BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  s->BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s->BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
  s->BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  s->BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  s->BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
}

}  // namespace

namespace {

// One stored DWORD of the simulated source: fallback when it was never set,
// itself when valid() accepts it, unknown (255) for anything else stored there.
bool ReadSimulatedValue(const wchar_t* name, BYTE fallback, bool (*valid)(DWORD), BYTE* out) {
  HKEY key;
  LSTATUS r = RegOpenKeyExW(HKEY_CURRENT_USER, kSimulatedPowerKey, 0, KEY_QUERY_VALUE, &key);
  if (r == ERROR_FILE_NOT_FOUND) {
    *out = fallback;
    return true;
  }
  if (r != ERROR_SUCCESS) {
    SetLastError(r);
    return false;
  }
  DWORD type = 0, value = 0, size = sizeof value;
  r = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (r == ERROR_FILE_NOT_FOUND) {
    *out = fallback;
  } else if (r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && valid(value)) {
    *out = static_cast<BYTE>(value);
  } else if (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
    *out = 0xFF;  // anything else stored there
  } else {
    SetLastError(r);
    return false;
  }
  return true;
}

bool ValidAcLineStatus(DWORD value) { return value == AC_LINE_OFFLINE || value == AC_LINE_ONLINE; }

bool ValidBatteryPercent(DWORD value) { return value <= 100; }

// Stores one value of the simulated source; when it differs from the stored one,
// sends one PBT_POWERSTATUSCHANGE to every subscribed queue of every process.
DWORD SetSimulatedValue(const wchar_t* name, BYTE value, bool (*read)(BYTE*), bool* changed,
                        PowerDelivery* delivery) {
  *changed = false;
  *delivery = PowerDelivery();
  // One change and its notification at a time, across processes.
  HANDLE control = CreateMutexW(nullptr, FALSE, L"VorlixPower.Control");
  if (!control) return GetLastError();
  DWORD result = ERROR_SUCCESS;
  {
    HeldMutex held(control);
    BYTE current = 0;
    if (!read(&current)) {
      result = GetLastError();
    } else if (current != value) {
      HKEY key;
      result = RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatedPowerKey, 0, nullptr, 0, KEY_SET_VALUE,
                               nullptr, &key, nullptr);
      if (result == ERROR_SUCCESS) {
        DWORD stored = value;
        result = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                                sizeof stored);
        RegCloseKey(key);
      }
      if (result == ERROR_SUCCESS) {
        *changed = true;
        *delivery = BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);
      }
    }
  }
  CloseHandle(control);
  return result;
}

}  // namespace

bool ReadSimulatedAcLineStatus(BYTE* status) {
  return ReadSimulatedValue(kSimulatedAcValue, AC_LINE_ONLINE, ValidAcLineStatus, status);
}

bool ReadSimulatedBatteryPercent(BYTE* percent) {
  return ReadSimulatedValue(kSimulatedBatteryValue, 100, ValidBatteryPercent, percent);
}

DWORD SetSimulatedAcLineStatus(BYTE status, bool* changed, PowerDelivery* delivery) {
  if (status != AC_LINE_OFFLINE && status != AC_LINE_ONLINE && status != AC_LINE_UNKNOWN) {
    *changed = false;
    *delivery = PowerDelivery();
    return ERROR_INVALID_PARAMETER;
  }
  return SetSimulatedValue(kSimulatedAcValue, status, ReadSimulatedAcLineStatus, changed, delivery);
}

DWORD SetSimulatedBatteryPercent(BYTE percent, bool* changed, PowerDelivery* delivery) {
  if (percent > 100 && percent != BATTERY_PERCENTAGE_UNKNOWN) {
    *changed = false;
    *delivery = PowerDelivery();
    return ERROR_INVALID_PARAMETER;
  }
  return SetSimulatedValue(kSimulatedBatteryValue, percent, ReadSimulatedBatteryPercent, changed,
                           delivery);
}

PowerDelivery BroadcastPowerNotification(DWORD message, DWORD processId) {
  PowerDelivery delivery;
  HANDLE tableLock;
  SubscriptionTable* table = Table(&tableLock);
  if (!table) return delivery;
  POWER_BROADCAST record = {};
  record.Message = message;
  record.Flags = POWER_STATE_ON;
  HeldMutex held(tableLock);
  DropDeadSubscriptions(table);
  for (DWORD i = 0; i < kMaxSubscriptions; ++i) {
    SubscriptionSlot& slot = table->slots[i];
    if (!slot.used || (slot.filter & message) == 0) continue;
    if (processId != 0 && slot.processId != processId) continue;
    HANDLE writer = OpenMsgQueueByObjectName(QueueNameOf(table, i), false);
    if (!writer) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) slot.used = 0;  // the queue is gone
      ++delivery.dropped;
      continue;
    }
    // Never block: a full queue loses the notification, as on a device.
    if (WriteMsgQueue(writer, &record, sizeof record, 0, 0)) {
      ++delivery.delivered;
    } else {
      ++delivery.dropped;
    }
    CloseMsgQueue(writer);
  }
  return delivery;
}

std::vector<PowerSubscriptionInfo> ListPowerSubscriptions() {
  std::vector<PowerSubscriptionInfo> list;
  HANDLE tableLock;
  SubscriptionTable* table = Table(&tableLock);
  if (!table) return list;
  HeldMutex held(tableLock);
  DropDeadSubscriptions(table);
  for (DWORD i = 0; i < kMaxSubscriptions; ++i) {
    const SubscriptionSlot& slot = table->slots[i];
    if (slot.used) list.push_back({slot.processId, slot.filter, QueueNameOf(table, i)});
  }
  return list;
}

HANDLE WINAPI RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags) {
  if (Flags == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  PowerSourceKind source = ConfiguredPowerSource();
  if (source == PowerSourceKind::Invalid) {
    SetLastError(ERROR_BAD_CONFIGURATION);
    return nullptr;
  }
  bool reader = false;
  std::wstring queue = MsgQueueObjectName(hMsgQ, &reader);
  if (queue.empty() || !reader || queue.size() >= kQueueNameChars) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HANDLE tableLock;
  SubscriptionTable* table = Table(&tableLock);
  if (!table) return nullptr;
  HANDLE writer = OpenMsgQueueByObjectName(queue, false);
  if (!writer) return nullptr;

  auto* subscription = new Subscription{0, 0, writer};
  {
    HeldMutex held(tableLock);
    DropDeadSubscriptions(table);
    DWORD free = kMaxSubscriptions;
    for (DWORD i = 0; i < kMaxSubscriptions && free == kMaxSubscriptions; ++i) {
      if (!table->slots[i].used) free = i;
    }
    if (free == kMaxSubscriptions) {
      CloseMsgQueue(writer);
      delete subscription;
      SetLastError(ERROR_OUTOFMEMORY);
      return nullptr;
    }
    SubscriptionSlot& slot = table->slots[free];
    slot.processId = GetCurrentProcessId();
    slot.filter = Flags;
    slot.serial = ++table->lastSerial;
    lstrcpynW(table->queues[free], queue.c_str(), kQueueNameChars);
    slot.used = 1;
    subscription->slot = free;
    subscription->serial = slot.serial;
  }

  PowerState& state = State();
  HeldMutex held(state.lock);
  state.subscriptions.insert(subscription);
  if (source == PowerSourceKind::Real && !state.watcher) {
    if (!state.watcherStop) state.watcherStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(state.watcherStop);
    state.watcher = CreateThread(nullptr, 0, WatchRealPower, state.watcherStop, 0, nullptr);
    if (!state.watcher) {
      DWORD error = GetLastError();
      state.subscriptions.erase(subscription);
      {
        HeldMutex shared(tableLock);
        table->slots[subscription->slot].used = 0;
      }
      CloseMsgQueue(writer);
      delete subscription;
      SetLastError(error);
      return nullptr;
    }
  }
  SetLastError(ERROR_SUCCESS);
  return subscription;
}

DWORD WINAPI StopPowerNotifications(HANDLE h) {
  auto* subscription = static_cast<Subscription*>(h);
  PowerState& state = State();
  HANDLE watcher = nullptr;
  {
    HeldMutex held(state.lock);
    if (state.subscriptions.erase(subscription) == 0) return ERROR_INVALID_HANDLE;
    if (state.subscriptions.empty()) std::swap(watcher, state.watcher);
  }
  HANDLE tableLock;
  SubscriptionTable* table = Table(&tableLock);
  if (table) {
    HeldMutex held(tableLock);
    SubscriptionSlot& slot = table->slots[subscription->slot];
    if (slot.used && slot.serial == subscription->serial &&
        slot.processId == GetCurrentProcessId()) {
      slot.used = 0;
    }
  }
  CloseMsgQueue(subscription->writer);
  delete subscription;
  if (watcher) {  // the last subscription: end the watcher outside the locks it takes
    SetEvent(state.watcherStop);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
  }
  return ERROR_SUCCESS;
}

BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pSystemPowerStatusEx, BOOL fUpdate) {
  (void)fUpdate;  // both sources always answer with fresh figures
  if (!pSystemPowerStatusEx) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SYSTEM_POWER_STATUS_EX status;
  FillUnknownBattery(&status);
  switch (ConfiguredPowerSource()) {
    case PowerSourceKind::Simulated:
      if (!ReadSimulatedAcLineStatus(&status.ACLineStatus) ||
          !ReadSimulatedBatteryPercent(&status.BatteryLifePercent)) {
        return FALSE;
      }
      status.BatteryFlag = SimulatedBatteryFlag(status.BatteryLifePercent);
      break;
    case PowerSourceKind::Real: {
      SYSTEM_POWER_STATUS real;
      if (!GetSystemPowerStatus(&real)) return FALSE;
      status.ACLineStatus = real.ACLineStatus;
      status.BatteryFlag = real.BatteryFlag;
      status.BatteryLifePercent = real.BatteryLifePercent;
      status.BatteryLifeTime = real.BatteryLifeTime;
      status.BatteryFullLifeTime = real.BatteryFullLifeTime;
      break;
    }
    case PowerSourceKind::Invalid: SetLastError(ERROR_BAD_CONFIGURATION); return FALSE;
  }
  *pSystemPowerStatusEx = status;
  return TRUE;
}
