// CIcsManager: the program's single entry point to the platform's connection-sharing service.
// Owned by the dialog (m_pIcsManager) and used from the dialog's thread only. Status codes are
// 32-bit HRESULTs (negative: failure).
#pragma once

#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/platform/platform.h"
#include "tethra/wlan/RefList.h"

namespace tethra::ics {

class CIcsManager {
 public:
  explicit CIcsManager(const platform::Platform& platform) : m_platform(platform) {}
  ~CIcsManager() = default;
  CIcsManager(const CIcsManager&) = delete;
  CIcsManager& operator=(const CIcsManager&) = delete;

  platform::HResult InitIcsManager();
  platform::HResult ResetIcsManager();
  platform::HResult EnableIcs(const platform::Guid& publicGuid, const platform::Guid& privateGuid);
  void DisableIcsOnAll();
  void GetIcsConnections(wlan::CRefList<CIcsConnectionInfo*>& list);
  void CacheICSIntfIndex();
  void RestoreICSIntf();

 private:
  const platform::Platform& m_platform;
};

}  // namespace tethra::ics
