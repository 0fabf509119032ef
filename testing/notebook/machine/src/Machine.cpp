// The one assembly of the simulated notebook and its program processes.
#include "tethra/sim/Machine.h"

#include "ProcessServices.h"
#include "tethra/sim/hotspot/SimHotspot.h"
#include "tethra/sim/ics/SimIcs.h"
#include "tethra/sim/wlan/SimWlan.h"

namespace tethra::sim {

SimMachine::SimMachine(const SimMachineConfig& config)
    : m_World(std::make_unique<World>(config.world)), m_Admin(config.admin) {
  ProcessParts& machine = m_World->machineProcess().parts();
  m_Wlan = &machine.own(std::make_unique<SimWlan>(*m_World, config.wlan));
  SimSharingConfig sharing = config.sharing;
  if (sharing.connections.empty()) sharing.connections = DefaultConnections(config.wlan.adapter);
  std::vector<SimProfile> profiles;
  if (config.hotspotProfiles) {
    profiles = *config.hotspotProfiles;
  } else {
    for (const SimConnectionConfig& connection : sharing.connections) {
      profiles.push_back(ProfileOfConnection(connection.guid, connection.name, SimConnectionKind::Lan));
    }
  }
  m_Hotspot = &machine.own(std::make_unique<SimHotspot>(*m_World, config.hotspot, std::move(profiles)));
  m_Ics = &machine.own(std::make_unique<SimIcs>(*m_World, std::move(sharing)));
  SimWlanService& wlan = m_Wlan->service();
  // The hosted network's connection lives with its virtual adapter (docs/sharing-contract.md).
  m_Ics->service().setHostedAdapter(config.wlan.adapter, [&wlan] {
    return SimHostedAdapter{wlan.virtualAdapterPresent(), wlan.startedSinceAdapterPresent()};
  });
  World& world = *m_World;
  // COM security is the calling process's own.
  m_Ics->service().setCallerSecurity([&world] {
    SimProcess* process = world.currentProcess();
    const auto* com = process != nullptr ? dynamic_cast<const SimCom*>(process->platform().com) : nullptr;
    return com != nullptr && com->securityForSharing();
  });
  m_Netsh = &machine.own(std::make_unique<SimNetsh>(config.netsh, [&wlan, &world] {
    if (wlan.restart()) world.block([&wlan] { return !wlan.hasPendingNotification(); });
  }));
  m_AllocationFaults = std::make_unique<SimAllocationFaults>(*m_World);
}

SimMachine::~SimMachine() = default;

SimWlanService& SimMachine::wlan() { return m_Wlan->service(); }
SimSharingService& SimMachine::sharing() { return m_Ics->service(); }
SimHotspotService& SimMachine::hotspot() { return m_Hotspot->service(); }
int SimMachine::netshRuns() const { return m_Netsh->runs(); }

SimProcess& SimMachine::createProgram(std::string name, const platform::ModuleResources* resources) {
  SimProcess& process = m_World->createProcess(std::move(name), true, resources);
  m_Wlan->bind(process);
  ProcessParts& parts = process.parts();
  parts.own(std::make_unique<SimSecurity>(*m_World, m_Admin));
  parts.own(std::make_unique<SimCom>(*m_World));
  m_Ics->attach(process);
  m_Hotspot->bind(process);
  parts.own(std::make_unique<SimProcessStart>(*m_World, process, *m_Netsh));
  return process;
}

}  // namespace tethra::sim
