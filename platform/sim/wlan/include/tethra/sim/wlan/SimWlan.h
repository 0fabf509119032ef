// The simulated WLAN service installed in a World: the service, its WLAN thread (a simulated
// thread of the program process that delivers one notification at a time), its calls recorded
// under area "wlan", its faults from World::faults() and its events in the transcript.
//
// Owner: the scenario runner, for the life of the World. Construct on the machine before the
// program's threads start; call machine actions and inspection from the machine thread.
#pragma once

#include <atomic>
#include <memory>

#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/sim/world.h"
#include "tethra/wlan/Allocation.h"

namespace tethra::sim {

class SimWlan final : private IWlanServiceHost {
 public:
  // Installs the service as `program`'s IWlanApi and starts the WLAN thread.
  SimWlan(World& world, SimProcess& program, const SimWlanConfig& config);
  SimWlan(const SimWlan&) = delete;
  SimWlan& operator=(const SimWlan&) = delete;
  ~SimWlan() override;

  SimWlanService& service() { return *m_service; }
  // Lets the WLAN thread end once it next runs (before the World is torn down).
  void shutdown() { m_stop = true; }

 private:
  void recordCall(std::string_view function, std::string_view arguments, std::string_view result) override;
  std::optional<WlanFault> takeFault(std::string_view area, std::string_view operation) override;
  void event(std::string text) override;
  void notificationQueued() override {}  // the WLAN thread's block() predicate sees the queue
  void deliveryEnded() override {}
  void waitUntil(std::function<bool()> ready) override;
  void run();

  World& m_world;
  std::unique_ptr<SimWlanService> m_service;
  std::atomic<bool> m_stop{false};
};

// `fault alloc SITE` for the hosted network layer (and any layer using its hook): installed
// for its lifetime, consulted through World::faults().
class SimAllocationFaults final : public wlan::IAllocationFaults {
 public:
  explicit SimAllocationFaults(World& world);
  SimAllocationFaults(const SimAllocationFaults&) = delete;
  SimAllocationFaults& operator=(const SimAllocationFaults&) = delete;
  ~SimAllocationFaults() override;
  bool FailAllocation(const char* site) override;

 private:
  World& m_world;
  wlan::IAllocationFaults* m_previous;
};

}  // namespace tethra::sim
