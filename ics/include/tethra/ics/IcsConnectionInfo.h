// CIcsConnectionInfo: a reference-counted, never-changing snapshot of one sharing-capable
// connection (GUID, names, sharing flags) that the sharing manager hands to the dialog, so the
// dialog never touches the platform's interfaces. Dialog's thread only; counts are atomic.
#pragma once

#include <string>

#include "tethra/platform/types.h"
#include "tethra/wlan/RefObject.h"

namespace tethra::ics {

class CIcsConnectionInfo final : public wlan::CRefObject {
 public:
  struct Fields {
    platform::Guid guid{};
    std::u16string name;
    std::u16string deviceName;
    bool sharingEnabled = false;
    bool isPublic = false;
    bool isPrivate = false;
    bool supported = false;
  };
  explicit CIcsConnectionInfo(Fields fields) noexcept
      : m_Guid(fields.guid),
        m_strName(std::move(fields.name)),
        m_strDeviceName(std::move(fields.deviceName)),
        m_bSharingEnabled(fields.sharingEnabled),
        m_bPublic(fields.isPublic),
        m_bPrivate(fields.isPrivate),
        m_bSupported(fields.supported) {}

  const platform::Guid m_Guid;
  const std::u16string m_strName;
  const std::u16string m_strDeviceName;
  const bool m_bSharingEnabled;
  const bool m_bPublic;
  const bool m_bPrivate;
  const bool m_bSupported;

 private:
  ~CIcsConnectionInfo() override = default;
};

}  // namespace tethra::ics
