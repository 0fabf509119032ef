// The simulated WLAN service as a test's tools see it from outside the program's process: the
// requests of its control pipe (the machine's timeline actions) and the `now` line its log
// carries whenever its state, name, key or peer limit changed. Portable, so the Windows DLL
// that serves the pipe and the Linux tests use one reader and one formatter.
// Pure functions apart from ApplyToWlan, which calls the service's machine actions (any
// thread that may call them). No codes: a refused request comes back as false and a reason.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::simrunner {

struct ControlRequest {
  enum class Kind { State, NotifyRaw, Join, Leave, Device, NetshRestart } kind = Kind::State;
  std::uint32_t oldState = 0, newState = 0, reason = 0;  // State
  std::uint32_t code = 0, size = 0;                      // NotifyRaw
  std::array<std::uint8_t, 6> mac{};                     // Join, Leave
  bool removed = false;                                  // Device: removed, else arrived
  std::u16string text;                                   // Device: the interface name
};

// One request line (UTF-8, without its '\n'). False with the reason in `why` when malformed.
bool ParseControlRequest(std::string_view line, ControlRequest& request, std::string& why);

// Performs a request on the service; a Device request is not the service's (false).
bool ApplyToWlan(const ControlRequest& request, sim::SimWlanService& wlan);

// `now state STATE ssid "TEXT" key "TEXT"|none max-peers N`, texts quoted as in scenario
// files; the key is `none` when the service holds no passphrase (as `expect wlan key` sees it).
std::string WlanNowLine(const sim::SimWlanService& wlan);

}  // namespace tethra::simrunner
