// The power notification listener: a message queue subscribed to the power
// manager's status changes, read on a thread of its own.
#include "monitor/monitor.h"

#include <cstring>

#include "platform/ce/ce_power.h"
#include "shared/schedule_points.h"

std::atomic<uint8_t> lastAcLineStatus{AC_LINE_UNKNOWN};

namespace {

const wchar_t kPowerQueueName[] = L"VorlixPowerMonitor";  // 18 characters, ours alone

// Written on the user-interface thread while the reader does not run.
HANDLE powerQueue = nullptr;
HANDLE powerNotifications = nullptr;
HANDLE readerThread = nullptr;

// Reader only. After a failed read it still holds the previous message.
alignas(DWORD) BYTE messageBuffer[16];
DWORD bytesRead = 0;
DWORD messageFlags = 0;

// readerBusy covers the handling of one notification; once readerStopping is
// set the reader takes no further one, so it can be ended without holding a lock.
std::atomic<bool> readerBusy{false};
std::atomic<bool> readerStopping{false};
std::atomic<bool> readerStarted{false};  // the reader has reached its routine

}  // namespace

bool ReadAcLineStatus(uint8_t& status) {
  SYSTEM_POWER_STATUS_EX powerStatus;
  if (!GetSystemPowerStatusEx(&powerStatus, FALSE)) return false;
  status = powerStatus.ACLineStatus;
  return true;
}

void DispatchAcLineStatus(uint8_t currentAcLineStatus) {
  if (currentAcLineStatus == lastAcLineStatus.load()) return;
  lastAcLineStatus = currentAcLineStatus;
  // Only 0 means external power is gone; 1, 255 and anything else mean present.
  if (currentAcLineStatus == AC_LINE_OFFLINE) {
    StartSequence(theMonitor);
  } else {
    StopSequence(theMonitor, false);
  }
}

DWORD WINAPI PowerQueueReader(LPVOID) {
  readerStarted = true;
  for (;;) {
    if (WaitForSingleObject(powerQueue, INFINITE) == WAIT_FAILED) break;
    readerBusy = true;
    SchedulePoint("reader: busy raised");
    if (readerStopping) {
      readerBusy = false;
      break;
    }
    ReadMsgQueue(powerQueue, messageBuffer, sizeof messageBuffer, &bytesRead, INFINITE,
                 &messageFlags);
    DWORD message;
    std::memcpy(&message, messageBuffer, sizeof message);  // POWER_BROADCAST::Message
    uint8_t currentAcLineStatus;
    if (message == PBT_POWERSTATUSCHANGE && ReadAcLineStatus(currentAcLineStatus)) {
      DispatchAcLineStatus(currentAcLineStatus);
    }
    SchedulePoint("reader: handled");
    readerBusy = false;
  }
  // The reader never returns: a thread on its way out goes through the loader,
  // and ended in there by SwitchPowerListener it would hold the loader lock for
  // good, so that the process could no longer end.
  Sleep(INFINITE);
  return 0;
}

void QuiescePowerQueueReader() {
  readerStopping = true;
  WaitUntilClear(readerBusy);
}

bool SwitchPowerListener(bool on) {
  if (on) {
    uint8_t status;
    if (!ReadAcLineStatus(status)) return false;
    lastAcLineStatus = status;
    // dwSize is the record's size on this build (20, as on the device).
    MSGQUEUEOPTIONS options = {sizeof(MSGQUEUEOPTIONS), 0, 5, 16, TRUE};
    powerQueue = CreateMsgQueue(kPowerQueueName, &options);
    if (!powerQueue) return false;
    powerNotifications = RequestPowerNotifications(powerQueue, PBT_POWERSTATUSCHANGE);
    if (!powerNotifications) return false;
    readerStopping = false;
    readerStarted = false;
    readerThread = CreateThread(nullptr, 0, PowerQueueReader, nullptr, 0, nullptr);
    if (!readerThread) return false;
    // Past the loader before anything may end it (a close right after the start).
    while (!readerStarted && WaitForSingleObject(readerThread, 0) == WAIT_TIMEOUT) Sleep(0);
    return true;
  }
  QuiescePowerQueueReader();
  if (readerThread) {
    EndThread(readerThread);
    readerThread = nullptr;
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
