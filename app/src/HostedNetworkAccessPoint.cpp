// The hosted network's opening, notification queue and start.
#include "tethra/app/HostedNetworkAccessPoint.h"

#include "tethra/base/Allocation.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::app {

using platform::HResult;

CHostedNetworkAccessPoint::CHostedNetworkAccessPoint(const platform::Platform& platform,
                                                     std::function<platform::Bool32(bool started)> restart)
    : m_Platform(platform),
      m_Manager(*platform.wlan, *platform.kernel, *platform.codePage, *platform.trace),
      m_Restart(std::move(restart)) {}

HResult CHostedNetworkAccessPoint::Open(platform::Hwnd window, std::uint32_t maxPeers, bool& started) {
  HResult hr = platform::kS_OK;
  bool sinkRegistered = false;
  m_Sink.reset(base::NewObject<wlan::CNotificationSink>(wlan::kAllocSiteSink, *m_Platform.kernel,
                                                        *m_Platform.windows, *m_Platform.trace, window));
  if (m_Sink == nullptr) {
    hr = platform::kE_OUTOFMEMORY;
  } else if (hr = m_Manager.Init(maxPeers); hr == platform::kS_OK) {
    if (hr = m_Manager.SetNotificationSink(m_Sink.get()); hr == platform::kS_OK) {
      sinkRegistered = true;
      if (hr = m_Manager.IsHostedNetworkStarted(started); hr == platform::kS_OK) return platform::kS_OK;
    }
  }
  if (sinkRegistered) {
    ReleaseNotificationSink();
  } else {
    m_Sink.reset();  // never registered: nothing to wait for
  }
  return hr;
}

void CHostedNetworkAccessPoint::ReleaseNotificationSink() {
  if (m_Sink == nullptr) return;
  m_Manager.RemoveNotificationSink();
  m_Sink.reset();
}

base::RefPtr<wlan::CHostedNetworkNotification> CHostedNetworkAccessPoint::NextNotification() {
  if (m_Sink == nullptr) return {};
  return base::RefPtr<wlan::CHostedNetworkNotification>::Adopt(m_Sink->GetNextNotification());
}

HResult CHostedNetworkAccessPoint::StartWith(const std::u16string& name, const std::u16string& key,
                                             CSharedText& nameInForce, CSharedText& keyInForce) {
  HResult hr = platform::kS_OK;
  if (name != nameInForce.Get()) {
    hr = m_Manager.SetHostedNetworkName(name.c_str());
    if (hr == platform::kS_OK) nameInForce.Set(name);
  }
  if (hr == platform::kS_OK && key != keyInForce.Get()) {
    hr = m_Manager.SetHostedNetworkKey(key.c_str());
    if (hr == platform::kS_OK) keyInForce.Set(key);
  }
  if (hr != platform::kS_OK) return hr;
  bool started = false;
  m_Manager.IsHostedNetworkStarted(started);
  if (started) m_Manager.ForceStopHostedNetwork();
  return m_Manager.StartHostedNetwork();
}

}  // namespace tethra::app
