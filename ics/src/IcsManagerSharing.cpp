// CIcsManager: finding records, sharing one pair, switching sharing off everywhere, the
// snapshots for the dialog, and the cache of the pair that was active before. Only supported
// records take part in sharing. Dialog's thread only.
#include "tethra/ics/IcsManager.h"

#include "tethra/base/Allocation.h"
#include "tethra/base/RefPtr.h"

namespace tethra::ics {

platform::HResult CIcsManager::GetIndexByGuid(const platform::Guid* guid, std::int32_t& index) const {
  if (m_lNumConns < 1) return platform::kE_INVALIDARG;
  for (std::int32_t i = 0; i < m_lNumConns; ++i) {
    if (m_pConnections[i].IsSupported() && m_pConnections[i].IsMatch(guid)) {
      index = i;
      return platform::kS_OK;
    }
  }
  return platform::kE_INVALIDARG;
}

platform::HResult CIcsManager::EnableIcs(const platform::Guid& publicGuid, const platform::Guid& privateGuid) {
  TETHRA_CHECK_THREAD(m_Thread);
  std::int32_t publicIndex = -1;
  std::int32_t privateIndex = -1;
  platform::HResult hr = GetIndexByGuid(&publicGuid, publicIndex);
  TETHRA_RETURN_IF_FAILED(hr);
  TETHRA_RETURN_IF_FAILED(hr = GetIndexByGuid(&privateGuid, privateIndex));
  CIcsConnection& publicSide = m_pConnections[publicIndex];
  CIcsConnection& privateSide = m_pConnections[privateIndex];
  publicSide.RefreshSharingEnabled();
  privateSide.RefreshSharingEnabled();
  if (publicSide.m_bSharingEnabled && publicSide.m_bPublic && privateSide.m_bSharingEnabled &&
      privateSide.m_bPrivate) {
    return platform::kS_OK;  // already shared this way: leave the platform alone
  }
  DisableIcsOnAll();
  TETHRA_RETURN_IF_FAILED(hr = privateSide.EnableAsPrivate());
  return publicSide.EnableAsPublic();
}

void CIcsManager::DisableIcsOnAll() {
  TETHRA_CHECK_THREAD(m_Thread);
  for (std::int32_t i = 0; i < m_lNumConns; ++i) {
    CIcsConnection& connection = m_pConnections[i];
    if (!connection.IsSupported()) continue;
    if (platform::Failed(connection.RefreshSharingEnabled()) || !connection.m_bSharingEnabled) continue;
    if (platform::Succeeded(connection.m_pNetSharingConfiguration->DisableSharing())) {
      connection.RefreshSharingEnabled();
    }
  }
}

void CIcsManager::GetIcsConnections(base::CRefList<CIcsConnectionInfo*>& list) {
  TETHRA_CHECK_THREAD(m_Thread);
  list.ReleaseAll();
  for (std::int32_t i = 0; i < m_lNumConns; ++i) {
    auto info = base::RefPtr<CIcsConnectionInfo>::Adopt(
        base::NewObject<CIcsConnectionInfo>(kAllocSiteSnapshot, m_pConnections[i]));
    if (!info || !list.AddTail(std::move(info))) return;
  }
}

void CIcsManager::CacheICSIntfIndex() {
  TETHRA_CHECK_THREAD(m_Thread);
  m_CachedPublic.reset();
  m_CachedPrivate.reset();
  for (std::int32_t i = 0; i < m_lNumConns; ++i) {
    CIcsConnection& connection = m_pConnections[i];
    if (!connection.IsSupported()) continue;
    connection.RefreshSharingEnabled();
    if (!connection.m_bSharingEnabled) continue;
    if (connection.m_bPublic) m_CachedPublic = connection.m_Properties.record.guidId;
    if (connection.m_bPrivate) m_CachedPrivate = connection.m_Properties.record.guidId;
  }
}

// The remembered connections are looked up in the enumeration as it stands now; a pair one of
// whose connections is gone (or no longer supported) is not put back.
void CIcsManager::RestoreICSIntf() {
  TETHRA_CHECK_THREAD(m_Thread);
  DisableIcsOnAll();
  std::int32_t publicIndex = -1;
  std::int32_t privateIndex = -1;
  if (m_CachedPublic && m_CachedPrivate && platform::Succeeded(GetIndexByGuid(&*m_CachedPublic, publicIndex)) &&
      platform::Succeeded(GetIndexByGuid(&*m_CachedPrivate, privateIndex))) {
    m_pConnections[publicIndex].EnableAsPublic();
    m_pConnections[privateIndex].EnableAsPrivate();
  }
  m_CachedPublic.reset();
  m_CachedPrivate.reset();
}

}  // namespace tethra::ics
