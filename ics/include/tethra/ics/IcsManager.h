// CIcsManager: the program's single entry point to the platform's connection-sharing service.
// It creates the platform sharing manager, enumerates every connection into an array of
// CIcsConnection records (counted first, so the array is allocated once), finds records by
// GUID, shares one public/private pair after switching sharing off everywhere, and remembers
// and restores the pair that was active before the program changed anything. The pair is
// remembered by the connections' GUIDs, not by their positions: the hosted network's connection
// may join the list between the two enumerations, anywhere in it.
//
// Owner: the sharing session (CSharingSession::m_Manager); the manager owns the platform
// sharing manager's reference and the record array. Dialog's thread only (COM multithreaded
// apartment). Codes: HRESULTs; E_UNEXPECTED when already initialised, sharing is not installed
// or the connections grew between the two passes; E_INVALIDARG when a GUID is not among the
// supported records; E_OUTOFMEMORY when the array cannot be allocated; platform failures
// unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "tethra/base/RefList.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/ics/IcsConnection.h"
#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/platform/ComPtr.h"
#include "tethra/platform/Sharing.h"
#include "tethra/platform/Trace.h"

namespace tethra::ics {

namespace test {
struct IcsRecordAccess;  // tests only: plants a state the service cannot be made to report
}

inline constexpr const char* kAllocSiteSnapshot = "snapshot";

class CIcsManager {
 public:
  CIcsManager(platform::ISharing& sharing, platform::ITrace& trace) : m_Sharing(sharing), m_Trace(trace) {}
  ~CIcsManager() = default;
  CIcsManager(const CIcsManager&) = delete;
  CIcsManager& operator=(const CIcsManager&) = delete;

  platform::HResult InitIcsManager();
  platform::HResult ResetIcsManager();
  platform::HResult RefreshInstalled();
  platform::HResult GetIndexByGuid(const platform::Guid* guid, std::int32_t& index) const;
  platform::HResult EnableIcs(const platform::Guid& publicGuid, const platform::Guid& privateGuid);
  void DisableIcsOnAll();
  void GetIcsConnections(base::CRefList<CIcsConnectionInfo*>& list);
  void CacheICSIntfIndex();
  void RestoreICSIntf();

  platform::INetSharingManager* NetSharingManager() const { return m_pNetSharingManager.get(); }
  bool IsInstalled() const { return m_bInstalled; }
  std::int32_t ConnectionCount() const { return m_lNumConns; }
  // 0 <= index < ConnectionCount().
  const CIcsConnection& Connection(std::int32_t index) const { return m_pConnections[index]; }
  const std::optional<platform::Guid>& CachedPublic() const { return m_CachedPublic; }
  const std::optional<platform::Guid>& CachedPrivate() const { return m_CachedPrivate; }

 private:
  friend struct test::IcsRecordAccess;

  void ReleaseContents();
  platform::HResult FillConnections(platform::IEnumNetSharingEveryConnection& enumerator);

  platform::ComPtr<platform::INetSharingManager> m_pNetSharingManager;
  std::unique_ptr<CIcsConnection[]> m_pConnections;
  bool m_bInstalled = false;
  std::int32_t m_lNumConns = 0;
  // The pair CacheICSIntfIndex found shared (each side on its own: one may be missing).
  std::optional<platform::Guid> m_CachedPublic;
  std::optional<platform::Guid> m_CachedPrivate;

  platform::ISharing& m_Sharing;
  platform::ITrace& m_Trace;
  base::CThreadChecker m_Thread;  // the constructing thread: the dialog's
};

}  // namespace tethra::ics
