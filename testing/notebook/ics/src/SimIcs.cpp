// Binding of the simulated sharing service to the World: calls, faults and events.
#include "tethra/sim/ics/SimIcs.h"

namespace tethra::sim {

SimIcs::SimIcs(World& world, SimSharingConfig config) : WorldServiceHost(world, "ics") {
  ISharingServiceHost& host = *this;
  // Last errors are per thread in the simulation: the machine's kernel sets the caller's.
  m_Service = std::make_unique<SimSharingService>(host, world.machineProcess().platform().kernel, std::move(config));
}

void SimIcs::attach(SimProcess& process) { process.parts().use(*m_Service); }

std::optional<std::int64_t> SimIcs::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<FaultRule> rule = takeRule(area, operation);
  if (!rule) return std::nullopt;
  return rule->code;
}

}  // namespace tethra::sim
