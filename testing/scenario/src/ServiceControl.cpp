// Control requests and state lines of the simulated WLAN service.
#include "tethra/scenario/ServiceControl.h"

#include <utility>
#include <vector>

#include "tethra/scenario/Text.h"

namespace tethra::simrunner {

using sim::text::Utf8ToUtf16;

namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool Unsigned(std::string_view word, std::uint32_t& value) {
  std::int64_t number = 0;
  if (!ParseNumber(word, number) || number < 0 || number > 0xFFFFFFFF) return false;
  value = static_cast<std::uint32_t>(number);
  return true;
}

bool State(std::string_view word, std::uint32_t& state) { return Unsigned(word, state) && state <= 2; }

}  // namespace

bool ParseControlRequest(std::string_view line, ControlRequest& request, std::string& why) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  request = ControlRequest{};
  // The interface name is the rest of the line, taken as written (blanks included).
  if (line.starts_with("device ")) {
    std::string_view rest = line.substr(7);
    request.kind = ControlRequest::Kind::Device;
    if (rest.starts_with("removed ")) {
      request.removed = true;
      rest.remove_prefix(8);
    } else if (rest.starts_with("arrived ")) {
      rest.remove_prefix(8);
    } else {
      why = "device takes removed or arrived, then the interface name";
      return false;
    }
    request.text = Utf8ToUtf16(rest);
    return true;
  }
  const std::vector<std::string_view> w = Words(line);
  if (w.empty()) {
    why = "empty request";
    return false;
  }
  if (w[0] == "state") {
    request.kind = ControlRequest::Kind::State;
    if (w.size() == 4 && State(w[1], request.oldState) && State(w[2], request.newState) &&
        Unsigned(w[3], request.reason)) {
      return true;
    }
    why = "state takes OLD NEW REASON (states 0, 1 or 2)";
    return false;
  }
  if (w[0] == "notify-raw") {
    request.kind = ControlRequest::Kind::NotifyRaw;
    if (w.size() == 3 && Unsigned(w[1], request.code) && Unsigned(w[2], request.size)) return true;
    why = "notify-raw takes CODE SIZE";
    return false;
  }
  if (w[0] == "join" || w[0] == "leave") {
    request.kind = w[0] == "join" ? ControlRequest::Kind::Join : ControlRequest::Kind::Leave;
    if (w.size() == 2 && ParseMac(w[1], request.mac)) return true;
    why = std::string(w[0]) + " takes a MAC address (00-1A-2B-3C-4D-5E)";
    return false;
  }
  // Requests without arguments: the machine's own events.
  constexpr std::pair<std::string_view, ControlRequest::Kind> kBare[] = {
      {"forced-start", ControlRequest::Kind::ForcedStart},
      {"radio-off", ControlRequest::Kind::RadioOff},
      {"adapter-disabled", ControlRequest::Kind::AdapterDisabled},
      {"sleep", ControlRequest::Kind::Sleep},
  };
  for (const auto& [name, kind] : kBare) {
    if (w[0] != name) continue;
    request.kind = kind;
    if (w.size() == 1) return true;
    why = std::string(name) + " takes nothing";
    return false;
  }
  why = "unknown request " + std::string(w[0]);
  return false;
}

bool ApplyToWlan(const ControlRequest& request, sim::SimWlanService& wlan, std::string& why) {
  switch (request.kind) {
    case ControlRequest::Kind::State:
      if (wlan.machineSetStateChecked(request.oldState, request.newState, request.reason)) return true;
      why = StateRefusal(wlan.state());
      return false;
    case ControlRequest::Kind::NotifyRaw:
      wlan.machineNotifyRaw(request.code, request.size);
      return true;
    case ControlRequest::Kind::Join:
      wlan.machineStationJoin(request.mac);
      return true;
    case ControlRequest::Kind::Leave:
      wlan.machineStationLeave(request.mac);
      return true;
    case ControlRequest::Kind::ForcedStart:
      wlan.restart();  // a network that cannot start stays as it is, as after a real netsh
      return true;
    case ControlRequest::Kind::RadioOff:
      wlan.machineRadioOff();
      return true;
    case ControlRequest::Kind::AdapterDisabled:
      wlan.machineAdapterDisabled();
      return true;
    case ControlRequest::Kind::Sleep:
      wlan.machineSleep();
      return true;
    case ControlRequest::Kind::Device:
      break;
  }
  why = "not a WLAN service request";
  return false;
}

namespace {
constexpr std::string_view kNotInState = "not done, the hosted network is ";
}  // namespace

std::string StateRefusal(std::uint32_t state) {
  return std::string(kNotInState) + sim::SimWlanService::stateName(state);
}

std::optional<std::string> RefusedInState(std::string_view answer) {
  constexpr std::string_view kError = "error ";
  if (!answer.starts_with(kError)) return std::nullopt;
  answer.remove_prefix(kError.size());
  if (!answer.starts_with(kNotInState)) return std::nullopt;
  answer.remove_prefix(kNotInState.size());
  if (answer != "unavailable" && answer != "idle" && answer != "active") return std::nullopt;
  return std::string(answer);
}

std::string WlanNowLine(const sim::SimWlanService& wlan) {
  const auto key = wlan.keyText();
  std::string line = "now state " + sim::SimWlanService::stateName(wlan.state());
  line += " ssid " + Quote(wlan.ssidText());
  line += " key ";
  line += key ? Quote(*key) : "none";
  line += " max-peers " + std::to_string(wlan.maxPeers());
  return line;
}

}  // namespace tethra::simrunner
