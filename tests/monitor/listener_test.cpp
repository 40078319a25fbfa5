// The listener on the stand-in's queue: which notifications start or stop.
#include "platform/desktop/power_standin.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

// Writes one notification of the given kind straight into the monitor's queue.
void WriteToMonitorQueue(DWORD message) {
  MSGQUEUEOPTIONS options = {sizeof(MSGQUEUEOPTIONS), 0, 5, 16, FALSE};
  HANDLE writer = CreateMsgQueue(L"VorlixPowerMonitor", &options);
  ASSERT_NE(nullptr, writer);
  BYTE buffer[16] = {};
  memcpy(buffer, &message, sizeof message);
  EXPECT_TRUE(WriteMsgQueue(writer, buffer, sizeof buffer, 1000, 0));
  CloseMsgQueue(writer);
}

}  // namespace

class ListenerTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    monitorSettings.delay_time = 0;  // a start shows the overlay at once
    monitorSettings.cancel_time = 50;
  }
  bool Shows() {
    return PumpUntil(2000, [&] { return OverlayVisible(); });
  }
  bool Hides() {
    return PumpUntil(2000, [&] { return !OverlayVisible(); });
  }
};

TEST_F(ListenerTest, StartingOnBatteryWaitsForPowerToComeAndGo) {
  SetAc(AC_LINE_OFFLINE);
  StartMonitor();
  EXPECT_EQ(AC_LINE_OFFLINE, lastAcLineStatus);
  BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);
  Pump(4 * kTestTick);
  EXPECT_LT(FirstEvent('S'), 0);
  SetAcAndWait(AC_LINE_ONLINE);
  SetAc(AC_LINE_OFFLINE);
  EXPECT_TRUE(Shows());
}

TEST_F(ListenerTest, RepeatedOfflineNotificationsDoNotRestartTheSequence) {
  monitorSettings.delay_time = 2;
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  // A restart would set the delay back each time: the overlay would never come.
  for (int i = 0; i < 8 && !OverlayVisible(); ++i) {
    Pump(kTestTick / 2);
    BroadcastPowerNotification(PBT_POWERSTATUSCHANGE);
  }
  EXPECT_TRUE(Shows());
  EXPECT_EQ(Line(50), TextsWhileShown().at(0));
}

TEST_F(ListenerTest, UnknownAfterOfflineStopsLikeOnline) {
  StartMonitor();
  SetAc(AC_LINE_OFFLINE);
  ASSERT_TRUE(Shows());
  SetAc(AC_LINE_UNKNOWN);
  EXPECT_TRUE(Hides());
  EXPECT_EQ(AC_LINE_UNKNOWN, lastAcLineStatus);
  SetAc(AC_LINE_ONLINE);  // stops again, harmlessly
  Pump(2 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(AC_LINE_ONLINE, lastAcLineStatus);
  SetAc(AC_LINE_OFFLINE);
  EXPECT_TRUE(Shows());
  EXPECT_TRUE(PowerCalls().empty());
}

TEST_F(ListenerTest, OnlyStatusChangeNotificationsAreLookedAt) {
  StartMonitor();
  StoreAcSilently(AC_LINE_OFFLINE);
  WriteToMonitorQueue(PBT_TRANSITION);
  Pump(3 * kTestTick);
  EXPECT_FALSE(OverlayVisible());
  EXPECT_EQ(AC_LINE_ONLINE, lastAcLineStatus);
  WriteToMonitorQueue(PBT_POWERSTATUSCHANGE);
  EXPECT_TRUE(Shows());
}
