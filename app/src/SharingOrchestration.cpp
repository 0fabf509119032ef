// Starting the hosted network and sharing at the end of initialisation, stopping them on close,
// and reacting to the hosted network's state as the notification queue reports it. Dialog's
// thread only. Two handlers end the process.
#include <cinttypes>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/StatusTexts.h"
#include "tethra/base/Allocation.h"
#include "tethra/base/RefPtr.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::app {

HResult CHostedNetworkDlg::InitWlan() {
  HResult hr = platform::kS_OK;
  bool sinkRegistered = false;
  m_NotificationSink.reset(
      base::NewObject<CNotificationSink>(wlan::kAllocSiteSink, Kernel(), Windows(), *m_platform.trace, m_hWnd));
  if (m_NotificationSink == nullptr) {
    hr = platform::kE_OUTOFMEMORY;
  } else if (hr = m_WlanManager.Init(MaxPeersForSwitch(m_strCommandLine)); hr == platform::kS_OK) {
    if (hr = m_WlanManager.SetNotificationSink(m_NotificationSink.get()); hr == platform::kS_OK) {
      sinkRegistered = true;
      bool started = false;
      if (hr = m_WlanManager.IsHostedNetworkStarted(started); hr == platform::kS_OK) {
        if (started) m_StatusText.SetWindowText(kStatusActive);
        return platform::kS_OK;
      }
    }
  }
  if (sinkRegistered) {
    ReleaseNotificationSink();
  } else {
    m_NotificationSink.reset();  // never registered: nothing to wait for
  }
  return hr;
}

void CHostedNetworkDlg::GetHostedNetworkInfo() {
  std::u16string name;
  if (m_WlanManager.GetHostedNetworkName(name) != platform::kS_OK) return;
  m_CurrentName.Set(name);
  std::u16string key;
  if (m_WlanManager.GetHostedNetworkKey(key) != platform::kS_OK) return;
  m_CurrentKey.Set(key);
  Guid guid = m_HostedNetworkGuid;
  m_WlanManager.GetHostedNetworkInterfaceGuid(guid);
  m_HostedNetworkGuid = guid;
  bool started = false;
  if (m_WlanManager.IsHostedNetworkStarted(started) != platform::kS_OK) return;
  m_NameEdit.SetWindowText(name);
  m_KeyEdit.SetWindowText(key);
  m_HostedNetworkStarted = started;
  m_StartButton.SetWindowText(started ? m_szStopText.data() : m_szStartText.data());
  if (started) {
    m_NameEdit.EnableWindow(false);
    m_KeyEdit.EnableWindow(false);
    m_EnableIcsCheck.EnableWindow(false);
    m_ConnectionCombo.EnableWindow(false);
    Trace("Hosted network has already started.");
  }
}

void CHostedNetworkDlg::EnableSharing() {
  const Guid& g = m_HostedNetworkGuid;
  Trace("{%08x-%04x-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1],
        g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  if (m_HostedNetworkGuid.isZero()) {
    if (RunMobileHotspotInstead()) return;
    m_bInitDialog = false;
    if (!m_bSilentClose) SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
    DisableEnableConnections();
    PostMessage(platform::kWM_CLOSE, 0, 0);
    return;
  }
  if (bool available = true;
      m_WlanManager.IsHostedNetworkAvailable(available) == platform::kS_OK && !available && RunMobileHotspotInstead()) {
    return;
  }
  if (!CheckValidSSIDKeyLen()) return;

  bool started = false;
  m_WlanManager.IsHostedNetworkStarted(started);
  m_HostedNetworkStarted = started;
  if (started) {
    OnHostedNetworkStarted();
    return;
  }
  StartAndAnnounce();
}

void CHostedNetworkDlg::StartAndAnnounce() {
  const HResult hr = StartHostedNetwork();
  if (platform::Succeeded(hr)) {
    SendSSIDAndSecurityKey();
  } else {
    ReportStartFailed("Failed to start the hosted network", hr, m_IcsEnabled);
  }
}

void CHostedNetworkDlg::ReportStartFailed(const char* what, HResult hr, bool toController) {
  if (toController) {
    m_bInitDialog = false;
    if (!m_bSilentClose) SendMsg2Pelto(u"SHARED_START_FAILED");
  }
  char message[256];
  std::snprintf(message, sizeof message, "%s. Error code %x.", what, platform::Raw(hr));
  Trace("%s", message);
}

HResult CHostedNetworkDlg::StartHostedNetwork() {
  DisableAllControls();
  HResult hr = platform::kS_OK;
  bool sharingTried = false;

  const std::u16string name = m_NameEdit.GetWindowText();
  if (name != m_CurrentName.Get()) {
    hr = m_WlanManager.SetHostedNetworkName(name.c_str());
    if (hr == platform::kS_OK) m_CurrentName.Set(name);
  }
  if (hr == platform::kS_OK) {
    const std::u16string key = m_KeyEdit.GetWindowText();
    if (key != m_CurrentKey.Get()) {
      hr = m_WlanManager.SetHostedNetworkKey(key.c_str());
      if (hr == platform::kS_OK) m_CurrentKey.Set(key);
    }
  }
  if (hr == platform::kS_OK) {
    bool started = false;
    m_WlanManager.IsHostedNetworkStarted(started);
    if (started) m_WlanManager.ForceStopHostedNetwork();
    hr = m_WlanManager.StartHostedNetwork();
  }
  if (hr == platform::kS_OK) {
    OnHostedNetworkStarted();
    if (m_IcsNeeded && m_pIcsManager != nullptr) {
      m_pIcsManager->CacheICSIntfIndex();
      hr = StartIcsIfNeeded();
      sharingTried = true;
    }
    if (hr == platform::kS_OK) return hr;
  }
  if (m_IcsNeeded && sharingTried) m_pIcsManager->RestoreICSIntf();
  EnableAllControls();
  return hr;
}

HResult CHostedNetworkDlg::StopHostedNetwork() {
  m_StartButton.EnableWindow(false);
  const bool sharingStopped = StopIcsIfNeeded();
  const HResult hr = AccessPoint().Stop(sharingStopped);
  if (hr == platform::kS_OK) OnHostedNetworkStopped();
  return hr;
}

void CHostedNetworkDlg::ProcessNotifications() {
  if (m_NotificationSink == nullptr) return;
  while (const auto record =
             base::RefPtr<wlan::CHostedNetworkNotification>::Adopt(m_NotificationSink->GetNextNotification())) {
    // With the mobile hotspot in use, the hosted network's reports concern nothing here.
    if (m_bChangeSSIDAndKeyFinish && !m_bClosing && AccessPoint().FollowsHostedNetworkRecords()) {
      switch (record->GetNotificationType()) {
        case wlan::HostedNetworkStarted:
          m_StatusText.SetWindowText(kStatusActive);
          OnHostedNetworkStarted();
          break;
        case wlan::HostedNetworkStopped:
          m_StatusText.SetWindowText(kStatusIdle);
          OnHostedNetworkStopped();
          break;
        case wlan::HostedNetworkNotAvailable:
          OnHostedNetworkNotAvailable();
          break;
        case wlan::HostedNetworkAvailable:
          OnHostedNetworkAvailable();
          break;
        default:  // station joins and leaves change nothing here
          break;
      }
    }
  }
}

void CHostedNetworkDlg::OnHostedNetworkStarted() {
  PostNotification(u"Started using hosted Network.");
  m_HostedNetworkStarted = true;
  Guid guid = m_HostedNetworkGuid;
  m_WlanManager.GetHostedNetworkInterfaceGuid(guid);
  m_HostedNetworkGuid = guid;
  m_StartButton.SetWindowText(m_szStopText.data());
  m_StartButton.EnableWindow(true);
  m_NameEdit.EnableWindow(false);
  m_KeyEdit.EnableWindow(false);
  SendSSIDAndSecurityKey();
}

void CHostedNetworkDlg::OnHostedNetworkStopped() {
  if (!m_HostedNetworkStarted || m_bClosing) return;
  BeginEnd();
  StopIcsIfNeeded();
  m_HostedNetworkStarted = false;
  m_StartButton.SetWindowText(m_szStartText.data());
  EnableAllControls();
  if (!m_bSilentClose) SendMsg2Pelto(u"SHARED_STOPPED");
  UnregisterSessionNotifications();
  FinishEnd(WatcherHandle::kClose);
}

void CHostedNetworkDlg::OnHostedNetworkNotAvailable() {
  if (m_bClosing) return;
  if (m_bInitDialog && RunMobileHotspotInstead()) return;
  UnregisterSessionNotifications();
  BeginEnd();
  if (!m_bSilentClose) SendMsg2Pelto(u"TETHRA_CLOSING");
  m_HostedNetworkStarted = false;
  StopIcsIfNeeded();
  if (m_bInitDialog) {
    m_bInitDialog = false;
    if (!m_bSilentClose) SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
  }
  FinishEnd(WatcherHandle::kClose);
}

void CHostedNetworkDlg::OnHostedNetworkAvailable() {
  const bool wasStarted = m_HostedNetworkStarted;
  m_StatusText.SetWindowText(kStatusIdle);
  m_HostedNetworkStarted = false;
  GetHostedNetworkInfo();
  if (m_bIsAdmin && m_bIsICSAllowed && !m_bIcsRefreshed) {
    m_bIcsRefreshed = 1;
    if (m_pIcsManager != nullptr) m_pIcsManager->ResetIcsManager();
    GetIcsInfo();
  }
  m_StartButton.SetWindowText(m_szStartText.data());
  EnableAllControls();
  if (m_HostedNetworkStarted) {
    SendSSIDAndSecurityKey();
  } else if (wasStarted && !m_bClosing && m_bChangeSSIDAndKeyFinish) {
    // A property written to the running network (the peer limit at start-up, or someone else's
    // change) took it out of use without a stop: the service persists properties only on an
    // idle network. What the program runs goes back into use.
    Trace("The hosted network went idle for a property change; starting it again.");
    if (CheckValidSSIDKeyLen()) StartAndAnnounce();
  }
}

}  // namespace tethra::app
