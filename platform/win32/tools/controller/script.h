// The stand-in controller's script: one step a line, parsed and checked in full before anything
// runs, so that a mistake in a script is refused (exit code 2) instead of half carried out.
// Plain data and parsing, no Windows header; the main thread alone uses it.
//
//   program PATH                 tethra.exe to start (default: beside the controller)
//   write NAME TEXT              REG_SZ under the settings key (HKLM, 32-bit view)
//   delete NAME                  remove a settings value
//   policy present|absent        the group-policy key of connection sharing (native view)
//   start [COMMAND LINE]         start the program; the rest of the line is its command line
//   start-second [COMMAND LINE]  start a second instance next to the first
//   wait window|ready|notice|exit|second-exit MS, wait code CODE MS
//                                (ready: the program's thread first waits for input, i.e. its
//                                initialisation is over: WaitForInputIdle)
//   sleep MS                     keep receiving for MS milliseconds
//   mark                         later waits, and `expect since-mark`, look only at what
//                                arrives from here on (a start may announce name and key
//                                more than once: the service's notification races the start)
//   post close                   WM_CLOSE, posted to the program's window
//   power suspend|resume|resume-automatic|resume-suspend      WM_POWERBROADCAST
//   session console-connect|console-disconnect|remote-connect|remote-disconnect|
//           logon|logoff|lock|unlock [SESSION]               WM_WTSSESSION_CHANGE
//   end-session 0|1              WM_ENDSESSION
//   expect codes CODE...|none, expect sequence notice|CODE...|none,
//   expect since-mark notice|CODE...|none, expect notices N,
//   expect notice N|last|all TEXT SSID KEY, expect exit CODE [MS], expect second-exit CODE [MS],
//   expect running, expect registry NAME TEXT, expect registry-absent NAME,
//   expect window seen|never, expect second-window seen|never
//
// Tokens are separated by blanks; "double quotes" keep blanks and take \" and \\. A line whose
// first token starts with # is a comment.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tethra::tools {

enum class StepKind {
  Program,
  Write,
  Delete,
  Policy,
  Start,
  StartSecond,
  WaitWindow,
  WaitReady,
  WaitCode,
  WaitNotice,
  WaitExit,
  WaitSecondExit,
  Sleep,
  Mark,
  PostClose,
  Power,
  Session,
  EndSession,
  ExpectCodes,
  ExpectSequence,
  ExpectSinceMark,
  ExpectNotices,
  ExpectNotice,
  ExpectExit,
  ExpectSecondExit,
  ExpectRunning,
  ExpectRegistry,
  ExpectRegistryAbsent,
  ExpectWindow,
  ExpectSecondWindow,
};

struct Step {
  StepKind kind = StepKind::Sleep;
  std::wstring source;  // where it came from: "FILE:LINE" or "--step N"
  std::wstring text;    // the line as written, for the transcript
  std::vector<std::wstring> args;  // the tokens after the step's name (and after its second word)
  std::wstring rest;    // start, start-second: the command line, verbatim
  unsigned long number = 0;   // the step's count, code or milliseconds
  unsigned long timeoutMs = 0;
};

// Splits a line into tokens; nullopt (with `error`) for an unclosed quote.
std::optional<std::vector<std::wstring>> Tokenize(const std::wstring& line, std::wstring& error);

// Parses one line. Returns false with `error` when it is not a step; a blank or comment line
// gives true and no step.
bool ParseStep(const std::wstring& line, const std::wstring& source, std::optional<Step>& step, std::wstring& error);

}  // namespace tethra::tools
