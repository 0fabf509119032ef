// The dialog's sharing policy: whether sharing may be used at all (administrator rights and
// group policy), the sharing manager's creation, the offered connection, enabling sharing with
// retries, switching it off, and the reset of the virtual adapter's connection. Dialog's
// thread only. Codes: HRESULTs; InitIcs gives 0 exactly when the manager was created.
//
// Each combo box entry holds a reference of its own on the snapshot it carries, so that an
// entry never points at a released snapshot when GetIcsInfo replaces the list later.
#include <new>

#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/SystemNames.h"
#include "tethra/base/RefPtr.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/ics/ConnectionReset.h"
#include "tethra/ics/NetshellModule.h"
#include "tethra/platform/Handle.h"

namespace tethra::app {

namespace {
constexpr int kEnableIcsRetries = 10;
constexpr Dword kRetryPauseMs = 100;
constexpr platform::Win32Error kERROR_RETRY{1237};
}  // namespace

Bool32 CHostedNetworkDlg::IsUserAdmin() {
  platform::ISecurity* security = m_platform.security;
  const platform::SidIdentifierAuthority ntAuthority{{0, 0, 0, 0, 0, 5}};
  platform::UniqueSid administrators(platform::SidCloser{security});
  if (!security->allocateAndInitializeSid(ntAuthority, 2, platform::kSECURITY_BUILTIN_DOMAIN_RID,
                                          platform::kDOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                          administrators.put())) {
    administrators.release();  // a failed call returns no SID
    return 0;
  }
  Bool32 isMember = 0;
  if (!security->checkTokenMembership(nullptr, administrators.get(), &isMember)) isMember = 0;
  return isMember;
}

bool CHostedNetworkDlg::IsICSAllowed() {
  platform::IRegistry& registry = Registry();
  platform::UniqueRegKey key(platform::RegKeyCloser{&registry});
  if (registry.regOpenKeyEx(platform::kHKEY_LOCAL_MACHINE, app::kSharingPolicyKeyPath, 0, platform::kKEY_READ,
                            key.put()) != platform::kERROR_SUCCESS) {
    key.release();  // a failed call returns no key
  }
  if (!key) return false;  // no policy key: sharing is not allowed
  Dword value = 1;
  Dword size = sizeof value;
  // A REG_DWORD only: RRF_RT_DWORD would take a 4-byte REG_BINARY as well.
  const platform::Win32Error status = registry.regGetValue(key.get(), nullptr, app::kSharingPolicyValueName,
                                                           platform::kRRF_RT_REG_DWORD, nullptr, &value, &size);
  return status != platform::kERROR_SUCCESS || value != 0;
}

HResult CHostedNetworkDlg::InitIcs() {
  HResult hr = ics::NSModInit(*m_platform.modules, Kernel(), *m_platform.trace);
  if (hr != platform::kS_OK) return hr;
  // The sharing manager lives in the multithreaded apartment; a thread already initialised
  // (S_FALSE) or in another apartment does not get one.
  hr = Com().coInitializeEx(platform::kCOINIT_MULTITHREADED);
  if (hr != platform::kS_OK) {
    ics::NSModDeinit();
    return hr;
  }
  auto manager = std::unique_ptr<CIcsManager>(new (std::nothrow) CIcsManager(*m_platform.sharing, *m_platform.trace));
  hr = manager != nullptr ? manager->InitIcsManager() : platform::kE_OUTOFMEMORY;
  if (hr != platform::kS_OK) {
    manager.reset();  // its references go before the library that frees their records
    ics::NSModDeinit();
    return hr;
  }
  m_pIcsManager = std::move(manager);
  return platform::kS_OK;
}

void CHostedNetworkDlg::GetIcsInfo() {
  if (m_pIcsManager != nullptr) m_pIcsManager->GetIcsConnections(m_IcsConnectionList);
  if (m_HostedNetworkStarted) {
    auto pos = m_IcsConnectionList.GetHeadPosition();
    while (pos != nullptr) {
      const CIcsConnectionInfo* info = m_IcsConnectionList.GetNext(pos);
      if (info->m_Guid == m_HostedNetworkGuid) {
        m_IcsEnabled = info->m_bSupported && info->m_bSharingEnabled && info->m_bPrivate;
        break;
      }
    }
  }
  if (m_IcsEnabled) m_IcsNeeded = true;
  m_EnableIcsCheck.SetCheck(m_IcsNeeded ? static_cast<int>(platform::kBST_CHECKED)
                                        : static_cast<int>(platform::kBST_UNCHECKED));
  if (m_bInitDialog) UpdateIcsConnectionList();
  if (!m_IcsNeeded) m_ConnectionCombo.EnableWindow(false);
}

void CHostedNetworkDlg::UpdateIcsConnectionList() {
  for (int i = m_ConnectionCombo.GetCount() - 1; i >= 0; --i) {
    // The entry's reference comes back with it.
    auto* entryReference = reinterpret_cast<CIcsConnectionInfo*>(m_ConnectionCombo.GetItemData(i));
    const auto held = base::RefPtr<CIcsConnectionInfo>::Adopt(entryReference);
    m_ConnectionCombo.DeleteString(i);
  }
  int offered = 0;
  auto pos = m_IcsConnectionList.GetHeadPosition();
  while (pos != nullptr) {
    CIcsConnectionInfo* info = m_IcsConnectionList.GetNext(pos);
    if (m_strNetworkName.empty()) {
      GetKeyValue(controller::kSettingsKeyPath, u"ShareConnection", m_strNetworkName);
    }
    const bool offer =
        info->m_bSupported && info->m_Guid != m_HostedNetworkGuid && info->m_strDeviceName == m_strNetworkName;
    if (!offer) continue;
    ++offered;
    const int position = m_ConnectionCombo.AddString(info->m_strName);
    if (position < 0) continue;
    // The entry's own reference, handed to the combo box until the entry is deleted.
    CIcsConnectionInfo* entryReference = base::RefPtr<CIcsConnectionInfo>::Copy(info).detach();
    m_ConnectionCombo.SetItemData(position, reinterpret_cast<std::uintptr_t>(entryReference));
    if (position == 0) m_ConnectionCombo.SetCurSel(0);
    if (m_HostedNetworkStarted && m_IcsNeeded && info->m_bSharingEnabled && info->m_bPublic) {
      m_ConnectionCombo.SetCurSel(position);
    }
  }
  if (offered == 0) {
    if (!m_bSilentClose) SendMsg2Pelto(u"NDIS_NOT_FOUND");
    m_bClosing = 1;
  }
}

bool CHostedNetworkDlg::SelectedConnection(Guid& guid) {
  const int selected = m_ConnectionCombo.GetCurSel();
  if (selected < 0) return false;
  const auto* info = reinterpret_cast<const CIcsConnectionInfo*>(m_ConnectionCombo.GetItemData(selected));
  if (info == nullptr || reinterpret_cast<LResult>(info) == platform::kCB_ERR) return false;
  guid = info->m_Guid;
  return true;
}

HResult CHostedNetworkDlg::StartIcsIfNeeded() {
  if (!m_IcsNeeded) return platform::kS_OK;
  Guid publicGuid{};
  if (!SelectedConnection(publicGuid) || m_pIcsManager == nullptr) return platform::kS_OK;
  const Guid privateGuid = m_HostedNetworkGuid;
  HResult hr = m_pIcsManager->EnableIcs(publicGuid, privateGuid);
  for (int retry = 0; hr != platform::kS_OK && retry < kEnableIcsRetries; ++retry) {
    hr = m_pIcsManager->ResetIcsManager();
    if (hr == platform::kS_OK) {
      hr = m_pIcsManager->EnableIcs(publicGuid, privateGuid);
      if (hr == platform::kS_OK) break;
    }
    Kernel().sleep(kRetryPauseMs);
  }
  if (hr == platform::kS_OK) {
    m_IcsEnabled = true;
  } else {
    if (!m_bSilentClose) SendMsg2Pelto(u"ICS_FAILED");
    Trace("Failed to enable ICS. Error code %x.", platform::Raw(hr));
  }
  return hr;
}

bool CHostedNetworkDlg::StopIcsIfNeeded() {
  if (!m_IcsEnabled || !m_IcsNeeded) return false;
  if (m_pIcsManager != nullptr) m_pIcsManager->DisableIcsOnAll();
  PostNotification(u"Successfully disabled ICS.");
  m_IcsEnabled = false;
  return true;
}

void CHostedNetworkDlg::OnBnClickedEnableIcs() {
  m_IcsNeeded = m_EnableIcsCheck.GetCheck() == static_cast<int>(platform::kBST_CHECKED);
  m_ConnectionCombo.EnableWindow(m_IcsNeeded);
}

HResult CHostedNetworkDlg::DisableEnableConnections() {
  const HResult hr = ics::ResetHostedNetworkConnection(*m_platform.sharing, Com(), m_HostedNetworkGuid);
  // 0x800704D5: the connection refused the reconnect for now; nothing to report.
  if (Failed(hr) && hr != platform::HResultFromWin32(kERROR_RETRY)) {
    Trace("Could not enable or disable connection (0x%08x)", platform::Raw(hr));
  }
  return hr;
}

}  // namespace tethra::app
