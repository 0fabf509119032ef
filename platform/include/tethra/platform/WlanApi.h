// The WLAN service's hosted-network API (wlanapi), call for call: the records here, the calls
// from the list in WlanFunctions.h.
//
// Owner: buffers returned through out-pointers (query property, status, secondary key) belong
// to the caller, who releases them with wlanFreeMemory; wlanAllocateMemory pairs with it too.
// The client handle is closed with wlanCloseHandle, which also ends the notification
// registration. Any thread may call. Results are Win32 error codes (0 success).
// Notifications arrive on a thread of the service's own, after the call that caused them has
// returned, one at a time.
#pragma once

#include <cstddef>

#include "tethra/platform/Types.h"
#include "tethra/platform/WlanFunctions.h"

namespace tethra::platform {

struct Dot11Ssid {  // DOT11_SSID
  std::uint32_t uSSIDLength;
  std::uint8_t ucSSID[32];
};
static_assert(sizeof(Dot11Ssid) == 36);

struct WlanHostedNetworkConnectionSettings {  // WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS
  Dot11Ssid hostedNetworkSSID;
  Dword dwMaxNumberOfPeers;
};
static_assert(sizeof(WlanHostedNetworkConnectionSettings) == 40);

struct WlanHostedNetworkSecuritySettings {  // WLAN_HOSTED_NETWORK_SECURITY_SETTINGS
  std::uint32_t dot11AuthAlgo;
  std::uint32_t dot11CipherAlgo;
};
static_assert(sizeof(WlanHostedNetworkSecuritySettings) == 8);

constexpr std::uint32_t kWlanHostedNetworkUnavailable = 0;
constexpr std::uint32_t kWlanHostedNetworkIdle = 1;
constexpr std::uint32_t kWlanHostedNetworkActive = 2;

constexpr std::uint32_t kWlanHostedNetworkPeerStateInvalid = 0;
constexpr std::uint32_t kWlanHostedNetworkPeerStateAuthenticated = 1;

struct WlanHostedNetworkPeerState {  // WLAN_HOSTED_NETWORK_PEER_STATE
  std::uint8_t PeerMacAddress[6];
  std::uint32_t PeerAuthState;
};
static_assert(sizeof(WlanHostedNetworkPeerState) == 12);
static_assert(offsetof(WlanHostedNetworkPeerState, PeerAuthState) == 8);

struct WlanHostedNetworkStatus {  // WLAN_HOSTED_NETWORK_STATUS (PeerList has dwNumberOfPeers entries)
  std::uint32_t HostedNetworkState;
  Guid IPDeviceID;
  std::uint8_t wlanHostedNetworkBSSID[6];
  std::uint32_t dot11PhyType;
  std::uint32_t ulChannelFrequency;
  Dword dwNumberOfPeers;
  WlanHostedNetworkPeerState PeerList[1];
};
static_assert(offsetof(WlanHostedNetworkStatus, IPDeviceID) == 4);
static_assert(offsetof(WlanHostedNetworkStatus, dwNumberOfPeers) == 36);
static_assert(offsetof(WlanHostedNetworkStatus, PeerList) == 40);

struct WlanHostedNetworkStateChange {  // WLAN_HOSTED_NETWORK_STATE_CHANGE
  std::uint32_t OldState;
  std::uint32_t NewState;
  std::uint32_t StateChangeReason;
};
static_assert(sizeof(WlanHostedNetworkStateChange) == 12);

struct WlanHostedNetworkDataPeerStateChange {  // WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE
  WlanHostedNetworkPeerState OldState;
  WlanHostedNetworkPeerState NewState;
  std::uint32_t PeerStateChangeReason;
};
static_assert(sizeof(WlanHostedNetworkDataPeerStateChange) == 28);

struct WlanNotificationData {  // WLAN_NOTIFICATION_DATA
  Dword NotificationSource;
  Dword NotificationCode;
  Guid InterfaceGuid;
  Dword dwDataSize;
  void* pData;
};

using WlanNotificationCallbackFn = void (*)(WlanNotificationData* data, void* context);

constexpr Dword kWLAN_NOTIFICATION_SOURCE_HNWK = 0x00000080;
constexpr Dword kWlanHostedNetworkStateChangeCode = 4096;
constexpr Dword kWlanHostedNetworkPeerStateChangeCode = 4097;
constexpr Dword kWlanHostedNetworkRadioStateChangeCode = 4098;

constexpr std::uint32_t kWlanHostedNetworkOpcodeConnectionSettings = 0;
constexpr std::uint32_t kWlanHostedNetworkOpcodeSecuritySettings = 1;
constexpr std::uint32_t kWlanHostedNetworkOpcodeStationProfile = 2;
constexpr std::uint32_t kWlanHostedNetworkOpcodeEnable = 3;

// WLAN_HOSTED_NETWORK_REASON values the program interprets.
constexpr std::uint32_t kWlanHostedNetworkReasonSuccess = 0;
constexpr std::uint32_t kWlanHostedNetworkReasonInterfaceAvailable = 11;
constexpr std::uint32_t kWlanHostedNetworkReasonMiniportStopped = 13;
constexpr std::uint32_t kWlanHostedNetworkReasonMiniportStarted = 14;
constexpr std::uint32_t kWlanHostedNetworkReasonUserAction = 17;
constexpr std::uint32_t kWlanHostedNetworkReasonDeviceChange = 25;
constexpr std::uint32_t kWlanHostedNetworkReasonPropertiesChange = 26;

// One pure virtual per entry of TETHRA_WLAN_FUNCTIONS (WlanFunctions.h), in the list's order.
class IWlanApi {
 public:
  virtual ~IWlanApi() = default;
#define TETHRA_WLAN_DECLARE(Export, method, Result, Parameters, Arguments) virtual Result method Parameters = 0;
  TETHRA_WLAN_FUNCTIONS(TETHRA_WLAN_DECLARE)
#undef TETHRA_WLAN_DECLARE
};

}  // namespace tethra::platform
