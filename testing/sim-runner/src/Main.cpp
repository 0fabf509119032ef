// tethra-sim: runs the real program on the simulated notebook from a scenario file, prints
// the transcript and one line per expectation. Exit status: 0 every expectation held, 1 one
// failed, 2 the file could not be read or parsed (or the command line was wrong).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tethra/runner/Runner.h"

namespace {

constexpr char kUsage[] =
    "usage: tethra-sim [--trace] [SCENARIO-FILE]\n"
    "       tethra-sim --print-default\n"
    "\n"
    "Runs Tethra on a simulated notebook. Without a file it runs the built-in scenario: a LAN\n"
    "share on a notebook where everything works, closed by the controller.\n"
    "\n"
    "  --trace          also show every platform call with its arguments and result\n"
    "  --print-default  print the built-in scenario and exit\n"
    "  --help           show this text\n"
    "\n"
    "The transcript shows, with virtual time in milliseconds, what the controller and the\n"
    "machine can see; then one line per expectation, `ok` or `FAILED` with what was found.\n"
    "Exit status: 0 every expectation held, 1 one did not, 2 the scenario was refused.\n";

}  // namespace

int main(int argc, char** argv) {
  tethra::simrunner::RunOptions options;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--print-default") {
      std::fputs(tethra::simrunner::DefaultScenarioText(), stdout);
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "tethra-sim: unknown option %s\n\n%s", arg.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = arg;
    } else {
      std::fprintf(stderr, "tethra-sim: one scenario file at a time\n\n%s", kUsage);
      return 2;
    }
  }

  std::string text;
  std::string name = "(built-in default)";
  if (file.empty()) {
    text = tethra::simrunner::DefaultScenarioText();
  } else {
    // A folder opens and reads as nothing, which would pass as an empty scenario.
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      std::fprintf(stderr, "%s: not a regular file\n", file.c_str());
      return 2;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    if (in) content << in.rdbuf();
    if (!in || in.bad()) {
      std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
      return 2;
    }
    text = content.str();
    name = file;
  }

  tethra::simrunner::ParseError error;
  const auto scenario = tethra::simrunner::ParseScenario(text, name, &error);
  if (!scenario) {
    std::fprintf(stderr, "%s\n", error.message().c_str());
    return 2;
  }
  const auto result = tethra::simrunner::RunScenario(*scenario, options);
  for (const auto& line : result.lines()) std::printf("%s\n", line.c_str());
  int passed = 0;
  for (const auto& line : result.expectations) passed += line.rfind("ok", 0) == 0 ? 1 : 0;
  std::printf("%s: %d of %zu expectations held\n", result.allHeld ? "PASSED" : "FAILED", passed,
              result.expectations.size());
  std::fflush(stdout);
  // The simulated program's parked threads never return: end without running destructors.
  std::_Exit(result.allHeld ? 0 : 1);
}
