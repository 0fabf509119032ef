// tethra-controller.exe: the stand-in controller for people who integrate Tethra, and the
// driver of the end-to-end runs under Wine. Reads the steps (script files and --step options,
// in the order given), refuses the whole script on the first mistake, then runs it.
// Exit code: 0 every wait and expectation held, 1 one did not, 2 the script was refused.
// --check-scenario reads scenario files with the simulator's own reader (tethra_scenario) and
// says, one line a file, whether each is accepted or why it is refused.
// Main thread only.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controller.h"
#include "scenario_run.h"
#include "sim-runner/Scenario.h"
#include "sim-runner/SimOnly.h"

namespace {

constexpr wchar_t kUsage[] =
    L"usage: tethra-controller [--program PATH] [--real] FILE.scn\n"
    L"       tethra-controller --plan FILE.scn\n"
    L"       tethra-controller --check-scenario FILE...\n"
    L"       tethra-controller [--program PATH] [--step STEP]... [SCRIPT.ctl]...\n"
    L"Runs a scenario file against tethra.exe: prepares the registry, owns the window\n"
    L"\"NetworkSetting LogicUIWnd\", plays the timeline in real time and checks the expectations\n"
    L"(exit code 0 all held, 1 one did not, 2 the file cannot be run here). The simulated services\n"
    L"planted in the machine are configured from the same file (TETHRA_SCENARIO) and their logs\n"
    L"(TETHRA_SIMWLAN_LOG, TETHRA_SIMSHARING_LOG, TETHRA_SIMNETSH_LOG) are read. With --real the\n"
    L"machine's own services are used: statements that need a simulated service are listed and\n"
    L"skipped. --plan prints what a Wine prefix needs for the file (or its sim-only statements).\n"
    L"Stand-in scripts (.ctl), one step a line:\n"
    L"Creates the window \"NetworkSetting LogicUIWnd\" and runs the steps in order: those of each\n"
    L"SCRIPT file (one a line, # starts a comment) and each --step. Steps:\n"
    L"  program PATH | write NAME TEXT | delete NAME | policy present|absent\n"
    L"  start [COMMAND LINE] | start-second [COMMAND LINE]\n"
    L"  wait window|ready|notice|exit|second-exit MS | wait code CODE MS | sleep MS | mark\n"
    L"  post close | power suspend|resume|resume-suspend | end-session 0|1\n"
    L"  session console-connect|console-disconnect|remote-connect|remote-disconnect|logon|logoff|lock|unlock [ID]\n"
    L"  expect codes CODE...|none | expect sequence notice|CODE...|none | expect notices N\n"
    L"  expect since-mark notice|CODE...|none | expect notice N|last|all TEXT SSID KEY\n"
    L"  expect exit CODE [MS] | expect second-exit CODE [MS]\n"
    L"  expect running | expect registry NAME TEXT | expect registry-absent NAME\n"
    L"  expect window seen|never | expect second-window seen|never\n"
    L"tethra.exe is taken from the controller's folder unless --program or `program` says otherwise.\n"
    L"Exit code: 0 when every wait and expectation held, 1 when one did not, 2 when refused.\n"
    L"--check-scenario prints `accepted FILE` or the reader's refusal (FILE:LINE: reason) for each\n"
    L"scenario file; exit code 0 when every file was accepted, 2 otherwise.\n";

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
  return bytes;
}

void Print(FILE* stream, const std::wstring& text) {
  const std::string bytes = Utf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  ::CloseHandle(file);
  return true;
}

bool ReadScript(const std::wstring& path, std::wstring& text) {
  std::string bytes;
  if (!ReadBytes(path, bytes)) return false;
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  text.assign(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return true;
}

bool Add(const std::wstring& line, const std::wstring& source, std::vector<tethra::tools::Step>& steps) {
  std::optional<tethra::tools::Step> step;
  std::wstring error;
  if (!tethra::tools::ParseStep(line, source, step, error)) {
    Print(stderr, L"refused: " + source + L": " + error + L"\n");
    return false;
  }
  if (step) steps.push_back(std::move(*step));
  return true;
}

// The verdict of the scenario reader on each file, in the words tethra-sim uses for a refusal.
int CheckScenarios(const std::vector<std::wstring>& files) {
  if (files.empty()) {
    Print(stderr, std::wstring(L"refused: --check-scenario needs a file\n") + kUsage);
    return 2;
  }
  bool allAccepted = true;
  for (const std::wstring& file : files) {
    const std::string name = Utf8(file);
    std::string text;
    if (!ReadBytes(file, text)) {
      std::printf("%s: cannot be read\n", name.c_str());
      allAccepted = false;
      continue;
    }
    tethra::simrunner::ParseError error;
    if (tethra::simrunner::ParseScenario(text, name, &error)) {
      std::printf("accepted %s\n", name.c_str());
    } else {
      std::printf("%s\n", error.message().c_str());
      allAccepted = false;
    }
  }
  std::fflush(stdout);
  return allAccepted ? 0 : 2;
}

std::optional<tethra::simrunner::Scenario> ReadScenario(const std::wstring& file, std::string& text) {
  const std::string name = Utf8(file);
  if (!ReadBytes(file, text)) {
    std::printf("%s: cannot be read\n", name.c_str());
    return std::nullopt;
  }
  tethra::simrunner::ParseError error;
  auto scenario = tethra::simrunner::ParseScenario(text, name, &error);
  if (!scenario) std::printf("%s\n", error.message().c_str());
  return scenario;
}

std::string Describe(const tethra::simrunner::SimOnlyStatement& s) {
  return "line " + std::to_string(s.line) + ": " + s.statement + " (" + s.why + ")";
}

// What a Wine prefix needs for the scenario: its sim-only statements, or the pieces to plant.
int Plan(const std::wstring& file) {
  std::string text;
  const auto scenario = ReadScenario(file, text);
  if (!scenario) return 2;
  using tethra::simrunner::Machine;
  using tethra::simrunner::SharingMachine;
  const auto simOnly = SimOnlyStatements(*scenario, text, tethra::simrunner::WindowsMachine::Planted);
  for (const auto& s : simOnly) std::printf("sim-only %s\n", Describe(s).c_str());
  if (simOnly.empty()) {
    const Machine& m = scenario->machine;
    std::printf("netsh %s\n", m.netsh == Machine::Netsh::Missing ? "missing" : "present");
    std::printf("netshell %s\n", m.sharing.netshell == SharingMachine::Netshell::Missing    ? "missing"
                                 : m.sharing.netshell == SharingMachine::Netshell::NoExport ? "no-export"
                                                                                             : "present");
  }
  std::fflush(stdout);
  return 0;
}

int RunScenarioFile(const std::wstring& file, const std::wstring& program, bool real) {
  std::string text;
  const auto scenario = ReadScenario(file, text);
  if (!scenario) return 2;
  const auto machine = real ? tethra::simrunner::WindowsMachine::Real : tethra::simrunner::WindowsMachine::Planted;
  const auto simOnly = SimOnlyStatements(*scenario, text, machine);
  for (const auto& s : simOnly) std::printf("%s %s\n", real ? "skipped" : "sim-only", Describe(s).c_str());
  std::fflush(stdout);
  if (!real && !simOnly.empty()) return 2;
  const tethra::simrunner::Scenario kept = real ? WithoutSkipped(*scenario, simOnly) : *scenario;
  tethra::tools::ScenarioRun run(kept, {program, real});
  return run.Run();
}

std::wstring DefaultProgram() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length < MAX_PATH ? length : 0);
  const std::size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
  return folder + L"tethra.exe";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The transcript is UTF-8 with plain line ends, whatever the console.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);

  std::wstring program = DefaultProgram();
  bool real = false;
  std::vector<tethra::tools::Step> steps;
  int stepOptions = 0;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--help" || arg == L"-h") {
      Print(stdout, kUsage);
      return 0;
    }
    if (arg == L"--check-scenario") return CheckScenarios(std::vector<std::wstring>(argv + i + 1, argv + argc));
    if (arg == L"--plan") {
      if (i + 2 != argc) {
        Print(stderr, std::wstring(L"refused: --plan takes one scenario file\n") + kUsage);
        return 2;
      }
      return Plan(argv[i + 1]);
    }
    if (arg == L"--real") {
      real = true;
      continue;
    }
    if (arg.ends_with(L".scn")) {
      if (i + 1 != argc || !steps.empty()) {
        Print(stderr, std::wstring(L"refused: a scenario file comes alone and last\n") + kUsage);
        return 2;
      }
      return RunScenarioFile(arg, program, real);
    }
    if (arg == L"--program" || arg == L"--step") {
      if (i + 1 >= argc) {
        Print(stderr, L"refused: " + arg + L" needs a value\n");
        return 2;
      }
      const std::wstring value = argv[++i];
      if (arg == L"--program") {
        program = value;
      } else if (!Add(value, L"--step " + std::to_wstring(++stepOptions), steps)) {
        return 2;
      }
      continue;
    }
    if (arg.starts_with(L"--")) {
      Print(stderr, L"refused: unknown option " + arg + L"\n" + kUsage);
      return 2;
    }
    std::wstring text;
    if (!ReadScript(arg, text)) {
      Print(stderr, L"refused: cannot read " + arg + L" (error " + std::to_wstring(::GetLastError()) + L")\n");
      return 2;
    }
    std::size_t lineNumber = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
      std::size_t end = text.find(L'\n', at);
      if (end == std::wstring::npos) end = text.size();
      ++lineNumber;
      if (!Add(text.substr(at, end - at), arg + L":" + std::to_wstring(lineNumber), steps)) return 2;
      at = end + 1;
    }
  }
  if (steps.empty()) {
    Print(stderr, std::wstring(L"refused: no steps\n") + kUsage);
    return 2;
  }
  tethra::tools::Controller controller(program);
  return controller.run(steps);
}
