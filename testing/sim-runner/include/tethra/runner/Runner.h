// Runs one scenario: builds the simulated notebook, starts the stand-in controller and the
// real program, plays the timeline, and checks the expectations. Deterministic: the same
// scenario gives the same result lines on every run.
#pragma once

#include <string>
#include <vector>

#include "tethra/scenario/Scenario.h"

namespace tethra::simrunner {

struct RunOptions {
  bool trace = false;  // every platform call in the transcript
};

struct RunResult {
  std::vector<std::string> transcript;    // events, stamped with virtual time
  std::vector<std::string> expectations;  // one `ok` or `FAILED` line each
  bool allHeld = true;
  std::vector<std::string> lines() const;
};

RunResult RunScenario(const Scenario& scenario, const RunOptions& options);

// The built-in scenario that `tethra-sim` runs without a file.
const char* DefaultScenarioText();

}  // namespace tethra::simrunner
