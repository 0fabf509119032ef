// CIcsConnectionInfo: the snapshot's copy of one record. Dialog's thread.
#include "tethra/ics/IcsConnectionInfo.h"

namespace tethra::ics {

namespace {
std::u16string TextOf(const char16_t* text) { return text != nullptr ? std::u16string(text) : std::u16string(); }
}  // namespace

CIcsConnectionInfo::CIcsConnectionInfo(const CIcsConnection& connection)
    : m_Guid(connection.m_Properties.record.guidId),
      m_strName(TextOf(connection.m_Properties.record.pszwName)),
      m_strDeviceName(TextOf(connection.m_Properties.record.pszwDeviceName)),
      m_bSharingEnabled(connection.m_bSharingEnabled),
      m_bPublic(connection.m_bPublic),
      m_bPrivate(connection.m_bPrivate),
      m_bSupported(connection.m_bSupported) {}

}  // namespace tethra::ics
