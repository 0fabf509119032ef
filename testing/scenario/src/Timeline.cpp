// The timeline of a scenario, in file order.
#include "tethra/scenario/Timeline.h"

namespace tethra::simrunner {

std::vector<std::string> PlayTimeline(const Scenario& scenario, ITimelineMachine& machine) {
  std::vector<std::string> notes;
  std::uint64_t lastFire = machine.NowMs();
  for (const TimelineEntry& entry : scenario.timeline) {
    // Only a new instance can still be started once the program has ended.
    if (machine.ProgramEnded() && entry.action.kind != Action::Kind::ProgramStart) {
      notes.push_back("line " + std::to_string(entry.line) + " not reached: the program had ended (" +
                      entry.source + ")");
      continue;
    }
    if (!machine.WaitFor(entry.trigger, lastFire)) {
      notes.push_back("line " + std::to_string(entry.line) + " never fired: " + entry.source);
      break;
    }
    machine.Fired(entry);
    machine.Perform(entry.action);
    lastFire = machine.NowMs();
  }
  return notes;
}

}  // namespace tethra::simrunner
