// The parts of the mobile hotspot adapter (Hotspot.cpp) that need no Windows header, so that
// they are tested on any machine (tests/win32/HotspotRelayTest.cpp):
// - FindProfile: the first connection profile the program's selector names (by its network
//   adapter's id, or by its name when the id is zero);
// - OperationHandle and HandOver: an operation under way, as the program holds it (IAsyncInfo,
//   for its cancel and, once its outcome is taken, its Close), and the handing of the completed
//   handler to the operation;
// - ReadOutcome: what an ended asynchronous action or operation reports, as the boundary's
//   (result, status) pair;
// - CompletionHandler: the completed handler an operation is given. It hands the outcome to the
//   program's completion exactly once, on a thread other than the caller's, and only once the
//   call that began the operation has finished (its ReturnGate opens as the call's last act):
//   the runtime runs a handler at once, inside put_Completed, when the operation has already
//   ended, so such an outcome is kept until the call has done its part (arm) and then posted to
//   another thread, and one that comes on the system's thread meanwhile waits for the gate;
// - NetworkChangeRelay: the network status handler. Once revoked, it calls its observer no
//   more, and revoke returns only after every call running on another thread has finished.
//
// Owner: the handlers are reference counted (the runtime holds them as long as it needs) and
// free themselves with their last Release; each holds the program's completion (shared) until it
// has delivered it. Threads: any; Invoke comes on a thread of the system's.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tethra/platform/ComPtr.h"
#include "tethra/platform/Hotspot.h"
#include "tethra/win32/WinRtAbi.h"

namespace tethra::win32::winrt {

template <typename T>
using ComPtr = platform::ComPtr<T>;

constexpr bool Failed(Hresult hr) { return hr < 0; }
inline platform::HResult ToStatus(Hresult hr) { return platform::HResult{static_cast<std::uint32_t>(hr)}; }

// A profile's name (ProfileName), read through the runtime's string functions: S_OK or why not.
using ReadProfileNameFn = std::function<Hresult(IConnectionProfile& profile, std::u16string& name)>;

// S_OK with the first profile the selector names: with a non-zero adapter id, the profile whose
// network adapter has that id; with a zero id, the profile whose name is exactly `profileName`.
// kHotspotNoProfile when none is; the collection's own failure. A profile that cannot tell the
// adapter or name asked about is not the one asked for.
inline Hresult FindProfile(IVectorViewConnectionProfile& profiles, const platform::ProfileSelector& selector,
                           const ReadProfileNameFn& readName, ComPtr<IConnectionProfile>& profile) {
  const bool byAdapter = !selector.adapterId.isZero();
  std::uint32_t size = 0;
  TETHRA_RETURN_IF_FAILED(profiles.get_Size(&size));
  for (std::uint32_t i = 0; i < size; ++i) {
    ComPtr<IConnectionProfile> candidate;
    TETHRA_RETURN_IF_FAILED(profiles.GetAt(i, candidate.put()));
    if (!candidate) continue;
    if (byAdapter) {
      ComPtr<INetworkAdapter> adapter;
      if (Failed(candidate->get_NetworkAdapter(adapter.put())) || !adapter) continue;
      Guid id{};
      if (Failed(adapter->get_NetworkAdapterId(&id)) || id != selector.adapterId) continue;
    } else {
      std::u16string name;
      if (Failed(readName(*candidate.get(), name)) || name != selector.profileName) continue;
    }
    profile = std::move(candidate);
    return kS_OK;
  }
  return static_cast<Hresult>(platform::Raw(platform::kHotspotNoProfile));
}

struct Outcome {
  platform::HResult result;
  platform::TetheringStatus status;
};

// An operation that did not complete: cancelled, or the error it ended with (E_FAIL where it
// names none).
inline Outcome FailedOutcome(IUnknownAbi& async, AsyncStatus status, platform::TetheringStatus otherwise) {
  if (status == AsyncStatus::Canceled) return {ToStatus(kCancelled), otherwise};
  ComPtr<IAsyncInfo> info;
  Hresult code = kE_FAIL;
  if (!Failed(async.QueryInterface(kIID_IAsyncInfo, reinterpret_cast<void**>(info.put()))) && info &&
      (Failed(info->get_ErrorCode(&code)) || !Failed(code))) {
    code = kE_FAIL;
  }
  return {ToStatus(code), otherwise};
}

// A start or a stop: S_OK and its tethering result, or the error (status Unknown).
inline Outcome ReadOutcome(IAsyncOperationTetheringResult* operation, AsyncStatus status) {
  constexpr auto kNone = platform::TetheringStatus::Unknown;
  if (operation == nullptr) return {ToStatus(kE_POINTER), kNone};
  if (status != AsyncStatus::Completed) return FailedOutcome(*operation, status, kNone);
  ComPtr<INetworkOperatorTetheringOperationResult> result;
  if (const Hresult hr = operation->GetResults(result.put()); Failed(hr)) return {ToStatus(hr), kNone};
  if (!result) return {ToStatus(kE_UNEXPECTED), kNone};
  TetheringOperationStatus value = TetheringOperationStatus::Unknown;
  if (const Hresult hr = result->get_Status(&value); Failed(hr)) return {ToStatus(hr), kNone};
  return {platform::kS_OK, value};
}

// A configuration: S_OK or the error; the status is always Success.
inline Outcome ReadOutcome(IAsyncAction* action, AsyncStatus status) {
  constexpr auto kNone = platform::TetheringStatus::Success;
  if (action == nullptr) return {ToStatus(kE_POINTER), kNone};
  if (status != AsyncStatus::Completed) return FailedOutcome(*action, status, kNone);
  const Hresult hr = action->GetResults();
  return {Failed(hr) ? ToStatus(hr) : platform::kS_OK, kNone};
}

// Runs `work` on another thread; false when no thread could take it.
using PostFn = std::function<bool(std::function<void()> work)>;

// Held shut by the call that begins an operation, from before the operation exists until the
// call's very end; a completion waits for it to open.
class Gate {
 public:
  void open() {
    {
      std::lock_guard lock(m_Mutex);
      m_Open = true;
    }
    m_Opened.notify_all();
  }
  void waitOpen() {
    std::unique_lock lock(m_Mutex);
    m_Opened.wait(lock, [this] { return m_Open; });
  }

 private:
  std::mutex m_Mutex;
  std::condition_variable m_Opened;
  bool m_Open = false;
};

// Declared first in the call that begins an operation, so that it is the last thing the call
// undoes: the gate opens only once everything else of the call is done.
class ReturnGate {
 public:
  ReturnGate() : m_Gate(std::make_shared<Gate>()) {}
  ReturnGate(const ReturnGate&) = delete;
  ReturnGate& operator=(const ReturnGate&) = delete;
  ~ReturnGate() { m_Gate->open(); }
  std::shared_ptr<Gate> gate() const { return m_Gate; }

 private:
  std::shared_ptr<Gate> m_Gate;
};

// IUnknown of a delegate handed to the runtime: its own interface, IUnknown and IAgileObject
// (the runtime calls it on any thread, without marshalling), counted references, deleted at
// the last release.
template <typename Interface>
class AgileDelegate : public Interface {
 public:
  AgileDelegate(const AgileDelegate&) = delete;
  AgileDelegate& operator=(const AgileDelegate&) = delete;

  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid& iid, void** object) override {
    if (object == nullptr) return kE_POINTER;
    if (iid == kIID_IUnknown || iid == kIID_IAgileObject || iid == m_Iid) {
      AddRef();
      *object = static_cast<Interface*>(this);
      return kS_OK;
    }
    *object = nullptr;
    return kE_NOINTERFACE;
  }
  std::uint32_t TETHRA_WINRT_CALL AddRef() override { return ++m_References; }
  std::uint32_t TETHRA_WINRT_CALL Release() override {
    const std::uint32_t left = --m_References;
    if (left == 0) delete this;
    return left;
  }

 protected:
  explicit AgileDelegate(const Guid& iid) : m_Iid(iid) {}
  virtual ~AgileDelegate() = default;

 private:
  const Guid m_Iid;
  std::atomic<std::uint32_t> m_References{1};
};

// Handler: AsyncActionCompletedHandler or AsyncOperationCompletedHandlerTetheringResult;
// Async: the matching IAsyncAction or IAsyncOperationTetheringResult.
template <typename Handler, typename Async>
class CompletionHandler final : public AgileDelegate<Handler> {
 public:
  CompletionHandler(const Guid& iid, std::shared_ptr<platform::ITetheringCompletion> done, PostFn post,
                    std::shared_ptr<Gate> callGate)
      : AgileDelegate<Handler>(iid), m_Done(std::move(done)), m_Post(std::move(post)), m_CallGate(std::move(callGate)) {}

  Hresult TETHRA_WINRT_CALL Invoke(Async* async, AsyncStatus status) override {
    if (status == AsyncStatus::Started) return kS_OK;  // not an end
    const Outcome outcome = ReadOutcome(async, status);
    std::shared_ptr<platform::ITetheringCompletion> done;
    {
      std::lock_guard lock(m_Mutex);
      if (m_State == State::Waiting) {
        m_Early = outcome;
        m_State = State::Early;
        return kS_OK;
      }
      if (m_State != State::Armed) return kS_OK;  // delivered already
      m_State = State::Done;
      done = std::move(m_Done);
    }
    m_CallGate->waitOpen();
    done->completed(outcome.result, outcome.status);
    return kS_OK;
  }

  // The call that began the operation has handed this handler over and is about to return:
  // from now on the outcome goes to the program; one that came already goes to another thread.
  void arm() {
    std::shared_ptr<platform::ITetheringCompletion> done;
    Outcome early{};
    {
      std::lock_guard lock(m_Mutex);
      if (m_State == State::Waiting) {
        m_State = State::Armed;
        return;
      }
      if (m_State != State::Early) return;
      m_State = State::Done;
      done = std::move(m_Done);
      early = *m_Early;
    }
    auto deliver = [done, early, gate = m_CallGate] {
      gate->waitOpen();
      done->completed(early.result, early.status);
    };
    // No thread at all: late rather than never (on the caller's own thread, so not waiting for
    // its gate).
    if (!m_Post(deliver)) done->completed(early.result, early.status);
  }

 private:
  ~CompletionHandler() override = default;

  enum class State { Waiting, Early, Armed, Done };
  std::mutex m_Mutex;
  State m_State = State::Waiting;
  std::optional<Outcome> m_Early;
  std::shared_ptr<platform::ITetheringCompletion> m_Done;
  PostFn m_Post;
  const std::shared_ptr<Gate> m_CallGate;
};

using OperationHandler = CompletionHandler<AsyncOperationCompletedHandlerTetheringResult, IAsyncOperationTetheringResult>;
using ActionHandler = CompletionHandler<AsyncActionCompletedHandler, IAsyncAction>;

// One operation under way as the program holds it: the operation's IAsyncInfo, whose Cancel is
// the program's cancel. The handle keeps the runtime's object, not the operation: dropping it
// cancels nothing. Any thread (the runtime's async objects are agile).
class OperationHandle final : public platform::ITetheringOperation {
 public:
  explicit OperationHandle(ComPtr<IAsyncInfo> info) : m_Info(std::move(info)) {}
  // Cancel's own answer tells the program nothing it needs: whether the cancel took shows in
  // the outcome the completion gets.
  void cancel() override { m_Info->Cancel(); }
  // "Call this method after the results of the operation have been consumed but before calling
  // Release": the completed handler read them before the program took the outcome.
  void close() override { m_Info->Close(); }

 private:
  ComPtr<IAsyncInfo> m_Info;
};

// Gives an operation just begun its completed handler, and the program its handle: S_OK with
// *operation set and `done` to come, or the failure with neither. Everything else that can fail
// is done before put_Completed, so that no failure comes back once the runtime holds `done`.
template <typename Handler, typename Async>
Hresult HandOver(Async& async, const Guid& handlerIid, std::shared_ptr<platform::ITetheringCompletion> done,
                 PostFn post, std::shared_ptr<Gate> returned,
                 std::unique_ptr<platform::ITetheringOperation>& operation) {
  ComPtr<IAsyncInfo> info;
  if (const Hresult hr = async.QueryInterface(kIID_IAsyncInfo, reinterpret_cast<void**>(info.put())); Failed(hr)) {
    return hr;
  }
  if (!info) return kE_UNEXPECTED;
  std::unique_ptr<OperationHandle> handle(new (std::nothrow) OperationHandle(std::move(info)));
  if (!handle) return kE_OUTOFMEMORY;
  auto* raw = new (std::nothrow) Handler(handlerIid, std::move(done), std::move(post), std::move(returned));
  if (raw == nullptr) return kE_OUTOFMEMORY;
  ComPtr<Handler> handler;
  *handler.put() = raw;
  TETHRA_RETURN_IF_FAILED(async.put_Completed(handler.get()));
  handler->arm();
  operation = std::move(handle);
  return kS_OK;
}

class NetworkChangeRelay final : public AgileDelegate<NetworkStatusChangedEventHandler> {
 public:
  explicit NetworkChangeRelay(platform::INetworkChangeObserver& observer)
      : AgileDelegate(kIID_NetworkStatusChangedEventHandler), m_Observer(observer) {}

  Hresult TETHRA_WINRT_CALL Invoke(IInspectable*) override {
    const std::thread::id self = std::this_thread::get_id();
    {
      std::lock_guard lock(m_Mutex);
      if (m_Revoked) return kS_OK;
      m_Running.push_back(self);
    }
    m_Observer.networkStatusChanged();
    {
      std::lock_guard lock(m_Mutex);
      m_Running.erase(std::find(m_Running.begin(), m_Running.end(), self));
    }
    m_Idle.notify_all();
    return kS_OK;
  }

  // No call of the observer starts after this; a call running on another thread is waited for.
  // One running on the calling thread (an observer that unsubscribes from inside its own call)
  // is the caller itself and is not waited for.
  void revoke() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(m_Mutex);
    m_Revoked = true;
    m_Idle.wait(lock, [&] {
      return std::all_of(m_Running.begin(), m_Running.end(), [&](std::thread::id id) { return id == self; });
    });
  }

 private:
  ~NetworkChangeRelay() override = default;

  platform::INetworkChangeObserver& m_Observer;
  std::mutex m_Mutex;
  std::condition_variable m_Idle;
  bool m_Revoked = false;
  std::vector<std::thread::id> m_Running;
};

}  // namespace tethra::win32::winrt
