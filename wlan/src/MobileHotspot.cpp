// The mobile hotspot's operations as posted outcomes, one in flight, each bounded by a thread
// that only posts; its network changes as posted messages.
#include "tethra/wlan/MobileHotspot.h"

#include <new>
#include <utility>

namespace tethra::wlan {

using platform::HResult;

namespace {
constexpr HResult kNotOpen{0x8007139Fu};  // from ERROR_INVALID_STATE: no manager yet

const char* OperationName(HotspotOperation operation) {
  switch (operation) {
    case HotspotOperation::Configure:
      return "Configure";
    case HotspotOperation::Start:
      return "Start";
    case HotspotOperation::SessionStart:
      return "SessionStart";
    case HotspotOperation::Stop:
      return "Stop";
    case HotspotOperation::EnableTimeout:
      return "EnableNoConnectionsTimeout";
    case HotspotOperation::DisableTimeout:
      return "DisableNoConnectionsTimeout";
  }
  return "?";
}
}  // namespace

// One operation's outcome, shared with the platform until its completion has run and with the
// thread that bounds it: a dialog that gave up leaves it to them.
class CMobileHotspot::Completion final : public platform::ITetheringCompletion {
 public:
  Completion(platform::IKernel& kernel, platform::IWindowSystem& windows, platform::Hwnd notify,
             std::uint64_t number, HotspotOperation operation)
      : m_Kernel(kernel),
        m_Windows(windows),
        m_Notify(notify),
        m_Done(kernel.createEvent(true, false), platform::KernelHandleCloser{&kernel}),
        m_Number(number),
        m_Operation(operation) {}

  // False when its event could not be made (the reason is in the thread's last error).
  bool IsReady() const { return static_cast<bool>(m_Done); }
  platform::Handle DoneEvent() const { return m_Done.get(); }
  std::uint64_t Number() const { return m_Number; }
  HotspotOperation Operation() const { return m_Operation; }
  bool IsFinished() const { return m_Finished.load(std::memory_order_acquire); }
  // Once finished.
  HResult Outcome() const {
    const HResult result{m_Result.load(std::memory_order_relaxed)};
    if (result != platform::kS_OK) return result;
    const platform::TetheringStatus status = m_Status.load(std::memory_order_relaxed);
    return status == platform::TetheringStatus::Success ? platform::kS_OK : HotspotStatusFailure(status);
  }
  // Its bound passed before it finished, and the dialog was told. Dialog's thread only.
  void GiveUp() { m_GivenUp = true; }
  bool IsGivenUp() const { return m_GivenUp; }

  // The platform's call, on whichever thread the operation ends.
  void completed(HResult result, platform::TetheringStatus status) override {
    m_Result.store(platform::Raw(result), std::memory_order_relaxed);
    m_Status.store(status, std::memory_order_relaxed);
    m_Finished.store(true, std::memory_order_release);
    m_Kernel.setEvent(m_Done.get());
    PostFinished();
  }

 private:
  void PostFinished() {
    if (m_Notify != nullptr) m_Windows.postMessage(m_Notify, WM_HOTSPOT_OPERATION, m_Number, 0);
  }

  platform::IKernel& m_Kernel;
  platform::IWindowSystem& m_Windows;
  platform::Hwnd m_Notify;
  platform::UniqueKernelHandle m_Done;
  const std::uint64_t m_Number;
  const HotspotOperation m_Operation;
  std::atomic<std::uint32_t> m_Result{0};
  std::atomic<platform::TetheringStatus> m_Status{platform::TetheringStatus::Unknown};
  std::atomic<bool> m_Finished{false};
  bool m_GivenUp = false;  // dialog's thread only
};

class CMobileHotspot::Observer final : public platform::INetworkChangeObserver {
 public:
  Observer(platform::IWindowSystem& windows, platform::Hwnd notify) : m_Windows(windows), m_Notify(notify) {}

  void networkStatusChanged() override {
    if (m_Pending.exchange(true)) return;  // the dialog has not asked yet: one message is enough
    if (!m_Windows.postMessage(m_Notify, WM_HOTSPOT_CHANGED, 0, 0)) m_Pending = false;
  }
  void taken() { m_Pending = false; }

 private:
  platform::IWindowSystem& m_Windows;
  platform::Hwnd m_Notify;
  std::atomic<bool> m_Pending{false};
};

namespace {

// A thread that waits for `event` (none: only the time) up to `ms` and posts `message` when the
// time passed first. It owns its parameters; the handle is closed at once.
struct DelayedPost {
  platform::IKernel* kernel;
  platform::IWindowSystem* windows;
  platform::Hwnd notify;
  platform::Handle event;  // kept open by `keep` while the thread waits
  std::shared_ptr<void> keep;
  platform::Dword ms;
  std::uint32_t message;
  platform::WParam wParam;
};

platform::Dword DelayedPostProc(void* raw) {
  const std::unique_ptr<DelayedPost> post(static_cast<DelayedPost*>(raw));
  bool timedOut = true;
  if (post->event != nullptr) {
    timedOut = post->kernel->waitForSingleObject(post->event, post->ms) != platform::kWAIT_OBJECT_0;
  } else {
    post->kernel->sleep(post->ms);
  }
  if (timedOut) post->windows->postMessage(post->notify, post->message, post->wParam, 0);
  return 0;
}

bool StartDelayedPost(platform::IKernel& kernel, std::unique_ptr<DelayedPost> post) {
  platform::Dword id = 0;
  const platform::Handle thread = kernel.createThread(&DelayedPostProc, post.get(), &id);
  if (thread == nullptr) return false;
  post.release();  // the thread's now
  kernel.closeHandle(thread);
  return true;
}

}  // namespace

CMobileHotspot::CMobileHotspot(platform::IMobileHotspot& hotspot, platform::IKernel& kernel,
                               platform::IWindowSystem& windows, platform::ITrace& trace,
                               platform::Dword operationTimeoutMs)
    : m_Hotspot(hotspot),
      m_Kernel(kernel),
      m_Windows(windows),
      m_Trace(trace),
      m_OperationTimeoutMs(operationTimeoutMs) {}

CMobileHotspot::~CMobileHotspot() { Close(); }

HResult CMobileHotspot::Open(const platform::ProfileSelector& profile, platform::Hwnd notify) {
  TETHRA_CHECK_THREAD(m_Thread);
  std::unique_ptr<platform::ITetheringManager> manager;
  HResult hr = m_Hotspot.createManager(profile, &manager);
  platform::TraceLine(m_Trace, "CMobileHotspot::Open, createManager Ret %x", platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  if (manager == nullptr) return platform::kE_UNEXPECTED;
  auto observer = std::make_unique<Observer>(m_Windows, notify);
  std::int64_t token = 0;
  hr = m_Hotspot.subscribeNetworkChanges(*observer, &token);
  platform::TraceLine(m_Trace, "CMobileHotspot::Open, subscribeNetworkChanges Ret %x", platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  m_Manager = std::move(manager);
  m_Observer = std::move(observer);
  m_Notify = notify;
  m_Token = token;
  m_Subscribed = true;
  return platform::kS_OK;
}

void CMobileHotspot::Close() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Subscribed) {
    m_Subscribed = false;
    m_Hotspot.unsubscribeNetworkChanges(m_Token);
  }
  m_Observer.reset();
}

HResult CMobileHotspot::GetConfiguration(platform::AccessPointConfig& config) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Manager == nullptr) return kNotOpen;
  return m_Manager->currentConfiguration(&config);
}

HResult CMobileHotspot::GetState(platform::TetheringState& state) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Manager == nullptr) return kNotOpen;
  return m_Manager->operationalState(&state);
}

HResult CMobileHotspot::IsStarted(bool& started) {
  platform::TetheringState state = platform::TetheringState::Unknown;
  const HResult hr = GetState(state);
  if (hr == platform::kS_OK) started = state == platform::TetheringState::On;
  return hr;
}

HResult CMobileHotspot::Begin(HotspotOperation operation, const platform::AccessPointConfig& config) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Manager == nullptr) return kNotOpen;
  if (m_Current != nullptr) return kHotspotBusy;
  auto completion = std::make_shared<Completion>(m_Kernel, m_Windows, m_Notify, m_NextNumber++, operation);
  if (!completion->IsReady()) return platform::HResultFromWin32(m_Kernel.getLastError());
  std::shared_ptr<platform::ITetheringCompletion> done = completion;
  std::unique_ptr<platform::ITetheringOperation> handle;
  HResult hr = platform::kS_OK;
  switch (operation) {
    case HotspotOperation::Configure:
      hr = m_Manager->configure(config, std::move(done), &handle);
      break;
    case HotspotOperation::Start:
      hr = m_Manager->start(std::move(done), &handle);
      break;
    case HotspotOperation::SessionStart:
      hr = m_Manager->startWithSessionConfiguration(config, std::move(done), &handle);
      break;
    case HotspotOperation::Stop:
      hr = m_Manager->stop(std::move(done), &handle);
      break;
    case HotspotOperation::EnableTimeout:
    case HotspotOperation::DisableTimeout:
      hr = m_Hotspot.setNoConnectionsTimeout(operation == HotspotOperation::EnableTimeout, std::move(done), &handle);
      break;
  }
  platform::TraceLine(m_Trace, "CMobileHotspot::Begin%s Ret %x", OperationName(operation), platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  m_Current = std::move(completion);
  m_CurrentHandle = std::move(handle);
  return platform::kS_OK;
}

void CMobileHotspot::StartBound(const std::shared_ptr<Completion>& completion, platform::Dword boundMs) {
  auto post = std::unique_ptr<DelayedPost>(new (std::nothrow) DelayedPost{
      &m_Kernel, &m_Windows, m_Notify, completion->DoneEvent(), completion, boundMs, WM_HOTSPOT_OPERATION,
      static_cast<platform::WParam>(completion->Number())});
  // Without its bound an operation that never ends is met at the program's end, bounded there.
  if (post == nullptr || !StartDelayedPost(m_Kernel, std::move(post))) {
    platform::TraceLine(m_Trace, "CMobileHotspot: no bound for operation %u",
                        static_cast<unsigned>(completion->Number()));
  }
}

HResult CMobileHotspot::BeginBounded(HotspotOperation operation, const platform::AccessPointConfig& config) {
  const HResult hr = Begin(operation, config);
  if (hr == platform::kS_OK) StartBound(m_Current, m_OperationTimeoutMs);
  return hr;
}

HResult CMobileHotspot::BeginConfigure(const platform::AccessPointConfig& config) {
  return BeginBounded(HotspotOperation::Configure, config);
}

HResult CMobileHotspot::BeginStart() { return BeginBounded(HotspotOperation::Start, {}); }

HResult CMobileHotspot::BeginSessionStart(const platform::AccessPointConfig& config) {
  return BeginBounded(HotspotOperation::SessionStart, config);
}

HResult CMobileHotspot::BeginStop() { return BeginBounded(HotspotOperation::Stop, {}); }

HResult CMobileHotspot::GetNoConnectionsTimeout(bool& enabled) {
  const HResult hr = m_Hotspot.noConnectionsTimeoutEnabled(&enabled);
  platform::TraceLine(m_Trace, "CMobileHotspot::GetNoConnectionsTimeout Ret %x%s", platform::Raw(hr),
                      hr == platform::kS_OK ? (enabled ? " (on)" : " (off)") : "");
  return hr;
}

HResult CMobileHotspot::BeginSetNoConnectionsTimeout(bool enabled) {
  return BeginBounded(enabled ? HotspotOperation::EnableTimeout : HotspotOperation::DisableTimeout, {});
}

bool CMobileHotspot::TakeOutcome(std::uint64_t number, HotspotOutcome& outcome) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Current == nullptr || m_Current->Number() != number) return false;  // taken already
  outcome.operation = m_Current->Operation();
  outcome.givenUp = m_Current->IsGivenUp();
  if (m_Current->IsFinished()) {
    outcome.ended = true;
    outcome.result = m_Current->Outcome();
    platform::TraceLine(m_Trace, "CMobileHotspot::%s ended %x%s", OperationName(outcome.operation),
                        platform::Raw(outcome.result), outcome.givenUp ? " after its bound" : "");
    DropCurrent();
    return true;
  }
  if (m_Current->IsGivenUp()) return false;  // its bound was told already
  // Past its bound: asked to stop; its end comes as one more message.
  m_Current->GiveUp();
  const bool cancelled = CancelUnlessStop();
  outcome.ended = false;
  outcome.result = kHotspotTimedOut;
  platform::TraceLine(m_Trace, "CMobileHotspot::%s past its bound: %s", OperationName(outcome.operation),
                      cancelled ? "cancelled" : "left to finish");
  return true;
}

bool CMobileHotspot::CancelUnlessStop() {
  // A cancelled stop can only leave the hotspot on: a stop is always left to finish.
  if (m_Current->Operation() == HotspotOperation::Stop || m_CurrentHandle == nullptr) return false;
  m_CurrentHandle->cancel();
  return true;
}

void CMobileHotspot::DropCurrent() {
  // Its outcome is taken: the system may free the operation before the handle goes.
  if (m_CurrentHandle != nullptr) m_CurrentHandle->close();
  m_CurrentHandle.reset();
  m_Current.reset();
}

bool CMobileHotspot::SettleForEnd(platform::Dword boundMs, HotspotOutcome* ended) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Current == nullptr) return true;
  if (!m_Current->IsFinished()) CancelUnlessStop();
  return WaitForEnd(boundMs, ended);
}

bool CMobileHotspot::WaitForEnd(platform::Dword boundMs, HotspotOutcome* ended) {
  m_Kernel.waitForSingleObject(m_Current->DoneEvent(), boundMs);
  if (!m_Current->IsFinished()) {
    platform::TraceLine(m_Trace, "CMobileHotspot: operation %u still in flight at the end",
                        static_cast<unsigned>(m_Current->Number()));
    return false;
  }
  if (ended != nullptr) {
    ended->operation = m_Current->Operation();
    ended->ended = true;
    ended->givenUp = m_Current->IsGivenUp();
    ended->result = m_Current->Outcome();
  }
  DropCurrent();
  return true;
}

HResult CMobileHotspot::RunForEnd(HotspotOperation operation, const platform::AccessPointConfig& config,
                                  platform::Dword boundMs) {
  HResult hr = Begin(operation, config);
  if (hr != platform::kS_OK) return hr;
  HotspotOutcome outcome;
  if (!WaitForEnd(boundMs, &outcome)) {
    m_Current->GiveUp();
    CancelUnlessStop();
    return kHotspotTimedOut;
  }
  hr = outcome.result;
  platform::TraceLine(m_Trace, "CMobileHotspot::%s for the end Ret %x", OperationName(operation), platform::Raw(hr));
  return hr;
}

void CMobileHotspot::ChangeTaken() {
  if (m_Observer != nullptr) m_Observer->taken();
}

void CMobileHotspot::LookAgainLater(platform::Dword delayMs) {
  auto post = std::unique_ptr<DelayedPost>(new (std::nothrow) DelayedPost{
      &m_Kernel, &m_Windows, m_Notify, nullptr, nullptr, delayMs, WM_HOTSPOT_CHANGED, kHotspotLookAgain});
  if (post == nullptr || !StartDelayedPost(m_Kernel, std::move(post))) {
    platform::TraceLine(m_Trace, "CMobileHotspot: cannot look again later");
  }
}

}  // namespace tethra::wlan
