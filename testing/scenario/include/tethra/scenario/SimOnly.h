// Which statements of a scenario need the simulated notebook itself, and why: on Windows (a
// Wine prefix with simulated services planted, or a real notebook) the stand-in controller
// cannot carry them out or see what they ask. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tethra/scenario/Scenario.h"

namespace tethra::simrunner {

struct SimOnlyStatement {
  int line = 0;
  std::string statement;  // as written
  std::string why;
};

enum class WindowsMachine {
  Planted,  // Wine with the simulated services planted: every service statement works
  Real,     // the machine's own services: statements about a simulated service are skipped
};

// Machine statements first, then expectations, then timeline lines: the first entry names the
// reason that matters most. Under Planted, one entry makes the whole file sim-only. Under Real, the entries are the
// statements the controller skips; the rest of the scenario runs.
std::vector<SimOnlyStatement> SimOnlyStatements(const Scenario& scenario, std::string_view fileText,
                                                WindowsMachine machine);

// The scenario without the skipped timeline lines and expectations (for Real).
Scenario WithoutSkipped(const Scenario& scenario, const std::vector<SimOnlyStatement>& skipped);

}  // namespace tethra::simrunner
