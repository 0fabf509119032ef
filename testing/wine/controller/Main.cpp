// tethra-controller.exe: the stand-in controller, for people who integrate Tethra and for the
// end-to-end runs under Wine. Runs one scenario file (the simulator's format, read by the
// simulator's own reader) against tethra.exe; --plan says what a Wine prefix needs for a file;
// --check-scenario says, one line a file, whether each is accepted or why it is refused.
// Exit code: 0 every expectation held (or every file accepted), 1 one did not, 2 the file
// cannot be read or run here. Main thread only.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScenarioRun.h"
#include "tethra/scenario/Scenario.h"
#include "tethra/scenario/SimOnly.h"
#include "tethra/wine/ReadFile.h"
#include "tethra/wine/ScenarioFile.h"

namespace {

constexpr wchar_t kUsage[] =
    L"usage: tethra-controller [--program PATH] [--real] FILE.scn\n"
    L"       tethra-controller --plan FILE.scn...\n"
    L"       tethra-controller --check-scenario FILE...\n"
    L"Runs a scenario file against tethra.exe (beside the controller unless --program says\n"
    L"otherwise): prepares the registry, owns the window \"NetworkSetting LogicUIWnd\", plays the\n"
    L"timeline in real time and checks the expectations. The simulated services planted in the\n"
    L"machine are configured from the same file (TETHRA_SCENARIO) and their logs (TETHRA_SIMWLAN_LOG,\n"
    L"TETHRA_SIMSHARING_LOG, TETHRA_SIMNETSH_LOG) are read. With --real the machine's own services\n"
    L"are used: the statements that need a simulated service are listed and skipped.\n"
    L"--plan prints, after `== FILE`, what a Wine prefix needs for each file or its sim-only statements.\n"
    L"Exit code: 0 when every expectation held, 1 when one did not, 2 when the file cannot be read\n"
    L"or needs the simulated notebook. --check-scenario prints `accepted FILE` or the reader's\n"
    L"refusal (FILE:LINE: reason) for each file; exit code 0 when every file was accepted, 2 otherwise.\n";

void Print(FILE* stream, const std::wstring& text) {
  const std::string bytes = tethra::tools::Utf8Of(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

// The bytes of a scenario file; or false, after printing why in tethra-sim's words. A folder
// or a device is no scenario (a folder must not read as an empty one).
bool ReadScenarioText(const std::wstring& file, std::string& text) {
  const std::string name = tethra::tools::Utf8Of(file);
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    std::printf("%s: not a regular file\n", name.c_str());
    return false;
  }
  if (!tethra::tools::ReadWholeFile(file, text)) {
    std::printf("%s: cannot be read\n", name.c_str());
    return false;
  }
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
    const std::string name = tethra::tools::Utf8Of(file);
    std::string text;
    if (!ReadScenarioText(file, text)) {
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
  const std::string name = tethra::tools::Utf8Of(file);
  if (!ReadScenarioText(file, text)) return std::nullopt;
  tethra::simrunner::ParseError error;
  auto scenario = tethra::simrunner::ParseScenario(text, name, &error);
  if (!scenario) std::printf("%s\n", error.message().c_str());
  return scenario;
}

std::string Describe(const tethra::simrunner::SimOnlyStatement& s) {
  return "line " + std::to_string(s.line) + ": " + s.statement + " (" + s.why + ")";
}

// What a Wine prefix needs for one scenario: its sim-only statements, or the pieces to plant.
bool PlanOne(const std::wstring& file) {
  std::string text;
  const auto scenario = ReadScenario(file, text);
  if (!scenario) return false;
  using tethra::simrunner::Machine;
  using tethra::simrunner::SharingMachine;
  const auto simOnly = SimOnlyStatements(*scenario, text, tethra::simrunner::WindowsMachine::Planted);
  for (const auto& s : simOnly) std::printf("sim-only %s\n", Describe(s).c_str());
  if (simOnly.empty()) {
    const Machine& m = scenario->machine;
    std::printf("netsh %s\n", m.netsh == Machine::Netsh::Missing ? "missing" : "present");
    std::printf("codepage %u\n", static_cast<unsigned>(m.codePage));
    // The timeline's waits and machine transitions, which take real time here: the harness adds
    // them to its bound.
    std::uint64_t waitsMs = 0;
    for (const auto& entry : scenario->timeline) {
      if (entry.trigger.kind == tethra::simrunner::Trigger::Kind::After) waitsMs += entry.trigger.afterMs;
      if (entry.action.kind == tethra::simrunner::Action::Kind::HotspotTransitionThenOff) waitsMs += entry.action.size;
    }
    std::printf("waits %llu\n", static_cast<unsigned long long>((waitsMs + 999) / 1000));
    std::printf("netshell %s\n", m.sharing.netshell == SharingMachine::Netshell::Missing    ? "missing"
                                 : m.sharing.netshell == SharingMachine::Netshell::NoExport ? "no-export"
                                                                                             : "present");
  }
  return true;
}

// What a Wine prefix needs for each scenario, after a line `== FILE`: its sim-only statements,
// or the pieces to plant; a file that cannot be read gets the refusal instead.
int Plan(const std::vector<std::wstring>& files) {
  bool allRead = true;
  for (const std::wstring& file : files) {
    std::printf("== %s\n", tethra::tools::Utf8Of(file).c_str());
    allRead = PlanOne(file) && allRead;
  }
  std::fflush(stdout);
  return allRead ? 0 : 2;
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
  return run.run();
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
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--help" || arg == L"-h") {
      Print(stdout, kUsage);
      return 0;
    }
    if (arg == L"--check-scenario") return CheckScenarios(std::vector<std::wstring>(argv + i + 1, argv + argc));
    if (arg == L"--plan" && i + 1 < argc) return Plan(std::vector<std::wstring>(argv + i + 1, argv + argc));
    if (arg == L"--program" && i + 1 < argc) {
      program = argv[++i];
      continue;
    }
    if (arg == L"--real") {
      real = true;
      continue;
    }
    if (!arg.starts_with(L"--") && i + 1 == argc) return RunScenarioFile(arg, program, real);
    Print(stderr, L"refused: " + arg + L" (a scenario file comes alone and last)\n" + kUsage);
    return 2;
  }
  Print(stderr, std::wstring(L"refused: no scenario file\n") + kUsage);
  return 2;
}
