// The mobile hotspot as the dialog runs it, against the simulated hotspot service on real
// threads: operations end on the service's own thread and their bounds run on threads of their
// own, so the posted outcomes, the cancels and the change messages are tested as they race on a
// real system (and under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ThreadKernel.h"
#include "tethra/sim/Faults.h"
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
  using Clock = std::chrono::steady_clock;
  ~ThreadHotspotHost() override { stop(); }
  void start(sim::SimHotspotService& service) {
    m_Thread = std::thread([this, &service] {
      std::unique_lock lock(m_Mutex);
      for (;;) {
        // A late operation wakes the thread when its time comes; anything queued meanwhile wakes
        // it to look at the next time again.
        const std::uint64_t seen = m_Queued;
        const auto ready = [&] { return m_Stopping || m_Queued != seen || service.hasPendingDelivery(); };
        if (const auto due = service.nextDueMs()) {
          m_Wake.wait_until(lock, Clock::time_point(std::chrono::milliseconds(*due)), ready);
        } else {
          m_Wake.wait(lock, ready);
        }
        if (m_Stopping) return;
        if (!service.hasPendingDelivery()) continue;
        lock.unlock();
        service.deliverNext();
        lock.lock();
      }
    });
  }
  void stop() {
    {
      std::lock_guard lock(m_Mutex);
      m_Stopping = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable()) m_Thread.join();
  }
  sim::FaultPlan& faults() { return m_Faults; }

  void recordCall(std::string_view, std::string_view, std::string_view) override {}
  std::uintptr_t callingClient() override { return client.load(); }
  std::atomic<std::uintptr_t> client{0};  // the program instance calling
  std::optional<sim::HotspotFault> takeFault(std::string_view operation) override {
    const auto rule = m_Faults.take("hotspot", operation);
    if (!rule) return std::nullopt;
    return sim::HotspotFaultOf(rule->code, rule->extra);
  }
  void event(std::string) override {}
  std::uint64_t nowMs() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
  }
  void deliveryQueued() override {
    {
      std::lock_guard lock(m_Mutex);
      ++m_Queued;
    }
    m_Wake.notify_all();
  }

 private:
  sim::FaultPlan m_Faults;  // filled before any call
  std::mutex m_Mutex;
  std::condition_variable m_Wake;
  bool m_Stopping = false;
  std::uint64_t m_Queued = 0;
  std::thread m_Thread;
};

// Records what is posted to the dialog, and waits for it.
class PostCounter final : public tethra::test::FailingWindowSystem {
 public:
  bool postMessage(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam, platform::LParam) override {
    std::lock_guard lock(m_Mutex);
    if (hwnd == kDialog && message == WM_HOTSPOT_CHANGED) ++m_Posts;
    if (hwnd == kDialog && message == WM_HOTSPOT_OPERATION) m_Operations.push_back(wParam);
    m_Posted.notify_all();
    return true;
  }
  bool waitForPosts(int count) {
    std::unique_lock lock(m_Mutex);
    return m_Posted.wait_for(lock, std::chrono::seconds(5), [&] { return m_Posts >= count; });
  }
  int posts() {
    std::lock_guard lock(m_Mutex);
    return m_Posts;
  }
  // The next WM_HOTSPOT_OPERATION, as the dialog's loop would take it.
  std::optional<platform::WParam> nextOperation() {
    std::unique_lock lock(m_Mutex);
    if (!m_Posted.wait_for(lock, std::chrono::seconds(5), [&] { return !m_Operations.empty(); })) return std::nullopt;
    const platform::WParam number = m_Operations.front();
    m_Operations.erase(m_Operations.begin());
    return number;
  }

 private:
  std::mutex m_Mutex;
  std::condition_variable m_Posted;
  int m_Posts = 0;
  std::vector<platform::WParam> m_Operations;
};

class MobileHotspotTest : public ::testing::Test {
 protected:
  void make(const sim::SimHotspotConfig& config = {}, platform::Dword timeoutMs = kHotspotOperationTimeoutMs) {
    service = std::make_unique<sim::SimHotspotService>(
        host, config,
        std::vector<sim::SimProfile>{sim::ProfileOfConnection(kEthernet, u"Ethernet", sim::SimConnectionKind::Lan),
                                     sim::ProfileOfConnection(kVpn, u"Office VPN", sim::SimConnectionKind::Ras)});
    host.start(*service);
    hotspot = std::make_unique<CMobileHotspot>(*service, kernel, windows, trace, timeoutMs);
  }
  // The next call of `operation` fails; the rules of one operation hit in the order given.
  void fault(const char* operation, std::int64_t code, std::int64_t kind) {
    host.faults().add(sim::FaultRule{"hotspot", operation, code, kind, 1});
  }
  // Takes posted outcomes until one is not stale.
  HotspotOutcome next() {
    HotspotOutcome outcome;
    for (int i = 0; i < 4; ++i) {
      const auto number = windows.nextOperation();
      if (!number) break;
      if (hotspot->TakeOutcome(*number, outcome)) return outcome;
    }
    ADD_FAILURE() << "no outcome posted";
    return outcome;
  }
  platform::HResult run(platform::HResult begun) {
    if (begun != platform::kS_OK) return begun;
    const HotspotOutcome outcome = next();
    EXPECT_TRUE(outcome.ended);
    return outcome.result;
  }
  void TearDown() override {
    hotspot.reset();
    host.stop();
  }

  static constexpr platform::Guid kVpn{0x5A1E0003, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xE0, 0x02}};
  test::ThreadKernel kernel;
  PostCounter windows;
  tethra::test::DiscardingTrace trace;
  ThreadHotspotHost host;
  std::unique_ptr<sim::SimHotspotService> service;
  std::unique_ptr<CMobileHotspot> hotspot;
};

platform::ProfileSelector ByAdapter(const platform::Guid& id) { return platform::ProfileSelector{id, {}}; }

TEST_F(MobileHotspotTest, OperationsEndAsPostedOutcomesOneAtATime) {
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginConfigure({u"CafeNet", u"passphrase-1"}), platform::kS_OK);
  // One in flight: a second is turned away by the program, never sent to the system.
  EXPECT_EQ(hotspot->BeginStart(), kHotspotBusy);
  EXPECT_TRUE(hotspot->Busy());
  EXPECT_EQ(run(platform::kS_OK), platform::kS_OK);
  EXPECT_FALSE(hotspot->Busy());
  EXPECT_EQ(run(hotspot->BeginStart()), platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::On);
  EXPECT_EQ(service->config(), (platform::AccessPointConfig{u"CafeNet", u"passphrase-1", platform::TetheringBand::Auto}));
  EXPECT_EQ(run(hotspot->BeginStop()), platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::Off);
  EXPECT_TRUE(service->violations().empty());
}

TEST_F(MobileHotspotTest, EachRefusalOfTheSystemComesBackAsItsOwnFailure) {
  const TetheringStatus refusals[] = {TetheringStatus::WiFiDeviceOff, TetheringStatus::EntitlementCheckFailure,
                                      TetheringStatus::EntitlementCheckTimeout, TetheringStatus::OperationInProgress};
  for (const TetheringStatus status : refusals) {
    fault("start", static_cast<std::int64_t>(status), sim::kHotspotFaultStatus);
  }
  fault("start", 0x80004005, sim::kHotspotFaultHResult);
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  for (const TetheringStatus status : refusals) {
    EXPECT_EQ(run(hotspot->BeginStart()), HotspotStatusFailure(status)) << static_cast<int>(status);
  }
  EXPECT_EQ(run(hotspot->BeginStart()), platform::kE_FAIL);  // the error an operation ended with
  EXPECT_EQ(service->state(), TetheringState::Off);
  EXPECT_NE(HotspotStatusFailure(TetheringStatus::WiFiDeviceOff), HotspotStatusFailure(TetheringStatus::Unknown));
  EXPECT_TRUE(platform::Failed(HotspotStatusFailure(TetheringStatus::Unknown)));
  // Outside the documented limits the system refuses the configuration at the call.
  EXPECT_EQ(hotspot->BeginConfigure({u"CafeNet", u"short"}), platform::kE_INVALIDARG);
  EXPECT_EQ(hotspot->BeginConfigure({u" CafeNet", u"passphrase-1"}), platform::kE_INVALIDARG);
  EXPECT_EQ(hotspot->BeginConfigure({u"CafeNet", u"pass\u00E9phrase"}), platform::kE_INVALIDARG);
  EXPECT_FALSE(hotspot->Busy());
}

// The simulated configuration as the pages leave it: band and authentication kind only where
// the system has them (set elsewhere: refused at the call, below), and a configure that does not
// give one does not keep it, which the service records against the program.
TEST_F(MobileHotspotTest, BandAndAuthenticationKindAreKeptOnlyWhenGiven) {
  sim::SimHotspotConfig config;
  config.config = {u"Own", u"own-passphrase", platform::TetheringBand::FiveGigahertz,
                   platform::TetheringAuthentication::Wpa3};
  make(config);
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  platform::AccessPointConfig read;
  ASSERT_EQ(hotspot->GetConfiguration(read), platform::kS_OK);
  EXPECT_EQ(read, config.config);
  const platform::AccessPointConfig kept{u"CafeNet", u"passphrase-1", platform::TetheringBand::FiveGigahertz,
                                         platform::TetheringAuthentication::Wpa3};
  EXPECT_EQ(run(hotspot->BeginConfigure(kept)), platform::kS_OK);
  EXPECT_EQ(service->config(), kept);
  EXPECT_TRUE(service->violations().empty());
  EXPECT_EQ(run(hotspot->BeginConfigure({u"CafeNet", u"passphrase-1"})), platform::kS_OK);
  EXPECT_EQ(service->config(), (platform::AccessPointConfig{u"CafeNet", u"passphrase-1", platform::TetheringBand::Auto,
                                                            platform::TetheringAuthentication::Wpa2}));
  EXPECT_EQ(service->violations().size(), 1u) << "the user's band and authentication kind were lost";
}

TEST_F(MobileHotspotTest, ASystemWithoutBandOrAuthenticationKindRefusesThemAtTheCall) {
  sim::SimHotspotConfig config;
  config.config = {u"Own", u"own-passphrase"};  // a system before Windows 10 2004
  const platform::AccessPointConfig kept{u"CafeNet", u"passphrase-1", platform::TetheringBand::FiveGigahertz,
                                         platform::TetheringAuthentication::Wpa3};
  platform::AccessPointConfig read;
  make(config);
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->GetConfiguration(read), platform::kS_OK);
  EXPECT_FALSE(read.band);
  EXPECT_FALSE(read.authentication);
  EXPECT_EQ(hotspot->BeginConfigure(kept), platform::kHotspotLacksField);
  EXPECT_EQ(hotspot->BeginConfigure({u"CafeNet", u"passphrase-1", std::nullopt, platform::TetheringAuthentication::Wpa2}),
            platform::kHotspotLacksField);
  EXPECT_FALSE(hotspot->Busy());
  EXPECT_EQ(run(hotspot->BeginConfigure({u"CafeNet", u"passphrase-1"})), platform::kS_OK);
  EXPECT_EQ(service->config(), (platform::AccessPointConfig{u"CafeNet", u"passphrase-1"}));
  EXPECT_TRUE(service->violations().empty());
}

TEST_F(MobileHotspotTest, PastItsBoundAnOperationIsCancelledAndItsEndStillComes) {
  fault("start", 400, sim::kHotspotFaultLate);
  make({}, 50);
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginStart(), platform::kS_OK);
  HotspotOutcome outcome = next();
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(outcome.result, kHotspotTimedOut);
  outcome = next();  // the cancel took: it ends at once, with nothing done
  EXPECT_TRUE(outcome.ended);
  EXPECT_TRUE(outcome.givenUp);
  EXPECT_EQ(outcome.result, platform::kHotspotCancelled);
  EXPECT_EQ(service->state(), TetheringState::Off);
  EXPECT_FALSE(hotspot->Busy());
}

TEST_F(MobileHotspotTest, AStartThatIgnoresTheCancelEndsWellAfterItWasGivenUp) {
  fault("start", 300, sim::kHotspotFaultLateIgnoringCancel);
  make({}, 50);
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginStart(), platform::kS_OK);
  EXPECT_FALSE(next().ended);
  EXPECT_EQ(hotspot->BeginStop(), kHotspotBusy);  // still in flight for the system
  const HotspotOutcome outcome = next();
  EXPECT_TRUE(outcome.ended && outcome.givenUp);
  EXPECT_EQ(outcome.result, platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::On);  // the owner must undo it
}

TEST_F(MobileHotspotTest, TheEndCancelsWhatIsPendingAndRunsItsOwnStepsBounded) {
  fault("start", 10000, sim::kHotspotFaultLate);
  fault("stop", 0, sim::kHotspotFaultHangs);
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginStart(), platform::kS_OK);
  EXPECT_TRUE(hotspot->SettleForEnd(2000));
  EXPECT_FALSE(hotspot->Busy());
  EXPECT_EQ(service->state(), TetheringState::Off);
  // The outcome already posted for it is stale now.
  HotspotOutcome outcome;
  const auto number = windows.nextOperation();
  ASSERT_TRUE(number.has_value());
  EXPECT_FALSE(hotspot->TakeOutcome(*number, outcome));
  EXPECT_EQ(hotspot->RunForEnd(HotspotOperation::Stop, {}, 50), kHotspotTimedOut);
  EXPECT_TRUE(hotspot->Busy());  // a stuck stop stays in flight: nothing more is asked
  EXPECT_FALSE(hotspot->SettleForEnd(50));
  EXPECT_TRUE(service->violations().empty());
}

TEST_F(MobileHotspotTest, AStopIsNeverCancelledAtItsBoundNorAtTheEnd) {
  fault("stop", 300, sim::kHotspotFaultLate);
  fault("stop", 300, sim::kHotspotFaultLate);
  make({}, 50);
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(run(hotspot->BeginStart()), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginStop(), platform::kS_OK);
  HotspotOutcome outcome = next();
  EXPECT_FALSE(outcome.ended);  // past its bound: left to finish
  outcome = next();
  EXPECT_TRUE(outcome.ended && outcome.givenUp);
  EXPECT_EQ(outcome.result, platform::kS_OK);
  EXPECT_EQ(service->state(), TetheringState::Off);
  // At the end too: a stop that outlives the end's bound stays in flight and finishes.
  ASSERT_EQ(run(hotspot->BeginStart()), platform::kS_OK);
  EXPECT_EQ(hotspot->RunForEnd(HotspotOperation::Stop, {}, 50), kHotspotTimedOut);
  EXPECT_FALSE(hotspot->SettleForEnd(50));
  EXPECT_TRUE(hotspot->SettleForEnd(2000));
  EXPECT_EQ(service->state(), TetheringState::Off);
  EXPECT_EQ(service->callCount("cancel"), 0u);
  EXPECT_TRUE(service->violations().empty());
}

TEST_F(MobileHotspotTest, EveryOperationIsClosedOnceItsOutcomeIsTakenAndNoneStillUnderWay) {
  fault("start", 10000, sim::kHotspotFaultLate);
  fault("stop", 0, sim::kHotspotFaultHangs);
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  ASSERT_EQ(hotspot->BeginStart(), platform::kS_OK);
  EXPECT_TRUE(hotspot->SettleForEnd(2000));  // cancelled, ended, closed
  EXPECT_EQ(run(hotspot->BeginConfigure({u"CafeNet", u"passphrase-1"})), platform::kS_OK);
  EXPECT_EQ(run(hotspot->BeginStart()), platform::kS_OK);
  EXPECT_EQ(service->callCount("close"), 3u);
  // The stop never ends: it can be neither closed nor given back until it has.
  EXPECT_EQ(hotspot->RunForEnd(HotspotOperation::Stop, {}, 50), kHotspotTimedOut);
  hotspot.reset();
  EXPECT_EQ(service->callCount("close"), 3u);
  EXPECT_TRUE(service->violations().empty());
}

// A completion that only notes its end, for driving the simulated manager directly.
struct EndNoted final : platform::ITetheringCompletion {
  std::atomic<bool> ended{false};
  void completed(HResult, TetheringStatus) override { ended = true; }
  bool wait() const {
    for (int i = 0; i < 500 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ended;
  }
};

TEST_F(MobileHotspotTest, TheSimulatedSystemHoldsAProgramToItsRulesForOperations) {
  fault("stop", 0, sim::kHotspotFaultHangs);
  make();
  std::unique_ptr<platform::ITetheringManager> manager;
  ASSERT_EQ(service->createManager(ByAdapter(kEthernet), &manager), platform::kS_OK);
  auto started = std::make_shared<EndNoted>();
  std::unique_ptr<platform::ITetheringOperation> start;
  ASSERT_EQ(manager->start(started, &start), platform::kS_OK);
  ASSERT_TRUE(started->wait());
  start.reset();  // ended, and let go without Close
  auto stopped = std::make_shared<EndNoted>();
  std::unique_ptr<platform::ITetheringOperation> stop;
  ASSERT_EQ(manager->stop(stopped, &stop), platform::kS_OK);
  stop->close();  // still under way
  TetheringState state = TetheringState::Unknown;
  EXPECT_EQ(manager->operationalState(&state), platform::kS_OK);  // the maker's thread: fine
  std::thread([&] { static_cast<void>(manager->operationalState(&state)); }).join();  // the misuse is what counts
  const std::vector<std::string> expected = {
      "the start's last reference released without IAsyncInfo::Close",
      "IAsyncInfo::Close of the stop before it ended",
      "tethering manager called from another thread than the one that made it (state)",
  };
  EXPECT_EQ(service->violations(), expected);
}

TEST_F(MobileHotspotTest, AnOperationAnEndedInstanceLeftRunningIsNoFaultOfTheNext) {
  fault("stop", 0, sim::kHotspotFaultHangs);
  make();
  std::unique_ptr<platform::ITetheringManager> first;
  std::unique_ptr<platform::ITetheringManager> second;
  ASSERT_EQ(service->createManager(ByAdapter(kEthernet), &first), platform::kS_OK);
  ASSERT_EQ(service->createManager(ByAdapter(kEthernet), &second), platform::kS_OK);
  host.client = 1;
  std::unique_ptr<platform::ITetheringOperation> left;
  ASSERT_EQ(first->stop(std::make_shared<EndNoted>(), &left), platform::kS_OK);
  host.client = 2;  // the next instance: turned away, as the system would, but not its fault
  auto refused = std::make_shared<EndNoted>();
  std::unique_ptr<platform::ITetheringOperation> start;
  ASSERT_EQ(second->start(refused, &start), platform::kS_OK);
  ASSERT_TRUE(refused->wait());
  start->close();
  EXPECT_TRUE(service->violations().empty());
  host.client = 1;  // the instance that left it overlaps itself: its fault
  auto overlapping = std::make_shared<EndNoted>();
  std::unique_ptr<platform::ITetheringOperation> again;
  ASSERT_EQ(first->start(overlapping, &again), platform::kS_OK);
  ASSERT_TRUE(overlapping->wait());
  again->close();
  EXPECT_EQ(service->violations(), std::vector<std::string>{"start begun while another operation was in flight"});
}

TEST_F(MobileHotspotTest, AStateAnOperationSetsEndsATransitionBegunBeforeIt) {
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  service->machineTransitionThenOff(100, true);
  EXPECT_EQ(run(hotspot->BeginStart()), platform::kS_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the transition's end
  host.stop();
  while (service->hasPendingDelivery()) service->deliverNext();
  EXPECT_EQ(service->state(), TetheringState::On);
}

TEST_F(MobileHotspotTest, ProfilesAreFoundByAdapterOrForADialUpByName) {
  make();
  EXPECT_EQ(hotspot->Open(ByAdapter(kUnknownAdapter), kDialog), platform::kHotspotNoProfile);
  EXPECT_EQ(service->subscriptions(), 0u);
  EXPECT_EQ(service->managersAlive(), 0u);
  bool started = true;
  EXPECT_TRUE(platform::Failed(hotspot->IsStarted(started)));
  EXPECT_TRUE(platform::Failed(hotspot->BeginStart()));
  // A VPN's sharing id is not its tunnel adapter's: only its name finds its profile.
  EXPECT_EQ(hotspot->Open(ByAdapter(kVpn), kDialog), platform::kHotspotNoProfile);
  EXPECT_EQ(hotspot->Open(platform::ProfileSelector{{}, u"Office"}, kDialog), platform::kHotspotNoProfile);
  EXPECT_EQ(hotspot->Open(platform::ProfileSelector{{}, u"Office VPN"}, kDialog), platform::kS_OK);
  hotspot->Close();

  sim::SimHotspotConfig absent;
  absent.present = false;
  sim::SimHotspotService none(host, absent, {});
  CMobileHotspot other(none, kernel, windows, trace);
  EXPECT_EQ(other.Open(ByAdapter(kEthernet), kDialog), platform::kHotspotClassNotRegistered);
}

TEST_F(MobileHotspotTest, ChangesPostOneMessageUntilTheDialogHasTakenIt) {
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  service->machineNetworkChange();
  service->machineClientJoin();
  service->machineTurnOff(true);
  ASSERT_TRUE(windows.waitForPosts(1));
  // Let the other two changes be told; they must not post again before the dialog looked.
  while (service->hasPendingDelivery()) std::this_thread::yield();
  host.stop();  // no delivery is running any more
  EXPECT_EQ(windows.posts(), 1);
  hotspot->ChangeTaken();
  service->machineNetworkChange();
  service->deliverNext();
  EXPECT_EQ(windows.posts(), 2);
  hotspot->LookAgainLater(10);  // a state read in transition is looked at again
  EXPECT_TRUE(windows.waitForPosts(3));
}

TEST_F(MobileHotspotTest, CloseEndsTheNotificationsForGood) {
  make();
  ASSERT_EQ(hotspot->Open(ByAdapter(kEthernet), kDialog), platform::kS_OK);
  EXPECT_EQ(service->subscriptions(), 1u);
  hotspot->Close();
  EXPECT_EQ(service->subscriptions(), 0u);
  service->machineTurnOff(true);
  host.stop();
  while (service->hasPendingDelivery()) service->deliverNext();
  EXPECT_EQ(windows.posts(), 0);
  hotspot->Close();  // twice is harmless
}

}  // namespace
}  // namespace tethra::wlan
