// The mobile hotspot standing in for the hosted network: chosen where the program would report
// "SOFTAP_NOT_SUPPORTED" and the settings ask for it ("UseMobileHotspot" = 1), started once
// with the hosted network's name and key (or the hotspot's own), and watched for someone else
// turning it off. The controller sees the same codes and notices as with a hosted network.
// CHotspotAccessPoint runs it; this file is the dialog's side.
//
// Threads: the dialog's thread.
#include "tethra/app/ConnectionKind.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

namespace {
constexpr char16_t kUseMobileHotspot[] = u"UseMobileHotspot";
}  // namespace

bool CHostedNetworkDlg::RunMobileHotspotInstead() {
  Dword useHotspot = 0;
  if (m_MobileHotspot != nullptr ||
      !controller::ReadMachineDword(*m_platform.registry, controller::kSettingsKeyPath, kUseMobileHotspot, useHotspot) ||
      useHotspot != 1) {
    return false;
  }
  // The hotspot shares the connection the controller named, as sharing would.
  const ics::CIcsConnectionInfo* info = m_Sharing.Selected();
  if (info == nullptr) {
    Trace("No connection to share over the mobile hotspot.");
    return false;
  }
  // A dial-up or VPN connection is known to sharing by its phone-book entry, and among the
  // system's profiles by its name; every other kind by its adapter.
  platform::ProfileSelector profile;
  if (EqualsNoCase(m_Link.CommandLine(), kShareRAS)) {
    profile.profileName = info->m_strName;
  } else {
    profile.adapterId = info->m_Guid;
  }
  auto hotspot = std::make_unique<wlan::CMobileHotspot>(*m_platform.hotspot, Kernel(), Windows(), *m_platform.trace);
  const HResult hr = hotspot->Open(profile, m_hWnd);
  if (hr == platform::kHotspotNoProfile) {
    // The system does not know the connection as a network: nothing to share.
    m_State.ReportStartupFailure();
    SendMsg2Pelto(u"NDIS_NOT_FOUND");
    PostMessage(platform::kWM_CLOSE, 0, 0);
    return true;
  }
  if (hr != platform::kS_OK) {
    Trace("The mobile hotspot is not available. Error code %x.", platform::Raw(hr));
    return false;
  }
  HotspotEvents events;
  events.started = [this] {
    m_Controls.ShowStatus(true);
    OnHostedNetworkStarted();
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
  m_MobileHotspot = std::make_unique<CHotspotAccessPoint>(std::move(hotspot), Kernel(), Windows(), m_hWnd,
                                                          *m_platform.trace, std::move(events));
  m_pAccessPoint = m_MobileHotspot.get();  // the watcher's commands go to the hotspot from here on
  PostNotification(u"Using the mobile hotspot.");
  StartMobileHotspot();
  return true;
}

void CHostedNetworkDlg::StartMobileHotspot() {
  CHotspotAccessPoint& hotspot = *m_MobileHotspot;
  // The hosted network's name and key where the WLAN service holds them; a key the program made
  // up for lack of one never goes into the system's hotspot: it keeps its own then.
  std::optional<platform::AccessPointConfig> wanted;
  const std::u16string name = m_State.NameInForce().Get();
  const std::u16string key = m_State.KeyInForce().Get();
  if (!name.empty() && !key.empty() && !WlanManager().KeyWasGenerated()) {
    wanted = platform::AccessPointConfig{name, key};
  }
  platform::AccessPointConfig inForce;
  HResult hr = platform::kS_OK;
  if (!hotspot.Prepare(wanted, inForce, hr)) {
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

void CHostedNetworkDlg::OnMobileHotspotChanged() {
  if (m_MobileHotspot == nullptr) return;
  // While a rename restarts it, or once the program is ending, a change means nothing.
  m_MobileHotspot->OnChangeMessage(m_State.RenameFinished() && !m_State.Closing() && m_State.Started());
}

}  // namespace tethra::app
