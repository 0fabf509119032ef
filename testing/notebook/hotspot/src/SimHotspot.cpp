// Binding of the simulated mobile hotspot to the World: its calls, faults and events, and the
// hotspot thread of each process bound to it.
#include "tethra/sim/hotspot/SimHotspot.h"

namespace tethra::sim {

namespace {
std::uintptr_t ClientOf(const SimProcess& process) { return reinterpret_cast<std::uintptr_t>(&process); }
}  // namespace

SimHotspot::SimHotspot(World& world, const SimHotspotConfig& config, std::vector<SimProfile> profiles)
    : m_world(world) {
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

void SimHotspot::recordCall(std::string_view operation, std::string_view arguments, std::string_view result) {
  m_world.recordCall("hotspot", operation, arguments, result);
}

std::optional<HotspotFault> SimHotspot::takeFault(std::string_view operation) {
  const std::optional<FaultRule> rule = m_world.faults().take("hotspot", operation);
  if (!rule) return std::nullopt;
  return HotspotFaultOf(rule->code, rule->extra);
}

void SimHotspot::event(std::string text) { m_world.event(std::move(text)); }

std::uintptr_t SimHotspot::callingClient() {
  const SimProcess* process = m_world.currentProcess();
  return process != nullptr ? ClientOf(*process) : 0;
}

}  // namespace tethra::sim
