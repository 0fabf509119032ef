// The areas each simulated program process has of its own beyond the World's core: its token's
// group membership, COM initialisation per thread and the process's COM security, and the start of the network shell ("netsh")
// with the handles of the shells it started. Owner: the process's parts, for the life of the
// World. Threads: the baton holder. Calls are recorded in the world.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "tethra/sim/Machine.h"

namespace tethra::sim {

class SimSecurity final : public platform::ISecurity {
 public:
  SimSecurity(World& world, bool admin) : m_World(world), m_Admin(admin) {}
  bool allocateAndInitializeSid(const platform::SidIdentifierAuthority& authority, std::uint8_t count,
                                platform::Dword s0, platform::Dword s1, platform::Dword s2, platform::Dword s3,
                                platform::Dword s4, platform::Dword s5, platform::Dword s6, platform::Dword s7,
                                platform::Psid* sid) override;
  bool checkTokenMembership(platform::Handle token, platform::Psid sid, platform::Bool32* isMember) override;
  void freeSid(platform::Psid sid) override;

 private:
  World& m_World;
  bool m_Admin;
};

class SimCom final : public platform::IComRuntime {
 public:
  explicit SimCom(World& world) : m_World(world) {}
  platform::HResult coInitializeEx(platform::Dword coInit) override;
  platform::HResult coInitialize() override { return coInitializeEx(0x2); }
  void coUninitialize() override;
  // Once per process and after the calling thread's initialisation; a second call is too late.
  // `fault com CoInitializeSecurity HRESULT` makes the call fail before it has any effect.
  platform::HResult coInitializeSecurity(platform::Dword authnLevel, platform::Dword impLevel,
                                         platform::Dword capabilities) override;
  // The process's security was set with the levels the ICS pages ask for (RAS connections).
  bool securityForSharing() const { return m_SecurityForSharing; }

 private:
  struct Apartment {
    platform::Dword model = 0;
    int count = 0;
  };
  World& m_World;
  std::map<std::thread::id, Apartment> m_Threads;
  bool m_SecuritySet = false;
  bool m_SecurityForSharing = false;
};

// The machine's network shell: what `netsh wlan start hostednetwork` does on this notebook,
// and how often any process started it. `restart` stops and starts the hosted network with
// the name and key the service holds and returns once both changes have been delivered.
// Owner: the machine.
class SimNetsh {
 public:
  SimNetsh(SimNetshConfig config, std::function<void()> restartHostedNetwork)
      : m_Config(config), m_Restart(std::move(restartHostedNetwork)) {}
  const SimNetshConfig& config() const { return m_Config; }
  void restartHostedNetwork() const { m_Restart(); }
  void counted() { ++m_Runs; }
  int runs() const { return m_Runs; }

 private:
  SimNetshConfig m_Config;
  std::function<void()> m_Restart;
  int m_Runs = 0;
};

class SimProcessStart final : public platform::IProcessStart {
 public:
  SimProcessStart(World& world, SimProcess& program, SimNetsh& netsh)
      : m_World(world), m_Program(program), m_Netsh(netsh) {}
  bool shellExecuteEx(platform::ShellExecuteInfo* info) override;
  bool getExitCodeProcess(platform::Handle process, platform::Dword* exitCode) override;

 private:
  World& m_World;
  SimProcess& m_Program;
  SimNetsh& m_Netsh;
  std::map<platform::Handle, std::optional<platform::Dword>> m_ExitCodes;
};

}  // namespace tethra::sim
