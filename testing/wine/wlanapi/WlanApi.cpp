// wlanapi.dll of the simulated WLAN service: the documented wlanapi exports, each served by
// the process's SimWlanDll (WlanDll.h: where its machine comes from, its log, its
// notification thread and its control pipe), so that tethra.exe runs end to end through its
// normal run-time binding.
//
// Buffers handed out belong to the caller (WlanFreeMemory). Threads: any. Results are the
// service's Win32 codes: 0, 6 unknown handle, 50 hosted network not supported, 87 bad
// argument, 5023 wrong state, or the code of the scenario's `fault wlan` rule.
#include <type_traits>

#include "ComSecurityWatch.h"
#include "DialogWatch.h"
#include "RegistrationWatch.h"
#include "WlanDll.h"
#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/wine/WlanLink.h"
#include "tethra/win32/WlanTypes.h"

namespace {

namespace platform = tethra::platform;
namespace sim = tethra::sim;
using namespace tethra::win32::wlan;

using tethra::tools::CallbackTarget;
using tethra::tools::SimWlanDll;

void Relay(platform::WlanNotificationData* data, void* raw) {
  const auto* target = static_cast<const CallbackTarget*>(raw);
  // The service calls back with its lock released: the program's own code runs outside it.
  const auto program = SimWlanDll::instance().leave();
  target->callback(reinterpret_cast<WLAN_NOTIFICATION_DATA*>(data), target->context);
}

platform::Dword* P(DWORD* value) { return reinterpret_cast<platform::Dword*>(value); }
std::uint32_t* P(WLAN_HOSTED_NETWORK_REASON* reason) { return reinterpret_cast<std::uint32_t*>(reason); }

// Runs one service call and lets its notifications go once it has returned. The exports give
// the service's error codes back as the DWORDs of the API.
template <typename Call>
auto Serve(Call call) {
  SimWlanDll& dll = SimWlanDll::instance();
  const auto result = [&] {
    const auto inside = dll.enter();
    const auto value = call(dll.service());
    dll.afterCall();
    return value;
  }();
  // The program's calls come from the dialog's thread too: the first one there starts the watch.
  tethra::tools::WatchDialog([&dll](const std::string& line) { dll.write(line); });
  tethra::tools::WatchMessageBoxes([&dll](const std::string& line) { dll.write(line); });
  if constexpr (std::is_same_v<std::remove_const_t<decltype(result)>, platform::Win32Error>) {
    return static_cast<DWORD>(platform::Raw(result));
  } else {
    return result;
  }
}

}  // namespace

extern "C" {


DWORD WINAPI SimWlanOpenHandle(DWORD clientVersion, PVOID reserved, PDWORD negotiatedVersion, PHANDLE clientHandle) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanOpenHandle(clientVersion, reserved, P(negotiatedVersion), clientHandle);
  });
}

DWORD WINAPI SimWlanCloseHandle(HANDLE clientHandle, PVOID reserved) {
  const DWORD result = Serve([&](sim::SimWlanService& s) { return s.wlanCloseHandle(clientHandle, reserved); });
  if (result == ERROR_SUCCESS) SimWlanDll::instance().forgetTargets(clientHandle);
  return result;
}

DWORD WINAPI SimWlanRegisterNotification(HANDLE clientHandle, DWORD notifSource, BOOL ignoreDuplicate,
                                         WlanNotificationCallback callback, PVOID context, PVOID reserved,
                                         PDWORD prevNotifSource) {
  SimWlanDll& dll = SimWlanDll::instance();
  platform::WlanNotificationCallbackFn relay = nullptr;
  PVOID target = context;
  if (callback != nullptr) {
    relay = &Relay;
    target = dll.keepTarget(clientHandle, callback, context);
  }
  const DWORD result = Serve([&](sim::SimWlanService& s) {
    return s.wlanRegisterNotification(clientHandle, notifSource, ignoreDuplicate, relay, target, reserved,
                                      P(prevNotifSource));
  });
  if (result != ERROR_SUCCESS && callback != nullptr) dll.dropTarget(clientHandle, target);
  return result;
}

DWORD WINAPI SimWlanHostedNetworkInitSettings(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                              PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkInitSettings(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQueryProperty(HANDLE clientHandle, WLAN_HOSTED_NETWORK_OPCODE opCode,
                                               PDWORD dataSize, PVOID* data, WLAN_OPCODE_VALUE_TYPE* valueType,
                                               PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQueryProperty(clientHandle, static_cast<std::uint32_t>(opCode), P(dataSize), data,
                                            reinterpret_cast<std::uint32_t*>(valueType), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkSetProperty(HANDLE clientHandle, WLAN_HOSTED_NETWORK_OPCODE opCode, DWORD dataSize,
                                             PVOID data, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkSetProperty(clientHandle, static_cast<std::uint32_t>(opCode), dataSize, data,
                                          P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQueryStatus(HANDLE clientHandle, WLAN_HOSTED_NETWORK_STATUS** status,
                                             PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQueryStatus(clientHandle, reinterpret_cast<platform::WlanHostedNetworkStatus**>(status),
                                          reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkSetSecondaryKey(HANDLE clientHandle, DWORD keyLength, PUCHAR keyData,
                                                 BOOL isPassPhrase, BOOL persistent,
                                                 WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkSetSecondaryKey(clientHandle, keyLength, keyData, isPassPhrase, persistent,
                                              P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQuerySecondaryKey(HANDLE clientHandle, PDWORD keyLength, PUCHAR* keyData,
                                                   PBOOL isPassPhrase, PBOOL persistent,
                                                   WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQuerySecondaryKey(clientHandle, P(keyLength), keyData, isPassPhrase, persistent,
                                                P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkStartUsing(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                            PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkStartUsing(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkStopUsing(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                           PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkStopUsing(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkForceStop(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                           PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkForceStop(clientHandle, P(failReason), reserved);
  });
}

PVOID WINAPI SimWlanAllocateMemory(DWORD size) {
  return Serve([&](sim::SimWlanService& s) { return s.wlanAllocateMemory(size); });
}

VOID WINAPI SimWlanFreeMemory(PVOID memory) {
  SimWlanDll& dll = SimWlanDll::instance();
  const auto inside = dll.enter();
  dll.service().wlanFreeMemory(memory);
}

// --- Private: for the other planted services of this process (tools/common/wlan_link.h) --------

BOOL WINAPI SimWlanHostedNetworkState(DWORD* state) {
  SimWlanDll* dll = SimWlanDll::IfMade();
  if (dll == nullptr || state == nullptr) return FALSE;  // never reached: the machine's start state
  const auto inside = dll->enter();
  *state = dll->service().state();
  return TRUE;
}

BOOL WINAPI SimWlanVirtualAdapter(BOOL* present, BOOL* startedSincePresent) {
  SimWlanDll* dll = SimWlanDll::IfMade();
  if (dll == nullptr || present == nullptr || startedSincePresent == nullptr) return FALSE;
  const auto inside = dll->enter();
  *present = dll->service().virtualAdapterPresent() ? TRUE : FALSE;
  *startedSincePresent = dll->service().startedSinceAdapterPresent() ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI SimComSecurityForSharing(BOOL* forSharing) {
  if (forSharing == nullptr || !tethra::tools::ComSecurityWatchState().empty()) return FALSE;  // not watched
  *forSharing = tethra::tools::ComSecurityForSharing() ? TRUE : FALSE;
  return TRUE;
}

VOID WINAPI SimWlanProcessEnded() {
  if (SimWlanDll* dll = SimWlanDll::IfMade()) dll->processEnded();
}

// Loaded, at the program's start: its device registrations and its COM security call are watched
// from before its first.
// The process ends (not a FreeLibrary: the program never unloads the WLAN library, and the
// handles stay open while it runs): its handles are closed as the system closes them.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    tethra::tools::WatchDeviceRegistrations();
    tethra::tools::WatchComSecurity();
  }
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr) SimWlanProcessEnded();
  return TRUE;
}

}  // extern "C"

// The exports have exactly the signatures the program binds (and the documentation gives).
static_assert(std::is_same_v<decltype(&SimWlanOpenHandle), PfnWlanOpenHandle>);
static_assert(std::is_same_v<decltype(&SimWlanCloseHandle), PfnWlanCloseHandle>);
static_assert(std::is_same_v<decltype(&SimWlanRegisterNotification), PfnWlanRegisterNotification>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkInitSettings), PfnWlanHostedNetworkInitSettings>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkQueryProperty), PfnWlanHostedNetworkQueryProperty>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkSetProperty), PfnWlanHostedNetworkSetProperty>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkQueryStatus), PfnWlanHostedNetworkQueryStatus>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkSetSecondaryKey), PfnWlanHostedNetworkSetSecondaryKey>);
static_assert(
    std::is_same_v<decltype(&SimWlanHostedNetworkQuerySecondaryKey), PfnWlanHostedNetworkQuerySecondaryKey>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkStartUsing), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkStopUsing), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkForceStop), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanAllocateMemory), PfnWlanAllocateMemory>);
static_assert(std::is_same_v<decltype(&SimWlanFreeMemory), PfnWlanFreeMemory>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkState), tethra::tools::PlantedWlanStateFn>);
static_assert(std::is_same_v<decltype(&SimWlanVirtualAdapter), tethra::tools::PlantedVirtualAdapterFn>);
static_assert(std::is_same_v<decltype(&SimComSecurityForSharing), tethra::tools::PlantedComSecurityFn>);
static_assert(std::is_same_v<decltype(&SimWlanProcessEnded), tethra::tools::PlantedWlanEndFn>);
