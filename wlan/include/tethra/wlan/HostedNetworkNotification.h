// CHostedNetworkNotification: one hosted-network event queued for the dialog, made on the
// WLAN thread and released by the dialog after processing. Holds one reference on its payload
// (the CWlanDevice of a join or leave); GetNotificationData adds one for the caller.
#pragma once

#include <cstdint>

#include "tethra/base/RefObject.h"
#include "tethra/base/RefPtr.h"

namespace tethra::wlan {

// Posted (never sent), both parameters 0, when the queue goes from empty to one record.
inline constexpr std::uint32_t WM_NEW_HN_NOTIFICATION = 0x8001;

enum HostedNetworkNotificationType : std::uint32_t {
  HostedNetworkStarted = 1,
  HostedNetworkStopped = 2,
  DeviceAdd = 3,
  DeviceRemove = 4,
  HostedNetworkNotAvailable = 6,
  HostedNetworkAvailable = 7,
};

class CHostedNetworkNotification final : public base::CRefObject {
 public:
  // Adds its own reference to `data` (may be null).
  CHostedNetworkNotification(HostedNetworkNotificationType type, base::CRefObject* data) noexcept;

  HostedNetworkNotificationType GetNotificationType() const noexcept { return m_Type; }
  // The payload with a reference for the caller, or null.
  base::CRefObject* GetNotificationData() const noexcept;

 private:
  ~CHostedNetworkNotification() override;
  HostedNetworkNotificationType m_Type;
  base::RefPtr<base::CRefObject> m_pData;
};

}  // namespace tethra::wlan
