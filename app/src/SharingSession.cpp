// Connection sharing for the program: the policy, the manager, the offered connections,
// enabling sharing with retries and switching it off, and the reset of the virtual adapter's
// connection.
#include "tethra/app/SharingSession.h"

#include <new>

#include "tethra/app/SystemNames.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/controller/SettingsStore.h"
#include "tethra/ics/ConnectionReset.h"
#include "tethra/ics/NetshellModule.h"
#include "tethra/platform/Com.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Trace.h"

namespace tethra::app {

using ics::CIcsConnectionInfo;
using platform::Guid;
using platform::HResult;

namespace {
constexpr int kEnableIcsRetries = 10;
constexpr platform::Dword kRetryPauseMs = 100;
constexpr platform::Win32Error kERROR_RETRY{1237};
}  // namespace

CSharingSession::CSharingSession(const platform::Platform& platform, CButton& enableCheck, CComboBox& connections,
                                 Reports reports)
    : m_Platform(platform), m_EnableCheck(enableCheck), m_ConnectionCombo(connections), m_Reports(std::move(reports)) {}

CSharingSession::~CSharingSession() = default;

bool CSharingSession::ReadPolicy() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_IsAdmin = IsUserAdmin();
  m_Allowed = IsICSAllowed();
  if (Usable()) return true;
  m_EnableCheck.EnableWindow(false);
  m_ConnectionCombo.EnableWindow(false);
  m_Needed = false;
  return false;
}

platform::Bool32 CSharingSession::IsUserAdmin() {
  platform::ISecurity* security = m_Platform.security;
  const platform::SidIdentifierAuthority ntAuthority{{0, 0, 0, 0, 0, 5}};
  platform::UniqueSid administrators(platform::SidCloser{security, m_Platform.kernel});
  if (!security->allocateAndInitializeSid(ntAuthority, 2, platform::kSECURITY_BUILTIN_DOMAIN_RID,
                                          platform::kDOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                          administrators.put())) {
    administrators.release();  // a failed call returns no SID
    return 0;
  }
  platform::Bool32 isMember = 0;
  if (!security->checkTokenMembership(nullptr, administrators.get(), &isMember)) isMember = 0;
  return isMember;
}

bool CSharingSession::IsICSAllowed() {
  platform::IRegistry& registry = *m_Platform.registry;
  platform::UniqueRegKey key(platform::RegKeyCloser{&registry, m_Platform.kernel});
  if (registry.regOpenKeyEx(platform::kHKEY_LOCAL_MACHINE, app::kSharingPolicyKeyPath, 0, platform::kKEY_READ,
                            key.put()) != platform::kERROR_SUCCESS) {
    key.release();  // a failed call returns no key
  }
  if (!key) return false;  // no policy key: sharing is not allowed
  platform::Dword value = 1;
  platform::Dword size = sizeof value;
  // A REG_DWORD only: RRF_RT_DWORD would take a 4-byte REG_BINARY as well.
  const platform::Win32Error status = registry.regGetValue(key.get(), nullptr, app::kSharingPolicyValueName,
                                                           platform::kRRF_RT_REG_DWORD, nullptr, &value, &size);
  return status != platform::kERROR_SUCCESS || value != 0;
}

HResult CSharingSession::InitIcs() {
  TETHRA_CHECK_THREAD(m_Thread);
  HResult hr = ics::NSModInit(*m_Platform.modules, *m_Platform.kernel, *m_Platform.trace);
  if (hr != platform::kS_OK) return hr;
  // The sharing manager lives in the multithreaded apartment; a thread already initialised
  // (S_FALSE) or in another apartment does not get one.
  hr = m_Platform.com->coInitializeEx(platform::kCOINIT_MULTITHREADED);
  if (hr != platform::kS_OK) {
    ics::NSModDeinit();
    return hr;
  }
  // The process's COM security, right after COM's initialisation as the sharing pages ask, so
  // that the enumeration lists RAS connections. Here, because this is the process's first COM
  // work: the connection reset and the mobile hotspot come later on this thread, the watcher's
  // apartment makes no object of its own, and without the rights or the policy nothing uses
  // the sharing interfaces. Once per process (InitIcs runs once); a failure (RPC_E_TOO_LATE:
  // set already) costs at most the RAS connections, so sharing goes on.
  const HResult security = m_Platform.com->coInitializeSecurity(
      platform::kRPC_C_AUTHN_LEVEL_PKT, platform::kRPC_C_IMP_LEVEL_IMPERSONATE, platform::kEOAC_NONE);
  platform::TraceLine(*m_Platform.trace, "InitIcs, CoInitializeSecurity Ret %x", platform::Raw(security));
  auto manager = std::unique_ptr<ics::CIcsManager>(new (std::nothrow)
                                                       ics::CIcsManager(*m_Platform.sharing, *m_Platform.trace));
  hr = manager != nullptr ? manager->InitIcsManager() : platform::kE_OUTOFMEMORY;
  if (hr != platform::kS_OK) {
    manager.reset();  // its references go before the library that frees their records
    ics::NSModDeinit();
    return hr;
  }
  m_Manager = std::move(manager);
  m_Manager->GetIcsConnections(m_Connections);
  return platform::kS_OK;
}

bool CSharingSession::GetIcsInfo(bool started, const Guid& hostedGuid, bool refreshOffer) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_Manager != nullptr) m_Manager->GetIcsConnections(m_Connections);
  if (started) {
    auto pos = m_Connections.GetHeadPosition();
    while (pos != nullptr) {
      const CIcsConnectionInfo* info = m_Connections.GetNext(pos);
      if (info->m_Guid == hostedGuid) {
        m_Enabled = info->m_bSupported && info->m_bSharingEnabled && info->m_bPrivate;
        break;
      }
    }
  }
  if (m_Enabled) m_Needed = true;
  m_EnableCheck.SetCheck(m_Needed ? static_cast<int>(platform::kBST_CHECKED)
                                  : static_cast<int>(platform::kBST_UNCHECKED));
  const bool offered = !refreshOffer || UpdateIcsConnectionList(started, hostedGuid);
  if (!m_Needed) m_ConnectionCombo.EnableWindow(false);
  return offered;
}

bool CSharingSession::UpdateIcsConnectionList(bool started, const Guid& hostedGuid) {
  // Each old entry's reference goes with it.
  for (int i = OfferedCount() - 1; i >= 0; --i) {
    m_ConnectionCombo.DeleteString(i);
    m_Offered.pop_back();
  }
  m_Selected = nullptr;
  // The box keeps the selection on the entry it was on as others are inserted before it.
  auto select = [this](int position) {
    if (m_ConnectionCombo.SetCurSel(position) >= 0) m_Selected = m_Offered[static_cast<std::size_t>(position)].get();
  };
  int offered = 0;
  auto pos = m_Connections.GetHeadPosition();
  while (pos != nullptr) {
    CIcsConnectionInfo* info = m_Connections.GetNext(pos);
    if (m_ShareConnection.empty()) {
      controller::ReadMachineValue(*m_Platform.kernel, *m_Platform.registry, controller::kSettingsKeyPath,
                                   u"ShareConnection", m_ShareConnection);
    }
    const bool offer =
        info->m_bSupported && info->m_Guid != hostedGuid && info->m_strDeviceName == m_ShareConnection;
    if (!offer) continue;
    ++offered;
    const int position = m_ConnectionCombo.AddString(info->m_strName);
    if (position < 0 || position > OfferedCount()) continue;
    m_Offered.insert(m_Offered.begin() + position, base::RefPtr<CIcsConnectionInfo>::Copy(info));
    if (position == 0) select(0);
    if (started && m_Needed && info->m_bSharingEnabled && info->m_bPublic) select(position);
  }
  if (offered == 0) m_Reports.status(u"NDIS_NOT_FOUND");
  return offered != 0;
}

bool CSharingSession::RefreshOnce() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!Usable() || m_Refreshed) return false;
  m_Refreshed = true;
  if (m_Manager != nullptr) static_cast<void>(m_Manager->ResetIcsManager());  // best effort: then no records
  return true;
}

void CSharingSession::SetNeeded(bool needed) {
  m_Needed = needed;
  m_ConnectionCombo.EnableWindow(m_Needed);
}

void CSharingSession::EnableControls() const {
  if (!Usable()) return;
  m_EnableCheck.EnableWindow(true);
  if (m_Needed) m_ConnectionCombo.EnableWindow(true);
}

void CSharingSession::DisableControls() const {
  m_EnableCheck.EnableWindow(false);
  m_ConnectionCombo.EnableWindow(false);
}

HResult CSharingSession::ShareHostedNetwork(const Guid& privateGuid, bool& tried) {
  tried = false;
  if (!m_Needed || m_Manager == nullptr) return platform::kS_OK;
  m_Manager->CacheICSIntfIndex();
  tried = true;
  return StartIcsIfNeeded(privateGuid);
}

HResult CSharingSession::StartIcsIfNeeded(const Guid& privateGuid) {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_Needed || m_Selected == nullptr || m_Manager == nullptr) return platform::kS_OK;
  const Guid publicGuid = m_Selected->m_Guid;
  HResult hr = m_Manager->EnableIcs(publicGuid, privateGuid);
  for (int retry = 0; hr != platform::kS_OK && retry < kEnableIcsRetries; ++retry) {
    hr = m_Manager->ResetIcsManager();
    if (hr == platform::kS_OK) {
      hr = m_Manager->EnableIcs(publicGuid, privateGuid);
      if (hr == platform::kS_OK) break;
    }
    m_Platform.kernel->sleep(kRetryPauseMs);
  }
  if (hr == platform::kS_OK) {
    m_Enabled = true;
  } else {
    m_Reports.status(u"ICS_FAILED");
    platform::TraceLine(*m_Platform.trace, "Failed to enable ICS. Error code %x.", platform::Raw(hr));
  }
  return hr;
}

void CSharingSession::UndoFailedStart() {
  if (m_Needed && m_Manager != nullptr) m_Manager->RestoreICSIntf();
}

bool CSharingSession::StopIcsIfNeeded() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_Enabled || !m_Needed) return false;
  if (m_Manager != nullptr) m_Manager->DisableIcsOnAll();
  m_Reports.notice(u"Successfully disabled ICS.");
  m_Enabled = false;
  return true;
}

HResult CSharingSession::DisableEnableConnections(const Guid& hostedGuid) {
  const HResult hr =
      ics::ResetHostedNetworkConnection(*m_Platform.kernel, *m_Platform.sharing, *m_Platform.com, hostedGuid);
  // 0x800704D5: the connection refused the reconnect for now; nothing to report.
  if (platform::Failed(hr) && hr != platform::HResultFromWin32(kERROR_RETRY)) {
    platform::TraceLine(*m_Platform.trace, "Could not enable or disable connection (0x%08x)", platform::Raw(hr));
  }
  return hr;
}

}  // namespace tethra::app
