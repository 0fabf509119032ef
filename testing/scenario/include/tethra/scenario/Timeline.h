// The timeline of a scenario, played by a runner: each `when` line waits for its trigger after
// the previous line fired, then performs its action. The runner says how to wait and act on
// its machine (ITimelineMachine); the order, the notes on lines that never fired and the
// handling of an ended program are the same for the simulator and the Windows controller.
// Runs on the runner's driving thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/scenario/Scenario.h"

namespace tethra::simrunner {

class ITimelineMachine {
 public:
  virtual ~ITimelineMachine() = default;
  virtual std::uint64_t NowMs() = 0;
  virtual bool ProgramEnded() = 0;  // the newest instance
  // Blocks until the trigger holds; false when it did not within the runner's bound.
  virtual bool WaitFor(const Trigger& trigger, std::uint64_t lastFireMs) = 0;
  virtual void Fired(const TimelineEntry& entry) = 0;  // for the transcript
  virtual void Perform(const Action& action) = 0;
};

// Plays every line; returns the notes on lines not reached or never fired.
std::vector<std::string> PlayTimeline(const Scenario& scenario, ITimelineMachine& machine);

}  // namespace tethra::simrunner
