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
  target->callback(data, target->context);
}

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

// What the export of the boundary's `Method` does: serve the same call on the service. Three
// exports do more (below).
template <auto Method>
struct Served {
  template <typename... Arguments>
  static auto Call(Arguments... arguments) {
    return Serve([&](sim::SimWlanService& s) { return (s.*Method)(arguments...); });
  }
};

// A closed handle's callback records go with it.
template <>
struct Served<&platform::IWlanApi::wlanCloseHandle> {
  static DWORD Call(platform::Handle clientHandle, void* reserved) {
    const DWORD result = Serve([&](sim::SimWlanService& s) { return s.wlanCloseHandle(clientHandle, reserved); });
    if (result == ERROR_SUCCESS) SimWlanDll::instance().forgetTargets(clientHandle);
    return result;
  }
};

// The service calls the relay, which leaves the service before it calls the program.
template <>
struct Served<&platform::IWlanApi::wlanRegisterNotification> {
  static DWORD Call(platform::Handle clientHandle, platform::Dword notifSource, platform::Bool32 ignoreDuplicate,
                    platform::WlanNotificationCallbackFn callback, void* context, void* reserved,
                    platform::Dword* prevNotifSource) {
    SimWlanDll& dll = SimWlanDll::instance();
    platform::WlanNotificationCallbackFn relay = nullptr;
    PVOID target = context;
    if (callback != nullptr) {
      relay = &Relay;
      target = dll.keepTarget(clientHandle, callback, context);
    }
    const DWORD result = Serve([&](sim::SimWlanService& s) {
      return s.wlanRegisterNotification(clientHandle, notifSource, ignoreDuplicate, relay, target, reserved,
                                        prevNotifSource);
    });
    if (result != ERROR_SUCCESS && callback != nullptr) dll.dropTarget(clientHandle, target);
    return result;
  }
};

// Freeing queues nothing and is no call of the dialog's to watch.
template <>
struct Served<&platform::IWlanApi::wlanFreeMemory> {
  static void Call(void* memory) {
    SimWlanDll& dll = SimWlanDll::instance();
    const auto inside = dll.enter();
    dll.service().wlanFreeMemory(memory);
  }
};

}  // namespace

// The exports count the list's functions as the generated .def does: an entry the build did not
// read from WlanFunctions.h would be an export missing from the DLL.
static_assert(tethra::sim::kSimWlanFunctions.size() == TETHRA_WLAN_DEF_EXPORTS);

extern "C" {

// One export per function of the list, with the type the program binds (WlanTypes.h), exported
// under the documented name by the .def the build makes from the same list.
#define TETHRA_SIM_WLAN_EXPORT(Name, method, Result, Parameters, Arguments)                  \
  tethra::win32::wlan::NativeResult<Result>::type WINAPI Sim##Name Parameters {              \
    return Served<&platform::IWlanApi::method>::Call Arguments;                               \
  }
TETHRA_WLAN_FUNCTIONS(TETHRA_SIM_WLAN_EXPORT)
#undef TETHRA_SIM_WLAN_EXPORT

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

// The private exports have the types their callers bind (tools/common/wlan_link.h).
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkState), tethra::tools::PlantedWlanStateFn>);
static_assert(std::is_same_v<decltype(&SimWlanVirtualAdapter), tethra::tools::PlantedVirtualAdapterFn>);
static_assert(std::is_same_v<decltype(&SimComSecurityForSharing), tethra::tools::PlantedComSecurityFn>);
static_assert(std::is_same_v<decltype(&SimWlanProcessEnded), tethra::tools::PlantedWlanEndFn>);
