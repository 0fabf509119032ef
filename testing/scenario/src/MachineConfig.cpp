// The scenario's machine statements as the simulated services take them.
#include "tethra/scenario/MachineConfig.h"

namespace tethra::simrunner {

sim::FaultPlan FaultPlanOf(const Machine& m) {
  sim::FaultPlan plan;
  for (const Fault& f : m.faults) {
    plan.add({.area = f.target,
              .operation = f.operation,
              .code = f.code,
              .extra = f.size,
              .remaining = f.times,
              .skip = f.skip});
  }
  return plan;
}

sim::SimWlanConfig WlanConfig(const WlanMachine& w) {
  sim::SimWlanConfig c;
  c.supported = w.supported;
  c.capable = w.capable;
  c.allowed = w.allowed;
  c.firstUse = w.firstUse;
  c.hostName = w.hostName;
  c.state = w.state;
  if (w.ssidText) {
    c.ssidText = *w.ssidText;
  } else {
    c.ssidBytes = w.ssidBytes;
  }
  c.keyKind = w.keyKind == WlanMachine::KeyKind::Text   ? sim::SimWlanConfig::KeyKind::Text
              : w.keyKind == WlanMachine::KeyKind::None ? sim::SimWlanConfig::KeyKind::None
                                                        : sim::SimWlanConfig::KeyKind::NotPassPhrase;
  c.keyText = w.key;
  c.maxPeers = w.maxPeers;
  c.reportsBeforeReturn = w.reportsBeforeReturn;
  c.adapter = w.adapter;
  for (const auto& mac : w.peers) c.peers.push_back(mac);
  return c;
}

sim::SimSharingConfig SharingConfig(const Machine& m) {
  sim::SimSharingConfig c;
  c.installed = m.sharing.installed;
  c.netshell = m.sharing.netshell == SharingMachine::Netshell::Missing    ? sim::SimSharingConfig::Netshell::Missing
               : m.sharing.netshell == SharingMachine::Netshell::NoExport ? sim::SimSharingConfig::Netshell::NoExport
                                                                          : sim::SimSharingConfig::Netshell::Present;
  for (const ConnectionSpec& spec : m.sharing.connections) {
    sim::SimConnectionConfig connection;
    connection.guid = spec.guid;
    connection.name = spec.name;
    connection.deviceName = spec.device;
    connection.role = spec.role == ConnectionSpec::Role::Public    ? sim::SimSharingRole::Public
                      : spec.role == ConnectionSpec::Role::Private ? sim::SimSharingRole::Private
                                                                   : sim::SimSharingRole::Off;
    connection.supported = spec.supported;
    connection.present = spec.present;
    connection.ras = spec.kind == sim::SimConnectionKind::Ras;
    c.connections.push_back(connection);
  }
  // No `connection` line: the notebook's own two, the hosted network's on the WLAN adapter.
  if (c.connections.empty()) c.connections = sim::DefaultConnections(m.wlan.adapter);
  return c;
}

sim::SimHotspotConfig HotspotConfigOf(const HotspotMachine& h) {
  sim::SimHotspotConfig c;
  c.present = h.present;
  c.profiles = h.profiles;
  c.state = h.on ? platform::TetheringState::On : platform::TetheringState::Off;
  c.config = {h.ssid, h.key, h.band, h.authentication};
  c.clients = h.clients;
  c.sessionStart = h.sessionStart;
  c.noConnectionsTimeout = h.noConnectionsTimeout;
  return c;
}

std::vector<sim::SimProfile> HotspotProfiles(const Machine& m) {
  std::vector<sim::SimProfile> profiles;
  // Connections a scenario names carry their kind; the default ones are wired.
  const sim::SimSharingConfig sharing = SharingConfig(m);
  for (std::size_t i = 0; i < sharing.connections.size(); ++i) {
    const sim::SimConnectionConfig& connection = sharing.connections[i];
    const sim::SimConnectionKind kind =
        i < m.sharing.connections.size() ? m.sharing.connections[i].kind : sim::SimConnectionKind::Lan;
    profiles.push_back(sim::ProfileOfConnection(connection.guid, connection.name, kind));
  }
  return profiles;
}

}  // namespace tethra::simrunner
