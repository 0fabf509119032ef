// Reads the logs the simulated services write when they run outside the simulator (DLLs and
// a network shell planted in a Wine prefix) into an Observation: call counts, the WLAN
// service's and the sharing service's last state, the sharing service's end check, and the
// network shell's starts. Every line is "<ms> ms  tid <n>  <body>"; bodies read here:
//   call NAME(ARGS) -> RESULT                      one per call, counted by NAME
//   now state S ssid "T" key "K"|none max-peers N  the WLAN service after a change
//   now public "N"|none private "N"|none           the sharing roles after a change
//   now left-over "TEXT"                           what the sharing service still counts
//   end: nothing left behind | end: service left over: TEXT | end: shared since the start: LIST
//   run ARGUMENTS                                  one start of the network shell
//   end dialog PID visible|hidden, end control PID ID "TEXT", end log-line PID "TEXT"
//                                                  the dialog of process PID as it ended
// Lines it does not know are skipped. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "sim-runner/Observation.h"

namespace tethra::simrunner {

struct ServiceLogTexts {
  std::string wlan;     // empty: never written (the service was not reached)
  std::string sharing;
  std::string netsh;
  unsigned long programId = 0;  // the process whose dialog at its end counts (the newest)
};

void ReadServiceLogs(const ServiceLogTexts& logs, Observation& seen);

}  // namespace tethra::simrunner
