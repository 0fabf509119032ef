// The simulated notebook assembled in one place: a World, the machine's WLAN, sharing and
// hotspot services and its network shell, and program processes that each get the whole platform.
// The scenario runner and the tests build every machine and program process through this.
//
// Ownership: the World owns everything the simulated threads may use. The machine-wide
// services belong to the machine process's parts; each program process owns its own security,
// COM, process start and WLAN binding in its parts, so that an instance started later never
// replaces what an earlier one still uses. Threads: construct, createProgram and inspect on
// the machine (before World::run or on the machine thread).
#pragma once

#include <optional>
#include <vector>

#include <memory>
#include <string>

#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/sim/ics/SimSharingService.h"
#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/sim/World.h"

namespace tethra::sim {

class SimWlan;
class SimIcs;
class SimHotspot;
class SimNetsh;
class SimAllocationFaults;

// What `netsh wlan start hostednetwork` does: exits with `exitCode` (0: after starting the
// hosted network, a forced start), runs past any wait, or cannot be started. `startsFirst`:
// the network is started even when the shell then fails or hangs. `delayMs`: how long the
// shell runs before it does anything.
struct SimNetshConfig {
  enum class Behaviour { Exit, Hangs, Missing } behaviour = Behaviour::Exit;
  platform::Dword exitCode = 0;
  bool startsFirst = false;
  platform::Dword delayMs = 0;  // the shell's run time before it does anything
};

struct SimMachineConfig {
  World::Options world;
  bool admin = true;  // program tokens are in the Administrators group
  SimWlanConfig wlan;
  SimSharingConfig sharing;  // no connections: the default two (see DefaultConnections)
  SimNetshConfig netsh;
  SimHotspotConfig hotspot;
  // The profiles the system lists; when not given, a LAN connection's for each of `sharing`.
  std::optional<std::vector<SimProfile>> hotspotProfiles;
};

class SimMachine {
 public:
  explicit SimMachine(const SimMachineConfig& config);
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;
  // Ends the `fault alloc` hook; the World keeps itself alive while threads are parked in it.
  ~SimMachine();

  World& world() { return *m_World; }
  SimWlanService& wlan();
  SimSharingService& sharing();
  SimHotspotService& hotspot();
  int netshRuns() const;  // network shells started by any process

  // A program process with the whole platform: the World's core areas, the machine's WLAN and
  // sharing services (with a WLAN thread of its own), and its own security, COM and process
  // start. Start its threads afterwards.
  SimProcess& createProgram(std::string name, const platform::ModuleResources* resources);

 private:
  std::unique_ptr<World> m_World;
  bool m_Admin;
  SimWlan* m_Wlan = nullptr;  // owned by the machine process's parts
  SimIcs* m_Ics = nullptr;
  SimHotspot* m_Hotspot = nullptr;
  SimNetsh* m_Netsh = nullptr;
  std::unique_ptr<SimAllocationFaults> m_AllocationFaults;
};

}  // namespace tethra::sim
