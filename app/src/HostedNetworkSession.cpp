// The hosted network and sharing at start-up, on close and as the notifications report them;
// the mobile hotspot standing in; what the controller is told. Dialog's thread, except the
// calls the command watcher makes as well (see the header); each method checks its rule.
#include "tethra/app/HostedNetworkSession.h"

#include <cstdarg>
#include <cstdio>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/Feedback.h"

namespace tethra::app {

using platform::HResult;

CHostedNetworkSession::CHostedNetworkSession(const platform::Platform& platform, CWnd& window, CDialogState& state,
                                             CControllerWindowLink& link, CDialogControls& controls,
                                             CSharingSession& sharing, CHostedNetworkAccessPoint& hostedNetwork,
                                             SessionEnds ends)
    : m_Platform(platform),
      m_Window(window),
      m_State(state),
      m_Link(link),
      m_Controls(controls),
      m_Sharing(sharing),
      m_HostedNetwork(hostedNetwork),
      m_Ends(std::move(ends)),
      m_StandIn(platform, link.CommandLine()),
      m_AccessPoint(&hostedNetwork) {}

CHostedNetworkSession::Opened CHostedNetworkSession::Open() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_Sharing.ReadPolicy()) {
    m_Controls.FocusName();
    Trace(!m_Sharing.IsAdmin() ? "The application is not running with Admin privilege, user will not have access "
                                 "to ICS controls."
                               : "ICS is disabled by domain administrator, user will not have access to ICS controls.");
  } else if (Failed(m_Sharing.InitIcs())) {
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"ICS_FAILED");
    return Opened::Failed;
  }
  if (const HResult hr = InitWlan(); Failed(hr)) {
    // A driver without the hosted network answers ERROR_NOT_SUPPORTED, as others report it
    // unavailable: where the settings ask for the mobile hotspot, it stands in for both (the
    // network's name, key and adapter then read as unknown).
    if (hr != platform::HResultFromWin32(platform::kERROR_NOT_SUPPORTED) || !m_StandIn.Wanted()) {
      m_State.ReportStartupFailure();
      SendMsg2Pelto(u"INIT_WLAN_FAILED");
      return Opened::Failed;
    }
    Trace("The hosted network is not supported here; the mobile hotspot stands in.");
  }
  GetHostedNetworkInfo();
  if (m_Sharing.Usable()) {
    GetIcsInfo();
    // The connection to share is missing: wait to be closed, with notifications left off.
    if (m_State.Closing()) return Opened::WaitForClose;
  }
  m_Controls.ShowStartButton(m_State.Started());
  m_Controls.EnableEntry(true);
  m_State.NoteStarted(false);  // EnableSharing reads the true state again
  return Opened::Ready;
}

HResult CHostedNetworkSession::InitWlan() {
  TETHRA_CHECK_THREAD(m_Thread);
  bool started = false;
  const HResult hr = m_HostedNetwork.Open(m_Window.GetSafeHwnd(), MaxPeersForSwitch(m_Link.CommandLine()), started);
  if (hr == platform::kS_OK && started) m_Controls.ShowStatus(true);
  return hr;
}

void CHostedNetworkSession::GetHostedNetworkInfo() {
  TETHRA_CHECK_THREAD(m_Thread);
  wlan::CWlanManager& manager = m_HostedNetwork.Manager();
  std::u16string name;
  if (manager.GetHostedNetworkName(name) != platform::kS_OK) return;
  m_State.NameInForce().Set(name);
  std::u16string key;
  if (manager.GetHostedNetworkKey(key) != platform::kS_OK) return;
  m_State.KeyInForce().Set(key);
  static_cast<void>(manager.GetHostedNetworkInterfaceGuid(m_HostedNetworkGuid));  // always S_OK
  bool started = false;
  if (manager.IsHostedNetworkStarted(started) != platform::kS_OK) return;
  ShowNameAndKey(&name, &key);
  m_State.NoteStarted(started);
  m_Controls.ShowStartButton(started);
  if (started) {
    m_Controls.EnableEntry(false);
    m_Sharing.DisableControls();
    Trace("Hosted network has already started.");
  }
}

void CHostedNetworkSession::GetIcsInfo() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_Sharing.GetIcsInfo(m_State.Started(), m_HostedNetworkGuid, m_State.StartingUp())) {
    m_State.ConnectionMissing();
  }
}

void CHostedNetworkSession::EnableSharing() {
  TETHRA_CHECK_THREAD(m_Thread);
  const platform::Guid& g = m_HostedNetworkGuid;
  Trace("{%08x-%04x-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1],
        g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  if (m_HostedNetworkGuid.isZero()) {
    if (RunMobileHotspotInstead()) return;
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
    static_cast<void>(m_Sharing.DisableEnableConnections(m_HostedNetworkGuid));  // best effort: closing
    m_Window.PostMessage(platform::kWM_CLOSE, 0, 0);
    return;
  }
  if (bool available = true; m_HostedNetwork.Manager().IsHostedNetworkAvailable(available) == platform::kS_OK &&
                             !available && RunMobileHotspotInstead()) {
    return;
  }
  if (!CheckValidSSIDKeyLen()) return;
  bool started = false;
  static_cast<void>(m_HostedNetwork.Manager().IsHostedNetworkStarted(started));  // unknown counts as stopped
  m_State.NoteStarted(started);
  if (started) {
    OnHostedNetworkStarted();
  } else {
    StartAndAnnounce();
  }
}

void CHostedNetworkSession::StartAndAnnounce() {
  TETHRA_CHECK_THREAD(m_Thread);
  const HResult hr = StartHostedNetwork();
  if (platform::Succeeded(hr)) {
    SendSSIDAndSecurityKey();
  } else {
    ReportStartFailed("Failed to start the hosted network", hr, m_Sharing.Enabled());
  }
}

void CHostedNetworkSession::ReportStartFailed(const char* what, HResult hr, bool toController) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (toController) {
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"SHARED_START_FAILED");
  }
  char message[256];
  std::snprintf(message, sizeof message, "%s. Error code %x.", what, platform::Raw(hr));
  Trace("%s", message);
}

bool CHostedNetworkSession::CheckValidSSIDKeyLen() {
  TETHRA_CHECK_THREAD(m_Thread);
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

HResult CHostedNetworkSession::StartHostedNetwork() {
  TETHRA_CHECK_THREAD(m_Thread);
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

HResult CHostedNetworkSession::StopHostedNetwork() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_Controls.EnableStart(false);
  const bool sharingStopped = StopIcsIfNeeded();
  const HResult hr = AccessPoint().Stop(sharingStopped);
  if (hr == platform::kS_OK) OnHostedNetworkStopped();
  return hr;
}

bool CHostedNetworkSession::StopIcsIfNeeded() {
  TETHRA_CHECK_THREAD(m_Thread);
  return m_Sharing.StopIcsIfNeeded();
}

void CHostedNetworkSession::ProcessNotifications() {
  TETHRA_CHECK_THREAD(m_Thread);
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

void CHostedNetworkSession::OnHostedNetworkStarted(bool announce) {
  TETHRA_CHECK_THREAD(m_Thread);
  PostNotification(u"Started using hosted Network.");
  m_State.NoteStarted(true);
  static_cast<void>(m_HostedNetwork.Manager().GetHostedNetworkInterfaceGuid(m_HostedNetworkGuid));  // always S_OK
  m_Controls.ShowStartButton(true);
  m_Controls.EnableStart(true);
  m_Controls.EnableEntry(false);
  if (announce) SendSSIDAndSecurityKey();
}

void CHostedNetworkSession::OnHostedNetworkStopped() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_State.Started() || m_State.Closing()) return;
  m_Ends.begin();
  StopIcsIfNeeded();
  m_State.NoteStarted(false);
  m_Controls.ShowStartButton(false);
  EnableAllControls();
  SendMsg2Pelto(u"SHARED_STOPPED");
  UnregisterSessionNotifications();
  m_Ends.finish();
}

void CHostedNetworkSession::OnHostedNetworkNotAvailable() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_State.Closing()) return;
  const bool startingUp = m_State.StartingUp();
  if (startingUp && RunMobileHotspotInstead()) return;
  UnregisterSessionNotifications();
  m_Ends.begin();
  SendMsg2Pelto(u"TETHRA_CLOSING");
  m_State.NoteStarted(false);
  StopIcsIfNeeded();
  if (startingUp) SendMsg2Pelto(u"SOFTAP_NOT_SUPPORTED");
  m_Ends.finish();
}

void CHostedNetworkSession::OnHostedNetworkAvailable() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_Controls.ShowStatus(false);
  m_State.NoteStarted(false);
  GetHostedNetworkInfo();
  if (m_Sharing.RefreshOnce()) GetIcsInfo();
  m_Controls.ShowStartButton(false);
  EnableAllControls();
  if (m_State.Started()) SendSSIDAndSecurityKey();
}

// Where the program would report "SOFTAP_NOT_SUPPORTED" and the settings ask for it; the
// controller sees the same codes and notices as with a hosted network.
bool CHostedNetworkSession::RunMobileHotspotInstead() {
  TETHRA_CHECK_THREAD(m_Thread);
  HotspotEvents events;
  events.started = [this] {
    m_Controls.ShowStatus(true);
    // A rename written while the hotspot started runs next: the start's name is no longer the
    // one asked for, and the rename announces the new one once the hotspot runs with it.
    OnHostedNetworkStarted(m_State.RenameFinished());
  };
  events.startFailed = [this](HResult failure) {
    EnableAllControls();
    // The hotspot always shares: its failed start is always the controller's business.
    ReportStartFailed("Failed to start the mobile hotspot", failure, true);
  };
  events.stoppedElsewhere = [this] {
    m_Controls.ShowStatus(false);
    OnHostedNetworkStopped();
  };
  switch (m_StandIn.Open(m_Sharing.Selected(), m_Window.GetSafeHwnd(), std::move(events))) {
    case CHotspotStandIn::Opening::NotUsed:
      return false;
    case CHotspotStandIn::Opening::NoProfile:
      m_State.ReportStartupFailure();
      SendMsg2Pelto(u"NDIS_NOT_FOUND");
      m_Window.PostMessage(platform::kWM_CLOSE, 0, 0);
      return true;
    case CHotspotStandIn::Opening::Opened:
      break;
  }
  m_AccessPoint = m_StandIn.Get();  // the watcher's commands go to the hotspot from here on
  PostNotification(u"Using the mobile hotspot.");
  StartMobileHotspot();
  return true;
}

void CHostedNetworkSession::StartMobileHotspot() {
  TETHRA_CHECK_THREAD(m_Thread);
  CHotspotAccessPoint& hotspot = *m_StandIn.Get();
  platform::AccessPointConfig inForce;
  HResult hr = platform::kS_OK;
  if (!m_StandIn.Prepare(m_State.NameInForce().Get(), m_State.KeyInForce().Get(),
                         m_HostedNetwork.Manager().KeyWasGenerated(), inForce, hr)) {
    ReportStartFailed("Failed to start the mobile hotspot", hr, true);
    return;
  }
  m_State.NameInForce().Set(inForce.ssid);
  m_State.KeyInForce().Set(inForce.passphrase);
  ShowNameAndKey(&inForce.ssid, &inForce.passphrase);
  bool on = false;
  if (hotspot.IsStarted(on) == platform::kS_OK && !on) {
    if (!CheckValidSSIDKeyLen()) return;
    DisableAllControls();
  }
  // Its end comes as a message; the dialog's loop goes on meanwhile.
  hotspot.Start();
}

void CHostedNetworkSession::OnMobileHotspotChanged(bool scheduled) {
  TETHRA_CHECK_THREAD(m_Thread);
  CHotspotAccessPoint* hotspot = m_StandIn.Get();
  if (hotspot == nullptr) return;
  // Once the program is ending a change means nothing; while a rename restarts it the access
  // point itself sets it aside. Unlike the hosted network's notifications, the hotspot's are not
  // left discarded after a rename with no key: its end would then never reach the controller.
  hotspot->OnChangeMessage(!m_State.Closing() && m_State.Started(), scheduled);
}

void CHostedNetworkSession::DisableAllControls() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_Controls.EnableEntry(false);
  m_Sharing.DisableControls();
  m_Controls.EnableStart(false);
}

void CHostedNetworkSession::EnableAllControls() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_Controls.EnableEntry(true);
  m_Sharing.EnableControls();
  m_Controls.EnableStart(true);
}

void CHostedNetworkSession::ShowNameAndKey(const std::u16string* name, const std::u16string* key) {
  TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
  if (name != nullptr) {
    m_State.NameToUse().Set(*name);
    m_Controls.ShowName(*name);
  }
  if (key != nullptr) {
    m_State.KeyToUse().Set(*key);
    m_Controls.ShowKey(*key);
  }
}

void CHostedNetworkSession::SendMsg2Pelto(const std::u16string& code, std::uint32_t timeoutMs) {
  TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
  if (m_State.SilentClose() || !m_Link.SendStatus(m_Window.GetSafeHwnd(), code, timeoutMs)) return;
  PostNotification(u"Sent message to Pelto");
  PostNotification(code);
}

void CHostedNetworkSession::SendSSIDAndSecurityKey() {
  TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
  bool started = false;
  if (AccessPoint().IsStarted(started) != platform::kS_OK) started = false;
  if (m_State.Closing() || !started) return;
  m_Link.SendNameAndKey(m_Window.GetSafeHwnd(), m_State);
}

void CHostedNetworkSession::PostClose() {
  TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
  m_Window.PostMessage(platform::kWM_CLOSE, 0, 0);
}

void CHostedNetworkSession::PostNotification(const std::u16string& text) {
  TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
  m_Controls.PostNotification(*m_Platform.kernel, text);
}

void CHostedNetworkSession::UnregisterSessionNotifications() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Window.GetSafeHwnd() != nullptr) m_Platform.systemEvents->wtsUnRegisterSessionNotification(m_Window.GetSafeHwnd());
}

void CHostedNetworkSession::Trace(const char* format, ...) {
  TETHRA_CHECK_THREAD(m_Thread);
  va_list args;
  va_start(args, format);
  platform::VTraceLine(*m_Platform.trace, format, args);
  va_end(args);
}

}  // namespace tethra::app
