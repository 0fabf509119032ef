// The WLAN service's hosted-network declarations that MinGW-w64's <wlanapi.h> lacks, written
// from the platform's public documentation of wlanapi, and the type of every wlanapi export
// the program resolves at run time (made from the list in WlanFunctions.h). Declarations only: nothing here links against
// wlanapi. The portable records of the boundary are checked against these layouts below.
#pragma once

#include "tethra/win32/Win32Common.h"

#include <wlanapi.h>

#include "tethra/platform/WlanApi.h"

namespace tethra::win32::wlan {

enum WLAN_HOSTED_NETWORK_REASON : int {
  wlan_hosted_network_reason_success = 0,
  wlan_hosted_network_reason_unspecified,
  wlan_hosted_network_reason_bad_parameters,
  wlan_hosted_network_reason_service_shutting_down,
  wlan_hosted_network_reason_insufficient_resources,
  wlan_hosted_network_reason_elevation_required,
  wlan_hosted_network_reason_read_only,
  wlan_hosted_network_reason_persistence_failed,
  wlan_hosted_network_reason_crypt_error,
  wlan_hosted_network_reason_impersonation,
  wlan_hosted_network_reason_stop_before_start,
  wlan_hosted_network_reason_interface_available,
  wlan_hosted_network_reason_interface_unavailable,
  wlan_hosted_network_reason_miniport_stopped,
  wlan_hosted_network_reason_miniport_started,
  wlan_hosted_network_reason_incompatible_connection_started,
  wlan_hosted_network_reason_incompatible_connection_stopped,
  wlan_hosted_network_reason_user_action,
  wlan_hosted_network_reason_client_abort,
  wlan_hosted_network_reason_ap_start_failed,
  wlan_hosted_network_reason_peer_arrived,
  wlan_hosted_network_reason_peer_departed,
  wlan_hosted_network_reason_peer_timeout,
  wlan_hosted_network_reason_gp_denied,
  wlan_hosted_network_reason_service_unavailable,
  wlan_hosted_network_reason_device_change,
  wlan_hosted_network_reason_properties_change,
  wlan_hosted_network_reason_virtual_station_blocking_use,
  wlan_hosted_network_reason_service_available_on_virtual_station,
};

enum WLAN_HOSTED_NETWORK_STATE : int {
  wlan_hosted_network_unavailable = 0,
  wlan_hosted_network_idle,
  wlan_hosted_network_active,
};

enum WLAN_HOSTED_NETWORK_PEER_AUTH_STATE : int {
  wlan_hosted_network_peer_state_invalid = 0,
  wlan_hosted_network_peer_state_authenticated,
};

enum WLAN_HOSTED_NETWORK_OPCODE : int {
  wlan_hosted_network_opcode_connection_settings = 0,
  wlan_hosted_network_opcode_security_settings,
  wlan_hosted_network_opcode_station_profile,
  wlan_hosted_network_opcode_enable,
};

// Notification codes of the hosted-network source; they start at L2_NOTIFICATION_CODE_V2_BEGIN.
enum WLAN_HOSTED_NETWORK_NOTIFICATION_CODE : int {
  wlan_hosted_network_state_change = 0x00001000,
  wlan_hosted_network_peer_state_change,
  wlan_hosted_network_radio_state_change,
};

constexpr DWORD kWlanNotificationSourceHostedNetwork = 0x00000080;  // WLAN_NOTIFICATION_SOURCE_HNWK

struct WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS {
  DOT11_SSID hostedNetworkSSID;
  DWORD dwMaxNumberOfPeers;
};

struct WLAN_HOSTED_NETWORK_SECURITY_SETTINGS {
  DOT11_AUTH_ALGORITHM dot11AuthAlgo;
  DOT11_CIPHER_ALGORITHM dot11CipherAlgo;
};

struct WLAN_HOSTED_NETWORK_PEER_STATE {
  DOT11_MAC_ADDRESS PeerMacAddress;
  WLAN_HOSTED_NETWORK_PEER_AUTH_STATE PeerAuthState;
};

struct WLAN_HOSTED_NETWORK_STATUS {
  WLAN_HOSTED_NETWORK_STATE HostedNetworkState;
  GUID IPDeviceID;
  DOT11_MAC_ADDRESS wlanHostedNetworkBSSID;
  DOT11_PHY_TYPE dot11PhyType;
  ULONG ulChannelFrequency;
  DWORD dwNumberOfPeers;
  WLAN_HOSTED_NETWORK_PEER_STATE PeerList[1];
};

struct WLAN_HOSTED_NETWORK_STATE_CHANGE {
  WLAN_HOSTED_NETWORK_STATE OldState;
  WLAN_HOSTED_NETWORK_STATE NewState;
  WLAN_HOSTED_NETWORK_REASON StateChangeReason;
};

struct WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE {
  WLAN_HOSTED_NETWORK_PEER_STATE OldState;
  WLAN_HOSTED_NETWORK_PEER_STATE NewState;
  WLAN_HOSTED_NETWORK_REASON PeerStateChangeReason;
};

struct WLAN_HOSTED_NETWORK_RADIO_STATE {
  DOT11_RADIO_STATE dot11SoftwareRadioState;
  DOT11_RADIO_STATE dot11HardwareRadioState;
};

// Sizes the documentation implies on x64.
static_assert(sizeof(DOT11_SSID) == 36);
static_assert(sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS) == 40);
static_assert(sizeof(WLAN_HOSTED_NETWORK_SECURITY_SETTINGS) == 8);
static_assert(sizeof(WLAN_HOSTED_NETWORK_PEER_STATE) == 12 && offsetof(WLAN_HOSTED_NETWORK_PEER_STATE, PeerAuthState) == 8);
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, IPDeviceID) == 4 &&
              offsetof(WLAN_HOSTED_NETWORK_STATUS, wlanHostedNetworkBSSID) == 20 &&
              offsetof(WLAN_HOSTED_NETWORK_STATUS, dot11PhyType) == 28 &&
              offsetof(WLAN_HOSTED_NETWORK_STATUS, ulChannelFrequency) == 32 &&
              offsetof(WLAN_HOSTED_NETWORK_STATUS, dwNumberOfPeers) == 36 &&
              offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) == 40 && sizeof(WLAN_HOSTED_NETWORK_STATUS) == 52);
static_assert(sizeof(WLAN_HOSTED_NETWORK_STATE_CHANGE) == 12);
static_assert(sizeof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE) == 28 &&
              offsetof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE, NewState) == 12 &&
              offsetof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE, PeerStateChangeReason) == 24);
static_assert(sizeof(WLAN_HOSTED_NETWORK_RADIO_STATE) == 8);
static_assert(sizeof(WLAN_NOTIFICATION_DATA) == 40 && offsetof(WLAN_NOTIFICATION_DATA, pData) == 32);

// The portable records of the boundary have exactly these layouts.
namespace p = tethra::platform;
TETHRA_WIN32_SAME_LAYOUT(p::Dot11Ssid, DOT11_SSID, uSSIDLength, ucSSID);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkConnectionSettings, WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS,
                         hostedNetworkSSID, dwMaxNumberOfPeers);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkSecuritySettings, WLAN_HOSTED_NETWORK_SECURITY_SETTINGS, dot11AuthAlgo,
                         dot11CipherAlgo);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkPeerState, WLAN_HOSTED_NETWORK_PEER_STATE, PeerMacAddress, PeerAuthState);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkStatus, WLAN_HOSTED_NETWORK_STATUS, HostedNetworkState, IPDeviceID,
                         wlanHostedNetworkBSSID, dot11PhyType, ulChannelFrequency, dwNumberOfPeers, PeerList);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkStateChange, WLAN_HOSTED_NETWORK_STATE_CHANGE, OldState, NewState,
                         StateChangeReason);

TETHRA_WIN32_SAME_LAYOUT(p::WlanHostedNetworkDataPeerStateChange, WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE, OldState,
                         NewState, PeerStateChangeReason);

TETHRA_WIN32_SAME_LAYOUT(p::WlanNotificationData, WLAN_NOTIFICATION_DATA, NotificationSource, NotificationCode,
                         InterfaceGuid, dwDataSize, pData);

static_assert(p::kWLAN_NOTIFICATION_SOURCE_HNWK == kWlanNotificationSourceHostedNetwork);
static_assert(p::kWlanHostedNetworkStateChangeCode == wlan_hosted_network_state_change &&
              p::kWlanHostedNetworkPeerStateChangeCode == wlan_hosted_network_peer_state_change &&
              p::kWlanHostedNetworkRadioStateChangeCode == wlan_hosted_network_radio_state_change);
static_assert(p::kWlanHostedNetworkOpcodeConnectionSettings == wlan_hosted_network_opcode_connection_settings &&
              p::kWlanHostedNetworkOpcodeSecuritySettings == wlan_hosted_network_opcode_security_settings &&
              p::kWlanHostedNetworkOpcodeStationProfile == wlan_hosted_network_opcode_station_profile &&
              p::kWlanHostedNetworkOpcodeEnable == wlan_hosted_network_opcode_enable);
static_assert(p::kWlanHostedNetworkUnavailable == wlan_hosted_network_unavailable &&
              p::kWlanHostedNetworkIdle == wlan_hosted_network_idle &&
              p::kWlanHostedNetworkActive == wlan_hosted_network_active);
static_assert(p::kWlanHostedNetworkReasonInterfaceAvailable == wlan_hosted_network_reason_interface_available &&
              p::kWlanHostedNetworkReasonMiniportStopped == wlan_hosted_network_reason_miniport_stopped &&
              p::kWlanHostedNetworkReasonMiniportStarted == wlan_hosted_network_reason_miniport_started &&
              p::kWlanHostedNetworkReasonUserAction == wlan_hosted_network_reason_user_action &&
              p::kWlanHostedNetworkReasonDeviceChange == wlan_hosted_network_reason_device_change &&
              p::kWlanHostedNetworkReasonPropertiesChange == wlan_hosted_network_reason_properties_change);

// wlanapi.dll's export behind a boundary method (WlanFunctions.h): the system's result (a DWORD
// for the boundary's Win32Error) and the method's own parameters, each with the layout of the
// documented one: the records above, and the scalars below. x64 has one calling convention, so
// the boundary's notification callback is the documented WLAN_NOTIFICATION_CALLBACK as well.
static_assert(sizeof(void*) == 8, "the WLAN binding is written for x64");
static_assert(sizeof(p::Handle) == sizeof(HANDLE));  // DWORD and BOOL: Win32Common.h
static_assert(sizeof(WLAN_HOSTED_NETWORK_REASON) == sizeof(std::uint32_t) &&
              sizeof(WLAN_HOSTED_NETWORK_OPCODE) == sizeof(std::uint32_t) &&
              sizeof(WLAN_OPCODE_VALUE_TYPE) == sizeof(std::uint32_t));

template <typename Result>
struct NativeResult {
  using type = Result;
};
template <>
struct NativeResult<p::Win32Error> {
  using type = DWORD;
};
template <typename Method>
struct ExportOf;
template <typename Result, typename... Parameters>
struct ExportOf<Result (p::IWlanApi::*)(Parameters...)> {
  using type = typename NativeResult<Result>::type(WINAPI*)(Parameters...);
};
template <auto Method>
using WlanExport = typename ExportOf<decltype(Method)>::type;

}  // namespace tethra::win32::wlan
