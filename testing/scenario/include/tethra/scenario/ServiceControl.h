// The simulated WLAN service as a test's tools see it from outside the program's process: the
// requests of its control pipe (the machine's timeline actions) and the `now` line its log
// carries whenever its state, name, key or peer limit changed. Portable, so the Windows DLL
// that serves the pipe and the Linux tests use one reader and one formatter.
// Pure functions apart from ApplyToWlan, which calls the service's machine actions (any
// thread that may call them). No codes: a refused request comes back as false and a reason.
//
// A state change names the state it starts from; the service makes it only from that state
// (a change from another is not one Windows tells), and the refusal names the state it is in,
// so that the controller can fail the run as tethra-sim does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::simrunner {

struct ControlRequest {
  enum class Kind {
    State,
    NotifyRaw,
    Join,
    Leave,
    Device,
    ForcedStart,      // `netsh wlan start hostednetwork`, the program's own shell or someone else's
    RadioOff,
    AdapterDisabled,
    Sleep,            // the machine sleeps (after the suspend broadcast)
  } kind = Kind::State;
  std::uint32_t oldState = 0, newState = 0, reason = 0;  // State
  std::uint32_t code = 0, size = 0;                      // NotifyRaw
  std::array<std::uint8_t, 6> mac{};                     // Join, Leave
  bool removed = false;                                  // Device: removed, else arrived
  std::u16string text;                                   // Device: the interface name
};

// One request line (UTF-8, without its '\n'). False with the reason in `why` when malformed.
bool ParseControlRequest(std::string_view line, ControlRequest& request, std::string& why);

// Performs a request on the service. False with the reason in `why` for a Device request (not
// the service's) and for a state change from a state the service is not in (StateRefusal).
bool ApplyToWlan(const ControlRequest& request, sim::SimWlanService& wlan, std::string& why);

// The reason a state change is refused with, naming the state the service is in ("idle"), and
// that state read back from a control answer ("error " and the reason); nothing for any other.
std::string StateRefusal(std::uint32_t state);
std::optional<std::string> RefusedInState(std::string_view answer);

// `now state STATE ssid "TEXT" key "TEXT"|none max-peers N`, texts quoted as in scenario
// files; the key is `none` when the service holds no passphrase (as `expect wlan key` sees it).
std::string WlanNowLine(const sim::SimWlanService& wlan);

}  // namespace tethra::simrunner
