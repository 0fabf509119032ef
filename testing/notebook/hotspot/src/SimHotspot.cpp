// Binding of the simulated mobile hotspot to the World: its calls, faults and events, and the
// hotspot thread of each process bound to it.
#include "tethra/sim/hotspot/SimHotspot.h"

namespace tethra::sim {

SimHotspot::SimHotspot(World& world, const SimHotspotConfig& config, std::vector<SimProfile> profiles)
    : WorldServiceHost(world, "hotspot") {
  IHotspotServiceHost& host = *this;
  m_Service = std::make_unique<SimHotspotService>(host, config, std::move(profiles));
}

SimHotspot::~SimHotspot() = default;

void SimHotspot::bind(SimProcess& process) {
  process.parts().use(*m_Service);
  const std::uintptr_t client = ClientOf(process);
  process.atExit([this, client] { m_Service->forgetClient(client); });
  m_World.startThread(process, "hotspot", [this] {
    for (;;) {
      // A late operation or a transition wakes the thread when its time comes; one queued while
      // the thread waits moves that time, so the thread wakes to wait again until then.
      const std::optional<std::uint64_t> due = m_Service->nextDueMs();
      m_World.block([this, due] { return m_Service->hasPendingDelivery() || m_Service->nextDueMs() != due; }, due);
      m_Service->deliverNext();
    }
  });
}

std::optional<HotspotFault> SimHotspot::takeFault(std::string_view operation) {
  const std::optional<FaultRule> rule = takeRule("hotspot", operation);
  if (!rule) return std::nullopt;
  return HotspotFaultOf(rule->code, rule->extra);
}

}  // namespace tethra::sim
