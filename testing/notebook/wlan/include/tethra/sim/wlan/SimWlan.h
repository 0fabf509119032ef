// The simulated WLAN service installed in a World: one service for the machine, its calls
// recorded under area "wlan", its faults from World::faults() and its events in the
// transcript. Each process that uses it is bound to it: the service becomes the process's
// IWlanApi, and a WLAN thread of that process delivers the notifications of its own
// registrations, one at a time. When the process ends, the service closes its handles.
//
// Owner: the machine (the parts of World::machineProcess()), for the life of the World; each
// binding is owned by its process. Construct and bind on the machine before the process's
// threads start; call machine actions and inspection from the machine thread.
#pragma once

#include <memory>

#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/base/Allocation.h"
#include "tethra/sim/World.h"
#include "tethra/sim/WorldServiceHost.h"

namespace tethra::sim {

class SimWlan final : private WorldServiceHost<IWlanServiceHost> {
 public:
  // The service converts its texts with the code page of the machine process.
  SimWlan(World& world, const SimWlanConfig& config);
  SimWlan(const SimWlan&) = delete;
  SimWlan& operator=(const SimWlan&) = delete;
  ~SimWlan() override;

  // Installs the service as `process`'s IWlanApi and starts the process's WLAN thread.
  void bind(SimProcess& process);
  SimWlanService& service() { return *m_Service; }

 private:
  class Binding;

  std::optional<WlanFault> takeFault(std::string_view area, std::string_view operation) override;
  void notificationQueued() override {}  // each WLAN thread's block() predicate sees the queue
  void deliveryEnded() override {}
  void waitUntil(std::function<bool()> ready) override;
  bool callbackWaitsForCaller(std::thread::id deliverer) override { return m_World.waitsForCaller(deliverer); }

  std::unique_ptr<SimWlanService> m_Service;
};

// `fault alloc SITE` for the hosted network layer (and any layer using its hook): installed
// for its lifetime, consulted through World::faults().
class SimAllocationFaults final : public base::IAllocationFaults {
 public:
  explicit SimAllocationFaults(World& world);
  SimAllocationFaults(const SimAllocationFaults&) = delete;
  SimAllocationFaults& operator=(const SimAllocationFaults&) = delete;
  ~SimAllocationFaults() override;
  bool FailAllocation(const char* site) override;

 private:
  World& m_World;
  base::IAllocationFaults* m_Previous;
};

}  // namespace tethra::sim
