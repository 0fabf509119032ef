// Test support: the one way in to a sharing record's and the manager's private state, for the
// states the simulated service cannot be made to report (a record that failed its binding
// next to bound ones, a remembered pair whose side is gone, values outside the service's
// range). Everything else is set up through the real path (InitIcsManager on a rig). Single
// thread, the test's.
#pragma once

#include "tethra/ics/IcsManager.h"

namespace tethra::ics::test {

struct IcsRecordAccess {
  static CIcsConnection& Record(CIcsManager& manager, std::int32_t index) { return manager.m_pConnections[index]; }
  static void SetSupported(CIcsConnection& record, bool supported) { record.m_bSupported = supported; }
  static void SetSharing(CIcsConnection& record, bool enabled, bool isPrivate) {
    record.m_bSharingEnabled = enabled;
    record.m_bPrivate = isPrivate;
  }
  static void SetGuid(CIcsConnection& record, const platform::Guid& guid) { record.m_Properties.record.guidId = guid; }
  static platform::ComPtr<platform::INetSharingConfiguration>& Configuration(CIcsConnection& record) {
    return record.m_pNetSharingConfiguration;
  }
  static void SetCachedPair(CIcsManager& manager, const platform::Guid& publicGuid, const platform::Guid& privateGuid) {
    manager.m_CachedPublic = publicGuid;
    manager.m_CachedPrivate = privateGuid;
  }
};

}  // namespace tethra::ics::test
