// Binding of the simulated WLAN service to the World: its calls, faults and events, and the
// WLAN thread of each process bound to it.
#include "tethra/sim/wlan/SimWlan.h"

namespace tethra::sim {

// One process's binding: the WLAN thread that delivers to its registrations. Owned by the
// process, so the thread's state lives as long as the thread may run.
class SimWlan::Binding {
 public:
  Binding(World& world, SimWlanService& service, SimProcess& process)
      : m_World(world), m_Service(service), m_Client(ClientOf(process)) {}

  void run() {
    for (;;) {
      m_World.block([this] { return m_Service.hasPendingNotificationFor(m_Client); });
      m_Service.deliverNext(m_Client);
    }
  }

 private:
  World& m_World;
  SimWlanService& m_Service;
  SimWlanService::Client m_Client;
};

SimWlan::SimWlan(World& world, const SimWlanConfig& config) : WorldServiceHost(world, "wlan") {
  platform::Platform& machine = world.machineProcess().platform();
  IWlanServiceHost& host = *this;
  // Last errors are per thread in the simulation: the machine's kernel sets the caller's.
  m_Service = std::make_unique<SimWlanService>(host, *machine.codePage, machine.kernel, config);
}

SimWlan::~SimWlan() = default;

void SimWlan::bind(SimProcess& process) {
  Binding& binding = process.parts().own(std::make_unique<Binding>(m_World, *m_Service, process));
  process.parts().use(*m_Service);
  const SimWlanService::Client client = ClientOf(process);
  process.atExit([this, client] { m_Service->forgetClient(client); });
  m_World.startThread(process, "wlan", [&binding] { binding.run(); });
}

std::optional<WlanFault> SimWlan::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<FaultRule> rule = takeRule(area, operation);
  if (!rule) return std::nullopt;
  return WlanFault{rule->code, rule->extra};
}

void SimWlan::waitUntil(std::function<bool()> ready) { m_World.block(std::move(ready)); }

SimAllocationFaults::SimAllocationFaults(World& world)
    : m_World(world), m_Previous(base::SetAllocationFaults(this)) {}

SimAllocationFaults::~SimAllocationFaults() { base::SetAllocationFaults(m_Previous); }

bool SimAllocationFaults::FailAllocation(const char* site) {
  return m_World.faults().take("alloc", site).has_value();
}

}  // namespace tethra::sim
