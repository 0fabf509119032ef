// The simulated mobile hotspot as a test's tools see it from outside the program's process: the
// requests of simhotspot.dll's control pipe (the machine's timeline actions) and the `now` line
// its log carries whenever the hotspot's state, name, key or clients changed. Portable, so the
// Windows DLL, the stand-in controller and the Linux tests share one reader and one formatter.
// Pure functions apart from ApplyToHotspot, which runs the service's machine actions (any
// thread that may call them). No codes: a refused request comes back as false and a reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tethra/sim/Faults.h"
#include "tethra/sim/hotspot/SimHotspotService.h"

namespace tethra::simrunner {

struct HotspotRequest {
  enum class Kind { TurnOff, NetworkChange, ClientJoin, ClientLeave, TransitionThenOff } kind = Kind::TurnOff;
  std::uint32_t ms = 0;  // TransitionThenOff: how long in transition
  bool told = true;  // TurnOff, TransitionThenOff: the network status notification tells of it
};

// The request line of each action: `off told|untold`, `network-change`, `client join`,
// `client leave`, `transition-then-off MS told|untold`.
std::string HotspotRequestLine(const HotspotRequest& request);

// One request line (without its '\n'). False with the reason in `why` when it is none of them.
bool ParseHotspotRequest(std::string_view line, HotspotRequest& request, std::string& why);

void ApplyToHotspot(const HotspotRequest& request, sim::SimHotspotService& hotspot);

// `now hotspot state STATE ssid "TEXT" key "TEXT" clients N band B authentication A timeout T
// [stop-refused] [left-in-flight]`, texts quoted as in scenario files, `absent` for a field or
// setting the system lacks; `stop-refused` when the hotspot is on because the system refused the
// last stop; `left-in-flight` once an operation of the program's has outlasted its process.
std::string HotspotNowLine(const sim::SimHotspotService& hotspot);

}  // namespace tethra::simrunner
