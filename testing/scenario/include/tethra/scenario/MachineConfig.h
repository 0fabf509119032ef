// The scenario's machine statements as the simulated services take them: the WLAN service's
// and the sharing service's configurations and the planted faults. One conversion for both
// platforms: the simulated notebook builds its services from it, and so do the simulated
// service DLLs planted in a Wine prefix. Pure functions; any thread.
#pragma once

#include "tethra/scenario/Scenario.h"
#include "tethra/sim/Faults.h"
#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/sim/ics/SimSharingService.h"
#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::simrunner {

// "ShareConnection" on a machine whose scenario does not set it: the default Ethernet device.
inline constexpr char16_t kDefaultShareConnection[] = u"Simulated Ethernet Adapter";

sim::SimWlanConfig WlanConfig(const WlanMachine& wlan);
sim::SimSharingConfig SharingConfig(const Machine& machine);
sim::SimHotspotConfig HotspotConfigOf(const HotspotMachine& hotspot);
// The adapters with a connection profile: every connection the sharing service knows.
std::vector<sim::SimProfile> HotspotProfiles(const Machine& machine);
// Every `fault` line, in file order (the first armed rule of an operation hits first).
sim::FaultPlan FaultPlanOf(const Machine& machine);

}  // namespace tethra::simrunner
