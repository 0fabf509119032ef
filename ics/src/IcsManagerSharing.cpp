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
  static_cast<void>(publicSide.RefreshSharingEnabled());  // a failed read only means sharing is switched again
  static_cast<void>(privateSide.RefreshSharingEnabled());  // a failed read only means sharing is switched again
  if (publicSide.IsSharingEnabled() && publicSide.IsPublic() && privateSide.IsSharingEnabled() &&
      privateSide.IsPrivate()) {
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
    // The record's own switch makes the same calls (read, switch off, read again), and
    // its result is dropped: one connection that stays shared does not stop the others.
    if (connection.IsSupported()) static_cast<void>(connection.DisableSharing());  // best effort: the others go on
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
    static_cast<void>(connection.RefreshSharingEnabled());  // best effort: a failed read keeps the last state
    if (!connection.IsSharingEnabled()) continue;
    if (connection.IsPublic()) m_CachedPublic = connection.Properties().guidId;
    if (connection.IsPrivate()) m_CachedPrivate = connection.Properties().guidId;
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
    static_cast<void>(m_pConnections[publicIndex].EnableAsPublic());  // best effort: the end goes on
    static_cast<void>(m_pConnections[privateIndex].EnableAsPrivate());  // best effort: the end goes on
  }
  m_CachedPublic.reset();
  m_CachedPrivate.reset();
}

}  // namespace tethra::ics
