// The expectations of a scenario against what a runner saw.
#include <algorithm>
#include <functional>
#include <string_view>

#include "tethra/scenario/Observation.h"
#include "tethra/scenario/Text.h"
#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::simrunner {

namespace {

std::string BandWord(const std::optional<platform::TetheringBand>& band) {
  return band ? sim::TetheringBandName(*band) : "absent";
}
std::string TimeoutWord(const std::optional<bool>& setting) {
  return setting ? (*setting ? "on" : "off") : "absent";
}
std::string AuthenticationWord(const std::optional<platform::TetheringAuthentication>& kind) {
  return kind ? sim::TetheringAuthenticationName(*kind) : "absent";
}


std::string CodesText(const std::vector<std::u16string>& codes) {
  if (codes.empty()) return "none";
  return JoinText(codes, " ", [](const std::u16string& code) { return Quote(code); });
}

bool EndsWith(const std::u16string& line, const std::u16string& text) {
  return line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0;
}

using Kind = Expectation::Kind;

// The first text an expectation names (none: empty).
std::u16string First(const Expectation& e) { return e.texts.empty() ? u"" : e.texts.front(); }

// A count of calls a service kept (none when it was never reached) against the number wanted.
bool CallsHeld(const std::function<std::uint64_t(std::string_view)>& calls, const Expectation& e,
               std::string& found) {
  const std::uint64_t count = calls ? calls(e.word) : 0;
  found = std::to_string(count) + " calls";
  return static_cast<std::int64_t>(count) == e.number;
}

// The program's end, status codes, notices, wake-ups, netsh runs and settings.
bool ProgramHolds(const Expectation& e, const Observation& seen, std::string& found) {
  const std::u16string first = First(e);
  if (e.kind == Kind::Exit) {
    found = seen.exitCode ? "exit code " + std::to_string(*seen.exitCode) : "still running";
    return seen.exitCode && static_cast<std::int64_t>(*seen.exitCode) == e.number;
  }
  if (e.kind == Kind::Running) {
    found = seen.exitCode ? "exited with " + std::to_string(*seen.exitCode) : "running";
    return !seen.exitCode;
  }
  if (e.kind == Kind::Codes) {
    found = CodesText(seen.codes);
    return seen.codes == e.texts;
  }
  if (e.kind == Kind::Notices) {
    found = std::to_string(seen.notices.size()) + " notices";
    return static_cast<std::int64_t>(seen.notices.size()) == e.number;
  }
  if (e.kind == Kind::NoticeText) {
    found = CodesText(seen.notices);
    return std::all_of(seen.notices.begin(), seen.notices.end(), [&](const auto& n) { return n == first; });
  }
  if (e.kind == Kind::WakeUps) {
    if (!seen.wakeUps) {
      found = "wake-ups are not counted on this machine";
      return false;
    }
    found = std::to_string(*seen.wakeUps) + " wake-ups";
    return static_cast<std::int64_t>(*seen.wakeUps) == e.number;
  }
  if (e.kind == Kind::NetshRuns) {
    found = std::to_string(seen.netshRuns) + " runs";
    return seen.netshRuns == e.number;
  }
  // Registry, RegistryAbsent
  const auto value = seen.setting ? seen.setting(first) : std::nullopt;
  found = value ? Quote(*value) : "absent";
  return e.kind == Kind::Registry ? (value && *value == e.texts[1]) : !value;
}

// Log, NoLog, LogOrder.
bool LogHolds(const Expectation& e, const Observation& seen, std::string& found) {
  const std::vector<std::u16string>& log = seen.logLines;
  found = std::to_string(log.size()) + " log lines";
  if (e.kind == Kind::LogOrder) {
    // Consecutive log lines ending with the texts, in this order, somewhere in the log.
    for (std::size_t i = 0; i + e.texts.size() <= log.size(); ++i) {
      bool all = true;
      for (std::size_t j = 0; all && j < e.texts.size(); ++j) all = EndsWith(log[i + j], e.texts[j]);
      if (all) return true;
    }
    return false;
  }
  const std::u16string text = First(e);
  bool ends = false, contains = false;
  for (const auto& l : log) {
    ends = ends || EndsWith(l, text);
    if (l.find(text) != std::u16string::npos) {
      contains = true;
      found += "; " + Quote(l);
    }
  }
  return e.kind == Kind::Log ? ends : !contains;
}

// The controller's and the program's windows, and the texts of the dialog's controls.
bool WindowHolds(const Expectation& e, const Observation& seen, std::string& found) {
  if (e.kind == Kind::ControllerHidden) {
    found = !seen.controllerWindow ? "no controller window" : (seen.controllerVisible ? "visible" : "hidden");
    return seen.controllerWindow && !seen.controllerVisible;
  }
  if (e.kind == Kind::WindowHidden) {
    found = !seen.programWindow ? "no program window" : (seen.programVisible ? "visible" : "hidden");
    return seen.programWindow && !seen.programVisible;
  }
  if (e.kind == Kind::WindowNone) {
    found = seen.programWindow ? "the program made its window" : "no program window";
    return !seen.programWindow;
  }
  // EditName, EditKey, Status
  const auto it = seen.controls.find(e.controlId);
  found = it != seen.controls.end() ? Quote(it->second) : "no program window";
  return it != seen.controls.end() && it->second == First(e);
}

bool WlanHolds(const Expectation& e, const Observation& seen, std::string& found) {
  if (e.kind == Kind::WlanCalls) return CallsHeld(seen.wlanCalls, e, found);
  if (!seen.wlan) {
    found = "the WLAN service was never reached";
    return false;
  }
  const Observation::Wlan& w = *seen.wlan;
  if (e.kind == Kind::WlanState) {
    found = sim::SimWlanService::stateName(w.state);
    return w.state == static_cast<std::uint32_t>(e.number);
  }
  if (e.kind == Kind::WlanSsid) {
    found = Quote(w.ssid);
    return w.ssid == First(e);
  }
  if (e.kind == Kind::WlanKey) {
    found = w.key ? Quote(*w.key) : "no passphrase";
    return w.key && *w.key == First(e);
  }
  found = std::to_string(w.maxPeers);
  return w.maxPeers == static_cast<std::uint32_t>(e.number);
}

bool HotspotHolds(const Expectation& e, const Observation& seen, std::string& found) {
  if (e.kind == Kind::HotspotCalls) return CallsHeld(seen.hotspotCalls, e, found);
  if (!seen.hotspot) {
    found = "the hotspot was never reached";
    return false;
  }
  const Observation::Hotspot& h = *seen.hotspot;
  if (e.kind == Kind::HotspotSsid || e.kind == Kind::HotspotKey) {
    const std::u16string& value = e.kind == Kind::HotspotSsid ? h.ssid : h.key;
    found = Quote(value);
    return value == First(e);
  }
  if (e.kind == Kind::HotspotState) {
    found = h.on ? "on" : "off";
  } else if (e.kind == Kind::HotspotBand) {
    found = BandWord(h.band);
  } else if (e.kind == Kind::HotspotAuthentication) {
    found = AuthenticationWord(h.authentication);
  } else {
    found = TimeoutWord(h.noConnectionsTimeout);
  }
  return found == e.word;
}

// Sharing, SharingNone, IcsCalls, IcsReleased.
bool SharingHolds(const Expectation& e, const Observation& seen, std::string& found) {
  if (e.kind == Kind::IcsCalls) return CallsHeld(seen.icsCalls, e, found);
  if (e.kind == Kind::IcsReleased) {
    found = seen.icsLeftOver.empty() ? "nothing left" : seen.icsLeftOver;
    return seen.icsLeftOver.empty();
  }
  found = "public " + (seen.sharedPublic ? Quote(*seen.sharedPublic) : "none") + " private " +
          (seen.sharedPrivate ? Quote(*seen.sharedPrivate) : "none");
  if (e.kind == Kind::SharingNone) return !seen.sharedPublic && !seen.sharedPrivate;
  return seen.sharedPublic == e.texts[0] && seen.sharedPrivate == e.texts[1];
}

// One expectation: whether it held, and what was found instead.
bool Holds(const Expectation& e, const Observation& seen, std::string& found) {
  switch (e.kind) {
    case Kind::Exit:
    case Kind::Running:
    case Kind::Codes:
    case Kind::Notices:
    case Kind::NoticeText:
    case Kind::WakeUps:
    case Kind::NetshRuns:
    case Kind::Registry:
    case Kind::RegistryAbsent:
      return ProgramHolds(e, seen, found);
    case Kind::Log:
    case Kind::NoLog:
    case Kind::LogOrder:
      return LogHolds(e, seen, found);
    case Kind::ControllerHidden:
    case Kind::WindowHidden:
    case Kind::WindowNone:
    case Kind::EditName:
    case Kind::EditKey:
    case Kind::Status:
      return WindowHolds(e, seen, found);
    case Kind::WlanState:
    case Kind::WlanSsid:
    case Kind::WlanKey:
    case Kind::WlanMaxPeers:
    case Kind::WlanCalls:
      return WlanHolds(e, seen, found);
    case Kind::HotspotState:
    case Kind::HotspotSsid:
    case Kind::HotspotKey:
    case Kind::HotspotBand:
    case Kind::HotspotAuthentication:
    case Kind::HotspotTimeout:
    case Kind::HotspotCalls:
      return HotspotHolds(e, seen, found);
    case Kind::Sharing:
    case Kind::SharingNone:
    case Kind::IcsCalls:
    case Kind::IcsReleased:
      return SharingHolds(e, seen, found);
  }
  return false;
}

}  // namespace

Verdict CheckExpectations(const Scenario& scenario, const Observation& seen) {
  Verdict verdict;
  for (const Expectation& e : scenario.expectations) {
    std::string found;
    const bool held = Holds(e, seen, found);
    verdict.allHeld = verdict.allHeld && held;
    verdict.lines.push_back((held ? "ok      line " : "FAILED  line ") + std::to_string(e.line) + ": " + e.source +
                            (held ? "" : "  (found: " + found + ")"));
  }
  std::vector<std::string> failures = seen.machineFailures;
  // The hotspot is a service of the system's: left on, it stays on after the program. Once every
  // instance has ended it must be off, unless it was on before the start, the system refused
  // the stop it was asked for, or an operation the program gave its bound outlasted the
  // process (a start that ignored its cancel and ended after the program: nobody was left to
  // stop it, and the end's time is bounded).
  if (seen.allEnded && seen.hotspot && seen.hotspot->on && !seen.hotspot->stopRefused && !seen.hotspot->leftInFlight &&
      !scenario.machine.hotspot.on) {
    failures.push_back("hotspot after the end: still on");
  }
  // The persistent configuration is the user's: once the program has ended it must be as the
  // user had it, name, passphrase, band and authentication kind, once every instance has ended.
  // An operation the system never ends, or one still in flight when the program's bound for it
  // passed and the process ended, leaves nothing to put it back with.
  const bool neverEnds = std::any_of(scenario.machine.faults.begin(), scenario.machine.faults.end(), [](const Fault& f) {
    return f.target == "hotspot" && f.size == sim::kHotspotFaultHangs;
  });
  if (seen.exitCode && seen.allEnded && seen.hotspot && !neverEnds && !seen.hotspot->leftInFlight) {
    const HotspotMachine& user = scenario.machine.hotspot;
    const Observation::Hotspot& h = *seen.hotspot;
    if (h.ssid != user.ssid || h.key != user.key || h.band != user.band || h.authentication != user.authentication) {
      failures.push_back("hotspot after the end: the user's configuration not given back (ssid " + Quote(h.ssid) +
                         " key " + Quote(h.key) + " band " + BandWord(h.band) + " authentication " +
                         AuthenticationWord(h.authentication) + ")");
    }
    // So is the NoConnections timeout setting.
    if (h.noConnectionsTimeout != user.noConnectionsTimeout) {
      failures.push_back("hotspot after the end: the user's NoConnections timeout not given back (" +
                         TimeoutWord(h.noConnectionsTimeout) + ")");
    }
  }
  for (const std::string& failure : failures) {
    verdict.allHeld = false;
    verdict.lines.push_back("FAILED  " + failure);
  }
  return verdict;
}

}  // namespace tethra::simrunner
