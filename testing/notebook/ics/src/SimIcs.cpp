// Binding of the simulated sharing service to the World: calls, faults and events.
#include "tethra/sim/ics/SimIcs.h"

namespace tethra::sim {

SimIcs::SimIcs(World& world, SimSharingConfig config) : m_world(world) {
  ISharingServiceHost& host = *this;
  // Last errors are per thread in the simulation: the machine's kernel sets the caller's.
  m_service = std::make_unique<SimSharingService>(host, world.machineProcess().platform().kernel, std::move(config));
}

void SimIcs::attach(SimProcess& process) { process.parts().use(*m_service); }

void SimIcs::recordCall(std::string_view operation, std::string_view arguments, std::string_view result) {
  m_world.recordCall("ics", operation, arguments, result);
}

std::optional<std::int64_t> SimIcs::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<FaultRule> rule = m_world.faults().take(area, operation);
  if (!rule) return std::nullopt;
  return rule->code;
}

void SimIcs::event(std::string text) { m_world.event(std::move(text)); }

}  // namespace tethra::sim
