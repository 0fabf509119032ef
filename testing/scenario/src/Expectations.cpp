// The expectations of a scenario against what a runner saw.
#include <algorithm>

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

// One expectation: whether it held, and what was found instead.
bool Holds(const Expectation& e, const Observation& seen, std::string& found) {
  const std::u16string first = e.texts.empty() ? u"" : e.texts.front();
  const std::vector<std::u16string>& log = seen.logLines;
  switch (e.kind) {
    case Expectation::Kind::Exit:
      found = seen.exitCode ? "exit code " + std::to_string(*seen.exitCode) : "still running";
      return seen.exitCode && static_cast<std::int64_t>(*seen.exitCode) == e.number;
    case Expectation::Kind::Running:
      found = seen.exitCode ? "exited with " + std::to_string(*seen.exitCode) : "running";
      return !seen.exitCode;
    case Expectation::Kind::Codes:
      found = CodesText(seen.codes);
      return seen.codes == e.texts;
    case Expectation::Kind::Notices:
      found = std::to_string(seen.notices.size()) + " notices";
      return static_cast<std::int64_t>(seen.notices.size()) == e.number;
    case Expectation::Kind::NoticeText:
      found = CodesText(seen.notices);
      return std::all_of(seen.notices.begin(), seen.notices.end(), [&](const auto& n) { return n == first; });
    case Expectation::Kind::Registry:
    case Expectation::Kind::RegistryAbsent: {
      const auto value = seen.setting ? seen.setting(first) : std::nullopt;
      found = value ? Quote(*value) : "absent";
      return e.kind == Expectation::Kind::Registry ? (value && *value == e.texts[1]) : !value;
    }
    case Expectation::Kind::WlanState:
    case Expectation::Kind::WlanSsid:
    case Expectation::Kind::WlanKey:
    case Expectation::Kind::WlanMaxPeers: {
      if (!seen.wlan) {
        found = "the WLAN service was never reached";
        return false;
      }
      const Observation::Wlan& w = *seen.wlan;
      if (e.kind == Expectation::Kind::WlanState) {
        found = sim::SimWlanService::stateName(w.state);
        return w.state == static_cast<std::uint32_t>(e.number);
      }
      if (e.kind == Expectation::Kind::WlanSsid) {
        found = Quote(w.ssid);
        return w.ssid == first;
      }
      if (e.kind == Expectation::Kind::WlanKey) {
        found = w.key ? Quote(*w.key) : "no passphrase";
        return w.key && *w.key == first;
      }
      found = std::to_string(w.maxPeers);
      return w.maxPeers == static_cast<std::uint32_t>(e.number);
    }
    case Expectation::Kind::WlanCalls: {
      const std::uint64_t count = seen.wlanCalls ? seen.wlanCalls(e.word) : 0;
      found = std::to_string(count) + " calls";
      return static_cast<std::int64_t>(count) == e.number;
    }
    case Expectation::Kind::NetshRuns:
      found = std::to_string(seen.netshRuns) + " runs";
      return seen.netshRuns == e.number;
    case Expectation::Kind::Log:
    case Expectation::Kind::NoLog: {
      bool ends = false, contains = false;
      found = std::to_string(log.size()) + " log lines";
      for (const auto& l : log) {
        ends = ends || EndsWith(l, first);
        if (l.find(first) != std::u16string::npos) {
          contains = true;
          found += "; " + Quote(l);
        }
      }
      return e.kind == Expectation::Kind::Log ? ends : !contains;
    }
    case Expectation::Kind::LogOrder:
      // Consecutive log lines ending with the texts, in this order, somewhere in the log.
      found = std::to_string(log.size()) + " log lines";
      for (std::size_t i = 0; i + e.texts.size() <= log.size(); ++i) {
        bool all = true;
        for (std::size_t j = 0; all && j < e.texts.size(); ++j) all = EndsWith(log[i + j], e.texts[j]);
        if (all) return true;
      }
      return false;
    case Expectation::Kind::ControllerHidden:
      found = !seen.controllerWindow ? "no controller window" : (seen.controllerVisible ? "visible" : "hidden");
      return seen.controllerWindow && !seen.controllerVisible;
    case Expectation::Kind::WindowHidden:
      found = !seen.programWindow ? "no program window" : (seen.programVisible ? "visible" : "hidden");
      return seen.programWindow && !seen.programVisible;
    case Expectation::Kind::WindowNone:
      found = seen.programWindow ? "the program made its window" : "no program window";
      return !seen.programWindow;
    case Expectation::Kind::WakeUps:
      if (!seen.wakeUps) {
        found = "wake-ups are not counted on this machine";
        return false;
      }
      found = std::to_string(*seen.wakeUps) + " wake-ups";
      return static_cast<std::int64_t>(*seen.wakeUps) == e.number;
    case Expectation::Kind::EditName:
    case Expectation::Kind::EditKey:
    case Expectation::Kind::Status: {
      const auto it = seen.controls.find(e.controlId);
      found = it != seen.controls.end() ? Quote(it->second) : "no program window";
      return it != seen.controls.end() && it->second == first;
    }
    case Expectation::Kind::Sharing:
    case Expectation::Kind::SharingNone:
      found = "public " + (seen.sharedPublic ? Quote(*seen.sharedPublic) : "none") + " private " +
              (seen.sharedPrivate ? Quote(*seen.sharedPrivate) : "none");
      if (e.kind == Expectation::Kind::SharingNone) return !seen.sharedPublic && !seen.sharedPrivate;
      return seen.sharedPublic == e.texts[0] && seen.sharedPrivate == e.texts[1];
    case Expectation::Kind::IcsCalls: {
      const std::uint64_t count = seen.icsCalls ? seen.icsCalls(e.word) : 0;
      found = std::to_string(count) + " calls";
      return static_cast<std::int64_t>(count) == e.number;
    }
    case Expectation::Kind::IcsReleased:
      found = seen.icsLeftOver.empty() ? "nothing left" : seen.icsLeftOver;
      return seen.icsLeftOver.empty();
    case Expectation::Kind::HotspotState:
    case Expectation::Kind::HotspotSsid:
    case Expectation::Kind::HotspotKey: {
      if (!seen.hotspot) {
        found = "the hotspot was never reached";
        return false;
      }
      const Observation::Hotspot& h = *seen.hotspot;
      if (e.kind == Expectation::Kind::HotspotState) {
        found = h.on ? "on" : "off";
        return found == e.word;
      }
      const std::u16string& value = e.kind == Expectation::Kind::HotspotSsid ? h.ssid : h.key;
      found = Quote(value);
      return value == first;
    }
    case Expectation::Kind::HotspotBand:
    case Expectation::Kind::HotspotAuthentication: {
      if (!seen.hotspot) {
        found = "the hotspot was never reached";
        return false;
      }
      found = e.kind == Expectation::Kind::HotspotBand ? BandWord(seen.hotspot->band)
                                                       : AuthenticationWord(seen.hotspot->authentication);
      return found == e.word;
    }
    case Expectation::Kind::HotspotTimeout:
      if (!seen.hotspot) {
        found = "the hotspot was never reached";
        return false;
      }
      found = TimeoutWord(seen.hotspot->noConnectionsTimeout);
      return found == e.word;
    case Expectation::Kind::HotspotCalls: {
      const std::uint64_t count = seen.hotspotCalls ? seen.hotspotCalls(e.word) : 0;
      found = std::to_string(count) + " calls";
      return static_cast<std::int64_t>(count) == e.number;
    }
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
