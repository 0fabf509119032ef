// WaitAndPumpMessages on a simulated thread: it waits at least the time given, dispatches at
// most one message per 10 ms, and with 0 ms dispatches nothing.
#include <gtest/gtest.h>

#include "tethra/app/MessagePump.h"
#include "tethra/sim/ProgramResources.h"
#include "tethra/sim/World.h"

namespace tethra::app {
namespace {

TEST(WaitAndPumpMessagesTest, ZeroDispatchesNothingAndLongerWaitsPumpOneMessagePerTurn) {
  sim::World world(sim::World::Options{});
  sim::SimProcess& process = world.createProcess("tethra", true, &sim::ProgramResources());
  int handled = 0;
  std::uint64_t waited = 0;
  bool finished = false;
  world.startThread(process, "main", [&] {
    const platform::Platform p = process.platform();
    const platform::Hwnd target = world.windows().createWindow(
        u"Target", u"target",
        [&](platform::Hwnd, std::uint32_t m, platform::WParam, platform::LParam) -> platform::LResult {
          if (m == platform::kWM_USER) ++handled;
          return 0;
        },
        false);
    for (int i = 0; i < 3; ++i) p.windows->postMessage(target, platform::kWM_USER, 0, 0);
    WaitAndPumpMessages(*p.kernel, *p.windows, 0);
    EXPECT_EQ(handled, 0);
    const std::uint64_t before = world.now();
    WaitAndPumpMessages(*p.kernel, *p.windows, 20);
    waited = world.now() - before;
    finished = true;
    p.kernel->exitProcess(0);
  });
  world.run([&] { world.block([&] { return finished; }, 10'000); });
  EXPECT_TRUE(finished);
  EXPECT_GE(waited, 20u);
  EXPECT_EQ(handled, 2);  // one message per 10 ms turn
}

}  // namespace
}  // namespace tethra::app
