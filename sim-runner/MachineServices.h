// Parts of the simulated notebook that the scenario runner owns: the process token's group
// membership, COM initialisation per thread, and the network shell ("netsh") started by the
// program. Each object serves the program process; calls are recorded in the world.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "sim-runner/Scenario.h"
#include "tethra/sim/world.h"

namespace tethra::simrunner {

class SimSecurity final : public platform::ISecurity {
 public:
  SimSecurity(sim::World& world, bool admin) : m_world(world), m_admin(admin) {}
  bool allocateAndInitializeSid(const platform::SidIdentifierAuthority& authority, std::uint8_t count,
                                platform::Dword s0, platform::Dword s1, platform::Dword s2, platform::Dword s3,
                                platform::Dword s4, platform::Dword s5, platform::Dword s6, platform::Dword s7,
                                platform::Psid* sid) override;
  bool checkTokenMembership(platform::Handle token, platform::Psid sid, platform::Bool32* isMember) override;
  void freeSid(platform::Psid sid) override;
  int outstandingSids() const { return m_outstanding; }

 private:
  sim::World& m_world;
  bool m_admin;
  int m_outstanding = 0;
};

class SimCom final : public platform::IComRuntime {
 public:
  explicit SimCom(sim::World& world) : m_world(world) {}
  platform::HResult coInitializeEx(platform::Dword coInit) override;
  platform::HResult coInitialize() override { return coInitializeEx(0x2); }
  void coUninitialize() override;

 private:
  struct Apartment {
    platform::Dword model = 0;
    int count = 0;
  };
  sim::World& m_world;
  std::map<std::thread::id, Apartment> m_threads;
};

// What `netsh wlan start hostednetwork` does on this notebook. `restart` stops and starts the
// hosted network with the name and key the service holds and returns once the service's
// notifications of both changes have been delivered.
class SimProcessStart final : public platform::IProcessStart {
 public:
  SimProcessStart(sim::World& world, sim::SimProcess& program, const Machine& machine,
                  std::function<void()> restartHostedNetwork)
      : m_world(world), m_program(program), m_machine(machine), m_restart(std::move(restartHostedNetwork)) {}
  bool shellExecuteEx(platform::ShellExecuteInfo* info) override;
  bool getExitCodeProcess(platform::Handle process, platform::Dword* exitCode) override;
  int runs() const { return m_runs; }

 private:
  sim::World& m_world;
  sim::SimProcess& m_program;
  const Machine& m_machine;
  std::function<void()> m_restart;
  int m_runs = 0;
  std::map<platform::Handle, std::optional<platform::Dword>> m_exitCodes;
};

}  // namespace tethra::simrunner
