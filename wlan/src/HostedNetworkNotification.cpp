// Notification records and their payload reference.
#include "tethra/wlan/HostedNetworkNotification.h"

namespace tethra::wlan {

CHostedNetworkNotification::CHostedNetworkNotification(HostedNetworkNotificationType type, base::CRefObject* data) noexcept
    : m_Type(type), m_pData(data) {
  if (m_pData != nullptr) m_pData->AddRef();
}

CHostedNetworkNotification::~CHostedNetworkNotification() {
  if (m_pData != nullptr) m_pData->Release();
}

base::CRefObject* CHostedNetworkNotification::GetNotificationData() const noexcept {
  if (m_pData != nullptr) m_pData->AddRef();
  return m_pData;
}

}  // namespace tethra::wlan
