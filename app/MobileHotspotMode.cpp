// The mobile hotspot standing in for the hosted network: chosen where the program would report
// "SOFTAP_NOT_SUPPORTED" and the settings ask for it ("UseMobileHotspot" = 1), started once
// with the hosted network's name and key (or the hotspot's own), and watched for someone else
// turning it off. The controller sees the same codes and notices as with a hosted network.
//
// Threads: the dialog's thread, except RestartMobileHotspot and the two access point queries,
// which the command watcher calls too.
#include "app/HostedNetworkDlg.h"
#include "app/StatusTexts.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

namespace {
constexpr char16_t kUseMobileHotspot[] = u"UseMobileHotspot";
}  // namespace

bool CHostedNetworkDlg::UseMobileHotspot() {
  Dword value = 0;
  return controller::ReadMachineDword(Registry(), controller::kSettingsKeyPath, kUseMobileHotspot, value) &&
         value == 1;
}

bool CHostedNetworkDlg::RunMobileHotspotInstead() {
  if (m_MobileHotspot != nullptr || !UseMobileHotspot()) return false;
  // The hotspot shares the connection the controller named, as sharing would.
  Guid shared{};
  if (!SelectedConnection(shared)) {
    Trace("No connection to share over the mobile hotspot.");
    return false;
  }
  auto hotspot = std::make_unique<wlan::CMobileHotspot>(*m_platform.hotspot, Kernel(), Windows(), *m_platform.trace);
  const HResult hr = hotspot->Open(shared, m_hWnd);
  if (hr == platform::kHotspotNoProfile) {
    // The system does not know the connection as a network: nothing to share.
    m_bInitDialog = false;
    if (!m_bSilentClose) SendMsg2Pelto(u"NDIS_NOT_FOUND");
    PostMessage(platform::kWM_CLOSE, 0, 0);
    return true;
  }
  if (hr != platform::kS_OK) {
    Trace("The mobile hotspot is not available. Error code %x.", platform::Raw(hr));
    return false;
  }
  m_MobileHotspot = std::move(hotspot);
  m_pHotspot = m_MobileHotspot.get();
  PostNotification(u"Using the mobile hotspot.");
  StartMobileHotspot(*m_MobileHotspot);
  return true;
}

void CHostedNetworkDlg::StartMobileHotspot(wlan::CMobileHotspot& hotspot) {
  platform::AccessPointConfig current;
  HResult hr = hotspot.GetConfiguration(current);
  bool on = false;
  if (hr == platform::kS_OK) hr = hotspot.IsStarted(on);
  if (hr == platform::kS_OK) {
    // The hosted network's name and key where the WLAN service gave them; a hotspot that runs
    // already keeps its own, as a running hosted network does.
    platform::AccessPointConfig wanted = current;
    if (!on && !m_CurrentName.Get().empty() && !m_CurrentKey.Get().empty()) {
      wanted = {m_CurrentName.Get(), m_CurrentKey.Get()};
    }
    m_CurrentName.Set(wanted.ssid);
    m_CurrentKey.Set(wanted.passphrase);
    m_NameEdit.SetWindowText(wanted.ssid);
    m_KeyEdit.SetWindowText(wanted.passphrase);
    if (on) {
      m_StatusText.SetWindowText(kStatusActive);
      OnHostedNetworkStarted();
      return;
    }
    if (!CheckValidSSIDKeyLen()) return;
    DisableAllControls();
    if (wanted != current) hr = hotspot.Configure(wanted);
    if (hr == platform::kS_OK) hr = hotspot.Start();
    if (hr == platform::kS_OK) {
      // The start has ended when the call returns: one announcement, no later report.
      m_StatusText.SetWindowText(kStatusActive);
      OnHostedNetworkStarted();
      return;
    }
    EnableAllControls();
  }
  // The hotspot always shares: its failed start is always the controller's business.
  ReportStartFailed("Failed to start the mobile hotspot", hr, true);
}

void CHostedNetworkDlg::OnMobileHotspotChanged() {
  wlan::CMobileHotspot* hotspot = m_pHotspot;
  if (hotspot == nullptr) return;
  hotspot->ChangeTaken();  // a change after the query below posts again
  // While a rename restarts it, or once the program is ending, a change means nothing.
  if (!m_bChangeSSIDAndKeyFinish || m_bClosing || !m_HostedNetworkStarted) return;
  platform::TetheringState state = platform::TetheringState::Unknown;
  if (hotspot->GetState(state) != platform::kS_OK || state != platform::TetheringState::Off) return;
  m_StatusText.SetWindowText(kStatusIdle);
  OnHostedNetworkStopped();
}

Bool32 CHostedNetworkDlg::RestartMobileHotspot(const platform::AccessPointConfig& wanted, Bool32 started) {
  // Not running: the name takes effect at the next start, as with the hosted network.
  if (!started) return 1;
  wlan::CMobileHotspot& hotspot = *m_pHotspot.load();
  // A running hotspot takes a new configuration only when it starts again.
  HResult hr = hotspot.Configure(wanted);
  if (hr == platform::kS_OK) hr = hotspot.Stop();
  if (hr == platform::kS_OK) hr = hotspot.Start();
  Trace("RestartMobileHotspot Ret %x", platform::Raw(hr));
  return hr == platform::kS_OK ? 1 : 0;
}

HResult CHostedNetworkDlg::IsAccessPointStarted(bool& started) {
  if (wlan::CMobileHotspot* hotspot = m_pHotspot; hotspot != nullptr) return hotspot->IsStarted(started);
  return m_WlanManager.IsHostedNetworkStarted(started);
}

HResult CHostedNetworkDlg::GetAccessPointName(std::u16string& name) {
  wlan::CMobileHotspot* hotspot = m_pHotspot;
  if (hotspot == nullptr) return m_WlanManager.GetHostedNetworkName(name);
  platform::AccessPointConfig config;
  const HResult hr = hotspot->GetConfiguration(config);
  if (hr == platform::kS_OK) name = config.ssid;
  return hr;
}

}  // namespace tethra::app
