// The hosted network's opening, notification queue and start.
#include "tethra/app/HostedNetworkAccessPoint.h"

#include "tethra/base/Allocation.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::app {

using platform::HResult;

CHostedNetworkAccessPoint::CHostedNetworkAccessPoint(const platform::Platform& platform,
                                                     std::function<platform::Bool32(bool started)> restart)
    : m_platform(platform),
      m_manager(*platform.wlan, *platform.kernel, *platform.codePage, *platform.trace),
      m_restart(std::move(restart)) {}

HResult CHostedNetworkAccessPoint::Open(platform::Hwnd window, std::uint32_t maxPeers, bool& started) {
  HResult hr = platform::kS_OK;
  bool sinkRegistered = false;
  m_sink.reset(base::NewObject<wlan::CNotificationSink>(wlan::kAllocSiteSink, *m_platform.kernel,
                                                        *m_platform.windows, *m_platform.trace, window));
  if (m_sink == nullptr) {
    hr = platform::kE_OUTOFMEMORY;
  } else if (hr = m_manager.Init(maxPeers); hr == platform::kS_OK) {
    if (hr = m_manager.SetNotificationSink(m_sink.get()); hr == platform::kS_OK) {
      sinkRegistered = true;
      if (hr = m_manager.IsHostedNetworkStarted(started); hr == platform::kS_OK) return platform::kS_OK;
    }
  }
  if (sinkRegistered) {
    ReleaseNotificationSink();
  } else {
    m_sink.reset();  // never registered: nothing to wait for
  }
  return hr;
}

void CHostedNetworkAccessPoint::ReleaseNotificationSink() {
  if (m_sink == nullptr) return;
  m_manager.RemoveNotificationSink();
  m_sink.reset();
}

base::RefPtr<wlan::CHostedNetworkNotification> CHostedNetworkAccessPoint::NextNotification() {
  if (m_sink == nullptr) return {};
  return base::RefPtr<wlan::CHostedNetworkNotification>::Adopt(m_sink->GetNextNotification());
}

HResult CHostedNetworkAccessPoint::StartWith(const std::u16string& name, const std::u16string& key,
                                             CSharedText& nameInForce, CSharedText& keyInForce) {
  HResult hr = platform::kS_OK;
  if (name != nameInForce.Get()) {
    hr = m_manager.SetHostedNetworkName(name.c_str());
    if (hr == platform::kS_OK) nameInForce.Set(name);
  }
  if (hr == platform::kS_OK && key != keyInForce.Get()) {
    hr = m_manager.SetHostedNetworkKey(key.c_str());
    if (hr == platform::kS_OK) keyInForce.Set(key);
  }
  if (hr != platform::kS_OK) return hr;
  bool started = false;
  m_manager.IsHostedNetworkStarted(started);
  if (started) m_manager.ForceStopHostedNetwork();
  return m_manager.StartHostedNetwork();
}

}  // namespace tethra::app
