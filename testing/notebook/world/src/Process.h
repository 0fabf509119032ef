// One simulated process: its parts (the core adapters it makes itself and those added from
// outside, see SimProcess::parts), its handle and key tables, its exit state. Owner:
// World::Impl owns every process for the life of the world. Touched by the baton holder only.
// Call records of program processes go to World::recordCall.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Kernel.h"
#include "tethra/sim/World.h"

namespace tethra::sim::detail {

using platform::Dword;  // private header: seen only by the simulated world's own sources

struct RegKeyHandle {
  SimRegistry::View view = SimRegistry::View::Native;
  std::vector<std::u16string> path;  // folded components
  Dword access = 0;
};

class ProcessImpl final : public SimProcess {
 public:
  ProcessImpl(World::Impl& world, std::string name, bool isProgram, const platform::ModuleResources* resources);
  ~ProcessImpl() override;

  const std::string& name() const override { return m_Name; }
  platform::Platform& platform() override { return m_Parts.platform(); }
  ProcessParts& parts() override { return m_Parts; }
  void atExit(std::function<void()> hook) override { m_ExitHooks.push_back(std::move(hook)); }
  bool exited() const override { return m_ExitCode.has_value(); }
  std::optional<Dword> exitCode() const override { return m_ExitCode; }

  bool isProgram() const { return m_IsProgram; }
  const platform::ModuleResources* resources() const { return m_Resources; }
  World::Impl& world() { return m_World; }
  void markExited(Dword code) { m_ExitCode = code; }
  // The atExit hooks, in the order they were added (each runs once).
  void runExitHooks();

  // Last error of the calling simulated thread (a process-wide slot off the simulation).
  platform::Win32Error lastError() const;
  void setLastError(platform::Win32Error error);

  // Records one platform call of this process (program processes only).
  void record(std::string_view area, std::string_view function, std::string_view arguments,
              std::string_view result);

  std::map<std::uintptr_t, std::shared_ptr<KernelObject>> handles;
  std::map<std::uintptr_t, RegKeyHandle> keys;

 private:
  World::Impl& m_World;
  std::string m_Name;
  bool m_IsProgram;
  const platform::ModuleResources* m_Resources;
  std::optional<Dword> m_ExitCode;
  platform::Win32Error m_OutsideLastError = platform::kERROR_SUCCESS;
  std::vector<std::function<void()>> m_ExitHooks;
  ProcessParts m_Parts;  // last member: its parts may use everything above while they go
};

}  // namespace tethra::sim::detail
