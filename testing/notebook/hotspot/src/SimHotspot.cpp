// Binding of the simulated mobile hotspot to the World: its calls, faults and events, and the
// hotspot thread of each process bound to it.
#include "tethra/sim/hotspot/SimHotspot.h"

namespace tethra::sim {

SimHotspot::SimHotspot(World& world, const SimHotspotConfig& config, std::vector<SimProfile> profiles)
    : WorldServiceHost(world, "hotspot") {
  IHotspotServiceHost& host = *this;
  m_service = std::make_unique<SimHotspotService>(host, config, std::move(profiles));
}

SimHotspot::~SimHotspot() = default;

void SimHotspot::bind(SimProcess& process) {
  process.parts().use(*m_service);
  const std::uintptr_t client = ClientOf(process);
  process.atExit([this, client] { m_service->forgetClient(client); });
  m_world.startThread(process, "hotspot", [this] {
    for (;;) {
      // A late operation or a transition wakes the thread when its time comes.
      m_world.block([this] { return m_service->hasPendingDelivery(); }, m_service->nextDueMs());
      m_service->deliverNext();
    }
  });
}

std::optional<HotspotFault> SimHotspot::takeFault(std::string_view operation) {
  const std::optional<FaultRule> rule = takeRule("hotspot", operation);
  if (!rule) return std::nullopt;
  return HotspotFaultOf(rule->code, rule->extra);
}

}  // namespace tethra::sim
