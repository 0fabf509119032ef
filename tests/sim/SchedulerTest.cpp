// The baton and virtual time: one thread at a time, time moves only when nobody can run, in
// deadline order, and the idle/deadlock rules the runner relies on.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tethra/sim/World.h"

namespace {

using tethra::sim::World;

TEST(SchedulerTest, LongSleepCostsNoWallTimeAndDeadlinesWakeInOrder) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* kernel = program.platform().kernel;
  std::vector<std::pair<int, std::uint64_t>> woke;
  for (int ms : {3000, 100, 2000, 100}) {
    world.startThread(program, "sleeper", [&, ms] {
      kernel->sleep(static_cast<tethra::platform::Dword>(ms));
      woke.emplace_back(ms, world.now());
    });
  }
  const auto start = std::chrono::steady_clock::now();
  world.run([&] { EXPECT_TRUE(world.waitIdle()); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  const std::vector<std::pair<int, std::uint64_t>> expected{{100, 100}, {100, 100}, {2000, 2000}, {3000, 3000}};
  EXPECT_EQ(woke, expected);
  EXPECT_EQ(world.now(), 3000u);
  EXPECT_EQ(world.programWakeUps(), 4u);
}

TEST(SchedulerTest, OnlyOneThreadRunsAtATime) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* kernel = program.platform().kernel;
  int inside = 0;  // deliberately unsynchronised: the baton is the only lock
  int overlaps = 0;
  long total = 0;
  for (int t = 0; t < 3; ++t) {
    world.startThread(program, "worker", [&] {
      for (int i = 0; i < 200; ++i) {
        ++inside;
        for (int spin = 0; spin < 100; ++spin) total += spin % 3;
        if (inside != 1) ++overlaps;
        --inside;
        kernel->sleep(i % 2);
      }
    });
  }
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(total, 3L * 200 * 99);
}

TEST(SchedulerTest, IdleKeepsWhatAPredicateTookAndWaitIdleHonoursItsDeadline) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  int tokens = 0;
  bool ran = false;
  world.startThread(program, "consumer", [&] {
    world.block([&] {
      if (tokens == 0) return false;
      --tokens;  // takes what it waited for
      return true;
    });
    ran = true;
  });
  world.startThread(program, "ticker", [&] {
    for (;;) program.platform().kernel->sleep(400);
  });
  world.run([&] {
    world.block(nullptr, 10);  // let both threads reach their waits
    tokens = 1;
    EXPECT_FALSE(world.idle());  // the consumer can run: its predicate took the token
    EXPECT_EQ(tokens, 0);
    EXPECT_FALSE(world.waitIdle(1000));  // the ticker always has a deadline
    EXPECT_EQ(world.now(), 1000u);
  });
  EXPECT_TRUE(ran);
}

TEST(SchedulerTest, MachineWakesWithFalseWhenNothingCanHappen) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  world.startThread(program, "stuck", [&] { world.block([] { return false; }); });
  bool result = true;
  world.run([&] { result = world.block([] { return false; }); });
  EXPECT_FALSE(result);
  EXPECT_EQ(world.now(), 0u);
}

TEST(SchedulerTest, BlockOffTheSimulationReturnsAtOnce) {
  World world({});
  EXPECT_FALSE(world.block([] { return false; }, 5000));
  EXPECT_EQ(world.now(), 0u);
}

}  // namespace
