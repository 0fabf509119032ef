// Binding of the simulated WLAN service to the World: its thread, calls, faults and events.
#include "tethra/sim/wlan/SimWlan.h"

namespace tethra::sim {

SimWlan::SimWlan(World& world, SimProcess& program, const SimWlanConfig& config) : m_world(world) {
  platform::Platform& platform = program.platform();
  IWlanServiceHost& host = *this;
  m_service = std::make_unique<SimWlanService>(host, *platform.codePage, platform.kernel, config);
  program.setWlanApi(m_service.get());
  m_world.startThread(program, "wlan", [this] { run(); });
}

SimWlan::~SimWlan() { m_stop = true; }

void SimWlan::run() {
  for (;;) {
    m_world.block([this] { return m_stop.load() || m_service->hasPendingNotification(); });
    if (m_stop.load()) return;
    m_service->deliverNext();
  }
}

void SimWlan::recordCall(std::string_view function, std::string_view arguments, std::string_view result) {
  m_world.recordCall("wlan", function, arguments, result);
}

std::optional<WlanFault> SimWlan::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<FaultRule> rule = m_world.faults().take(area, operation);
  if (!rule) return std::nullopt;
  return WlanFault{rule->code, rule->extra};
}

void SimWlan::event(std::string text) { m_world.event(std::move(text)); }

void SimWlan::waitUntil(std::function<bool()> ready) { m_world.block(std::move(ready)); }

SimAllocationFaults::SimAllocationFaults(World& world)
    : m_world(world), m_previous(wlan::SetAllocationFaults(this)) {}

SimAllocationFaults::~SimAllocationFaults() { wlan::SetAllocationFaults(m_previous); }

bool SimAllocationFaults::FailAllocation(const char* site) {
  return m_world.faults().take("alloc", site).has_value();
}

}  // namespace tethra::sim
