// The mobile hotspot's operations as bounded waits, and its network changes as posted messages.
#include "tethra/wlan/MobileHotspot.h"

#include <utility>

namespace tethra::wlan {

using platform::HResult;

namespace {
constexpr HResult kNotOpen{0x8007139Fu};  // from ERROR_INVALID_STATE: no manager yet
}  // namespace

// One operation's outcome, shared with the platform until its completion has run: a waiter
// that gave up leaves it to the platform, which may still complete it later.
class CMobileHotspot::Completion final : public platform::ITetheringCompletion {
 public:
  explicit Completion(platform::IKernel& kernel)
      : m_kernel(kernel), m_done(kernel.createEvent(true, false), platform::KernelHandleCloser{&kernel}) {}

  bool valid() const { return static_cast<bool>(m_done); }
  platform::Handle event() const { return m_done.get(); }

  void completed(HResult result, platform::TetheringStatus status) override {
    m_result.store(platform::Raw(result), std::memory_order_relaxed);
    m_status.store(status, std::memory_order_relaxed);
    m_finished.store(true, std::memory_order_release);
    m_kernel.setEvent(m_done.get());
  }

  // After the event was seen set.
  HResult outcome() const {
    if (!m_finished.load(std::memory_order_acquire)) return kHotspotTimedOut;
    const HResult result{m_result.load(std::memory_order_relaxed)};
    if (result != platform::kS_OK) return result;
    const platform::TetheringStatus status = m_status.load(std::memory_order_relaxed);
    return status == platform::TetheringStatus::Success ? platform::kS_OK : HotspotStatusFailure(status);
  }

 private:
  platform::IKernel& m_kernel;
  platform::UniqueKernelHandle m_done;
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

CMobileHotspot::CMobileHotspot(platform::IMobileHotspot& hotspot, platform::IKernel& kernel,
                               platform::IWindowSystem& windows, platform::ITrace& trace,
                               platform::Dword operationTimeoutMs)
    : m_hotspot(hotspot), m_kernel(kernel), m_windows(windows), m_trace(trace), m_operationTimeoutMs(operationTimeoutMs) {}

CMobileHotspot::~CMobileHotspot() { Close(); }

HResult CMobileHotspot::Open(const platform::Guid& adapter, platform::Hwnd notify) {
  std::unique_ptr<platform::ITetheringManager> manager;
  HResult hr = m_hotspot.createManager(adapter, &manager);
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
  m_token = token;
  m_subscribed = true;
  return platform::kS_OK;
}

void CMobileHotspot::Close() {
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

template <typename Begin>
HResult CMobileHotspot::RunOperation(const char* name, Begin begin) {
  if (m_manager == nullptr) return kNotOpen;
  auto completion = std::make_shared<Completion>(m_kernel);
  if (!completion->valid()) return platform::HResultFromWin32(m_kernel.getLastError());
  HResult hr = begin(std::shared_ptr<platform::ITetheringCompletion>(completion));
  if (hr == platform::kS_OK) {
    const platform::Dword wait = m_kernel.waitForSingleObject(completion->event(), m_operationTimeoutMs);
    hr = wait == platform::kWAIT_OBJECT_0 ? completion->outcome() : kHotspotTimedOut;
  }
  platform::TraceLine(m_trace, "CMobileHotspot::%s Ret %x", name, platform::Raw(hr));
  return hr;
}

HResult CMobileHotspot::Configure(const platform::AccessPointConfig& config) {
  return RunOperation("Configure", [&](std::shared_ptr<platform::ITetheringCompletion> done) {
    return m_manager->configure(config, std::move(done));
  });
}

HResult CMobileHotspot::Start() {
  return RunOperation("Start", [&](std::shared_ptr<platform::ITetheringCompletion> done) {
    return m_manager->start(std::move(done));
  });
}

HResult CMobileHotspot::Stop() {
  return RunOperation("Stop", [&](std::shared_ptr<platform::ITetheringCompletion> done) {
    return m_manager->stop(std::move(done));
  });
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

void CMobileHotspot::ChangeTaken() {
  if (m_observer != nullptr) m_observer->taken();
}

}  // namespace tethra::wlan
