// The one assembly of the simulated notebook and its program processes.
#include "tethra/sim/Machine.h"

#include "ProcessServices.h"
#include "tethra/sim/hotspot/SimHotspot.h"
#include "tethra/sim/ics/SimIcs.h"
#include "tethra/sim/wlan/SimWlan.h"

namespace tethra::sim {

SimMachine::SimMachine(const SimMachineConfig& config)
    : m_world(std::make_unique<World>(config.world)), m_admin(config.admin) {
  ProcessParts& machine = m_world->machineProcess().parts();
  m_wlan = &machine.own(std::make_unique<SimWlan>(*m_world, config.wlan));
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
  m_hotspot = &machine.own(std::make_unique<SimHotspot>(*m_world, config.hotspot, std::move(profiles)));
  m_ics = &machine.own(std::make_unique<SimIcs>(*m_world, std::move(sharing)));
  SimWlanService& wlan = m_wlan->service();
  // The hosted network's virtual adapter is listed among the connections only while it runs.
  m_ics->service().setListedWhen([&wlan, adapter = config.wlan.adapter](const platform::Guid& guid) {
    return guid != adapter || wlan.state() == platform::kWlanHostedNetworkActive;
  });
  World& world = *m_world;
  m_netsh = &machine.own(std::make_unique<SimNetsh>(config.netsh, [&wlan, &world] {
    if (wlan.restart()) world.block([&wlan] { return !wlan.hasPendingNotification(); });
  }));
  m_allocationFaults = std::make_unique<SimAllocationFaults>(*m_world);
}

SimMachine::~SimMachine() = default;

SimWlanService& SimMachine::wlan() { return m_wlan->service(); }
SimSharingService& SimMachine::sharing() { return m_ics->service(); }
SimHotspotService& SimMachine::hotspot() { return m_hotspot->service(); }
int SimMachine::netshRuns() const { return m_netsh->runs(); }

SimProcess& SimMachine::createProgram(std::string name, const platform::ModuleResources* resources) {
  SimProcess& process = m_world->createProcess(std::move(name), true, resources);
  m_wlan->bind(process);
  ProcessParts& parts = process.parts();
  parts.own(std::make_unique<SimSecurity>(*m_world, m_admin));
  parts.own(std::make_unique<SimCom>(*m_world));
  m_ics->attach(process);
  m_hotspot->bind(process);
  parts.own(std::make_unique<SimProcessStart>(*m_world, process, *m_netsh));
  return process;
}

}  // namespace tethra::sim
