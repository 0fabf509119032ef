// The machine the simulated sharing service plays, read once when the service starts: the
// scenario file named by TETHRA_SCENARIO, converted exactly as tethra-sim converts it (so a
// scenario runs against the same connections and faults on both platforms), or without it the
// older variables TETHRA_SIMSHARING_INSTALLED and TETHRA_SIMSHARING_CONNECTIONS.
//
// Owner: the caller owns what comes back. Threads: any; reads the environment and one file.
// Codes: none; a scenario that cannot be read or parsed leaves a "scenario refused: ..." note
// and the machine of the variables instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/sim/Faults.h"
#include "tethra/sim/ics/SimSharingService.h"

namespace tethra::tools {

struct SharingMachineSetup {
  sim::SimSharingConfig config;
  // The hosted network's virtual adapter, whose connection lives with it, and the adapter at the
  // start (while the WLAN service of the process has not been reached).
  platform::Guid hostedAdapter{};
  sim::SimHostedAdapter hostedAdapterAtStart;
  sim::FaultPlan faults;            // `fault ics ...` and `fault ics-grow` lines (others never asked for)
  std::vector<std::string> notes;   // log lines: where the machine came from, what was refused
};

SharingMachineSetup ReadSharingMachine();

}  // namespace tethra::tools
