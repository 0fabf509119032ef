// Every wlanapi function the program calls, once: the one list from which the boundary's
// IWlanApi (WlanApi.h), the Windows loader's table and binding (platform/win32/src/WlanLoader.cpp),
// the failing test base (tests/support/.../FailingAreas.h), the simulated service's declarations
// and counted names (testing/notebook/wlan) and the Wine stand-in's exports and .def
// (testing/wine/wlanapi) are made. Adding a call means one entry here, its behaviour in the
// simulated service (SimWlanService.cpp) and that behaviour's test; the program's use of it is
// the change of the operation that needs it.
//
// TETHRA_WLAN_FUNCTIONS(X) calls X(Export, method, Result, (parameters), (arguments)) per
// function: the export's documented name, the boundary's method, its result (platform::Win32Error,
// or the memory functions' pointer and nothing), the parameters in the boundary's types (each
// the documented parameter's layout, checked in platform/win32/.../WlanTypes.h) and their names.
// The Wine build reads the export names from the lines starting `X(` (one entry per line start).
// Names only, no declarations: include after WlanApi.h's records.
#pragma once

// clang-format off
#define TETHRA_WLAN_FUNCTIONS(X)                                                                                      \
  X(WlanOpenHandle, wlanOpenHandle, platform::Win32Error,                                                             \
    (platform::Dword clientVersion, void* reserved, platform::Dword* negotiatedVersion, platform::Handle* clientHandle), \
    (clientVersion, reserved, negotiatedVersion, clientHandle))                                                       \
  /* Returns only after a running notification call has finished, and ends the registration. */                        \
  X(WlanCloseHandle, wlanCloseHandle, platform::Win32Error,                                                           \
    (platform::Handle clientHandle, void* reserved),                                                                  \
    (clientHandle, reserved))                                                                                         \
  X(WlanRegisterNotification, wlanRegisterNotification, platform::Win32Error,                                         \
    (platform::Handle clientHandle, platform::Dword notifSource, platform::Bool32 ignoreDuplicate,                    \
     platform::WlanNotificationCallbackFn callback, void* context, void* reserved, platform::Dword* prevNotifSource), \
    (clientHandle, notifSource, ignoreDuplicate, callback, context, reserved, prevNotifSource))                       \
  X(WlanHostedNetworkInitSettings, wlanHostedNetworkInitSettings, platform::Win32Error,                               \
    (platform::Handle clientHandle, std::uint32_t* failReason, void* reserved),                                       \
    (clientHandle, failReason, reserved))                                                                             \
  X(WlanHostedNetworkQueryProperty, wlanHostedNetworkQueryProperty, platform::Win32Error,                             \
    (platform::Handle clientHandle, std::uint32_t opCode, platform::Dword* dataSize, void** data,                     \
     std::uint32_t* valueType, void* reserved),                                                                       \
    (clientHandle, opCode, dataSize, data, valueType, reserved))                                                      \
  X(WlanHostedNetworkSetProperty, wlanHostedNetworkSetProperty, platform::Win32Error,                                 \
    (platform::Handle clientHandle, std::uint32_t opCode, platform::Dword dataSize, void* data,                       \
     std::uint32_t* failReason, void* reserved),                                                                      \
    (clientHandle, opCode, dataSize, data, failReason, reserved))                                                     \
  X(WlanHostedNetworkQueryStatus, wlanHostedNetworkQueryStatus, platform::Win32Error,                                 \
    (platform::Handle clientHandle, platform::WlanHostedNetworkStatus** status, void* reserved),                      \
    (clientHandle, status, reserved))                                                                                 \
  X(WlanHostedNetworkSetSecondaryKey, wlanHostedNetworkSetSecondaryKey, platform::Win32Error,                         \
    (platform::Handle clientHandle, platform::Dword keyLength, std::uint8_t* keyData, platform::Bool32 isPassPhrase,  \
     platform::Bool32 persistent, std::uint32_t* failReason, void* reserved),                                         \
    (clientHandle, keyLength, keyData, isPassPhrase, persistent, failReason, reserved))                               \
  X(WlanHostedNetworkQuerySecondaryKey, wlanHostedNetworkQuerySecondaryKey, platform::Win32Error,                     \
    (platform::Handle clientHandle, platform::Dword* keyLength, std::uint8_t** keyData,                               \
     platform::Bool32* isPassPhrase, platform::Bool32* persistent, std::uint32_t* failReason, void* reserved),       \
    (clientHandle, keyLength, keyData, isPassPhrase, persistent, failReason, reserved))                               \
  X(WlanHostedNetworkStartUsing, wlanHostedNetworkStartUsing, platform::Win32Error,                                   \
    (platform::Handle clientHandle, std::uint32_t* failReason, void* reserved),                                       \
    (clientHandle, failReason, reserved))                                                                             \
  X(WlanHostedNetworkStopUsing, wlanHostedNetworkStopUsing, platform::Win32Error,                                     \
    (platform::Handle clientHandle, std::uint32_t* failReason, void* reserved),                                       \
    (clientHandle, failReason, reserved))                                                                             \
  X(WlanHostedNetworkForceStop, wlanHostedNetworkForceStop, platform::Win32Error,                                     \
    (platform::Handle clientHandle, std::uint32_t* failReason, void* reserved),                                       \
    (clientHandle, failReason, reserved))                                                                             \
  X(WlanAllocateMemory, wlanAllocateMemory, void*,                                                                    \
    (platform::Dword size),                                                                                           \
    (size))                                                                                                           \
  X(WlanFreeMemory, wlanFreeMemory, void,                                                                             \
    (void* memory),                                                                                                   \
    (memory))
// clang-format on

// An entry's (arguments) without their parentheses, to pass them on after other arguments.
#define TETHRA_WLAN_ARGUMENTS(...) __VA_ARGS__
