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
      : m_kernel(kernel),
        m_windows(windows),
        m_notify(notify),
        m_done(kernel.createEvent(true, false), platform::KernelHandleCloser{&kernel}),
        m_number(number),
        m_operation(operation) {}

  bool valid() const { return static_cast<bool>(m_done); }
  platform::Handle event() const { return m_done.get(); }
  std::uint64_t number() const { return m_number; }
  HotspotOperation operation() const { return m_operation; }
  bool finished() const { return m_finished.load(std::memory_order_acquire); }
  // Dialog's thread only.
  bool givenUp = false;

  void completed(HResult result, platform::TetheringStatus status) override {
    m_result.store(platform::Raw(result), std::memory_order_relaxed);
    m_status.store(status, std::memory_order_relaxed);
    m_finished.store(true, std::memory_order_release);
    m_kernel.setEvent(m_done.get());
    Post();
  }

  void Post() {
    if (m_notify != nullptr) m_windows.postMessage(m_notify, WM_HOTSPOT_OPERATION, m_number, 0);
  }

  // Once finished.
  HResult outcome() const {
    const HResult result{m_result.load(std::memory_order_relaxed)};
    if (result != platform::kS_OK) return result;
    const platform::TetheringStatus status = m_status.load(std::memory_order_relaxed);
    return status == platform::TetheringStatus::Success ? platform::kS_OK : HotspotStatusFailure(status);
  }

 private:
  platform::IKernel& m_kernel;
  platform::IWindowSystem& m_windows;
  platform::Hwnd m_notify;
  platform::UniqueKernelHandle m_done;
  const std::uint64_t m_number;
  const HotspotOperation m_operation;
  std::atomic<std::uint32_t> m_result{0};
  std::atomic<platform::TetheringStatus> m_status{platform::TetheringStatus::Unknown};
  std::atomic<bool> m_finished{false};
};

class CMobileHotspot::Observer final : public platform::INetworkChangeObserver {
 public:
  Observer(platform::IWindowSystem& windows, platform::Hwnd notify) : m_windows(windows), m_notify(notify) {}

  void networkStatusChanged() override {
    if (m_pending.exchange(true)) return;  // the dialog has not asked yet: one message is enough
    if (!m_windows.postMessage(m_notify, WM_HOTSPOT_CHANGED, 0, 0)) m_pending = false;
  }
  void taken() { m_pending = false; }

 private:
  platform::IWindowSystem& m_windows;
  platform::Hwnd m_notify;
  std::atomic<bool> m_pending{false};
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
    : m_hotspot(hotspot),
      m_kernel(kernel),
      m_windows(windows),
      m_trace(trace),
      m_operationTimeoutMs(operationTimeoutMs) {}

CMobileHotspot::~CMobileHotspot() { Close(); }

HResult CMobileHotspot::Open(const platform::ProfileSelector& profile, platform::Hwnd notify) {
  TETHRA_CHECK_THREAD(m_thread);
  std::unique_ptr<platform::ITetheringManager> manager;
  HResult hr = m_hotspot.createManager(profile, &manager);
  platform::TraceLine(m_trace, "CMobileHotspot::Open, createManager Ret %x", platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  if (manager == nullptr) return platform::kE_UNEXPECTED;
  auto observer = std::make_unique<Observer>(m_windows, notify);
  std::int64_t token = 0;
  hr = m_hotspot.subscribeNetworkChanges(*observer, &token);
  platform::TraceLine(m_trace, "CMobileHotspot::Open, subscribeNetworkChanges Ret %x", platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  m_manager = std::move(manager);
  m_observer = std::move(observer);
  m_notify = notify;
  m_token = token;
  m_subscribed = true;
  return platform::kS_OK;
}

void CMobileHotspot::Close() {
  TETHRA_CHECK_THREAD(m_thread);
  if (m_subscribed) {
    m_subscribed = false;
    m_hotspot.unsubscribeNetworkChanges(m_token);
  }
  m_observer.reset();
}

HResult CMobileHotspot::GetConfiguration(platform::AccessPointConfig& config) {
  if (m_manager == nullptr) return kNotOpen;
  return m_manager->currentConfiguration(&config);
}

HResult CMobileHotspot::GetState(platform::TetheringState& state) {
  if (m_manager == nullptr) return kNotOpen;
  return m_manager->operationalState(&state);
}

HResult CMobileHotspot::IsStarted(bool& started) {
  platform::TetheringState state = platform::TetheringState::Unknown;
  const HResult hr = GetState(state);
  if (hr == platform::kS_OK) started = state == platform::TetheringState::On;
  return hr;
}

HResult CMobileHotspot::Begin(HotspotOperation operation, const platform::AccessPointConfig& config) {
  TETHRA_CHECK_THREAD(m_thread);
  if (m_manager == nullptr) return kNotOpen;
  if (m_current != nullptr) return kHotspotBusy;
  auto completion = std::make_shared<Completion>(m_kernel, m_windows, m_notify, m_nextNumber++, operation);
  if (!completion->valid()) return platform::HResultFromWin32(m_kernel.getLastError());
  std::shared_ptr<platform::ITetheringCompletion> done = completion;
  std::unique_ptr<platform::ITetheringOperation> handle;
  HResult hr = platform::kS_OK;
  switch (operation) {
    case HotspotOperation::Configure:
      hr = m_manager->configure(config, std::move(done), &handle);
      break;
    case HotspotOperation::Start:
      hr = m_manager->start(std::move(done), &handle);
      break;
    case HotspotOperation::SessionStart:
      hr = m_manager->startWithSessionConfiguration(config, std::move(done), &handle);
      break;
    case HotspotOperation::Stop:
      hr = m_manager->stop(std::move(done), &handle);
      break;
  }
  platform::TraceLine(m_trace, "CMobileHotspot::Begin%s Ret %x", OperationName(operation), platform::Raw(hr));
  if (hr != platform::kS_OK) return hr;
  m_current = std::move(completion);
  m_currentHandle = std::move(handle);
  return platform::kS_OK;
}

void CMobileHotspot::StartBound(const std::shared_ptr<Completion>& completion, platform::Dword boundMs) {
  auto post = std::unique_ptr<DelayedPost>(new (std::nothrow) DelayedPost{
      &m_kernel, &m_windows, m_notify, completion->event(), completion, boundMs, WM_HOTSPOT_OPERATION,
      static_cast<platform::WParam>(completion->number())});
  // Without its bound an operation that never ends is met at the program's end, bounded there.
  if (post == nullptr || !StartDelayedPost(m_kernel, std::move(post))) {
    platform::TraceLine(m_trace, "CMobileHotspot: no bound for operation %u",
                        static_cast<unsigned>(completion->number()));
  }
}

HResult CMobileHotspot::BeginBounded(HotspotOperation operation, const platform::AccessPointConfig& config) {
  const HResult hr = Begin(operation, config);
  if (hr == platform::kS_OK) StartBound(m_current, m_operationTimeoutMs);
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

bool CMobileHotspot::TakeOutcome(std::uint64_t number, HotspotOutcome& outcome) {
  TETHRA_CHECK_THREAD(m_thread);
  if (m_current == nullptr || m_current->number() != number) return false;  // taken already
  outcome.operation = m_current->operation();
  outcome.givenUp = m_current->givenUp;
  if (m_current->finished()) {
    outcome.ended = true;
    outcome.result = m_current->outcome();
    platform::TraceLine(m_trace, "CMobileHotspot::%s ended %x%s", OperationName(outcome.operation),
                        platform::Raw(outcome.result), outcome.givenUp ? " after its bound" : "");
    m_current.reset();
    m_currentHandle.reset();
    return true;
  }
  if (m_current->givenUp) return false;  // its bound was told already
  // Past its bound: asked to stop; its end comes as one more message.
  m_current->givenUp = true;
  if (m_currentHandle != nullptr) m_currentHandle->cancel();
  outcome.ended = false;
  outcome.result = kHotspotTimedOut;
  platform::TraceLine(m_trace, "CMobileHotspot::%s past its bound: cancelled", OperationName(outcome.operation));
  return true;
}

bool CMobileHotspot::SettleForEnd(platform::Dword boundMs, HotspotOutcome* ended) {
  TETHRA_CHECK_THREAD(m_thread);
  if (m_current == nullptr) return true;
  if (!m_current->finished() && m_currentHandle != nullptr) m_currentHandle->cancel();
  return WaitForEnd(boundMs, ended);
}

bool CMobileHotspot::WaitForEnd(platform::Dword boundMs, HotspotOutcome* ended) {
  m_kernel.waitForSingleObject(m_current->event(), boundMs);
  if (!m_current->finished()) {
    platform::TraceLine(m_trace, "CMobileHotspot: operation %u still in flight at the end",
                        static_cast<unsigned>(m_current->number()));
    return false;
  }
  if (ended != nullptr) {
    ended->operation = m_current->operation();
    ended->ended = true;
    ended->givenUp = m_current->givenUp;
    ended->result = m_current->outcome();
  }
  m_current.reset();
  m_currentHandle.reset();
  return true;
}

HResult CMobileHotspot::RunForEnd(HotspotOperation operation, const platform::AccessPointConfig& config,
                                  platform::Dword boundMs) {
  HResult hr = Begin(operation, config);
  if (hr != platform::kS_OK) return hr;
  HotspotOutcome outcome;
  if (!WaitForEnd(boundMs, &outcome)) {
    m_current->givenUp = true;
    if (m_currentHandle != nullptr) m_currentHandle->cancel();
    return kHotspotTimedOut;
  }
  hr = outcome.result;
  platform::TraceLine(m_trace, "CMobileHotspot::%s for the end Ret %x", OperationName(operation), platform::Raw(hr));
  return hr;
}

void CMobileHotspot::ChangeTaken() {
  if (m_observer != nullptr) m_observer->taken();
}

void CMobileHotspot::LookAgainLater(platform::Dword delayMs) {
  auto post = std::unique_ptr<DelayedPost>(new (std::nothrow) DelayedPost{
      &m_kernel, &m_windows, m_notify, nullptr, nullptr, delayMs, WM_HOTSPOT_CHANGED, 0});
  if (post == nullptr || !StartDelayedPost(m_kernel, std::move(post))) {
    platform::TraceLine(m_trace, "CMobileHotspot: cannot look again later");
  }
}

}  // namespace tethra::wlan
