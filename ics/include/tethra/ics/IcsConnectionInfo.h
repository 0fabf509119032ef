// CIcsConnectionInfo: a reference-counted, never-changing snapshot of one sharing-capable
// connection (GUID, names, sharing flags) that the sharing manager hands to the dialog, so the
// dialog never touches the platform's interfaces. Built from a CIcsConnection record exactly as
// the record stands (it is not refreshed for it); null names become empty texts.
// Owner: whoever holds a reference (the creator holds the first). Dialog's thread only; the
// count is atomic.
#pragma once

#include <string>

#include "tethra/base/RefObject.h"
#include "tethra/ics/IcsConnection.h"
#include "tethra/platform/Types.h"

namespace tethra::ics {

class CIcsConnectionInfo final : public base::CRefObject {
 public:
  explicit CIcsConnectionInfo(const CIcsConnection& connection);

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
