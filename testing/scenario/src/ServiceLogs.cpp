// The simulated services' logs, read into what the expectations look at.
#include "tethra/scenario/ServiceLogs.h"

#include <map>
#include <memory>
#include <vector>

#include "tethra/scenario/Text.h"
#include "tethra/scenario/Tokens.h"

namespace tethra::simrunner {

using sim::text::Utf16ToUtf8;

namespace {

using Counts = std::map<std::string, std::uint64_t, std::less<>>;

// The lines' bodies, without the time and thread columns.
std::vector<std::string_view> Bodies(std::string_view text) {
  std::vector<std::string_view> bodies;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tid = line.find("  tid ");
    if (tid == std::string_view::npos) continue;
    // The thread id is right-aligned: blanks, digits, then two blanks before the body.
    std::size_t at = line.find_first_not_of(' ', tid + 6);
    if (at == std::string_view::npos) continue;
    at = line.find_first_not_of("0123456789", at);
    if (at == std::string_view::npos || line.substr(at, 2) != "  ") continue;
    bodies.push_back(line.substr(at + 2));
  }
  return bodies;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

void CountCall(std::string_view body, Counts& counts) {
  const std::size_t paren = body.find('(');
  if (paren != std::string_view::npos && paren > 5) ++counts[std::string(body.substr(5, paren - 5))];
}

// A quoted text or the word `none`, at tokens[i].
std::optional<std::u16string> TextOrNone(const std::vector<Token>& tokens, std::size_t i) {
  if (i < tokens.size() && tokens[i].kind == Token::Kind::Text) return tokens[i].text;
  return std::nullopt;
}

std::uint32_t StateNumber(const std::string& word) {
  if (word == "active") return 2;
  if (word == "idle") return 1;
  return 0;
}

// The dialog's changes, replayed: they replace what was seen of it while it ran. `started`
// tells whether a line of this process came before.
void ReadDialogChange(std::string_view body, unsigned long programId, bool& started, Observation& seen) {
  std::vector<Token> t;
  std::string reason;
  std::int64_t pid = 0;
  if (!Tokenize(std::string(body), t, reason) || t.size() < 3 || !ParseNumber(t[1].word, pid) ||
      static_cast<unsigned long>(pid) != programId) {
    return;
  }
  if (!started) {
    started = true;
    seen.programWindow = true;
    seen.controls.clear();
    seen.logLines.clear();
  }
  const std::string& what = t[2].word;
  std::int64_t number = 0;
  auto text = [&t](std::size_t i) { return i < t.size() && t[i].kind == Token::Kind::Text; };
  if (what == "visible" || what == "hidden") {
    seen.programVisible = what == "visible";
  } else if (what == "control" && text(4) && ParseNumber(t[3].word, number)) {
    seen.controls[static_cast<int>(number)] = t[4].text;
  } else if (what == "log-reset") {
    seen.logLines.clear();
  } else if (what == "log-line" && text(3)) {
    seen.logLines.push_back(t[3].text);
  } else if (what == "log-insert" && text(4) && ParseNumber(t[3].word, number) && number >= 0 &&
             static_cast<std::size_t>(number) <= seen.logLines.size()) {
    seen.logLines.insert(seen.logLines.begin() + number, t[4].text);
  } else if (what == "log-delete" && t.size() == 4 && ParseNumber(t[3].word, number) && number >= 0 &&
             static_cast<std::size_t>(number) < seen.logLines.size()) {
    seen.logLines.erase(seen.logLines.begin() + number);
  }
}

void ReadWlanState(std::string_view body, Observation& seen) {
  std::vector<Token> t;
  std::string reason;
  if (!Tokenize(std::string(body), t, reason) || t.size() != 9 || t[4].kind != Token::Kind::Text) return;
  std::int64_t maxPeers = 0;
  if (!ParseNumber(t[8].word, maxPeers)) return;
  seen.wlan = Observation::Wlan{StateNumber(t[2].word), t[4].text, TextOrNone(t, 6),
                                static_cast<std::uint32_t>(maxPeers)};
}

// `now hotspot state S ssid "T" key "K" clients N band B authentication A timeout T
// [stop-refused] [left-in-flight]`
void ReadHotspotState(std::string_view body, Observation& seen) {
  std::vector<Token> t;
  std::string reason;
  if (!Tokenize(std::string(body), t, reason) || t.size() < 16 || t.size() > 18 ||
      t[5].kind != Token::Kind::Text || t[7].kind != Token::Kind::Text || t[10].word != "band" ||
      t[12].word != "authentication" || t[14].word != "timeout") {
    return;
  }
  seen.hotspot = Observation::Hotspot{t[3].word == "on", t[5].text, t[7].text, sim::TetheringBandNamed(t[11].word),
                                      sim::TetheringAuthenticationNamed(t[13].word),
                                      t[15].word == "absent" ? std::nullopt : std::optional<bool>(t[15].word == "on"),
                                      false, false};
  for (std::size_t i = 16; i < t.size(); ++i) {
    if (t[i].word == "stop-refused") seen.hotspot->stopRefused = true;
    if (t[i].word == "left-in-flight") seen.hotspot->leftInFlight = true;
  }
}

void ReadSharingRoles(std::string_view body, Observation& seen) {
  std::vector<Token> t;
  std::string reason;
  if (!Tokenize(std::string(body), t, reason) || t.size() != 5) return;
  seen.sharedPublic = TextOrNone(t, 2);
  seen.sharedPrivate = TextOrNone(t, 4);
}

// Records, task memory and misuses are the program's faults whatever a scenario expects;
// references and library loads are not (the program may end holding them).
bool IsMemoryFault(std::string_view leftOver) {
  for (std::string_view fault : {"records not freed", "blocks not freed", "misuses"}) {
    if (leftOver.find(fault) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

void ReadServiceLogs(const ServiceLogTexts& logs, Observation& seen) {
  auto wlanCalls = std::make_shared<Counts>();
  bool dialogStarted = false;
  for (std::string_view body : Bodies(logs.wlan)) {
    if (StartsWith(body, "call ")) CountCall(body, *wlanCalls);
    if (StartsWith(body, "now state ")) ReadWlanState(body, seen);
    // Whatever a scenario expects, as tethra-sim fails it.
    if (StartsWith(body, "misuse ")) seen.machineFailures.push_back("wlan misuse: " + std::string(body.substr(7)));
    if (StartsWith(body, "end: wlan memory: ")) {
      seen.machineFailures.push_back("wlan memory: " + std::string(body.substr(18)));
    }
    if (StartsWith(body, "dialog ") && logs.programId != 0) {
      ReadDialogChange(body, logs.programId, dialogStarted, seen);
    }
  }
  seen.wlanCalls = [wlanCalls](std::string_view function) {
    const auto it = wlanCalls->find(function);
    return it != wlanCalls->end() ? it->second : 0;
  };

  auto icsCalls = std::make_shared<Counts>();
  for (std::string_view body : Bodies(logs.sharing)) {
    if (StartsWith(body, "call ")) {
      CountCall(body, *icsCalls);
    } else if (StartsWith(body, "now public ")) {
      ReadSharingRoles(body, seen);
    } else if (StartsWith(body, "now left-over ")) {
      std::vector<Token> t;
      std::string reason;
      if (Tokenize(std::string(body), t, reason) && t.size() == 3 && t[2].kind == Token::Kind::Text) {
        seen.icsLeftOver = Utf16ToUtf8(t[2].text);
      }
    } else if (body == "end: nothing left behind") {
      seen.icsLeftOver.clear();
    } else if (StartsWith(body, "end: service left over: ")) {
      seen.icsLeftOver = std::string(body.substr(24));
      if (IsMemoryFault(seen.icsLeftOver)) seen.machineFailures.push_back("sharing memory: " + seen.icsLeftOver);
    } else if (StartsWith(body, "end: shared since the start: ")) {
      seen.machineFailures.push_back("sharing after the end: " + std::string(body.substr(29)) + " still shared");
    }
  }
  seen.icsCalls = [icsCalls](std::string_view operation) {
    const auto it = icsCalls->find(operation);
    return it != icsCalls->end() ? it->second : 0;
  };

  for (std::string_view body : Bodies(logs.netsh)) {
    if (StartsWith(body, "run")) ++seen.netshRuns;
  }

  auto hotspotCalls = std::make_shared<Counts>();
  for (std::string_view body : Bodies(logs.hotspot)) {
    if (StartsWith(body, "call ")) {
      CountCall(body, *hotspotCalls);
    } else if (StartsWith(body, "now hotspot ")) {
      ReadHotspotState(body, seen);
    } else if (StartsWith(body, "violation ")) {
      seen.machineFailures.push_back("hotspot contract: " + std::string(body.substr(10)));
    }
  }
  seen.hotspotCalls = [hotspotCalls](std::string_view operation) {
    const auto it = hotspotCalls->find(operation);
    return it != hotspotCalls->end() ? it->second : 0;
  };
}

}  // namespace tethra::simrunner
