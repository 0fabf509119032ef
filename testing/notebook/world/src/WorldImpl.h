// The inside of a World: scheduler, areas, processes, transcript and counters.
//
// Owner: World owns one Impl (or hands it to the keep-alive list when threads are still inside
// program code). Touched by the baton holder only, except for the scheduler's own locking.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Kernel.h"
#include "Process.h"
#include "Registry.h"
#include "Scheduler.h"
#include "tethra/sim/World.h"
#include "WindowManager.h"

namespace tethra::sim {

using platform::Dword;  // private header: seen only by the simulated world's own sources

struct World::Impl {
  explicit Impl(World::Options options);
  ~Impl();

  std::uintptr_t nextHandle() { return m_NextHandle += 4; }

  // A blocking wait of a platform call (kernel waits, sleeps, message waits, sends).
  bool wait(std::function<bool()> ready, std::optional<std::uint64_t> deadline) {
    return scheduler.block(std::move(ready), deadline, false);
  }
  // A wait of machine-side code: messages sent to the caller's windows are handled meanwhile.
  bool serveWait(std::function<bool()> ready, std::optional<std::uint64_t> deadline, bool idleWait);

  // Ends `process` from one of its own threads: no code of it runs afterwards.
  [[noreturn]] void exitProcess(detail::ProcessImpl& process, Dword code);
  void threadEnded(detail::ThreadRec& thread);

  void recordCall(std::string_view area, std::string_view function, std::string_view arguments,
                  std::string_view result);
  void event(std::string text) { transcript.event(scheduler.now(), std::move(text)); }
  void trace(std::string text) { transcript.trace(scheduler.now(), std::move(text)); }

  World::Options options;
  Transcript transcript;
  FaultPlan faults;
  std::map<std::string, std::uint64_t, std::less<>> callCounts;
  detail::Scheduler scheduler;
  detail::KernelState kernel;
  detail::RegistryStore registry;
  detail::WindowManager windows;
  std::vector<std::unique_ptr<detail::ProcessImpl>> processes;
  detail::ProcessImpl* machine = nullptr;
  bool ran = false;

 private:
  std::uintptr_t m_NextHandle = 0x100;
};

}  // namespace tethra::sim
