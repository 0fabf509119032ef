// The World's side of a simulated service's host (the WLAN, sharing and hotspot services each
// name theirs): the service's calls recorded under its area, its events in the transcript, the
// program process making a call as its client, and the World's fault plan for its rules. A
// binding derives from WorldServiceHost<ItsHostInterface> and adds what only its service needs.
// Machine thread and the program threads the World runs one at a time, like the World itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tethra/sim/Faults.h"
#include "tethra/sim/World.h"

namespace tethra::sim {

template <typename Host>
class WorldServiceHost : public Host {
 public:
  // Each program process is one client of a service.
  static std::uintptr_t ClientOf(const SimProcess& process) { return reinterpret_cast<std::uintptr_t>(&process); }

 protected:
  // `area`: a literal ("wlan", "ics", "hotspot"), the calls' area in the transcript.
  WorldServiceHost(World& world, std::string_view area) : m_World(world), m_Area(area) {}

  void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) override {
    m_World.recordCall(m_Area, operation, arguments, result);
  }
  void event(std::string text) override { m_World.event(std::move(text)); }
  std::uintptr_t callingClient() override {
    const SimProcess* process = m_World.currentProcess();
    return process != nullptr ? ClientOf(*process) : 0;
  }
  // The armed rule for (area, operation), its hit counted.
  std::optional<FaultRule> takeRule(std::string_view area, std::string_view operation) {
    return m_World.faults().take(area, operation);
  }

  World& m_World;

 private:
  std::string_view m_Area;
};

}  // namespace tethra::sim
