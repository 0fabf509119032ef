// The simulated mobile hotspot installed in a World: one service for the machine, its calls
// recorded under area "hotspot", its faults from World::faults() and its events in the
// transcript. Each program process bound to it gets the service as its IMobileHotspot and a
// hotspot thread that ends operations and tells network changes, one at a time. When the
// process ends, its observers are dropped.
//
// Owner: the machine (the parts of World::machineProcess()), for the life of the World; each
// thread's state is owned by its process. Bind on the machine before the process's threads
// start; call machine actions and inspection from the machine thread.
#pragma once

#include <memory>

#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/sim/World.h"
#include "tethra/sim/WorldServiceHost.h"

namespace tethra::sim {

class SimHotspot final : private WorldServiceHost<IHotspotServiceHost> {
 public:
  SimHotspot(World& world, const SimHotspotConfig& config, std::vector<SimProfile> profiles);
  SimHotspot(const SimHotspot&) = delete;
  SimHotspot& operator=(const SimHotspot&) = delete;
  ~SimHotspot() override;

  void bind(SimProcess& process);
  SimHotspotService& service() { return *m_Service; }

 private:
  std::optional<HotspotFault> takeFault(std::string_view operation) override;
  void deliveryQueued() override {}  // each hotspot thread's block() predicate sees the queue
  std::uint64_t nowMs() override { return m_World.now(); }

  std::unique_ptr<SimHotspotService> m_Service;
};

}  // namespace tethra::sim
