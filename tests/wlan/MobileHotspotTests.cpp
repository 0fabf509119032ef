// The mobile hotspot as the dialog runs it, against the simulated hotspot service on real
// threads: operations end on the service's own thread, so the waits, the outcomes and the
// posted change messages are tested as they race on a real system (and under ThreadSanitizer).
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "ThreadKernel.h"
#include "tethra/sim/faults.h"
#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/wlan/MobileHotspot.h"

namespace tethra::wlan {
namespace {

using platform::HResult;
using platform::TetheringState;
using platform::TetheringStatus;

constexpr platform::Guid kEthernet{0x5A1E0002, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xE0, 0x01}};
constexpr platform::Guid kUnknownAdapter{0x0BAD0BAD, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const auto kDialog = reinterpret_cast<platform::Hwnd>(0xD1A1);

// Completes operations and tells changes on a thread of its own, as the system does.
class ThreadHotspotHost final : public sim::IHotspotServiceHost {
 public:
  ~ThreadHotspotHost() override { stop(); }
  void start(sim::SimHotspotService& service) {
    m_thread = std::thread([this, &service] {
      std::unique_lock lock(m_mutex);
      for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || service.hasPendingDelivery(); });
        if (m_stopping) return;
        lock.unlock();
        service.deliverNext();
        lock.lock();
      }
    });
  }
  void stop() {
    {
      std::lock_guard lock(m_mutex);
      m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
  }
  sim::FaultPlan& faults() { return m_faults; }

  void recordCall(std::string_view, std::string_view, std::string_view) override {}
  std::optional<sim::HotspotFault> takeFault(std::string_view operation) override {
    const auto rule = m_faults.take("hotspot", operation);
    if (!rule) return std::nullopt;
    return sim::HotspotFaultOf(rule->code, rule->extra);
  }
  void event(std::string) override {}
  void deliveryQueued() override {
    { std::lock_guard lock(m_mutex); }
    m_wake.notify_all();
  }

 private:
  sim::FaultPlan m_faults;  // filled before any call
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_thread;
};

class PostCounter final : public tethra::test::FailingWindowSystem {
 public:
  bool postMessage(platform::Hwnd hwnd, std::uint32_t message, platform::WParam, platform::LParam) override {
    std::lock_guard lock(m_mutex);
    if (hwnd == kDialog && message == WM_HOTSPOT_CHANGED) ++m_posts;
    m_posted.notify_all();
    return true;
  }
  bool waitForPosts(int count) {
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(lock, std::chrono::seconds(5), [&] { return m_posts >= count; });
  }
  int posts() {
    std::lock_guard lock(m_mutex);
    return m_posts;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_posted;
  int m_posts = 0;
};

class MobileHotspotTest : public ::testing::Test {
 protected:
  void make(const sim::SimHotspotConfig& config = {}, platform::Dword timeoutMs = kHotspotOperationTimeoutMs) {
    service = std::make_unique<sim::SimHotspotService>(host, config, std::vector<platform::Guid>{kEthernet});
    host.start(*service);
    hotspot = std::make_unique<CMobileHotspot>(*service, kernel, windows, trace, timeoutMs);
  }
  // The next call of `operation` fails; the rules of one operation hit in the order given.
  void fault(const char* operation, std::int64_t code, std::int64_t kind) {
    host.faults().add(sim::FaultRule{"hotspot", operation, code, kind, 1});
  }
  void TearDown() override {
    hotspot.reset();
    host.stop();
  }

  test::ThreadKernel kernel;
  PostCounter windows;
  tethra::test::DiscardingTrace trace;
  ThreadHotspotHost host;
  std::unique_ptr<sim::SimHotspotService> service;
  std::unique_ptr<CMobileHotspot> hotspot;
};

TEST_F(MobileHotspotTest, ConfiguresAndStartsWaitingForTheSystemsThread) {
  make();
  ASSERT_EQ(hotspot->Open(kEthernet, kDialog), platform::kS_OK);
  EXPECT_EQ(hotspot->Configure({u"CafeNet", u"passphrase-1"}), platform::kS_OK);
  EXPECT_EQ(hotspot->Start(), platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::On);
  EXPECT_EQ(service->config(), (platform::AccessPointConfig{u"CafeNet", u"passphrase-1"}));
  bool started = false;
  EXPECT_EQ(hotspot->IsStarted(started), platform::kS_OK);
  EXPECT_TRUE(started);
  EXPECT_EQ(hotspot->Stop(), platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::Off);
}

TEST_F(MobileHotspotTest, EachRefusalOfTheSystemComesBackAsItsOwnFailure) {
  const TetheringStatus refusals[] = {TetheringStatus::WiFiDeviceOff, TetheringStatus::EntitlementCheckFailure,
                                      TetheringStatus::EntitlementCheckTimeout, TetheringStatus::OperationInProgress};
  for (const TetheringStatus status : refusals) {
    fault("start", static_cast<std::int64_t>(status), sim::kHotspotFaultStatus);
  }
  fault("start", 0x80004005, sim::kHotspotFaultHResult);
  make();
  ASSERT_EQ(hotspot->Open(kEthernet, kDialog), platform::kS_OK);
  for (const TetheringStatus status : refusals) {
    EXPECT_EQ(hotspot->Start(), HotspotStatusFailure(status)) << static_cast<int>(status);
  }
  EXPECT_EQ(hotspot->Start(), platform::kE_FAIL);  // the error an operation ended with
  EXPECT_EQ(service->state(), TetheringState::Off);
  EXPECT_NE(HotspotStatusFailure(TetheringStatus::WiFiDeviceOff), HotspotStatusFailure(TetheringStatus::Unknown));
  EXPECT_TRUE(platform::Failed(HotspotStatusFailure(TetheringStatus::Unknown)));
}

TEST_F(MobileHotspotTest, AnOperationThatNeverEndsTimesOutAndALateOneIsHarmless) {
  fault("start", 0, sim::kHotspotFaultHangs);
  make({}, 50);
  ASSERT_EQ(hotspot->Open(kEthernet, kDialog), platform::kS_OK);
  EXPECT_EQ(hotspot->Start(), kHotspotTimedOut);
  // The next operation gets its own completion; the forgotten one cannot confuse it.
  EXPECT_EQ(hotspot->Start(), platform::kS_OK);
}

TEST_F(MobileHotspotTest, NoProfileOrNoHotspotLeavesNothingOpen) {
  make();
  EXPECT_EQ(hotspot->Open(kUnknownAdapter, kDialog), platform::kHotspotNoProfile);
  EXPECT_EQ(service->subscriptions(), 0u);
  EXPECT_EQ(service->managersAlive(), 0u);
  bool started = true;
  EXPECT_TRUE(platform::Failed(hotspot->IsStarted(started)));
  EXPECT_TRUE(platform::Failed(hotspot->Start()));

  sim::SimHotspotConfig absent;
  absent.present = false;
  sim::SimHotspotService none(host, absent, {kEthernet});
  CMobileHotspot other(none, kernel, windows, trace);
  EXPECT_EQ(other.Open(kEthernet, kDialog), platform::kHotspotClassNotRegistered);
}

TEST_F(MobileHotspotTest, ChangesPostOneMessageUntilTheDialogHasTakenIt) {
  make();
  ASSERT_EQ(hotspot->Open(kEthernet, kDialog), platform::kS_OK);
  service->machineNetworkChange();
  service->machineClientJoin();
  service->machineTurnOff();
  ASSERT_TRUE(windows.waitForPosts(1));
  // Let the other two changes be told; they must not post again before the dialog looked.
  while (service->hasPendingDelivery()) std::this_thread::yield();
  host.stop();  // no delivery is running any more
  EXPECT_EQ(windows.posts(), 1);
  hotspot->ChangeTaken();
  service->machineNetworkChange();
  service->deliverNext();
  EXPECT_EQ(windows.posts(), 2);
}

TEST_F(MobileHotspotTest, CloseEndsTheNotificationsForGood) {
  make();
  ASSERT_EQ(hotspot->Open(kEthernet, kDialog), platform::kS_OK);
  EXPECT_EQ(service->subscriptions(), 1u);
  hotspot->Close();
  EXPECT_EQ(service->subscriptions(), 0u);
  service->machineTurnOff();
  host.stop();
  while (service->hasPendingDelivery()) service->deliverNext();
  EXPECT_EQ(windows.posts(), 0);
  hotspot->Close();  // twice is harmless
}

}  // namespace
}  // namespace tethra::wlan
