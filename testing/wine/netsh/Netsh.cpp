// netsh.exe of the simulated notebook, for runs of tethra.exe under Wine: the program starts
// it to restart the hosted network after a name or key change. It appends `run ARGUMENTS` to
// the file named by TETHRA_SIMNETSH_LOG, then does what the `netsh` statement of the scenario
// named by TETHRA_SCENARIO says (no scenario, or one that cannot be read: `netsh exit 0`):
//   netsh hangs     never ends
//   netsh exit N    N != 0: ends with N after the tool's own run time (~200 ms)
//   netsh exit 0    starts the hosted network through the simulated WLAN service's control
//                   pipe (a forced start, answered once its state change has been delivered),
//                   then ends with 0; 1 when the pipe cannot be reached or refuses the request
//   after-start     (after `hangs` or `exit N`) the network is started that way first, and the
//                   shell then hangs or ends with N all the same
//   delay N ms      (after the above) the shell waits that long before it does anything
// (`netsh missing` needs no stand-in: the run plants none.)
//
// Owner: the process; nothing outlives it. Threads: the main thread only.
#include <windows.h>

#include <string>

#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/ScenarioFile.h"
#include "tethra/wine/ServiceDll.h"

namespace {

constexpr DWORD kOwnRunTimeMs = 200;
constexpr DWORD kControlTimeoutMs = 10000;

// The command line after the program's own name, as it was given.
std::wstring Arguments() {
  const wchar_t* line = ::GetCommandLineW();
  bool quoted = false;
  while (*line != L'\0' && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') quoted = !quoted;
    ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

// The forced start through the control pipe; false (logged) when it could not be asked for.
bool StartHostedNetwork(const tethra::tools::ServiceLog& log) {
  std::string answer;
  if (!tethra::tools::SendControl("forced-start", answer, kControlTimeoutMs)) {
    log.write("cannot start the hosted network: " + answer);
    return false;
  }
  if (answer != "ok") {
    log.write("start refused: " + answer);
    return false;
  }
  return true;
}

}  // namespace

int wmain() {
  using tethra::simrunner::Machine;
  const tethra::tools::ServiceLog log(L"TETHRA_SIMNETSH_LOG", "sim netsh: ");
  log.write("run " + tethra::tools::Utf8Of(Arguments()));

  const tethra::tools::ScenarioFromEnvironment loaded = tethra::tools::LoadScenarioFromEnvironment();
  Machine machine;  // the defaults: starts the hosted network and exits 0
  if (loaded.scenario) {
    machine = loaded.scenario->machine;
  } else if (loaded.named) {
    log.write("scenario refused: " + loaded.refusal);
  }

  // As the simulated notebook's shell: the start first when the statement says `after-start`.
  const bool startsFirst = machine.netsh != Machine::Netsh::Missing && machine.netshStartsFirst;
  if (machine.netshDelayMs != 0) ::Sleep(machine.netshDelayMs);
  if (startsFirst) StartHostedNetwork(log);
  switch (machine.netsh) {
    case Machine::Netsh::Hangs:
      log.write("hangs");
      for (;;) ::Sleep(INFINITE);
    case Machine::Netsh::Missing:
      log.write("started although the scenario says netsh missing");
      return 1;
    case Machine::Netsh::Exit:
      break;
  }
  if (machine.netshExitCode != 0) {
    ::Sleep(kOwnRunTimeMs);
    log.write("exit " + std::to_string(machine.netshExitCode));
    return static_cast<int>(machine.netshExitCode);
  }
  if (!startsFirst && !StartHostedNetwork(log)) return 1;
  ::Sleep(kOwnRunTimeMs);
  log.write("exit 0");
  return 0;
}
