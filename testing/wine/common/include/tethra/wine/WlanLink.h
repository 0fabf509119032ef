// What the planted wlanapi.dll offers the other planted services of its process beyond the
// documented exports. On the simulated notebook one machine holds both services, and the
// sharing service lists the hosted network's connection only while the hosted network is active
// (docs/sharing-contract.md, item 1). Under Wine the WLAN service lives in wlanapi.dll inside the
// program's process, so simsharing.dll asks it there, directly and at once, through a private
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

// Settles the end of the process in the WLAN service before a check that depends on it.
inline void EndPlantedWlan() {
  if (const auto end = detail::PlantedWlanExport<PlantedWlanEndFn>("SimWlanProcessEnded")) end();
}

}  // namespace tethra::tools
