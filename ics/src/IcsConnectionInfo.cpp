// CIcsConnectionInfo: the snapshot's copy of one record. Dialog's thread.
#include "tethra/ics/IcsConnectionInfo.h"

namespace tethra::ics {

namespace {
std::u16string TextOf(const char16_t* text) { return text != nullptr ? std::u16string(text) : std::u16string(); }
}  // namespace

CIcsConnectionInfo::CIcsConnectionInfo(const CIcsConnection& connection)
    : m_Guid(connection.Properties().guidId),
      m_strName(TextOf(connection.Properties().pszwName)),
      m_strDeviceName(TextOf(connection.Properties().pszwDeviceName)),
      m_bSharingEnabled(connection.IsSharingEnabled()),
      m_bPublic(connection.IsPublic()),
      m_bPrivate(connection.IsPrivate()),
      m_bSupported(connection.IsSupported()) {}

}  // namespace tethra::ics
