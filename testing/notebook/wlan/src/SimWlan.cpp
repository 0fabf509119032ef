// Binding of the simulated WLAN service to the World: its calls, faults and events, and the
// WLAN thread of each process bound to it.
#include "tethra/sim/wlan/SimWlan.h"

namespace tethra::sim {

// One process's binding: the WLAN thread that delivers to its registrations. Owned by the
// process, so the thread's state lives as long as the thread may run.
class SimWlan::Binding {
 public:
  Binding(World& world, SimWlanService& service, SimProcess& process)
      : m_world(world), m_service(service), m_client(ClientOf(process)) {}

  void run() {
    for (;;) {
      m_world.block([this] { return m_service.hasPendingNotificationFor(m_client); });
      m_service.deliverNext(m_client);
    }
  }

 private:
  World& m_world;
  SimWlanService& m_service;
  SimWlanService::Client m_client;
};

SimWlan::SimWlan(World& world, const SimWlanConfig& config) : WorldServiceHost(world, "wlan") {
  platform::Platform& machine = world.machineProcess().platform();
  IWlanServiceHost& host = *this;
  // Last errors are per thread in the simulation: the machine's kernel sets the caller's.
  m_service = std::make_unique<SimWlanService>(host, *machine.codePage, machine.kernel, config);
}

SimWlan::~SimWlan() = default;

void SimWlan::bind(SimProcess& process) {
  Binding& binding = process.parts().own(std::make_unique<Binding>(m_world, *m_service, process));
  process.parts().use(*m_service);
  const SimWlanService::Client client = ClientOf(process);
  process.atExit([this, client] { m_service->forgetClient(client); });
  m_world.startThread(process, "wlan", [&binding] { binding.run(); });
}

std::optional<WlanFault> SimWlan::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<FaultRule> rule = takeRule(area, operation);
  if (!rule) return std::nullopt;
  return WlanFault{rule->code, rule->extra};
}

void SimWlan::waitUntil(std::function<bool()> ready) { m_world.block(std::move(ready)); }

SimAllocationFaults::SimAllocationFaults(World& world)
    : m_world(world), m_previous(base::SetAllocationFaults(this)) {}

SimAllocationFaults::~SimAllocationFaults() { base::SetAllocationFaults(m_previous); }

bool SimAllocationFaults::FailAllocation(const char* site) {
  return m_world.faults().take("alloc", site).has_value();
}

}  // namespace tethra::sim
