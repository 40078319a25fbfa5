// Power notifications and status of the stand-in, driven by powerctl.exe from a
// separate process the way a user or a script drives a running monitor.
#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

// The queue and subscription that the monitor sets up.
struct Subscriber {
  HANDLE queue = nullptr;
  HANDLE notifications = nullptr;
  explicit Subscriber(DWORD filter, DWORD maxMessages = 5) {
    MSGQUEUEOPTIONS options = QueueOptions(TRUE, maxMessages, 16);
    queue = CreateMsgQueue(UniqueName(L"power").c_str(), &options);
    notifications = RequestPowerNotifications(queue, filter);
  }
  ~Subscriber() {
    if (notifications) StopPowerNotifications(notifications);
    if (queue) CloseMsgQueue(queue);
  }
  // The Message fields of every notification waiting now.
  std::vector<DWORD> Take() {
    std::vector<DWORD> messages;
    POWER_BROADCAST record;
    DWORD bytes, flags;
    while (WaitForSingleObject(queue, 0) == WAIT_OBJECT_0 &&
           ReadMsgQueue(queue, &record, sizeof record, &bytes, 0, &flags)) {
      EXPECT_EQ(16u, bytes);
      EXPECT_EQ(static_cast<DWORD>(POWER_STATE_ON), record.Flags);
      messages.push_back(record.Message);
    }
    return messages;
  }
};

BYTE AcLineStatus() {
  SYSTEM_POWER_STATUS_EX status = {};
  EXPECT_TRUE(GetSystemPowerStatusEx(&status, FALSE));
  return status.ACLineStatus;
}

class PowerNotifications : public ::testing::Test {
 protected:
  void SetUp() override {
    bool changed;
    PowerDelivery delivery;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSimulatedAcLineStatus(AC_LINE_ONLINE, &changed, &delivery));
  }
  ScopedEnvironment source_{L"VORLIX_POWER_SOURCE", nullptr};
};

const std::vector<DWORD> kStatusChange = {PBT_POWERSTATUSCHANGE};
const std::vector<DWORD> kNone;

}  // namespace

TEST_F(PowerNotifications, EachAcChangeFromPowerctlArrivesOnce) {
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.queue && s.notifications);
  RunResult run = Powerctl(L"ac offline");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("changed, 1 queue(s) notified")) << run.output;
  EXPECT_EQ(kStatusChange, s.Take());
  EXPECT_EQ(AC_LINE_OFFLINE, AcLineStatus());

  run = Powerctl(L"ac offline");
  EXPECT_NE(std::string::npos, run.output.find("unchanged")) << run.output;
  EXPECT_EQ(kNone, s.Take());

  Powerctl(L"ac unknown");
  EXPECT_EQ(kStatusChange, s.Take());
  EXPECT_EQ(AC_LINE_UNKNOWN, AcLineStatus());
  Powerctl(L"ac online");
  EXPECT_EQ(kStatusChange, s.Take());
  EXPECT_EQ("online\n", Powerctl(L"status").output);
  EXPECT_EQ(2u, Powerctl(L"ac sideways").exitCode);
}

TEST_F(PowerNotifications, NotificationsFollowTheFilter) {
  Subscriber status(PBT_POWERSTATUSCHANGE), all(POWER_NOTIFY_ALL);
  ASSERT_TRUE(status.notifications && all.notifications);
  EXPECT_EQ(0u, Powerctl(L"notify").exitCode);
  EXPECT_EQ(kStatusChange, status.Take());
  EXPECT_EQ(kStatusChange, all.Take());
  EXPECT_EQ(0u, Powerctl(L"notify-other").exitCode);
  EXPECT_EQ(kNone, status.Take());
  EXPECT_EQ(std::vector<DWORD>{PBT_TRANSITION}, all.Take());
}

TEST_F(PowerNotifications, StopEndsDeliveryAndTheSubscription) {
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.notifications);
  std::string pid = "pid=" + std::to_string(GetCurrentProcessId()) + " filter=0x00000004";
  EXPECT_NE(std::string::npos, Powerctl(L"subscribers").output.find(pid));
  MSGQUEUEINFO info = {};
  info.dwSize = sizeof info;
  ASSERT_TRUE(GetMsgQueueInfo(s.queue, &info));
  EXPECT_EQ(1u, info.wNumWriters) << "the subscription keeps a write handle";

  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), StopPowerNotifications(s.notifications));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), StopPowerNotifications(s.notifications));
  s.notifications = nullptr;
  ASSERT_TRUE(GetMsgQueueInfo(s.queue, &info));
  EXPECT_EQ(0u, info.wNumWriters);
  Powerctl(L"notify");
  EXPECT_EQ(kNone, s.Take());
  EXPECT_EQ(std::string::npos, Powerctl(L"subscribers").output.find(pid));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), StopPowerNotifications(nullptr));
}

TEST_F(PowerNotifications, OnlyReadQueuesCanSubscribe) {
  MSGQUEUEOPTIONS writeOptions = QueueOptions(FALSE, 5, 16, MSGQUEUE_ALLOW_BROKEN);
  HANDLE writer = CreateMsgQueue(UniqueName(L"power").c_str(), &writeOptions);
  EXPECT_EQ(nullptr, RequestPowerNotifications(writer, PBT_POWERSTATUSCHANGE));
  EXPECT_EQ(nullptr, RequestPowerNotifications(nullptr, PBT_POWERSTATUSCHANGE));
  CloseMsgQueue(writer);
  EXPECT_EQ(nullptr, RequestPowerNotifications(writer, PBT_POWERSTATUSCHANGE)) << "closed queue";
  Subscriber noFilter(0);
  EXPECT_EQ(nullptr, noFilter.notifications);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(PowerNotifications, FullQueueLosesNotificationsWithoutBlockingPowerctl) {
  Subscriber s(PBT_POWERSTATUSCHANGE, 1);
  ASSERT_TRUE(s.notifications);
  Powerctl(L"notify");
  RunResult second = Powerctl(L"notify");
  EXPECT_EQ(0u, second.exitCode);
  EXPECT_NE(std::string::npos, second.output.find("0 queue(s) notified, 1 not reached")) << second.output;
  EXPECT_EQ(kStatusChange, s.Take());
}

TEST_F(PowerNotifications, SubscriptionOfAnEndedProcessIsForgotten) {
  HANDLE probe = Start(ProbePath(), L"subscribe");
  ASSERT_TRUE(probe);
  DWORD probeId = GetProcessId(probe);
  EXPECT_EQ(0u, ExitCodeOf(probe));
  for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) EXPECT_NE(probeId, s.processId);
}

TEST_F(PowerNotifications, ReaderThreadAsInTheMonitor) {
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.notifications);
  struct Shared {
    HANDLE queue;
    HANDLE seen;
    volatile LONG status;
  } shared = {s.queue, CreateEventW(nullptr, FALSE, FALSE, nullptr), -1};
  HANDLE reader = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
    auto* shared = static_cast<Shared*>(p);
    for (;;) {
      if (WaitForSingleObject(shared->queue, INFINITE) == WAIT_FAILED) return 0;
      POWER_BROADCAST record;
      DWORD bytes, flags;
      ReadMsgQueue(shared->queue, &record, sizeof record, &bytes, INFINITE, &flags);
      SYSTEM_POWER_STATUS_EX status;
      if (record.Message == PBT_POWERSTATUSCHANGE && GetSystemPowerStatusEx(&status, FALSE)) {
        InterlockedExchange(&shared->status, status.ACLineStatus);
        SetEvent(shared->seen);
      }
    }
  }, &shared, 0, nullptr);
  ASSERT_TRUE(reader);
  Powerctl(L"ac offline");
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(shared.seen, 5000));
  EXPECT_EQ(AC_LINE_OFFLINE, shared.status);

  // The monitor's stop: end the reader where it is, then unsubscribe and close.
  TerminateThread(reader, 0);
  WaitForSingleObject(reader, 5000);
  CloseHandle(reader);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), StopPowerNotifications(s.notifications));
  s.notifications = nullptr;
  EXPECT_TRUE(CloseMsgQueue(s.queue));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(s.queue, 0));
  s.queue = nullptr;
  CloseHandle(shared.seen);
}

TEST(PowerStatus, SimulatedStatusLivesInTheRegistry) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"Simulated");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatedPowerKey, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &key, nullptr));
  RegDeleteValueW(key, kSimulatedAcValue);
  EXPECT_EQ(AC_LINE_ONLINE, AcLineStatus()) << "never set";
  DWORD odd = 7;
  RegSetValueExW(key, kSimulatedAcValue, 0, REG_DWORD, reinterpret_cast<BYTE*>(&odd), sizeof odd);
  EXPECT_EQ(AC_LINE_UNKNOWN, AcLineStatus());
  RegSetValueExW(key, kSimulatedAcValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"0"), 4);
  EXPECT_EQ(AC_LINE_UNKNOWN, AcLineStatus());
  DWORD offline = 0;
  RegSetValueExW(key, kSimulatedAcValue, 0, REG_DWORD, reinterpret_cast<BYTE*>(&offline), sizeof offline);
  EXPECT_EQ(AC_LINE_OFFLINE, AcLineStatus());
  RegDeleteValueW(key, kSimulatedAcValue);
  RegCloseKey(key);

  EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(PowerStatus, RealSourceReportsThisMachine) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"real");
  SYSTEM_POWER_STATUS machine;
  ASSERT_TRUE(GetSystemPowerStatus(&machine));
  EXPECT_EQ(machine.ACLineStatus, AcLineStatus());
  // The watcher thread starts with the first subscription and ends with the last.
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.notifications);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), StopPowerNotifications(s.notifications));
  s.notifications = nullptr;
}

TEST(PowerStatus, UnknownSourceIsRefused) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"battery");
  SYSTEM_POWER_STATUS_EX status;
  EXPECT_FALSE(GetSystemPowerStatusEx(&status, FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_CONFIGURATION), GetLastError());
  Subscriber s(PBT_POWERSTATUSCHANGE);
  EXPECT_EQ(nullptr, s.notifications);
}
