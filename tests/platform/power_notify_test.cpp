// Power notifications and status of the stand-in, driven by powerctl.exe from a
// separate process the way a user or a script drives a running monitor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/platform_test_support.h"

using namespace platform_test;

namespace {

const DWORD kSuccess = ERROR_SUCCESS, kInvalidHandle = ERROR_INVALID_HANDLE,
            kInvalidParameter = ERROR_INVALID_PARAMETER;

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

// "<percent> <flag>" as GetSystemPowerStatusEx reports the battery.
std::string Battery() {
  SYSTEM_POWER_STATUS_EX status = {};
  EXPECT_TRUE(GetSystemPowerStatusEx(&status, FALSE));
  return std::to_string(status.BatteryLifePercent) + " " + std::to_string(status.BatteryFlag);
}

void SetBattery(BYTE percent) {
  bool changed;
  PowerDelivery delivery;
  ASSERT_EQ(kSuccess, SetSimulatedBatteryPercent(percent, &changed, &delivery));
}

class PowerNotifications : public ::testing::Test {
 protected:
  void SetUp() override {
    bool changed;
    PowerDelivery delivery;
    ASSERT_EQ(kSuccess, SetSimulatedAcLineStatus(AC_LINE_ONLINE, &changed, &delivery));
    SetBattery(100);
  }
  void TearDown() override { SetBattery(100); }
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
  EXPECT_EQ("online\nbattery 100% flag=0x01\n", Powerctl(L"status").output);
  EXPECT_EQ(2u, Powerctl(L"ac sideways").exitCode);
}

// The battery level as the device's power manager notifies it: one
// notification per change of the level, none for the level it has.
TEST_F(PowerNotifications, EachBatteryLevelChangeFromPowerctlArrivesOnce) {
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.queue && s.notifications);
  EXPECT_EQ("100 1", Battery()) << "the default: full, BATTERY_FLAG_HIGH";
  RunResult run = Powerctl(L"battery 15");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("battery 15%: changed, 1 queue(s) notified\n", run.output);
  EXPECT_EQ(kStatusChange, s.Take());
  EXPECT_EQ("15 2", Battery());
  EXPECT_EQ(AC_LINE_ONLINE, AcLineStatus()) << "the AC line stays as it was";

  EXPECT_EQ("battery 15%: unchanged\n", Powerctl(L"battery 15").output);
  EXPECT_EQ(kNone, s.Take());
  Powerctl(L"ac offline");
  s.Take();
  EXPECT_EQ("offline\nbattery 15% flag=0x02\n", Powerctl(L"status").output);

  EXPECT_EQ("battery unknown: changed, 1 queue(s) notified\n", Powerctl(L"battery unknown").output);
  EXPECT_EQ(kStatusChange, s.Take());
  EXPECT_EQ("255 255", Battery());
  EXPECT_EQ("offline\nbattery unknown flag=0xFF\n", Powerctl(L"status").output);
  for (const wchar_t* bad :
       {L"battery 101", L"battery -1", L"battery 1.5", L"battery", L"battery x"})
    EXPECT_EQ(2u, Powerctl(bad).exitCode) << bad;
  EXPECT_EQ(kNone, s.Take());
}

// The flag follows the level: BATTERY_FLAG_HIGH above 66 %, no bit from 33 to
// 66, BATTERY_FLAG_LOW below 33, BATTERY_FLAG_CRITICAL below 5.
TEST_F(PowerNotifications, TheSimulatedBatteryFlagFollowsItsLevel) {
  const struct {
    BYTE percent;
    const char* reported;
  } cases[] = {{100, "100 1"}, {67, "67 1"}, {66, "66 0"}, {33, "33 0"},
               {32, "32 2"},   {5, "5 2"},   {4, "4 4"},   {0, "0 4"}};
  for (const auto& c : cases) {
    SetBattery(c.percent);
    EXPECT_EQ(c.reported, Battery());
  }
  bool changed;
  PowerDelivery delivery;
  EXPECT_EQ(kInvalidParameter, SetSimulatedBatteryPercent(101, &changed, &delivery));
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
  EXPECT_EQ(kSuccess, StopPowerNotifications(s.notifications));
  EXPECT_EQ(kInvalidHandle, StopPowerNotifications(s.notifications));
  s.notifications = nullptr;
  Powerctl(L"notify");
  EXPECT_EQ(kNone, s.Take());
  EXPECT_EQ(std::string::npos, Powerctl(L"subscribers").output.find(pid));
  EXPECT_EQ(nullptr, RequestPowerNotifications(nullptr, PBT_POWERSTATUSCHANGE));
  EXPECT_EQ(nullptr, Subscriber(0).notifications) << "no filter";
}

TEST_F(PowerNotifications, FullQueueLosesNotificationsWithoutBlockingPowerctl) {
  Subscriber s(PBT_POWERSTATUSCHANGE, 1);
  ASSERT_TRUE(s.notifications);
  Powerctl(L"notify");
  RunResult second = Powerctl(L"notify");
  EXPECT_EQ(0u, second.exitCode);
  EXPECT_NE(std::string::npos, second.output.find("0 queue(s) notified, 1 not reached"))
      << second.output;
  EXPECT_EQ(kStatusChange, s.Take());
}

TEST_F(PowerNotifications, SubscriptionOfAnEndedProcessIsForgotten) {
  HANDLE probe = Start(ProbePath(), L"subscribe");
  ASSERT_TRUE(probe);
  DWORD probeId = GetProcessId(probe);
  EXPECT_EQ(0u, ExitCodeOf(probe));
  for (const PowerSubscriptionInfo& s : ListPowerSubscriptions()) EXPECT_NE(probeId, s.processId);
}

TEST(PowerStatus, SimulatedStatusLivesInTheRegistry) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"Simulated");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatedPowerKey, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &key, nullptr));
  auto store = [&](DWORD type, DWORD value) {
    RegSetValueExW(key, kSimulatedAcValue, 0, type, reinterpret_cast<BYTE*>(&value), sizeof value);
  };
  RegDeleteValueW(key, kSimulatedAcValue);
  EXPECT_EQ(AC_LINE_ONLINE, AcLineStatus()) << "never set";
  store(REG_DWORD, 7);
  EXPECT_EQ(AC_LINE_UNKNOWN, AcLineStatus());
  store(REG_BINARY, 0);
  EXPECT_EQ(AC_LINE_UNKNOWN, AcLineStatus());
  store(REG_DWORD, 0);
  EXPECT_EQ(AC_LINE_OFFLINE, AcLineStatus());
  RegDeleteValueW(key, kSimulatedAcValue);

  // The battery level beside it: 100 when never set, unknown for anything but
  // 0 to 100 stored there.
  auto storeLevel = [&](DWORD type, DWORD value) {
    RegSetValueExW(key, kSimulatedBatteryValue, 0, type, reinterpret_cast<BYTE*>(&value),
                   sizeof value);
  };
  RegDeleteValueW(key, kSimulatedBatteryValue);
  EXPECT_EQ("100 1", Battery()) << "never set";
  storeLevel(REG_DWORD, 150);
  EXPECT_EQ("255 255", Battery());
  storeLevel(REG_BINARY, 50);
  EXPECT_EQ("255 255", Battery());
  storeLevel(REG_DWORD, 50);
  EXPECT_EQ("50 0", Battery());
  RegDeleteValueW(key, kSimulatedBatteryValue);
  RegCloseKey(key);
  EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, FALSE));
}

TEST(PowerStatus, RealSourceReportsThisMachine) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"real");
  SYSTEM_POWER_STATUS machine;
  ASSERT_TRUE(GetSystemPowerStatus(&machine));
  EXPECT_EQ(machine.ACLineStatus, AcLineStatus());
  EXPECT_EQ(std::to_string(machine.BatteryLifePercent) + " " + std::to_string(machine.BatteryFlag),
            Battery());
  // The watcher thread starts with the first subscription and ends with the last.
  Subscriber s(PBT_POWERSTATUSCHANGE);
  ASSERT_TRUE(s.notifications);
  EXPECT_EQ(kSuccess, StopPowerNotifications(s.notifications));
  s.notifications = nullptr;
}

TEST(PowerStatus, UnknownSourceIsRefused) {
  ScopedEnvironment source(L"VORLIX_POWER_SOURCE", L"battery");
  SYSTEM_POWER_STATUS_EX status;
  EXPECT_FALSE(GetSystemPowerStatusEx(&status, FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_CONFIGURATION), GetLastError());
  EXPECT_EQ(nullptr, Subscriber(PBT_POWERSTATUSCHANGE).notifications);
}
