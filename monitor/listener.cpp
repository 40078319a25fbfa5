// The power notification listener: a message queue subscribed to the power
// manager's status changes, read on a thread of its own.
#include "monitor/monitor.h"

#include <cstring>

#include "platform/ce/ce_power.h"
#include "shared/schedule_points.h"

std::atomic<uint8_t> lastAcLineStatus{AC_LINE_UNKNOWN};
std::atomic<uint8_t> lastBatteryPercent{BATTERY_PERCENTAGE_UNKNOWN};

namespace {

const wchar_t kPowerQueueName[] = L"VorlixPowerMonitor";  // 18 characters, ours alone

// Written on the user-interface thread while the reader does not run.
HANDLE powerQueue = nullptr;
HANDLE powerNotifications = nullptr;
HANDLE readerThread = nullptr;

DWORD readerThreadId = 0;

// Reader only. After a failed read it still holds the previous message.
alignas(DWORD) BYTE messageBuffer[16];
DWORD bytesRead = 0;
DWORD messageFlags = 0;

// Busy covers the handling of one notification. Once the reader is Stopping it
// takes no further one, so it can be ended without holding a lock; LetGo is a
// reader told to stop while it made the power call, which is not ended (see
// QuiescePowerQueueReader). One value for all, changed by compare-exchange: a
// reader ended while busy leaves nothing behind that a later stop would wait for.
enum class ReaderState { Idle, Busy, Stopping, LetGo };
std::atomic<ReaderState> readerState{ReaderState::Idle};
std::atomic<bool> readerStarted{false};  // the reader has reached its routine

}  // namespace

bool ReadAcLineStatus(uint8_t& status) {
  SYSTEM_POWER_STATUS_EX powerStatus;
  if (!GetSystemPowerStatusEx(&powerStatus, FALSE)) return false;
  status = powerStatus.ACLineStatus;
  return true;
}

bool ReadPowerStatus(TPowerReading& reading) {
  SYSTEM_POWER_STATUS_EX powerStatus;
  if (!GetSystemPowerStatusEx(&powerStatus, FALSE)) return false;
  reading.acLineStatus = powerStatus.ACLineStatus;
  reading.batteryFlag = powerStatus.BatteryFlag;
  reading.batteryPercent = powerStatus.BatteryLifePercent;
  return true;
}

uint8_t KnownBatteryLevel(const TPowerReading& reading) {
  // BATTERY_FLAG_UNKNOWN (all bits) has the no-battery bit too.
  if ((reading.batteryFlag & BATTERY_FLAG_NO_BATTERY) || reading.batteryPercent > 100) {
    return BATTERY_PERCENTAGE_UNKNOWN;
  }
  return reading.batteryPercent;
}

void DispatchAcLineStatus(uint8_t currentAcLineStatus) {
  uint8_t previous = lastAcLineStatus.load();
  if (currentAcLineStatus == previous) return;
  lastAcLineStatus = currentAcLineStatus;
  // Only 0 means external power is gone; 1, 255 and anything else mean present.
  if (currentAcLineStatus == AC_LINE_OFFLINE) {
    LogEvent("power lost");
    StartSequence(theMonitor);
  } else {
    if (previous == AC_LINE_OFFLINE) LogEvent("power back");
    StopSequence(theMonitor, false, "cancelled by power back");
    RearmBatteryNotice();
  }
}

void DispatchBatteryLevel(const TPowerReading& reading) {
  uint8_t level = KnownBatteryLevel(reading);
  lastBatteryPercent = level;
  // A low reading while external power is there (or may be) never acts: the
  // power call would suspend a device that runs on mains.
  if (reading.acLineStatus != AC_LINE_OFFLINE || level == BATTERY_PERCENTAGE_UNKNOWN) return;
  uint8_t critical = monitorSettings.critical_battery;
  if (critical == 0 || level > critical) return;
  StartBatterySequence(theMonitor, level);
}

DWORD WINAPI PowerQueueReader(LPVOID) {
  readerStarted = true;
  for (;;) {
    if (WaitForSingleObject(powerQueue, INFINITE) == WAIT_FAILED) break;
    SchedulePoint("reader: woken");
    ReaderState idle = ReaderState::Idle;
    if (!readerState.compare_exchange_strong(idle, ReaderState::Busy)) break;  // told to stop
    ReadMsgQueue(powerQueue, messageBuffer, sizeof messageBuffer, &bytesRead, INFINITE,
                 &messageFlags);
    DWORD message;
    std::memcpy(&message, messageBuffer, sizeof message);  // POWER_BROADCAST::Message
    TPowerReading reading;
    if (message == PBT_POWERSTATUSCHANGE && ReadPowerStatus(reading)) {
      // The AC line first: a power loss in the same reading starts its own
      // sequence, which the battery's then leaves alone.
      DispatchAcLineStatus(reading.acLineStatus);
      DispatchBatteryLevel(reading);
    }
    SchedulePoint("reader: handled");
    ReaderState busy = ReaderState::Busy;
    // Told to stop while it made the power call: let go, it takes no more.
    if (!readerState.compare_exchange_strong(busy, ReaderState::Idle)) break;
  }
  // The reader never returns: a thread on its way out goes through the loader,
  // and ended in there by SwitchPowerListener it would hold the loader lock for
  // good, so that the process could no longer end.
  Sleep(INFINITE);
  return 0;
}

void QuiescePowerQueueReader() {
  for (;;) {
    ReaderState state = readerState.load();
    if (state == ReaderState::Stopping || state == ReaderState::LetGo) return;
    if (state == ReaderState::Idle &&
        readerState.compare_exchange_strong(state, ReaderState::Stopping)) {
      return;
    }
    // A reader that makes the power call (with no delay and no countdown) is
    // not waited for: a suspend returns only when the device resumes.
    if (state == ReaderState::Busy && MakingPowerCall(readerThreadId) &&
        readerState.compare_exchange_strong(state, ReaderState::LetGo)) {
      return;
    }
    ServeSentMessages();
  }
}

bool SwitchPowerListener(bool on) {
  if (on) {
    // Subscribed before the status is read: a change in between then comes as
    // a notification that agrees with the status read, and changes nothing;
    // read first, it would be missed, and the next battery notification would
    // start a countdown minutes later.
    // dwSize is the record's size on this build (20, as on the device).
    MSGQUEUEOPTIONS options = {sizeof(MSGQUEUEOPTIONS), 0, 5, 16, TRUE};
    powerQueue = CreateMsgQueue(kPowerQueueName, &options);
    if (!powerQueue) return false;
    powerNotifications = RequestPowerNotifications(powerQueue, PBT_POWERSTATUSCHANGE);
    if (!powerNotifications) return false;
    SchedulePoint("listener: starting");
    TPowerReading reading;
    if (!ReadPowerStatus(reading)) return false;
    lastAcLineStatus = reading.acLineStatus;
    // Kept only: a battery already low at the start brings its notice at the
    // next notification (the device sends one at every change of the level).
    lastBatteryPercent = KnownBatteryLevel(reading);
    readerState = ReaderState::Idle;
    readerStarted = false;
    readerThread = CreateThread(nullptr, kWorkerStackSize, PowerQueueReader, nullptr,
                                STACK_SIZE_PARAM_IS_A_RESERVATION, &readerThreadId);
    if (!readerThread) return false;
    // Past the loader before anything may end it (a close right after the start).
    while (!readerStarted && WaitForSingleObject(readerThread, 0) == WAIT_TIMEOUT) Sleep(0);
    return true;
  }
  QuiescePowerQueueReader();
  SchedulePoint("listener: ending the reader");
  if (readerThread) {
    // Let go in the power call, it might hold a lock there: it sleeps once done.
    if (readerState != ReaderState::LetGo) EndThread(readerThread);
    readerThread = nullptr;
    readerThreadId = 0;
  }
  if (powerNotifications) {
    StopPowerNotifications(powerNotifications);
    powerNotifications = nullptr;
  }
  if (powerQueue) {
    CloseMsgQueue(powerQueue);
    powerQueue = nullptr;
  }
  return true;
}
