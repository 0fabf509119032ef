// The scenario `tethra-sim` runs without a file.
#include "tethra/runner/Runner.h"

namespace tethra::simrunner {

const char* DefaultScenarioText() {
  return R"(# A LAN share on a notebook where everything works, closed by the controller: "Ethernet"
# is shared (public) onto the hosted network's own connection (private) while it runs, and
# sharing is off everywhere after the close.
command-line "/ShareLAN"

when notice: station join 00-1A-2B-3C-4D-5E
when after 2000 ms: station leave 00-1A-2B-3C-4D-5E
when after 1000 ms: controller writes Action "close"

expect exit 0
expect codes none
expect notices 1
expect notice-text "/ShareLAN"
expect registry "Current SSID" "TethraNet"
expect registry "Current Key" "tethra-secret"
expect registry "Action" "close"
expect wlan max-peers 10
expect status "The hosted network is active"
expect log "Started using hosted Network."
expect controller hidden
expect window hidden
expect ics calls enable-private 1
expect ics calls enable-public 1
expect log "Successfully disabled ICS."
expect sharing none
)";
}

}  // namespace tethra::simrunner
