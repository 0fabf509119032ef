// CWlanManager on the simulated notebook: every WlanCloseHandle of Init is made after its lock
// is given back, also while a notification callback runs and waits for that lock. The close
// waits for the callback; made under the lock, it would wait for ever, which the simulated
// service reports as a misuse.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tethra/sim/Machine.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using platform::HResult;

// Runs `hook` on the program thread at the first trace line that begins with the armed prefix.
class HookTrace final : public platform::ITrace {
 public:
  void arm(std::string prefix, std::function<void()> hook) {
    m_Prefix = std::move(prefix);
    m_Hook = std::move(hook);
  }
  void write(const char* line) override {
    if (!m_Hook || std::strncmp(line, m_Prefix.c_str(), m_Prefix.size()) != 0) return;
    const std::function<void()> hook = std::move(m_Hook);
    m_Hook = nullptr;
    hook();
  }

 private:
  std::string m_Prefix;
  std::function<void()> m_Hook;
};

struct InitRun {
  std::vector<HResult> results;
  bool returned = false;  // the program thread got through every Init and the manager's end
  std::vector<std::string> misuses;
  bool availableAfter = true;
};

// Arms the hook for the next trace line that begins with `prefix`.
using ArmHook = std::function<void(const char* prefix)>;

// A program thread runs `init` with a manager of its own. At an armed trace line (inside Init,
// under the manager's lock) the machine takes the hosted network away and the program thread
// waits until the report has left the queue: the callback then runs and waits for the lock.
InitRun RunInit(const sim::FaultRule& fault,
                const std::function<void(CWlanManager&, const ArmHook&, std::vector<HResult>&)>& init) {
  sim::SimMachine machine(sim::SimMachineConfig{});
  sim::World& world = machine.world();
  sim::SimProcess& program = machine.createProgram("tethra", nullptr);
  world.faults().add(fault);
  InitRun run;
  world.startThread(program, "main", [&] {
    const platform::Platform& p = program.platform();
    HookTrace trace;
    const ArmHook arm = [&](const char* prefix) {
      trace.arm(prefix, [&] {
        machine.wlan().machineSetState(platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkUnavailable, 12);
        world.block([&] { return !machine.wlan().hasPendingNotification(); });
      });
    };
    {
      CWlanManager manager(*p.wlan, *p.kernel, *p.codePage, trace);
      init(manager, arm, run.results);
      bool available = true;
      if (manager.IsHostedNetworkAvailable(available) == platform::kS_OK) run.availableAfter = available;
    }
    run.returned = true;
  });
  world.run([&] { world.waitIdle(); });
  run.misuses = machine.wlan().misuses();
  return run;
}

constexpr HResult kAccessDenied = platform::HResultFromWin32(platform::Win32Error{5});
constexpr HResult kInvalidData = platform::HResultFromWin32(platform::kERROR_INVALID_DATA);

TEST(WlanManagerCloseTest, AFailedInitClosesItsHandleAfterTheLock) {
  const InitRun run = RunInit(sim::FaultRule{"wlan", "WlanHostedNetworkInitSettings", 5, -1, 1},
                              [](CWlanManager& manager, const ArmHook& arm, std::vector<HResult>& results) {
                                arm("CWlanManager::Init, WlanRegisterNotification");
                                results.push_back(manager.Init(10));
                              });
  EXPECT_EQ(run.misuses, std::vector<std::string>{});
  EXPECT_TRUE(run.returned);
  EXPECT_EQ(run.results, std::vector<HResult>{kAccessDenied});
}

TEST(WlanManagerCloseTest, ASecondInitClosesTheFirstOnesHandleAfterTheLock) {
  // A short property answer fails the first Init and keeps its handle, registered; the second
  // Init opens another and lets the first go while the first one's callback waits.
  const InitRun run = RunInit(sim::FaultRule{"wlan-query", "0", 0, 36, 1},
                              [](CWlanManager& manager, const ArmHook& arm, std::vector<HResult>& results) {
                                results.push_back(manager.Init(10));
                                arm("CWlanManager::Init, WlanOpenHandle");
                                results.push_back(manager.Init(10));
                              });
  EXPECT_EQ(run.misuses, std::vector<std::string>{});
  EXPECT_TRUE(run.returned);
  EXPECT_EQ(run.results, (std::vector<HResult>{kInvalidData, platform::kS_OK}));
  EXPECT_FALSE(run.availableAfter);  // the callback, let in after Init, told the manager
}

}  // namespace
}  // namespace tethra::wlan
