// The simulated services' logs, read into what the expectations look at.
#include "sim-runner/ServiceLogs.h"

#include <map>
#include <memory>
#include <vector>

#include "sim-runner/Text.h"
#include "sim-runner/Tokens.h"

namespace tethra::simrunner {

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

// The dialog as the program's process ended: it replaces what was seen of it while it ran.
void ReadDialogAtExit(std::string_view body, unsigned long programId, Observation& seen) {
  std::vector<Token> t;
  std::string reason;
  std::int64_t pid = 0;
  if (!Tokenize(std::string(body), t, reason) || t.size() < 4 || !ParseNumber(t[2].word, pid) ||
      static_cast<unsigned long>(pid) != programId) {
    return;
  }
  if (t[1].word == "dialog") {
    seen.programWindow = true;
    seen.programVisible = t[3].word == "visible";
    seen.controls.clear();
    seen.logLines.clear();
  } else if (t[1].word == "control" && t.size() == 5 && t[4].kind == Token::Kind::Text) {
    std::int64_t id = 0;
    if (ParseNumber(t[3].word, id)) seen.controls[static_cast<int>(id)] = t[4].text;
  } else if (t[1].word == "log-line" && t[3].kind == Token::Kind::Text) {
    seen.logLines.push_back(t[3].text);
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
  for (std::string_view body : Bodies(logs.wlan)) {
    if (StartsWith(body, "call ")) CountCall(body, *wlanCalls);
    if (StartsWith(body, "now state ")) ReadWlanState(body, seen);
    if (StartsWith(body, "end ") && logs.programId != 0) ReadDialogAtExit(body, logs.programId, seen);
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
}

}  // namespace tethra::simrunner
