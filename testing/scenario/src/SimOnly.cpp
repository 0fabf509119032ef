// The statements only the simulated notebook can carry out.
#include "tethra/scenario/SimOnly.h"

#include <algorithm>

#include "tethra/scenario/Tokens.h"

namespace tethra::simrunner {

namespace {

// Real time stands in for virtual time under Wine: a longer wait costs more than it proves.
constexpr std::uint64_t kLongestRealWaitMs = 60000;

struct FileLine {
  int number = 0;
  std::string text;
  std::vector<std::string> words;  // leading words, up to the first text
};

std::vector<FileLine> Lines(std::string_view text) {
  std::vector<FileLine> lines;
  int number = 0;
  while (!text.empty() || number == 0) {
    const std::size_t end = text.find('\n');
    std::string line(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<Token> tokens;
    std::string reason;
    FileLine l{number, line, {}};
    if (Tokenize(line, tokens, reason)) {
      for (const Token& t : tokens) {
        if (t.kind != Token::Kind::Word) break;
        l.words.push_back(t.word);
      }
    }
    if (!l.words.empty()) {
      const std::size_t first = l.text.find_first_not_of(" \t");
      l.text = l.text.substr(first);
      lines.push_back(std::move(l));
    }
    if (text.empty()) break;
  }
  return lines;
}

bool IsServiceExpectation(Expectation::Kind kind) {
  switch (kind) {
    case Expectation::Kind::WlanState:
    case Expectation::Kind::WlanSsid:
    case Expectation::Kind::WlanKey:
    case Expectation::Kind::WlanMaxPeers:
    case Expectation::Kind::WlanCalls:
    case Expectation::Kind::NetshRuns:
    case Expectation::Kind::Sharing:
    case Expectation::Kind::SharingNone:
    case Expectation::Kind::IcsCalls:
    case Expectation::Kind::IcsReleased:
    case Expectation::Kind::HotspotState:
    case Expectation::Kind::HotspotSsid:
    case Expectation::Kind::HotspotKey:
    case Expectation::Kind::HotspotBand:
    case Expectation::Kind::HotspotAuthentication:
    case Expectation::Kind::HotspotTimeout:
    case Expectation::Kind::HotspotCalls:
      return true;
    default:
      return false;
  }
}

bool IsServiceAction(Action::Kind kind) {
  return kind == Action::Kind::WlanState || kind == Action::Kind::WlanNotifyRaw ||
         kind == Action::Kind::WlanRadioOff || kind == Action::Kind::WlanAdapterDisabled ||
         kind == Action::Kind::WlanForcedStart ||
         kind == Action::Kind::StationJoin || kind == Action::Kind::StationLeave || kind == Action::Kind::Device ||
         kind == Action::Kind::HotspotOff || kind == Action::Kind::HotspotNetworkChange ||
         kind == Action::Kind::HotspotTransitionThenOff ||
         kind == Action::Kind::HotspotClientJoin || kind == Action::Kind::HotspotClientLeave;
}

}  // namespace

std::vector<SimOnlyStatement> SimOnlyStatements(const Scenario& scenario, std::string_view fileText,
                                                WindowsMachine machine) {
  std::vector<SimOnlyStatement> found;
  auto add = [&found](int line, std::string statement, std::string why) {
    found.push_back({line, std::move(statement), std::move(why)});
  };
  const bool real = machine == WindowsMachine::Real;
  for (const FileLine& l : Lines(fileText)) {
    const std::string& first = l.words[0];
    const std::string second = l.words.size() > 1 ? l.words[1] : "";
    if (first == "fault" && second == "alloc") {
      add(l.number, l.text, "allocation faults need the simulated allocator");
    } else if (first == "fault" && second == "registry-write") {
      add(l.number, l.text, "the registry's own refusals need the simulated registry");
    } else if (real && (first == "wlan" || first == "connection" || first == "sharing" || first == "netshell" ||
                        first == "netsh" || first == "hotspot" || first == "fault")) {
      add(l.number, l.text, "the machine's own services are used");
    } else if (real && (first == "policy" || first == "registry-missing-key")) {
      add(l.number, l.text, "the machine's own group policy and settings key are kept");
    }
  }
  for (const Expectation& e : scenario.expectations) {
    if (e.kind == Expectation::Kind::WakeUps) {
      add(e.line, e.source, "wake-ups are counted by the simulated scheduler");
    } else if (e.kind == Expectation::Kind::IcsCalls && e.word == "task-mem-free") {
      // The program frees the system's own StringFromCLSID texts too: only the simulated COM
      // runtime sees every free.
      add(e.line, e.source, "frees of the system's task memory are counted by the simulated COM runtime");
    } else if (real && IsServiceExpectation(e.kind)) {
      add(e.line, e.source, "reads a simulated service's log");
    }
  }
  for (const TimelineEntry& entry : scenario.timeline) {
    if (entry.trigger.kind == Trigger::Kind::After && entry.trigger.afterMs > kLongestRealWaitMs) {
      add(entry.line, entry.source, "waits " + std::to_string(entry.trigger.afterMs / 1000) + " s of real time");
    } else if (real && IsServiceAction(entry.action.kind)) {
      add(entry.line, entry.source, "acts for a simulated service");
    }
  }
  return found;
}

Scenario WithoutSkipped(const Scenario& scenario, const std::vector<SimOnlyStatement>& skipped) {
  auto isSkipped = [&skipped](int line) {
    return std::any_of(skipped.begin(), skipped.end(), [line](const auto& s) { return s.line == line; });
  };
  Scenario kept = scenario;
  std::erase_if(kept.timeline, [&](const TimelineEntry& e) { return isSkipped(e.line); });
  std::erase_if(kept.expectations, [&](const Expectation& e) { return isSkipped(e.line); });
  return kept;
}

}  // namespace tethra::simrunner
