// Parsing of the stand-in controller's script steps (the grammar is in script.h). Main thread
// only; no state.
#include "script.h"

namespace tethra::tools {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool ParseNumber(const std::wstring& text, unsigned long& value) {
  if (text.empty() || text.size() > 9) return false;
  unsigned long result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<unsigned long>(c - L'0');
  }
  value = result;
  return true;
}

bool OneOf(const std::wstring& word, std::initializer_list<const wchar_t*> choices) {
  for (const wchar_t* choice : choices) {
    if (word == choice) return true;
  }
  return false;
}

// The command line after `start`: everything after the step's own word, blanks trimmed.
std::wstring RestAfterFirstWord(const std::wstring& line) {
  std::size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  while (at < line.size() && !IsBlank(line[at])) ++at;
  while (at < line.size() && IsBlank(line[at])) ++at;
  std::size_t end = line.size();
  while (end > at && IsBlank(line[end - 1])) --end;
  return line.substr(at, end - at);
}

}  // namespace

std::optional<std::vector<std::wstring>> Tokenize(const std::wstring& line, std::wstring& error) {
  std::vector<std::wstring> tokens;
  std::size_t at = 0;
  while (at < line.size()) {
    if (IsBlank(line[at])) {
      ++at;
      continue;
    }
    std::wstring token;
    if (line[at] == L'"') {
      ++at;
      bool closed = false;
      while (at < line.size()) {
        const wchar_t c = line[at++];
        if (c == L'"') {
          closed = true;
          break;
        }
        if (c == L'\\' && at < line.size() && (line[at] == L'"' || line[at] == L'\\')) {
          token += line[at++];
        } else {
          token += c;
        }
      }
      if (!closed) {
        error = L"unclosed quote";
        return std::nullopt;
      }
    } else {
      while (at < line.size() && !IsBlank(line[at])) token += line[at++];
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool ParseStep(const std::wstring& line, const std::wstring& source, std::optional<Step>& step, std::wstring& error) {
  step.reset();
  const auto tokens = Tokenize(line, error);
  if (!tokens) return false;
  if (tokens->empty() || (*tokens)[0].starts_with(L"#")) return true;

  Step s;
  s.source = source;
  s.text = line;
  while (!s.text.empty() && IsBlank(s.text.back())) s.text.pop_back();
  while (!s.text.empty() && IsBlank(s.text.front())) s.text.erase(0, 1);
  const std::wstring& name = (*tokens)[0];
  std::vector<std::wstring> args(tokens->begin() + 1, tokens->end());
  auto count = [&](std::size_t low, std::size_t high) {
    if (args.size() >= low && args.size() <= high) return true;
    error = L"\"" + name + L"\" takes " + std::to_wstring(low) +
            (high == low ? L"" : L" to " + std::to_wstring(high)) + L" argument(s)";
    return false;
  };
  auto number = [&](const std::wstring& text, unsigned long& value, const wchar_t* what) {
    if (ParseNumber(text, value)) return true;
    error = std::wstring(what) + L" must be a number, not \"" + text + L"\"";
    return false;
  };
  if (name == L"program") {
    if (!count(1, 1)) return false;
    s.kind = StepKind::Program;
  } else if (name == L"write") {
    if (!count(2, 2)) return false;
    s.kind = StepKind::Write;
  } else if (name == L"delete") {
    if (!count(1, 1)) return false;
    s.kind = StepKind::Delete;
  } else if (name == L"policy") {
    if (!count(1, 1)) return false;
    if (!OneOf(args[0], {L"present", L"absent"})) {
      error = L"policy is present or absent";
      return false;
    }
    s.kind = StepKind::Policy;
  } else if (name == L"start" || name == L"start-second") {
    s.kind = name == L"start" ? StepKind::Start : StepKind::StartSecond;
    s.rest = RestAfterFirstWord(line);
  } else if (name == L"wait") {
    if (args.empty()) {
      error = L"wait what: window, ready, code, notice, exit or second-exit";
      return false;
    }
    const std::wstring what = args[0];
    args.erase(args.begin());
    if (what == L"code") {
      if (args.size() != 2) {
        error = L"wait code CODE MS";
        return false;
      }
      if (!number(args[1], s.timeoutMs, L"the time")) return false;
      s.kind = StepKind::WaitCode;
      args.resize(1);
    } else {
      if (args.size() != 1) {
        error = L"wait " + what + L" MS";
        return false;
      }
      if (!number(args[0], s.timeoutMs, L"the time")) return false;
      args.clear();
      if (what == L"window") {
        s.kind = StepKind::WaitWindow;
      } else if (what == L"ready") {
        s.kind = StepKind::WaitReady;
      } else if (what == L"notice") {
        s.kind = StepKind::WaitNotice;
      } else if (what == L"exit") {
        s.kind = StepKind::WaitExit;
      } else if (what == L"second-exit") {
        s.kind = StepKind::WaitSecondExit;
      } else {
        error = L"unknown wait \"" + what + L"\"";
        return false;
      }
    }
  } else if (name == L"sleep") {
    if (!count(1, 1) || !number(args[0], s.timeoutMs, L"the time")) return false;
    s.kind = StepKind::Sleep;
  } else if (name == L"mark") {
    if (!count(0, 0)) return false;
    s.kind = StepKind::Mark;
  } else if (name == L"post") {
    if (!count(1, 1)) return false;
    if (args[0] != L"close") {
      error = L"only \"post close\" is known";
      return false;
    }
    s.kind = StepKind::PostClose;
  } else if (name == L"power") {
    if (!count(1, 1)) return false;
    if (!OneOf(args[0], {L"suspend", L"resume", L"resume-automatic", L"resume-suspend"})) {
      error = L"power suspend, resume, resume-automatic or resume-suspend";
      return false;
    }
    s.kind = StepKind::Power;
  } else if (name == L"session") {
    if (!count(1, 2)) return false;
    if (!OneOf(args[0], {L"console-connect", L"console-disconnect", L"remote-connect", L"remote-disconnect",
                         L"logon", L"logoff", L"lock", L"unlock"})) {
      error = L"unknown session change \"" + args[0] + L"\"";
      return false;
    }
    if (args.size() == 2 && !number(args[1], s.number, L"the session")) return false;
    s.kind = StepKind::Session;
  } else if (name == L"end-session") {
    if (!count(1, 1)) return false;
    if (!OneOf(args[0], {L"0", L"1", L"false", L"true"})) {
      error = L"end-session 0 or 1";
      return false;
    }
    s.number = (args[0] == L"1" || args[0] == L"true") ? 1 : 0;
    s.kind = StepKind::EndSession;
  } else if (name == L"expect") {
    if (args.empty()) {
      error = L"expect what";
      return false;
    }
    const std::wstring what = args[0];
    args.erase(args.begin());
    auto exitCode = [&](StepKind kind) {
      if (args.empty() || args.size() > 2) {
        error = L"expect " + what + L" CODE [MS]";
        return false;
      }
      if (!number(args[0], s.number, L"the exit code")) return false;
      s.timeoutMs = 10000;
      if (args.size() == 2 && !number(args[1], s.timeoutMs, L"the time")) return false;
      s.kind = kind;
      return true;
    };
    if (what == L"codes" || what == L"sequence" || what == L"since-mark") {
      if (args.empty()) {
        error = L"expect " + what + L" needs at least one item (or none)";
        return false;
      }
      if (args.size() == 1 && args[0] == L"none") args.clear();
      s.kind = what == L"codes"      ? StepKind::ExpectCodes
               : what == L"sequence" ? StepKind::ExpectSequence
                                     : StepKind::ExpectSinceMark;
    } else if (what == L"notices") {
      if (args.size() != 1 || !number(args[0], s.number, L"the count")) {
        if (error.empty()) error = L"expect notices N";
        return false;
      }
      s.kind = StepKind::ExpectNotices;
    } else if (what == L"notice") {
      if (args.size() != 4) {
        error = L"expect notice N|last|all TEXT SSID KEY";
        return false;
      }
      if (args[0] != L"last" && args[0] != L"all") {
        if (!number(args[0], s.number, L"the notice's number")) return false;
        if (s.number == 0) {
          error = L"notices count from 1";
          return false;
        }
      }
      s.kind = StepKind::ExpectNotice;
    } else if (what == L"exit") {
      if (!exitCode(StepKind::ExpectExit)) return false;
    } else if (what == L"second-exit") {
      if (!exitCode(StepKind::ExpectSecondExit)) return false;
    } else if (what == L"running") {
      if (!args.empty()) {
        error = L"expect running takes no argument";
        return false;
      }
      s.kind = StepKind::ExpectRunning;
    } else if (what == L"registry") {
      if (args.size() != 2) {
        error = L"expect registry NAME TEXT";
        return false;
      }
      s.kind = StepKind::ExpectRegistry;
    } else if (what == L"registry-absent") {
      if (args.size() != 1) {
        error = L"expect registry-absent NAME";
        return false;
      }
      s.kind = StepKind::ExpectRegistryAbsent;
    } else if (what == L"window" || what == L"second-window") {
      if (args.size() != 1 || !OneOf(args[0], {L"seen", L"never"})) {
        error = L"expect " + what + L" seen|never";
        return false;
      }
      s.kind = what == L"window" ? StepKind::ExpectWindow : StepKind::ExpectSecondWindow;
    } else {
      error = L"unknown expectation \"" + what + L"\"";
      return false;
    }
  } else {
    error = L"unknown step \"" + name + L"\"";
    return false;
  }
  s.args = std::move(args);
  step = std::move(s);
  return true;
}

}  // namespace tethra::tools
