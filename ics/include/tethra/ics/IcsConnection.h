// CIcsConnection: the sharing manager's record of one network connection: its connection and
// sharing-configuration interfaces (one reference each), a private copy of its properties
// and the sharing state as last read. Plain record held by value in the manager's array.
//
// Owner: the record owns both references and the two strings of its properties copy; the
// manager pointer is not owned. Dialog's thread only. Codes: HRESULTs (negative: failure);
// DisableSharing gives S_FALSE when sharing was not on; InitIcsConnection gives E_UNEXPECTED
// on a bound record and E_INVALIDARG for a null manager or connection.
#pragma once

#include <cstdint>

#include "tethra/ics/NetshellModule.h"
#include "tethra/platform/ComPtr.h"
#include "tethra/platform/Sharing.h"

namespace tethra::ics {

class CIcsManager;
namespace test {
struct IcsRecordAccess;  // tests only: plants a state the service cannot be made to report
}

class CIcsConnection {
 public:
  CIcsConnection() = default;
  CIcsConnection(const CIcsConnection&) = delete;
  CIcsConnection& operator=(const CIcsConnection&) = delete;

  platform::HResult InitIcsConnection(CIcsManager* manager, platform::INetConnection* connection,
                                      std::int32_t index);
  platform::HResult RefreshSharingEnabled();
  platform::HResult DisableSharing();
  platform::HResult EnableAsPublic();
  platform::HResult EnableAsPrivate();
  bool IsMatch(const platform::Guid* guid) const;
  bool IsSupported() const { return m_bSupported; }
  bool IsSharingEnabled() const { return m_bSharingEnabled; }
  bool IsPublic() const { return m_bPublic; }
  bool IsPrivate() const { return m_bPrivate; }
  std::int32_t Index() const { return m_lIndex; }
  CIcsManager* Manager() const { return m_pManager; }
  platform::INetConnection* NetConnection() const { return m_pNetConnection.get(); }
  const platform::NetconProperties& Properties() const { return m_Properties.record; }

 private:
  friend struct test::IcsRecordAccess;

  platform::HResult EnableAs(std::int32_t type);

  CIcsManager* m_pManager = nullptr;
  platform::ComPtr<platform::INetConnection> m_pNetConnection;
  platform::ComPtr<platform::INetSharingConfiguration> m_pNetSharingConfiguration;
  std::int32_t m_lIndex = 0;
  bool m_bSharingEnabled = false;
  bool m_bPublic = false;
  bool m_bPrivate = false;
  bool m_bSupported = false;
  NetconPropertiesCopy m_Properties;
};

}  // namespace tethra::ics
