// The hotspot adapter's rules that need no Windows header (hotspot_relay.h): which profile is
// the adapter's, what an ended operation reports, that a completion runs exactly once and never
// inside the call that began it, and that a revoked network-change relay is silent and waits for
// a call still running elsewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "hotspot_relay.h"

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

struct FakeProfile final : CountedInspectable<IConnectionProfile> {
  FakeAdapter adapter;
  bool hasAdapter = true;
  Hresult TETHRA_WINRT_CALL get_ProfileName(Hstring*) override { return kE_NOTIMPL; }
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

TEST(FindProfileForAdapter, TakesTheFirstProfileOfThatAdapterAndReleasesTheOthers) {
  FakeProfile lan, wifi, wifiAgain;
  lan.adapter.id = kLan;
  wifi.adapter.id = kWifi;
  wifiAgain.adapter.id = kWifi;
  FakeProfiles profiles;
  profiles.items = {&lan, &wifi, &wifiAgain};
  {
    ComPtr<IConnectionProfile> profile;
    ComPtr<INetworkAdapter> adapter;
    ASSERT_EQ(FindProfileForAdapter(profiles, kWifi, profile, adapter), kS_OK);
    EXPECT_EQ(profile.get(), &wifi);
    EXPECT_EQ(adapter.get(), &wifi.adapter);
    EXPECT_EQ(wifiAgain.references, 1) << "a later profile was not needed";
  }
  for (FakeProfile* p : profiles.items) {
    EXPECT_EQ(p->references, 1);
    EXPECT_EQ(p->adapter.references, 1);
  }
}

TEST(FindProfileForAdapter, NoProfileOfThatAdapterIsNotFound) {
  FakeProfile lan;
  lan.adapter.id = kLan;
  FakeProfiles profiles;
  profiles.items = {&lan};
  ComPtr<IConnectionProfile> profile;
  ComPtr<INetworkAdapter> adapter;
  EXPECT_EQ(FindProfileForAdapter(profiles, kWifi, profile, adapter), static_cast<Hresult>(0x80070490u));
  EXPECT_FALSE(profile);
  EXPECT_FALSE(adapter);
}

TEST(FindProfileForAdapter, SkipsProfilesThatCannotNameTheirAdapter) {
  FakeProfile noAdapter, badId, wifi;
  noAdapter.hasAdapter = false;
  badId.adapter.id = kWifi;
  badId.adapter.idResult = kE_FAIL;
  wifi.adapter.id = kWifi;
  FakeProfiles profiles;
  profiles.items = {&noAdapter, &badId, &wifi};
  ComPtr<IConnectionProfile> profile;
  ComPtr<INetworkAdapter> adapter;
  ASSERT_EQ(FindProfileForAdapter(profiles, kWifi, profile, adapter), kS_OK);
  EXPECT_EQ(profile.get(), &wifi);
}

TEST(FindProfileForAdapter, TheCollectionsFailureComesBack) {
  FakeProfiles profiles;
  profiles.sizeResult = kE_UNEXPECTED;
  ComPtr<IConnectionProfile> profile;
  ComPtr<INetworkAdapter> adapter;
  EXPECT_EQ(FindProfileForAdapter(profiles, kWifi, profile, adapter), kE_UNEXPECTED);
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
  Hresult TETHRA_WINRT_CALL get_Id(std::uint32_t*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_Status(AsyncStatus*) override { return kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_ErrorCode(Hresult* code) override {
    *code = error;
    return kS_OK;
  }
  Hresult TETHRA_WINRT_CALL Cancel() override { return kS_OK; }
  Hresult TETHRA_WINRT_CALL Close() override { return kS_OK; }
};

struct FakeOperation final : CountedInspectable<IAsyncOperationTetheringResult> {
  FakeResult result;
  FakeInfo info;
  Hresult resultsCall = kS_OK;
  AsyncOperationCompletedHandlerTetheringResult* handler = nullptr;
  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid& iid, void** object) override {
    if (iid == kIID_IAsyncInfo) {
      info.AddRef();
      *object = &info;
      return kS_OK;
    }
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  Hresult TETHRA_WINRT_CALL put_Completed(AsyncOperationCompletedHandlerTetheringResult* h) override {
    handler = h;
    return kS_OK;
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

TEST(ReadOutcome, ACompletedStartGivesItsTetheringResult) {
  FakeOperation op;
  op.result.status = TetheringOperationStatus::WiFiDeviceOff;
  const Outcome outcome = ReadOutcome(&op, AsyncStatus::Completed);
  EXPECT_EQ(outcome.result, platform::kS_OK);
  EXPECT_EQ(outcome.status, TetheringStatus::WiFiDeviceOff);
  EXPECT_EQ(op.result.references, 1);
}

TEST(ReadOutcome, AFailedOperationGivesItsErrorCode) {
  FakeOperation op;
  op.info.error = static_cast<Hresult>(0x80070015u);
  const Outcome outcome = ReadOutcome(&op, AsyncStatus::Error);
  EXPECT_EQ(outcome.result, HResult{0x80070015u});
  EXPECT_EQ(op.info.references, 1);
}

TEST(ReadOutcome, AnErrorWithoutACodeIsStillAFailure) {
  FakeOperation op;
  op.info.error = kS_OK;
  EXPECT_EQ(ReadOutcome(&op, AsyncStatus::Error).result, platform::kE_FAIL);
}

TEST(ReadOutcome, ACancelledOperationIsCancelled) {
  FakeOperation op;
  EXPECT_EQ(ReadOutcome(&op, AsyncStatus::Canceled).result, HResult{0x800704C7u});
}

TEST(ReadOutcome, ResultsThatCannotBeReadAreThatFailure) {
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

TEST(ReadOutcome, AConfigurationReportsItsResultsCall) {
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

TEST(CompletionHandler, AnOutcomeOnTheSystemsThreadWaitsForTheCallToFinish) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  FakeOperation op;
  std::thread system;
  {
    const ReturnGate returned;
    auto* handler =
        new OperationHandler(kIID_AsyncOperationCompletedHandler_TetheringResult, done, posts.fn(), returned.gate());
    handler->arm();
    system = std::thread([handler, &op] {
      handler->Invoke(&op, AsyncStatus::Completed);
      handler->Release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(done->calls.empty()) << "delivered while the call that began the operation still ran";
  }
  system.join();
  EXPECT_EQ(done->calls.size(), 1u);
}

TEST(CompletionHandler, AnEarlyOutcomePostedElsewhereWaitsForTheCallToFinish) {
  auto done = std::make_shared<Recorder>();
  HeldPosts posts;
  FakeOperation op;
  std::thread pool;
  {
    const ReturnGate returned;
    auto* handler =
        new OperationHandler(kIID_AsyncOperationCompletedHandler_TetheringResult, done, posts.fn(), returned.gate());
    handler->Invoke(&op, AsyncStatus::Completed);
    handler->arm();
    handler->Release();
    ASSERT_EQ(posts.works.size(), 1u);
    pool = std::thread(posts.works[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(done->calls.empty()) << "delivered while the call that began the operation still ran";
  }
  pool.join();
  EXPECT_EQ(done->calls.size(), 1u);
}

TEST(CompletionHandler, AnOutcomeAfterTheCallIsDeliveredOnceOnTheSystemsThread) {
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

TEST(CompletionHandler, AnOutcomeInsideTheCallWaitsForItAndGoesToAnotherThread) {
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

TEST(CompletionHandler, AHandlerNeverHandedOverNeverDelivers) {
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

TEST(CompletionHandler, StartedIsNotAnEnd) {
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

TEST(CompletionHandler, AnswersAsAgileAndAsItsOwnHandlerOnly) {
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

TEST(NetworkChangeRelay, ARevokedRelayIsSilent) {
  CountingObserver observer;
  auto* relay = new NetworkChangeRelay(observer);
  relay->Invoke(nullptr);
  relay->revoke();
  relay->Invoke(nullptr);
  EXPECT_EQ(observer.calls, 1);
  relay->Release();
}

TEST(NetworkChangeRelay, RevokeWaitsForACallRunningOnAnotherThread) {
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

TEST(NetworkChangeRelay, AnObserverMayRevokeFromItsOwnCall) {
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
