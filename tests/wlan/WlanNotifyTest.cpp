// The manager's notification side: which reports become which sink calls, in which order, the
// station list behind them, the replay on registration and the registration rules.
#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using Lines = std::vector<std::string>;
using platform::kWlanHostedNetworkActive;
using platform::kWlanHostedNetworkIdle;
using platform::kWlanHostedNetworkUnavailable;

// A running network with two peers, started after the manager's Init (whose peer limit would
// take a network running before it out of use).
struct NotifiedTest : ::testing::Test {
  NotifiedTest() : manager(rig.service, rig.kernel, rig.codePage, rig.trace) {}
  void SetUp() override {
    ASSERT_EQ(manager.Init(10), platform::kS_OK);
    ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
    ASSERT_TRUE(rig.service.restart());
    rig.service.machineStationJoin(test::kMacA);
    rig.service.machineStationJoin(test::kMacB);
    rig.deliver();
    ASSERT_EQ(sink.lines(), (Lines{"started", "join 00-1A-2B-3C-4D-5E", "join 0A-0B-0C-0D-0E-0F"}));
    sink.clear();
  }
  void TearDown() override {
    static_cast<void>(manager.RemoveNotificationSink());  // a test may have removed it already
  }
  bool Started() {
    bool started = false;
    EXPECT_EQ(manager.IsHostedNetworkStarted(started), platform::kS_OK);
    return started;
  }
  // The stations the manager holds, as a fresh registration replays them (active only).
  Lines Stations() {
    test::RecordingSink probe;
    EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
    EXPECT_EQ(manager.SetNotificationSink(&probe), platform::kS_OK);
    EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
    EXPECT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
    return probe.lines();
  }
  void Change(std::uint32_t from, std::uint32_t to, std::uint32_t reason) {
    rig.service.machineSetState(from, to, reason);
    rig.deliver();
  }

  test::Rig rig;
  CWlanManager manager;
  test::RecordingSink sink;
};

TEST_F(NotifiedTest, TransientUnavailableReportsAreIgnored) {
  for (std::uint32_t reason : {0u, 11u, 14u, 25u, 26u}) Change(kWlanHostedNetworkActive, kWlanHostedNetworkUnavailable, reason);
  EXPECT_TRUE(sink.lines().empty());
  EXPECT_TRUE(Started());
  EXPECT_EQ(Stations().size(), 2u);
}

TEST_F(NotifiedTest, UserStopReportsLeavesThenStopped) {
  Change(kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 17);
  EXPECT_EQ(sink.lines(), (Lines{"leave 00-1A-2B-3C-4D-5E", "leave 0A-0B-0C-0D-0E-0F", "stopped"}));
  EXPECT_FALSE(Started());
  Change(kWlanHostedNetworkIdle, kWlanHostedNetworkActive, 0);  // an empty list after the stop
  EXPECT_TRUE(Stations().empty());
}

TEST_F(NotifiedTest, MiniportStopIsAStopToo) {
  Change(kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 13);
  EXPECT_EQ(sink.lines().back(), "stopped");
  EXPECT_EQ(sink.lines().size(), 3u);
}

TEST_F(NotifiedTest, OtherIdleReportsKeepTheStations) {
  Change(kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 26);
  EXPECT_EQ(sink.lines(), Lines{"available"});
  EXPECT_FALSE(Started());
  Change(kWlanHostedNetworkIdle, kWlanHostedNetworkActive, 0);
  EXPECT_EQ(sink.lines(), (Lines{"available", "started"}));
  EXPECT_EQ(Stations().size(), 2u);  // kept through the idle report
}

TEST_F(NotifiedTest, UnavailableFromActiveStopsFirst) {
  Change(kWlanHostedNetworkActive, kWlanHostedNetworkUnavailable, 1);
  EXPECT_EQ(sink.lines(), (Lines{"leave 00-1A-2B-3C-4D-5E", "leave 0A-0B-0C-0D-0E-0F", "stopped", "not-available"}));
  // Unavailable: a new registration is told so once.
  test::RecordingSink probe;
  ASSERT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
  ASSERT_EQ(manager.SetNotificationSink(&probe), platform::kS_OK);
  EXPECT_EQ(probe.lines(), Lines{"not-available"});
  ASSERT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
}

TEST_F(NotifiedTest, MalformedReportsAreDropped) {
  rig.service.machineNotifyRaw(platform::kWlanHostedNetworkStateChangeCode, 16);
  rig.service.machineNotifyRaw(platform::kWlanHostedNetworkStateChangeCode, 0);
  rig.service.machineNotifyRaw(platform::kWlanHostedNetworkPeerStateChangeCode, 12);
  rig.service.machineNotifyRaw(platform::kWlanHostedNetworkRadioStateChangeCode, 8);
  rig.deliver();
  platform::WlanNotificationData foreign{0x08, platform::kWlanHostedNetworkStateChangeCode, {}, 12, nullptr};
  platform::WlanHostedNetworkStateChange stop{kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 17};
  foreign.pData = &stop;
  manager.Notify(&foreign);  // another source
  manager.Notify(nullptr);
  EXPECT_TRUE(sink.lines().empty());
  EXPECT_TRUE(Started());
}

TEST_F(NotifiedTest, StationsJoinAndLeaveByMac) {
  rig.service.machineStationLeave(test::kMacC);  // not listed: nothing
  rig.service.machineStationJoin(test::kMacC);
  rig.service.machineStationJoin(test::kMacC);  // the same report again: the service does not repeat it
  rig.service.machineStationLeave(test::kMacA);
  rig.service.machineStationJoin(test::kMacA);
  rig.deliver();
  EXPECT_EQ(sink.lines(),
            (Lines{"join C0-FF-EE-00-00-01", "leave 00-1A-2B-3C-4D-5E", "join 00-1A-2B-3C-4D-5E"}));
  EXPECT_EQ(Stations(), (Lines{"join 0A-0B-0C-0D-0E-0F", "join C0-FF-EE-00-00-01", "join 00-1A-2B-3C-4D-5E"}));
}

TEST_F(NotifiedTest, RegistrationRules) {
  test::RecordingSink other;
  EXPECT_EQ(manager.SetNotificationSink(&other), platform::kE_FAIL);
  EXPECT_EQ(manager.SetNotificationSink(nullptr), platform::HResult{87u});
  ASSERT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kE_FAIL);
  rig.service.machineStationJoin(test::kMacC);
  rig.deliver();  // no sink: the station is still listed
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
  EXPECT_EQ(sink.lines(), (Lines{"join 00-1A-2B-3C-4D-5E", "join 0A-0B-0C-0D-0E-0F", "join C0-FF-EE-00-00-01"}));
}

// Registering again after a removal, with and without sink calls in between: every removal
// returns (none of them waits on an event an earlier wait consumed).
TEST_F(NotifiedTest, RegisterAgainAfterRemovalNeverHangs) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
    ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
    if (round == 1) {
      rig.service.machineStationJoin(test::kMacC);
      rig.deliver();
    }
  }
  EXPECT_EQ(rig.kernel.waiters(), 0);
}

TEST(NotifiedSetupTest, EventFailureIsReportedUnconverted) {
  test::Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  rig.kernel.failEvents(1, platform::kERROR_NOT_ENOUGH_MEMORY);
  test::RecordingSink sink;
  EXPECT_EQ(manager.SetNotificationSink(&sink), platform::HResult{8u});
  EXPECT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);  // the next try creates it
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
}

TEST(NotifiedSetupTest, IdleStateReplaysNothing) {
  test::Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  test::RecordingSink sink;
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
  EXPECT_TRUE(sink.lines().empty());
  ASSERT_EQ(manager.StartHostedNetwork(), platform::kS_OK);
  rig.deliver();
  EXPECT_EQ(sink.lines(), Lines{"started"});
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
}

}  // namespace
}  // namespace tethra::wlan
