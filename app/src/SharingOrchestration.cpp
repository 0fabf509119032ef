// Starting the hosted network and sharing at the end of initialisation, stopping them on close,
// and reacting to the hosted network's state as the notification queue reports it. Dialog's
// thread only. Two handlers end the process.
#include <cstdio>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/Feedback.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/base/RefPtr.h"

namespace tethra::app {

HResult CHostedNetworkDlg::InitWlan() {
  bool started = false;
  const HResult hr = m_HostedNetwork.Open(m_hWnd, MaxPeersForSwitch(m_Link.CommandLine()), started);
  if (hr == platform::kS_OK && started) m_Controls.ShowStatus(true);
  return hr;
}

void CHostedNetworkDlg::GetHostedNetworkInfo() {
  std::u16string name;
  if (WlanManager().GetHostedNetworkName(name) != platform::kS_OK) return;
  m_State.NameInForce().Set(name);
  std::u16string key;
  if (WlanManager().GetHostedNetworkKey(key) != platform::kS_OK) return;
  m_State.KeyInForce().Set(key);
  WlanManager().GetHostedNetworkInterfaceGuid(m_HostedNetworkGuid);
  bool started = false;
  if (WlanManager().IsHostedNetworkStarted(started) != platform::kS_OK) return;
  ShowNameAndKey(&name, &key);
  m_State.NoteStarted(started);
  m_Controls.ShowStartButton(started);
  if (started) {
    m_Controls.EnableEntry(false);
    m_Sharing.DisableControls();
    Trace("Hosted network has already started.");
  }
}

void CHostedNetworkDlg::GetIcsInfo() {
  if (!m_Sharing.GetIcsInfo(m_State.Started(), m_HostedNetworkGuid, m_State.StartingUp())) {
    m_State.ConnectionMissing();
  }
}

void CHostedNetworkDlg::EnableSharing() {
  const platform::Guid& g = m_HostedNetworkGuid;
  Trace("{%08x-%04x-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1],
        g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  if (m_HostedNetworkGuid.isZero()) {
    if (RunMobileHotspotInstead()) return;
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
    m_Sharing.DisableEnableConnections(m_HostedNetworkGuid);
    PostMessage(platform::kWM_CLOSE, 0, 0);
    return;
  }
  if (bool available = true;
      WlanManager().IsHostedNetworkAvailable(available) == platform::kS_OK && !available && RunMobileHotspotInstead()) {
    return;
  }
  if (!CheckValidSSIDKeyLen()) return;
  bool started = false;
  WlanManager().IsHostedNetworkStarted(started);
  m_State.NoteStarted(started);
  if (started) {
    OnHostedNetworkStarted();
  } else {
    StartAndAnnounce();
  }
}

void CHostedNetworkDlg::StartAndAnnounce() {
  const HResult hr = StartHostedNetwork();
  if (platform::Succeeded(hr)) {
    SendSSIDAndSecurityKey();
  } else {
    ReportStartFailed("Failed to start the hosted network", hr, m_Sharing.Enabled());
  }
}

void CHostedNetworkDlg::ReportStartFailed(const char* what, HResult hr, bool toController) {
  if (toController) {
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"SHARED_START_FAILED");
  }
  char message[256];
  std::snprintf(message, sizeof message, "%s. Error code %x.", what, platform::Raw(hr));
  Trace("%s", message);
}

bool CHostedNetworkDlg::CheckValidSSIDKeyLen() {
  switch (CheckNameKeyLengths(m_State.NameToUse().Get().size(), m_State.KeyToUse().Get().size())) {
    case NameKeyVerdict::Admissible:
      return true;
    case NameKeyVerdict::NameWrong:
      Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters.");
      m_Controls.FocusName();
      return false;
    case NameKeyVerdict::KeyWrong:
      Trace("Hosted network key should contain 8 ~ 63 case-sensitive characters.");
      m_Controls.FocusKey();
      return false;
    case NameKeyVerdict::BothWrong:
      Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters, and hosted network key contains "
            "8 ~ 63 case-sensitive characters.");
      m_Controls.FocusName();
      return false;
  }
  return false;
}

HResult CHostedNetworkDlg::StartHostedNetwork() {
  DisableAllControls();
  // The name and key in use, handed to the WLAN service where they differ from those in force.
  HResult hr = m_HostedNetwork.StartWith(m_State.NameToUse().Get(), m_State.KeyToUse().Get(), m_State.NameInForce(),
                                         m_State.KeyInForce());
  bool sharingTried = false;
  if (hr == platform::kS_OK) {
    OnHostedNetworkStarted();
    hr = m_Sharing.ShareHostedNetwork(m_HostedNetworkGuid, sharingTried);
    if (hr == platform::kS_OK) return hr;
  }
  if (sharingTried) m_Sharing.UndoFailedStart();
  EnableAllControls();
  return hr;
}

HResult CHostedNetworkDlg::StopHostedNetwork() {
  m_Controls.EnableStart(false);
  const bool sharingStopped = StopIcsIfNeeded();
  const HResult hr = AccessPoint().Stop(sharingStopped);
  if (hr == platform::kS_OK) OnHostedNetworkStopped();
  return hr;
}

bool CHostedNetworkDlg::StopIcsIfNeeded() { return m_Sharing.StopIcsIfNeeded(); }

void CHostedNetworkDlg::OnBnClickedEnableIcs() {
  m_Sharing.SetNeeded(m_Controls.EnableIcsChecked());  // the user's input
}

void CHostedNetworkDlg::ProcessNotifications() {
  while (const auto record = m_HostedNetwork.NextNotification()) {
    // With the mobile hotspot in use, the hosted network's reports concern nothing here.
    if (!m_State.RenameFinished() || m_State.Closing() || !AccessPoint().FollowsHostedNetworkRecords()) continue;
    switch (record->GetNotificationType()) {
      case wlan::HostedNetworkStarted:
        m_Controls.ShowStatus(true);
        OnHostedNetworkStarted();
        break;
      case wlan::HostedNetworkStopped:
        m_Controls.ShowStatus(false);
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

void CHostedNetworkDlg::OnHostedNetworkStarted() {
  PostNotification(u"Started using hosted Network.");
  m_State.NoteStarted(true);
  WlanManager().GetHostedNetworkInterfaceGuid(m_HostedNetworkGuid);
  m_Controls.ShowStartButton(true);
  m_Controls.EnableStart(true);
  m_Controls.EnableEntry(false);
  SendSSIDAndSecurityKey();
}

void CHostedNetworkDlg::OnHostedNetworkStopped() {
  if (!m_State.Started() || m_State.Closing()) return;
  BeginEnd();
  StopIcsIfNeeded();
  m_State.NoteStarted(false);
  m_Controls.ShowStartButton(false);
  EnableAllControls();
  SendMsg2Pelto(u"SHARED_STOPPED");
  UnregisterSessionNotifications();
  FinishEnd(WatcherHandle::kClose);
}

void CHostedNetworkDlg::OnHostedNetworkNotAvailable() {
  if (m_State.Closing()) return;
  const bool startingUp = m_State.StartingUp();
  if (startingUp && RunMobileHotspotInstead()) return;
  UnregisterSessionNotifications();
  BeginEnd();
  SendMsg2Pelto(u"TETHRA_CLOSING");
  m_State.NoteStarted(false);
  StopIcsIfNeeded();
  if (startingUp) SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
  FinishEnd(WatcherHandle::kClose);
}

void CHostedNetworkDlg::OnHostedNetworkAvailable() {
  const bool wasStarted = m_State.Started();
  m_Controls.ShowStatus(false);
  m_State.NoteStarted(false);
  GetHostedNetworkInfo();
  if (m_Sharing.RefreshOnce()) GetIcsInfo();
  m_Controls.ShowStartButton(false);
  EnableAllControls();
  if (m_State.Started()) {
    SendSSIDAndSecurityKey();
  } else if (wasStarted && !m_State.Closing() && m_State.RenameFinished()) {
    // A property written to the running network (the peer limit at start-up, or someone else's
    // change) took it out of use without a stop: the service persists properties only on an
    // idle network. What the program runs goes back into use.
    Trace("The hosted network went idle for a property change; starting it again.");
    if (CheckValidSSIDKeyLen()) StartAndAnnounce();
  }
}

}  // namespace tethra::app
