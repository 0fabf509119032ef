// Reads the logs the simulated services write when they run outside the simulator (DLLs and
// a network shell planted in a Wine prefix) into an Observation: call counts, the WLAN
// service's and the sharing service's last state, the sharing service's end check, and the
// network shell's starts. Every line is "<ms> ms  tid <n>  <body>"; bodies read here:
//   call NAME(ARGS) -> RESULT                      one per call, counted by NAME
//   now state S ssid "T" key "K"|none max-peers N  the WLAN service after a change
//   misuse TEXT                                    the program misused the WLAN API (a failure)
//   end: wlan memory: TEXT                         WLAN buffers never given back (a failure)
//   now public "N"|none private "N"|none           the sharing roles after a change
//   now left-over "TEXT"                           what the sharing service still counts
//   end: nothing left behind | end: service left over: TEXT | end: shared since the start: LIST
//   run ARGUMENTS                                  one start of the network shell
//   now hotspot state S ssid "T" key "K" clients N band B authentication A timeout T
//                                                 the mobile hotspot after a change
//   dialog PID visible|hidden, dialog PID control ID "TEXT", dialog PID log-reset,
//   dialog PID log-line "TEXT", dialog PID log-insert INDEX "TEXT", dialog PID log-delete INDEX
//                                                  the dialog of process PID as it changed
//                                                  (dialog PID message-box: a cue, skipped here)
// Lines it does not know are skipped. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "tethra/scenario/Observation.h"

namespace tethra::simrunner {

struct ServiceLogTexts {
  std::string wlan;     // empty: never written (the service was not reached)
  std::string sharing;
  std::string netsh;
  std::string hotspot;  // simhotspot.dll's log: calls counted by operation, `now hotspot` lines
  unsigned long programId = 0;  // the ended process whose dialog's changes count (the newest)
};

void ReadServiceLogs(const ServiceLogTexts& logs, Observation& seen);

}  // namespace tethra::simrunner
