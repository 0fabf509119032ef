// CIcsManager until the platform's sharing service is reachable through the boundary: it
// cannot create the platform sharing manager, so initialisation fails and there are no
// connections to share.
#include "tethra/ics/IcsManager.h"

namespace tethra::ics {

platform::HResult CIcsManager::InitIcsManager() { return platform::kE_UNEXPECTED; }
platform::HResult CIcsManager::ResetIcsManager() { return InitIcsManager(); }
platform::HResult CIcsManager::EnableIcs(const platform::Guid&, const platform::Guid&) {
  return platform::kE_INVALIDARG;
}
void CIcsManager::DisableIcsOnAll() {}
void CIcsManager::GetIcsConnections(wlan::CRefList<CIcsConnectionInfo*>& list) { list.ReleaseAll(); }
void CIcsManager::CacheICSIntfIndex() {}
void CIcsManager::RestoreICSIntf() { DisableIcsOnAll(); }

}  // namespace tethra::ics
