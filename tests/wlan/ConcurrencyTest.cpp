// Real threads: the WLAN thread's sink calls against the dialog's removal of the sink, and a
// flood of reports drained by the dialog while it removes the sink. Run under ThreadSanitizer
// too; a hang here is a failure of the idle-event protocol.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "NotificationTraffic.h"
#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using platform::HResult;

using base::CRefObject;

using namespace std::chrono_literals;

// A sink whose join calls stay open until the test lets each of them go.
class HeldSink final : public CHostedNetworkNotificationSink {
 public:
  void OnHostedNetworkStarted() override {}
  void OnHostedNetworkStopped() override {}
  void OnHostedNetworkNotAvailable() override {}
  void OnHostedNetworkAvailable() override {}
  void OnStationLeave(CWlanStation*) override {}
  void OnStationJoin(CWlanStation*) override {
    std::unique_lock lock(m_Mutex);
    const int ticket = m_Entered++;
    m_Changed.notify_all();
    m_Changed.wait(lock, [&] { return m_Released > ticket; });
    ++m_Returned;
  }
  void waitEntered(int count) {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [&] { return m_Entered >= count; });
  }
  void releaseOne() {
    std::lock_guard lock(m_Mutex);
    ++m_Released;
    m_Changed.notify_all();
  }
  int returned() {
    std::lock_guard lock(m_Mutex);
    return m_Returned;
  }

 private:
  std::mutex m_Mutex;
  std::condition_variable m_Changed;
  int m_Entered = 0;
  int m_Released = 0;
  int m_Returned = 0;
};

// Waits (bounded, as a safety net against a hang) until the remover blocks in its wait.
void WaitForWaiter(test::ThreadKernel& kernel) {
  for (int i = 0; i < 20000 && kernel.waiters() == 0; ++i) std::this_thread::sleep_for(100us);
  ASSERT_EQ(kernel.waiters(), 1);
}

// Removes the sink on a thread of its own; the result carries how many sink calls had
// returned by the time the removal did.
std::future<std::pair<HResult, int>> RemoveOnAnotherThread(CWlanManager& manager, HeldSink& sink) {
  return std::async(std::launch::async, [&manager, &sink] {
    const HResult hr = manager.RemoveNotificationSink();
    return std::make_pair(hr, sink.returned());
  });
}

// Initialises the manager with its sink set.
void Listen(CWlanManager& manager, HeldSink& sink) {
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
}

TEST(SinkRemovalTest, WaitsForTheRunningSinkCall) {
  test::ThreadedRig rig(test::ActiveWithPeers({}));
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  HeldSink sink;
  ASSERT_NO_FATAL_FAILURE(Listen(manager, sink));
  rig.service.machineStationJoin(test::kMacA);
  sink.waitEntered(1);

  auto removal = RemoveOnAnotherThread(manager, sink);
  WaitForWaiter(rig.kernel);
  EXPECT_EQ(removal.wait_for(0ms), std::future_status::timeout);
  sink.releaseOne();
  const auto [hr, returnedBeforeRemoval] = removal.get();
  EXPECT_EQ(hr, platform::kS_OK);
  EXPECT_EQ(returnedBeforeRemoval, 1);
}

// Two callbacks at once (as if the platform overlapped them): the first to end must not let
// the removal go while the second still runs.
TEST(SinkRemovalTest, OverlappingCallbacksKeepTheRemovalWaiting) {
  test::Rig rig(test::ActiveWithPeers({}));
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  HeldSink sink;
  ASSERT_NO_FATAL_FAILURE(Listen(manager, sink));

  auto joinFrom = [&manager](const sim::Mac& mac) {
    platform::WlanHostedNetworkDataPeerStateChange change{};
    std::copy(mac.begin(), mac.end(), change.NewState.PeerMacAddress);
    change.NewState.PeerAuthState = platform::kWlanHostedNetworkPeerStateAuthenticated;
    platform::WlanNotificationData data{platform::kWLAN_NOTIFICATION_SOURCE_HNWK,
                                        platform::kWlanHostedNetworkPeerStateChangeCode, {}, sizeof change, &change};
    WlanNotificationCallback(&data, &manager);
  };
  std::thread first(joinFrom, test::kMacA);
  sink.waitEntered(1);
  std::thread second(joinFrom, test::kMacB);
  sink.waitEntered(2);
  sink.releaseOne();  // the first call ends while the second still runs
  first.join();

  auto removal = RemoveOnAnotherThread(manager, sink);
  WaitForWaiter(rig.kernel);
  EXPECT_EQ(removal.wait_for(0ms), std::future_status::timeout);
  sink.releaseOne();
  second.join();
  const auto [hr, returnedBeforeRemoval] = removal.get();
  EXPECT_EQ(hr, platform::kS_OK);
  EXPECT_EQ(returnedBeforeRemoval, 2);
}

const sim::Mac kFlood[] = {test::kMacA, test::kMacB, test::kMacC};

void Flood(sim::SimWlanService& service, int rounds) {
  using platform::kWlanHostedNetworkActive;
  using platform::kWlanHostedNetworkIdle;
  for (int round = 0; round < rounds; ++round) {
    for (const auto& mac : kFlood) service.machineStationJoin(mac);
    service.machineStationLeave(kFlood[round % 3]);
    if (round % 4 == 0) {
      service.machineSetState(kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 17);  // leaves, stopped
      service.machineSetState(kWlanHostedNetworkIdle, kWlanHostedNetworkActive, 0);
    } else if (round % 4 == 2) {
      service.machineSetState(kWlanHostedNetworkActive, kWlanHostedNetworkIdle, 26);  // available
      service.machineSetState(kWlanHostedNetworkIdle, kWlanHostedNetworkActive, 0);
    }
  }
}

// The same reports, delivered one by one on this thread, give the number of records.
std::size_t ExpectedRecords(int rounds) {
  test::Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  EXPECT_EQ(manager.Init(10), platform::kS_OK);
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, nullptr);
  EXPECT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
  // Started once the sink listens (a network running before Init would go idle at its peer limit).
  EXPECT_TRUE(rig.service.restart());
  Flood(rig.service, rounds);
  rig.deliver();
  std::size_t count = 0;
  while (CHostedNetworkNotification* record = sink.GetNextNotification()) {
    record->Release();
    ++count;
  }
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
  return count;
}

TEST(WlanStressTest, FloodDrainedAcrossThreadsAndEverythingReleased) {
  constexpr int kRounds = 400;
  const std::size_t expected = ExpectedRecords(kRounds);
  ASSERT_GT(expected, static_cast<std::size_t>(kRounds) * 4);
  const auto live = CRefObject::LiveObjects();
  {
    test::ThreadedRig rig;
    test::DrainingDialog dialog(rig.windows);
    CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
    ASSERT_EQ(manager.Init(10), platform::kS_OK);
    auto* sink = new CNotificationSink(rig.kernel, rig.windows, rig.trace, nullptr);
    dialog.start(sink);
    ASSERT_EQ(manager.SetNotificationSink(sink), platform::kS_OK);
    ASSERT_TRUE(rig.service.restart());

    Flood(rig.service, kRounds);  // phase 1: everything delivered and drained
    rig.waitDelivered();
    std::thread machine([&] { Flood(rig.service, kRounds); });  // phase 2: removal mid-flood
    std::this_thread::sleep_for(1ms);
    EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
    dialog.stop();
    EXPECT_GE(dialog.drained(), expected);
    delete sink;  // safe: no sink call runs any more
    machine.join();
    rig.waitDelivered();
  }
  EXPECT_EQ(CRefObject::LiveObjects(), live);
}

}  // namespace
}  // namespace tethra::wlan
