// Control requests and state lines of the simulated mobile hotspot.
#include "tethra/scenario/HotspotControl.h"

#include "tethra/scenario/Text.h"

namespace tethra::simrunner {
namespace {
std::string TimeoutWord(const std::optional<bool>& setting) {
  return setting ? (*setting ? "on" : "off") : "absent";
}
}  // namespace

std::string HotspotRequestLine(const HotspotRequest& request) {
  switch (request.kind) {
    case HotspotRequest::Kind::TransitionThenOff:
      return "transition-then-off " + std::to_string(request.ms) + (request.told ? " told" : " untold");
    case HotspotRequest::Kind::TurnOff:
      return request.told ? "off told" : "off untold";
    case HotspotRequest::Kind::NetworkChange:
      return "network-change";
    case HotspotRequest::Kind::ClientJoin:
      return "client join";
    case HotspotRequest::Kind::ClientLeave:
      return "client leave";
  }
  return {};
}

bool ParseHotspotRequest(std::string_view line, HotspotRequest& request, std::string& why) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::string whole(line);
  for (const HotspotRequest simple :
       {HotspotRequest{HotspotRequest::Kind::TurnOff, 0, true}, HotspotRequest{HotspotRequest::Kind::TurnOff, 0, false},
        HotspotRequest{HotspotRequest::Kind::NetworkChange}, HotspotRequest{HotspotRequest::Kind::ClientJoin},
        HotspotRequest{HotspotRequest::Kind::ClientLeave}}) {
    if (line == HotspotRequestLine(simple)) {
      request = simple;
      return true;
    }
  }
  constexpr std::string_view kTransition = "transition-then-off ";
  bool told = true;
  if (line.size() > 5 && line.substr(line.size() - 5) == " told") {
    line.remove_suffix(5);
  } else if (line.size() > 7 && line.substr(line.size() - 7) == " untold") {
    line.remove_suffix(7);
    told = false;
  } else {
    line = {};  // a transition says whether it is told
  }
  if (line.substr(0, kTransition.size()) == kTransition) {
    const std::string_view digits = line.substr(kTransition.size());
    std::uint32_t ms = 0;
    bool ok = !digits.empty() && digits.size() <= 6;
    for (const char ch : digits) {
      if (ch < '0' || ch > '9') ok = false;
      if (ok) ms = ms * 10 + static_cast<std::uint32_t>(ch - '0');
    }
    if (ok && ms > 0) {
      request.kind = HotspotRequest::Kind::TransitionThenOff;
      request.ms = ms;
      request.told = told;
      return true;
    }
  }
  why = "not a hotspot request: " + whole;
  return false;
}

void ApplyToHotspot(const HotspotRequest& request, sim::SimHotspotService& hotspot) {
  switch (request.kind) {
    case HotspotRequest::Kind::TurnOff:
      hotspot.machineTurnOff(request.told);
      break;
    case HotspotRequest::Kind::NetworkChange:
      hotspot.machineNetworkChange();
      break;
    case HotspotRequest::Kind::ClientJoin:
      hotspot.machineClientJoin();
      break;
    case HotspotRequest::Kind::ClientLeave:
      hotspot.machineClientLeave();
      break;
    case HotspotRequest::Kind::TransitionThenOff:
      hotspot.machineTransitionThenOff(request.ms, request.told);
      break;
  }
}

std::string HotspotNowLine(const sim::SimHotspotService& hotspot) {
  const platform::AccessPointConfig config = hotspot.config();
  return "now hotspot state " + sim::TetheringStateName(hotspot.state()) + " ssid " + Quote(config.ssid) + " key " +
         Quote(config.passphrase) + " clients " + std::to_string(hotspot.clients()) + " band " +
         (config.band ? sim::TetheringBandName(*config.band) : "absent") + " authentication " +
         (config.authentication ? sim::TetheringAuthenticationName(*config.authentication) : "absent") +
         " timeout " + TimeoutWord(hotspot.noConnectionsTimeout()) +
         (hotspot.stopRefused() ? " stop-refused" : "") + (hotspot.leftInFlight() ? " left-in-flight" : "");
}

}  // namespace tethra::simrunner
