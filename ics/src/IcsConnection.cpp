// CIcsConnection: one connection's sharing state and its changes. Every change is followed by
// a fresh read, so the flags always show what the platform last reported. Dialog's thread.
#include "tethra/ics/IcsConnection.h"

#include "tethra/ics/IcsManager.h"
#include "tethra/ics/NetshellModule.h"

namespace tethra::ics {

platform::HResult CIcsConnection::InitIcsConnection(CIcsManager* manager, platform::INetConnection* connection,
                                                    std::int32_t index) {
  if (m_pManager != nullptr) return platform::kE_UNEXPECTED;
  if (manager == nullptr || connection == nullptr) return platform::kE_INVALIDARG;
  m_pManager = manager;
  m_lIndex = index;
  m_pNetConnection.copyFrom(connection);

  // The platform's record goes back through the network-shell library however the step ends.
  UniqueNetconProperties properties;
  platform::HResult hr = connection->GetProperties(properties.put());
  TETHRA_RETURN_IF_FAILED(hr);
  if (!properties) return platform::kE_UNEXPECTED;
  TETHRA_RETURN_IF_FAILED(hr = NSModDuplicateNetconProperties(*properties.get(), m_Properties));
  platform::INetSharingManager* sharing = manager->NetSharingManager();
  if (sharing == nullptr) return platform::kE_UNEXPECTED;
  TETHRA_RETURN_IF_FAILED(hr = sharing->get_INetSharingConfigurationForINetConnection(connection, m_pNetSharingConfiguration.put()));
  if (!m_pNetSharingConfiguration) return platform::kE_UNEXPECTED;  // a success without the object
  hr = RefreshSharingEnabled();
  if (platform::Succeeded(hr)) m_bSupported = true;
  return hr;
}

platform::HResult CIcsConnection::RefreshSharingEnabled() {
  if (!m_pNetSharingConfiguration) return platform::kE_UNEXPECTED;
  platform::VariantBool enabled = platform::kVARIANT_FALSE;
  platform::HResult hr = m_pNetSharingConfiguration->get_SharingEnabled(&enabled);
  TETHRA_RETURN_IF_FAILED(hr);
  m_bPublic = false;
  m_bPrivate = false;
  m_bSharingEnabled = enabled == platform::kVARIANT_TRUE;
  if (!m_bSharingEnabled) return hr;
  std::int32_t type = -1;
  TETHRA_RETURN_IF_FAILED(hr = m_pNetSharingConfiguration->get_SharingConnectionType(&type));
  m_bPublic = type == platform::kICSSHARINGTYPE_PUBLIC;
  m_bPrivate = type == platform::kICSSHARINGTYPE_PRIVATE;
  return hr;
}

platform::HResult CIcsConnection::DisableSharing() {
  platform::HResult hr = RefreshSharingEnabled();
  TETHRA_RETURN_IF_FAILED(hr);
  if (!m_bSharingEnabled) return platform::kS_FALSE;
  TETHRA_RETURN_IF_FAILED(hr = m_pNetSharingConfiguration->DisableSharing());
  static_cast<void>(RefreshSharingEnabled());  // the switch is done; a failed read keeps the last state
  return hr;
}

platform::HResult CIcsConnection::EnableAs(std::int32_t type) {
  platform::HResult hr = DisableSharing();
  TETHRA_RETURN_IF_FAILED(hr);
  TETHRA_RETURN_IF_FAILED(hr = m_pNetSharingConfiguration->EnableSharing(type));
  static_cast<void>(RefreshSharingEnabled());  // the switch is done; a failed read keeps the last state
  return hr;
}

platform::HResult CIcsConnection::EnableAsPublic() { return EnableAs(platform::kICSSHARINGTYPE_PUBLIC); }
platform::HResult CIcsConnection::EnableAsPrivate() { return EnableAs(platform::kICSSHARINGTYPE_PRIVATE); }

bool CIcsConnection::IsMatch(const platform::Guid* guid) const {
  return guid != nullptr && *guid == m_Properties.record.guidId;
}

}  // namespace tethra::ics
