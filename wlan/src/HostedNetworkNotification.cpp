// Notification records and their payload reference.
#include "tethra/wlan/HostedNetworkNotification.h"

namespace tethra::wlan {

CHostedNetworkNotification::CHostedNetworkNotification(HostedNetworkNotificationType type, base::CRefObject* data) noexcept
    : m_Type(type), m_pData(base::RefPtr<base::CRefObject>::Copy(data)) {}

CHostedNetworkNotification::~CHostedNetworkNotification() = default;

base::CRefObject* CHostedNetworkNotification::GetNotificationData() const noexcept {
  return base::RefPtr<base::CRefObject>(m_pData).detach();
}

}  // namespace tethra::wlan
