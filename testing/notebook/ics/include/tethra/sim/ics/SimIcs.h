// The simulated sharing service installed in a World: its calls recorded under area "ics",
// its faults from World::faults() (`fault ics OPERATION CODE`, `fault ics-grow`) and its
// sharing changes in the transcript.
//
// Owner: the machine (the parts of World::machineProcess()), for the life of the World: one
// service for every process attached to it. Construct and attach on the machine before the
// process's threads start; inspect from the machine thread.
#pragma once

#include <memory>

#include "tethra/sim/ics/SimSharingService.h"
#include "tethra/sim/World.h"
#include "tethra/sim/WorldServiceHost.h"

namespace tethra::sim {

class SimIcs final : private WorldServiceHost<ISharingServiceHost> {
 public:
  SimIcs(World& world, SimSharingConfig config);
  SimIcs(const SimIcs&) = delete;
  SimIcs& operator=(const SimIcs&) = delete;
  ~SimIcs() override = default;

  // Installs the service as `process`'s sharing area and module loader.
  void attach(SimProcess& process);
  SimSharingService& service() { return *m_Service; }

 private:
  std::optional<std::int64_t> takeFault(std::string_view area, std::string_view operation) override;

  std::unique_ptr<SimSharingService> m_Service;
};

}  // namespace tethra::sim
