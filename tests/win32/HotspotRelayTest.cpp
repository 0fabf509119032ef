// The hotspot adapter's rules that need no Windows header (HotspotRelay.h): which profile the
// program's selector names, what an ended operation reports, that an operation handed over
// gives the program a handle whose cancel is the operation's and nothing on a failure, that a
// completion runs exactly once and never inside the call that began it, and that a revoked
// network-change relay is silent and waits for a call still running elsewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "tethra/win32/HotspotRelay.h"

namespace tethra::win32::winrt {
namespace {

using platform::HResult;
using platform::TetheringStatus;

// Reference counting that never frees: the fakes live on the test's stack.
template <typename Interface>
struct Counted : Interface {
  int references = 1;
  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid&, void** object) override {
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  std::uint32_t TETHRA_WINRT_CALL AddRef() override { return static_cast<std::uint32_t>(++references); }
  std::uint32_t TETHRA_WINRT_CALL Release() override { return static_cast<std::uint32_t>(--references); }
};

template <typename Interface>
struct CountedInspectable : Counted<Interface> {
  Hresult TETHRA_WINRT_CALL GetIids(std::uint32_t*, Guid**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetRuntimeClassName(Hstring*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetTrustLevel(TrustLevel*) override { return kE_NOTIMPL; }
};

constexpr Guid kWifi{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Guid kLan{0x99999999, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

struct FakeAdapter final : CountedInspectable<INetworkAdapter> {
  Guid id{};
  Hresult idResult = kS_OK;
  Hresult TETHRA_WINRT_CALL get_OutboundMaxBitsPerSecond(std::uint64_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_InboundMaxBitsPerSecond(std::uint64_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_IanaInterfaceType(std::uint32_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_NetworkItem(IInspectable**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_NetworkAdapterId(Guid* value) override {
    *value = id;
    return idResult;
  }
  Hresult TETHRA_WINRT_CALL GetConnectedProfileAsync(IInspectable**) override { return kE_NOTIMPL; }
};

// The fakes' HSTRING: a pointer to the text itself (the reader below knows it).
Hstring FakeString(const std::u16string& text) { return reinterpret_cast<Hstring>(const_cast<std::u16string*>(&text)); }

struct FakeProfile final : CountedInspectable<IConnectionProfile> {
  FakeAdapter adapter;
  bool hasAdapter = true;
  std::u16string name;
  Hresult nameResult = kS_OK;
  int nameReads = 0;
  Hresult TETHRA_WINRT_CALL get_ProfileName(Hstring* value) override {
    ++nameReads;
    *value = nameResult < 0 ? nullptr : FakeString(name);
    return nameResult;
  }
  Hresult TETHRA_WINRT_CALL GetNetworkConnectivityLevel(std::int32_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetNetworkNames(IInspectable**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetConnectionCost(IInspectable**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetDataPlanStatus(IInspectable**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_NetworkAdapter(INetworkAdapter** value) override {
    if (!hasAdapter) {
      *value = nullptr;
      return kE_FAIL;
    }
    adapter.AddRef();
    *value = &adapter;
    return kS_OK;
  }
  Hresult TETHRA_WINRT_CALL GetLocalUsage(DateTime, DateTime, IInspectable**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetLocalUsagePerRoamingStates(DateTime, DateTime, std::uint32_t, IInspectable**) override {
    return kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL get_NetworkSecuritySettings(IInspectable**) override { return kE_NOTIMPL; }
};

struct FakeProfiles final : CountedInspectable<IVectorViewConnectionProfile> {
  std::vector<FakeProfile*> items;
  Hresult sizeResult = kS_OK;
  Hresult TETHRA_WINRT_CALL GetAt(std::uint32_t index, IConnectionProfile** item) override {
    if (index >= items.size()) return kE_BOUNDS;
    items[index]->AddRef();
    *item = items[index];
    return kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_Size(std::uint32_t* size) override {
    *size = static_cast<std::uint32_t>(items.size());
    return sizeResult;
  }
  Hresult TETHRA_WINRT_CALL IndexOf(IConnectionProfile*, std::uint32_t*, std::uint8_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetMany(std::uint32_t, std::uint32_t, IConnectionProfile**, std::uint32_t*) override {
    return kE_NOTIMPL;
  }
};

Hresult ReadFakeName(IConnectionProfile& profile, std::u16string& name) {
  Hstring value = nullptr;
  const Hresult hr = profile.get_ProfileName(&value);
  if (hr >= 0) name = *reinterpret_cast<std::u16string*>(value);
  return hr;
}

platform::ProfileSelector ByAdapter(const Guid& id) { return {id, u""}; }
platform::ProfileSelector ByName(std::u16string name) { return {Guid{}, std::move(name)}; }

TEST(FindProfileTest, TakesTheFirstProfileOfThatAdapterAndReleasesTheOthers) {
  FakeProfile lan, wifi, wifiAgain;
  lan.adapter.id = kLan;
  wifi.adapter.id = kWifi;
  wifiAgain.adapter.id = kWifi;
  FakeProfiles profiles;
  profiles.items = {&lan, &wifi, &wifiAgain};
  {
    ComPtr<IConnectionProfile> profile;
    ASSERT_EQ(FindProfile(profiles, ByAdapter(kWifi), ReadFakeName, profile), kS_OK);
    EXPECT_EQ(profile.get(), &wifi);
    EXPECT_EQ(wifiAgain.references, 1) << "a later profile was not needed";
  }
  for (FakeProfile* p : profiles.items) {
    EXPECT_EQ(p->references, 1);
    EXPECT_EQ(p->adapter.references, 1);
  }
}

// What FindProfile answers for `selector` among `items`, and the profile it picked (null for
// none). The pick is released before the caller looks: only its identity is compared.
struct Picked {
  Hresult hr;
  IConnectionProfile* profile;
};
Picked Pick(std::vector<FakeProfile*> items, const platform::ProfileSelector& selector) {
  FakeProfiles profiles;
  profiles.items = std::move(items);
  ComPtr<IConnectionProfile> profile;
  const Hresult hr = FindProfile(profiles, selector, ReadFakeName, profile);
  return {hr, profile.get()};
}
constexpr Hresult kNotFound = static_cast<Hresult>(0x80070490u);

TEST(FindProfileTest, NoProfileOfThatAdapterIsNotFound) {
  FakeProfile lan;
  lan.adapter.id = kLan;
  const Picked picked = Pick({&lan}, ByAdapter(kWifi));
  EXPECT_EQ(picked.hr, kNotFound);
  EXPECT_EQ(picked.profile, nullptr);
}

TEST(FindProfileTest, SkipsProfilesThatCannotNameTheirAdapter) {
  FakeProfile noAdapter, badId, wifi;
  noAdapter.hasAdapter = false;
  badId.adapter.id = kWifi;
  badId.adapter.idResult = kE_FAIL;
  wifi.adapter.id = kWifi;
  const Picked picked = Pick({&noAdapter, &badId, &wifi}, ByAdapter(kWifi));
  ASSERT_EQ(picked.hr, kS_OK);
  EXPECT_EQ(picked.profile, &wifi);
}

TEST(FindProfileTest, AnAdapterIdIsMatchedByIdAloneWhateverTheNames) {
  FakeProfile named, wifi;
  named.adapter.id = kLan;
  named.name = u"Office VPN";
  wifi.adapter.id = kWifi;
  wifi.name = u"Office VPN";
  const Picked picked = Pick({&named, &wifi}, platform::ProfileSelector{kWifi, u"Office VPN"});
  ASSERT_EQ(picked.hr, kS_OK);
  EXPECT_EQ(picked.profile, &wifi);
  EXPECT_EQ(named.nameReads + wifi.nameReads, 0) << "names were read for a selection by adapter";
}

TEST(FindProfileTest, AZeroAdapterIdSelectsByTheExactName) {
  // A dial-up connection's profile: its adapter (if it names one) is not what is asked about.
  FakeProfile lan, near, vpn;
  lan.adapter.id = kLan;
  lan.name = u"Ethernet";
  near.name = u"office vpn";
  vpn.name = u"Office VPN";
  const Picked picked = Pick({&lan, &near, &vpn}, ByName(u"Office VPN"));
  ASSERT_EQ(picked.hr, kS_OK);
  EXPECT_EQ(picked.profile, &vpn);
  EXPECT_EQ(Pick({&lan, &near, &vpn}, ByName(u"Office")).hr, kNotFound)
      << "a name that is only the start of a profile's name matched";
}

TEST(FindProfileTest, AZeroAdapterIdNeverMatchesAnAdapterWithoutAnId) {
  FakeProfile zeroId;  // an adapter whose id is zero, and another name
  zeroId.name = u"Ethernet";
  EXPECT_EQ(Pick({&zeroId}, ByName(u"Dial-up")).hr, kNotFound);
}

TEST(FindProfileTest, SkipsProfilesThatCannotTellTheirName) {
  FakeProfile broken, vpn;
  broken.name = u"Office VPN";
  broken.nameResult = kE_FAIL;
  vpn.name = u"Office VPN";
  const Picked picked = Pick({&broken, &vpn}, ByName(u"Office VPN"));
  ASSERT_EQ(picked.hr, kS_OK);
  EXPECT_EQ(picked.profile, &vpn);
}

TEST(FindProfileTest, TheCollectionsFailureComesBack) {
  FakeProfiles profiles;
  profiles.sizeResult = kE_UNEXPECTED;
  ComPtr<IConnectionProfile> profile;
  EXPECT_EQ(FindProfile(profiles, ByAdapter(kWifi), ReadFakeName, profile), kE_UNEXPECTED);
}

struct FakeResult final : CountedInspectable<INetworkOperatorTetheringOperationResult> {
  TetheringOperationStatus status = TetheringOperationStatus::Success;
  Hresult TETHRA_WINRT_CALL get_Status(TetheringOperationStatus* value) override {
    *value = status;
    return kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_AdditionalErrorMessage(Hstring* value) override {
    *value = nullptr;
    return kS_OK;
  }
};

struct FakeInfo final : CountedInspectable<IAsyncInfo> {
  Hresult error = kS_OK;
  int cancels = 0;
  Hresult TETHRA_WINRT_CALL get_Id(std::uint32_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_Status(AsyncStatus*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_ErrorCode(Hresult* code) override {
    *code = error;
    return kS_OK;
  }
  Hresult TETHRA_WINRT_CALL Cancel() override {
    ++cancels;
    return kS_OK;
  }
  int closes = 0;
  Hresult TETHRA_WINRT_CALL Close() override {
    ++closes;
    return kS_OK;
  }
};

struct FakeOperation final : CountedInspectable<IAsyncOperationTetheringResult> {
  FakeResult result;
  FakeInfo info;
  Hresult resultsCall = kS_OK;
  bool answersInfo = true;
  Hresult putResult = kS_OK;
  int puts = 0;
  ComPtr<AsyncOperationCompletedHandlerTetheringResult> handler;  // held as the runtime holds it
  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid& iid, void** object) override {
    if (iid == kIID_IAsyncInfo && answersInfo) {
      info.AddRef();
      *object = &info;
      return kS_OK;
    }
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  Hresult TETHRA_WINRT_CALL put_Completed(AsyncOperationCompletedHandlerTetheringResult* h) override {
    ++puts;
    if (putResult < 0) return putResult;
    handler.copyFrom(h);
    return kS_OK;
  }
  // The operation ends: its handler runs (on the caller's thread, standing in for the system's).
  void end(AsyncStatus status) {
    ComPtr<AsyncOperationCompletedHandlerTetheringResult> h = std::move(handler);
    if (h) h->Invoke(this, status);
  }
  Hresult TETHRA_WINRT_CALL get_Completed(AsyncOperationCompletedHandlerTetheringResult**) override {
    return kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL GetResults(INetworkOperatorTetheringOperationResult** value) override {
    if (resultsCall < 0) return resultsCall;
    result.AddRef();
    *value = &result;
    return kS_OK;
  }
};

TEST(ReadOutcomeTest, ACompletedStartGivesItsTetheringResult) {
  FakeOperation op;
  op.result.status = TetheringOperationStatus::WiFiDeviceOff;
  const Outcome outcome = ReadOutcome(&op, AsyncStatus::Completed);
  EXPECT_EQ(outcome.result, platform::kS_OK);
  EXPECT_EQ(outcome.status, TetheringStatus::WiFiDeviceOff);
  EXPECT_EQ(op.result.references, 1);
}

TEST(ReadOutcomeTest, AFailedOperationGivesItsErrorCode) {
  FakeOperation op;
  op.info.error = static_cast<Hresult>(0x80070015u);
  const Outcome outcome = ReadOutcome(&op, AsyncStatus::Error);
  EXPECT_EQ(outcome.result, HResult{0x80070015u});
  EXPECT_EQ(op.info.references, 1);
}

TEST(ReadOutcomeTest, AnErrorWithoutACodeIsStillAFailure) {
  FakeOperation op;
  op.info.error = kS_OK;
  EXPECT_EQ(ReadOutcome(&op, AsyncStatus::Error).result, platform::kE_FAIL);
}

TEST(ReadOutcomeTest, ACancelledOperationIsCancelled) {
  FakeOperation op;
  EXPECT_EQ(ReadOutcome(&op, AsyncStatus::Canceled).result, HResult{0x800704C7u});
}

TEST(ReadOutcomeTest, ResultsThatCannotBeReadAreThatFailure) {
  FakeOperation op;
  op.resultsCall = kE_ILLEGAL_METHOD_CALL;
  EXPECT_EQ(ReadOutcome(&op, AsyncStatus::Completed).result, HResult{0x8000000Eu});
}

struct FakeAction final : CountedInspectable<IAsyncAction> {
  Hresult results = kS_OK;
  Hresult TETHRA_WINRT_CALL put_Completed(AsyncActionCompletedHandler*) override { return kS_OK; }
  Hresult TETHRA_WINRT_CALL get_Completed(AsyncActionCompletedHandler**) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetResults() override { return results; }
};

TEST(ReadOutcomeTest, AConfigurationReportsItsResultsCall) {
  FakeAction action;
  EXPECT_EQ(ReadOutcome(&action, AsyncStatus::Completed).result, platform::kS_OK);
  EXPECT_EQ(ReadOutcome(&action, AsyncStatus::Completed).status, TetheringStatus::Success);
  action.results = kE_ILLEGAL_METHOD_CALL;
  EXPECT_EQ(ReadOutcome(&action, AsyncStatus::Completed).result, HResult{0x8000000Eu});
}

struct Recorder final : platform::ITetheringCompletion {
  std::vector<std::pair<HResult, TetheringStatus>> calls;
  std::vector<std::thread::id> threads;
  void completed(HResult result, TetheringStatus status) override {
    calls.emplace_back(result, status);
    threads.push_back(std::this_thread::get_id());
  }
};

// A post that keeps the work for the test to run "on another thread" when it chooses.
struct HeldPosts {
  std::vector<std::function<void()>> works;
  PostFn fn() {
    return [this](std::function<void()> work) {
      works.push_back(std::move(work));
      return true;
    };
  }
};

// The gate of a call that has returned already.
std::shared_ptr<Gate> Opened() {
  auto gate = std::make_shared<Gate>();
  gate->open();
  return gate;
}

// A post that runs the work at once (only HandOver's own steps are looked at).
PostFn RunAtOnce() {
  return [](std::function<void()> work) {
    work();
    return true;
  };
}

// The hand-over under test, named before the fixture that takes its name.
Hresult HandOverOperation(FakeOperation& op, std::shared_ptr<Recorder> done,
                          std::unique_ptr<platform::ITetheringOperation>& operation) {
  return HandOver<OperationHandler>(op, kIID_AsyncOperationCompletedHandler_TetheringResult, std::move(done),
                                    RunAtOnce(), Opened(), operation);
}

// An operation handed over with a completion that runs at once and the beginning call's gate
// already open.
class HandOverTest : public ::testing::Test {
 protected:
  Hresult handOver() { return HandOverOperation(op, done, operation); }
  std::shared_ptr<Recorder> done = std::make_shared<Recorder>();
  FakeOperation op;
  std::unique_ptr<platform::ITetheringOperation> operation;
};

TEST_F(HandOverTest, GivesAHandleWhoseCancelIsTheOperations) {
  ASSERT_EQ(handOver(), kS_OK);
  ASSERT_TRUE(operation);
  EXPECT_EQ(op.puts, 1);
  EXPECT_EQ(op.info.references, 2) << "the handle holds the operation's IAsyncInfo";
  operation->cancel();
  EXPECT_EQ(op.info.cancels, 1);
  EXPECT_TRUE(done->calls.empty()) << "a cancel is a request: the outcome still comes from the operation";
  op.end(AsyncStatus::Canceled);
  ASSERT_EQ(done->calls.size(), 1u);
  EXPECT_EQ(done->calls[0].first, platform::kHotspotCancelled);
  EXPECT_EQ(op.info.closes, 0) << "nothing closes an operation but the program";
  operation->close();
  EXPECT_EQ(op.info.closes, 1) << "the handle's close is the operation's IAsyncInfo::Close";
  EXPECT_EQ(op.info.references, 2) << "closed, and held until the handle goes";
  operation.reset();
  EXPECT_EQ(op.info.references, 1) << "the handle let the operation go";
  EXPECT_EQ(op.info.cancels, 1) << "dropping the handle cancelled";
}

TEST_F(HandOverTest, DroppingTheHandleLeavesTheOperationRunning) {
  ASSERT_EQ(handOver(), kS_OK);
  operation.reset();
  EXPECT_EQ(op.info.cancels, 0);
  op.result.status = TetheringOperationStatus::Success;
  op.end(AsyncStatus::Completed);
  ASSERT_EQ(done->calls.size(), 1u);
  EXPECT_EQ(done->calls[0].first, platform::kS_OK);
}

TEST_F(HandOverTest, AnOperationWithoutAsyncInfoIsRefusedBeforeItsHandlerIsGiven) {
  op.answersInfo = false;
  EXPECT_EQ(handOver(), kE_NOINTERFACE);
  EXPECT_FALSE(operation);
  EXPECT_EQ(op.puts, 0) << "the runtime was given a completion the call then reported as failed";
  EXPECT_EQ(done.use_count(), 1);
}

TEST_F(HandOverTest, AFailedPutCompletedGivesNoHandleAndNoCompletion) {
  op.putResult = kE_ILLEGAL_METHOD_CALL;
  EXPECT_EQ(handOver(), kE_ILLEGAL_METHOD_CALL);
  EXPECT_FALSE(operation);
  EXPECT_EQ(op.info.references, 1);
  EXPECT_EQ(done.use_count(), 1) << "the completion was kept by a handler nobody holds";
}

// An outcome that comes while the call that began the operation still runs: `deliver` starts
// the thread that hands it over. Nothing reaches the program before that call has returned, and
// exactly one outcome after.
template <typename Deliver>
void ExpectHeldUntilTheCallReturns(Deliver deliver) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  FakeOperation op;
  std::thread deliverer;
  {
    const ReturnGate returned;
    auto* handler =
        new OperationHandler(kIID_AsyncOperationCompletedHandler_TetheringResult, done, posts.fn(), returned.gate());
    deliverer = deliver(handler, op, posts);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(done->calls.empty()) << "delivered while the call that began the operation still ran";
  }
  if (deliverer.joinable()) deliverer.join();
  EXPECT_EQ(done->calls.size(), 1u);
}

TEST(CompletionHandlerTest, AnOutcomeOnTheSystemsThreadWaitsForTheCallToFinish) {
  ExpectHeldUntilTheCallReturns([](OperationHandler* handler, FakeOperation& op, HeldPosts&) {
    handler->arm();
    return std::thread([handler, &op] {
      handler->Invoke(&op, AsyncStatus::Completed);
      handler->Release();
    });
  });
}

TEST(CompletionHandlerTest, AnEarlyOutcomePostedElsewhereWaitsForTheCallToFinish) {
  ExpectHeldUntilTheCallReturns([](OperationHandler* handler, FakeOperation& op, HeldPosts& posts) {
    handler->Invoke(&op, AsyncStatus::Completed);
    handler->arm();
    handler->Release();
    EXPECT_EQ(posts.works.size(), 1u);
    return posts.works.size() == 1 ? std::thread(posts.works[0]) : std::thread();
  });
}

TEST(CompletionHandlerTest, AnOutcomeAfterTheCallIsDeliveredOnceOnTheSystemsThread) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  auto* handler = new OperationHandler(kIID_AsyncOperationCompletedHandler_TetheringResult, done, posts.fn(), Opened());
  FakeOperation op;
  op.result.status = TetheringOperationStatus::EntitlementCheckFailure;
  handler->arm();
  std::thread system([&] {
    handler->Invoke(&op, AsyncStatus::Completed);
    handler->Invoke(&op, AsyncStatus::Completed);  // a second end is ignored
  });
  system.join();
  ASSERT_EQ(done->calls.size(), 1u);
  EXPECT_EQ(done->calls[0].second, TetheringStatus::EntitlementCheckFailure);
  EXPECT_NE(done->threads[0], std::this_thread::get_id());
  EXPECT_TRUE(posts.works.empty());
  handler->Release();
}

TEST(CompletionHandlerTest, AnOutcomeInsideTheCallWaitsForItAndGoesToAnotherThread) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  auto* handler = new OperationHandler(kIID_AsyncOperationCompletedHandler_TetheringResult, done, posts.fn(), Opened());
  FakeOperation op;
  // The runtime runs the handler inside put_Completed: the operation had ended already.
  handler->Invoke(&op, AsyncStatus::Completed);
  EXPECT_TRUE(done->calls.empty()) << "delivered inside the call that began the operation";
  handler->arm();
  EXPECT_TRUE(done->calls.empty()) << "delivered on the calling thread";
  ASSERT_EQ(posts.works.size(), 1u);
  std::thread pool(posts.works[0]);
  pool.join();
  ASSERT_EQ(done->calls.size(), 1u);
  EXPECT_EQ(done->calls[0].first, platform::kS_OK);
  handler->Invoke(&op, AsyncStatus::Completed);
  EXPECT_EQ(done->calls.size(), 1u);
  handler->Release();
}

TEST(CompletionHandlerTest, AHandlerNeverHandedOverNeverDelivers) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  {
    ComPtr<ActionHandler> handler;
    *handler.put() = new ActionHandler(kIID_AsyncActionCompletedHandler, done, posts.fn(), Opened());
    FakeAction action;
    handler->Invoke(&action, AsyncStatus::Completed);
  }
  EXPECT_TRUE(done->calls.empty());
  EXPECT_TRUE(posts.works.empty());
  EXPECT_EQ(done.use_count(), 1) << "the handler let the completion go with its last reference";
}

TEST(CompletionHandlerTest, StartedIsNotAnEnd) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  auto* handler = new ActionHandler(kIID_AsyncActionCompletedHandler, done, posts.fn(), Opened());
  handler->arm();
  FakeAction action;
  handler->Invoke(&action, AsyncStatus::Started);
  EXPECT_TRUE(done->calls.empty());
  handler->Invoke(&action, AsyncStatus::Completed);
  EXPECT_EQ(done->calls.size(), 1u);
  handler->Release();
}

TEST(CompletionHandlerTest, AnswersAsAgileAndAsItsOwnHandlerOnly) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  auto* handler = new ActionHandler(kIID_AsyncActionCompletedHandler, done, posts.fn(), Opened());
  void* object = nullptr;
  EXPECT_EQ(handler->QueryInterface(kIID_IAgileObject, &object), kS_OK);
  EXPECT_EQ(object, static_cast<AsyncActionCompletedHandler*>(handler));
  EXPECT_EQ(handler->QueryInterface(kIID_AsyncActionCompletedHandler, &object), kS_OK);
  EXPECT_EQ(handler->QueryInterface(kIID_AsyncOperationCompletedHandler_TetheringResult, &object), kE_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(handler->Release(), 2u);
  EXPECT_EQ(handler->Release(), 1u);
  handler->Release();
}

struct CountingObserver final : platform::INetworkChangeObserver {
  std::atomic<int> calls{0};
  std::function<void()> during;
  void networkStatusChanged() override {
    ++calls;
    if (during) during();
  }
};

TEST(NetworkChangeRelayTest, ARevokedRelayIsSilent) {
  CountingObserver observer;
  auto* relay = new NetworkChangeRelay(observer);
  relay->Invoke(nullptr);
  relay->revoke();
  relay->Invoke(nullptr);
  EXPECT_EQ(observer.calls, 1);
  relay->Release();
}

TEST(NetworkChangeRelayTest, RevokeWaitsForACallRunningOnAnotherThread) {
  CountingObserver observer;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  observer.during = [&] {
    entered.set_value();
    released.wait();
  };
  auto* relay = new NetworkChangeRelay(observer);
  std::thread system([&] { relay->Invoke(nullptr); });
  entered.get_future().wait();
  std::atomic<bool> revoked{false};
  std::thread program([&] {
    relay->revoke();
    revoked = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(revoked) << "revoke returned while the observer still ran";
  release.set_value();
  program.join();
  system.join();
  EXPECT_TRUE(revoked);
  relay->Release();
}

TEST(NetworkChangeRelayTest, AnObserverMayRevokeFromItsOwnCall) {
  CountingObserver observer;
  auto* relay = new NetworkChangeRelay(observer);
  observer.during = [&] { relay->revoke(); };
  relay->Invoke(nullptr);  // would never return if revoke waited for its own caller
  relay->Invoke(nullptr);
  EXPECT_EQ(observer.calls, 1);
  relay->Release();
}

}  // namespace
}  // namespace tethra::win32::winrt
