// What the planted wlanapi.dll offers the other planted services of its process beyond the
// documented exports. On the simulated notebook one machine holds both services, and the
// sharing service keeps the hosted network's connection with its virtual adapter and lists RAS
// connections only to a process that set COM security (docs/sharing-contract.md). Under Wine the
// WLAN service lives in wlanapi.dll inside the program's process, so simsharing.dll asks it
// there (the virtual adapter; the program's CoInitializeSecurity, which that DLL watches),
// directly and at once, through a private
// export found with GetModuleHandle and GetProcAddress: the control pipe is the outside world's
// way in, serves one request at a time on one thread and would have a sharing call on the
// program's thread wait behind the controller's requests. Header only.
//
// Threads: any. Codes: none; a process without the planted wlanapi.dll (Wine's own, or none
// loaded) answers nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace tethra::tools {

// TRUE with the hosted network's state; FALSE when the service was never reached.
using PlantedWlanStateFn = BOOL(WINAPI*)(DWORD* state);
// TRUE with whether the virtual adapter exists and the hosted network has run since it appeared;
// FALSE when the service was never reached.
using PlantedVirtualAdapterFn = BOOL(WINAPI*)(BOOL* present, BOOL* startedSincePresent);
// TRUE with whether the program set COM security with the ICS pages' levels; FALSE when its
// CoInitializeSecurity is not watched.
using PlantedComSecurityFn = BOOL(WINAPI*)(BOOL* forSharing);
// The process has ended: its handles are closed as the system closes them (idempotent).
using PlantedWlanEndFn = VOID(WINAPI*)();

namespace detail {
template <typename Fn>
Fn PlantedWlanExport(const char* name) {
  const HMODULE wlan = ::GetModuleHandleW(L"wlanapi.dll");
  if (wlan == nullptr) return nullptr;
  // GetProcAddress hands back a generic function pointer; void(*)() converts without a warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(wlan, name)));
}
}  // namespace detail

// The hosted network's state now, or nothing when this process's WLAN service was never reached
// (it then still holds the machine's start state) or is not the planted one.
inline std::optional<std::uint32_t> PlantedWlanState() {
  const auto state = detail::PlantedWlanExport<PlantedWlanStateFn>("SimWlanHostedNetworkState");
  DWORD value = 0;
  if (state == nullptr || !state(&value)) return std::nullopt;
  return value;
}

struct PlantedAdapter {
  bool present;
  bool startedSincePresent;
};
// The virtual adapter now, or nothing when this process's WLAN service was never reached.
inline std::optional<PlantedAdapter> PlantedVirtualAdapter() {
  const auto adapter = detail::PlantedWlanExport<PlantedVirtualAdapterFn>("SimWlanVirtualAdapter");
  BOOL present = FALSE;
  BOOL started = FALSE;
  if (adapter == nullptr || !adapter(&present, &started)) return std::nullopt;
  return PlantedAdapter{present != FALSE, started != FALSE};
}

// Whether the program's CoInitializeSecurity (watched by the planted WLAN DLL) set the levels the
// ICS pages ask for; false when it is not watched.
inline bool PlantedComSecurityForSharing() {
  const auto security = detail::PlantedWlanExport<PlantedComSecurityFn>("SimComSecurityForSharing");
  BOOL forSharing = FALSE;
  return security != nullptr && security(&forSharing) && forSharing != FALSE;
}

// Settles the end of the process in the WLAN service before a check that depends on it.
inline void EndPlantedWlan() {
  if (const auto end = detail::PlantedWlanExport<PlantedWlanEndFn>("SimWlanProcessEnded")) end();
}

}  // namespace tethra::tools
