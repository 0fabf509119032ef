// Kernel objects: event kinds, named mutexes across processes, thread handles, time sources,
// critical sections, per-thread last error, and the end of a process.
#include <gtest/gtest.h>

#include <vector>

#include "tethra/sim/World.h"

namespace {

using tethra::sim::World;
namespace p = tethra::platform;

TEST(KernelTest, AutoResetWakesOneWaiterManualResetWakesAll) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  const p::Handle autoEvent = k->createEvent(false, false);
  const p::Handle manualEvent = k->createEvent(true, false);
  std::vector<std::pair<p::Dword, std::uint64_t>> autoResults, manualResults;
  for (int i = 0; i < 2; ++i) {
    world.startThread(program, "auto", [&] {
      const p::Dword r = k->waitForSingleObject(autoEvent, 100);
      autoResults.emplace_back(r, world.now());
    });
    world.startThread(program, "manual", [&] {
      const p::Dword r = k->waitForSingleObject(manualEvent, 100);
      manualResults.emplace_back(r, world.now());
    });
  }
  world.startThread(program, "setter", [&] {
    k->sleep(10);
    EXPECT_TRUE(k->setEvent(autoEvent));
    EXPECT_TRUE(k->setEvent(manualEvent));
  });
  world.run([&] { world.waitIdle(); });
  const std::vector<std::pair<p::Dword, std::uint64_t>> oneWins{{p::kWAIT_OBJECT_0, 10}, {p::kWAIT_TIMEOUT, 100}};
  const std::vector<std::pair<p::Dword, std::uint64_t>> bothWin{{p::kWAIT_OBJECT_0, 10}, {p::kWAIT_OBJECT_0, 10}};
  EXPECT_EQ(autoResults, oneWins);
  EXPECT_EQ(manualResults, bothWin);
  EXPECT_EQ(k->waitForSingleObject(manualEvent, 0), p::kWAIT_OBJECT_0);  // stays signalled
  EXPECT_EQ(k->waitForSingleObject(autoEvent, 0), p::kWAIT_TIMEOUT);
}

TEST(KernelTest, NamedMutexExistsUntilItsProcessEndsAndNothingRunsAfterExit) {
  World world({});
  world.reserveMutexName(u"OtherInstance");
  auto& first = world.createProcess("first", true);
  auto& second = world.createProcess("second", true);
  auto* k1 = first.platform().kernel;
  auto* k2 = second.platform().kernel;
  bool afterExit = false, siblingWoke = false, waiterWoke = false;
  p::Handle solo = nullptr;
  p::Win32Error reserved{}, again{}, secondCreate{1};
  p::Dword waitReserved = 0;

  world.run([&] {
    world.startThread(first, "sibling", [&] {
      k1->sleep(100);
      siblingWoke = true;
    });
    world.startThread(first, "main", [&] {
      solo = k1->createMutex(true, u"Solo");
      EXPECT_EQ(k1->getLastError(), p::kERROR_SUCCESS);
      EXPECT_NE(k1->createMutex(false, u"Solo"), solo);
      again = k1->getLastError();
      const p::Handle other = k1->createMutex(true, u"OtherInstance");
      reserved = k1->getLastError();
      waitReserved = k1->waitForSingleObject(other, 50);
      k1->exitProcess(4);
      afterExit = true;
    });
    world.startThread(first, "waiter", [&] {  // blocks on the owned mutex, then is parked
      k1->waitForSingleObject(solo, p::kINFINITE);
      waiterWoke = true;
    });
    world.waitIdle();
    world.block(nullptr, world.now() + 500);  // the sibling's deadline passes unnoticed
    world.startThread(second, "main", [&] {
      k2->createMutex(false, u"Solo");
      secondCreate = k2->getLastError();
      k2->createMutex(false, u"solo");  // names are case-sensitive
      EXPECT_EQ(k2->getLastError(), p::kERROR_SUCCESS);
    });
    world.waitIdle();
  });
  EXPECT_EQ(again, p::kERROR_ALREADY_EXISTS);
  EXPECT_EQ(reserved, p::kERROR_ALREADY_EXISTS);
  EXPECT_EQ(waitReserved, p::kWAIT_TIMEOUT);
  EXPECT_TRUE(first.exited());
  EXPECT_EQ(first.exitCode(), std::optional<p::Dword>(4));
  EXPECT_FALSE(afterExit);
  EXPECT_FALSE(siblingWoke);
  EXPECT_FALSE(waiterWoke);
  EXPECT_EQ(secondCreate, p::kERROR_SUCCESS);
  EXPECT_FALSE(second.exited());
  EXPECT_NE(world.transcript().events().front().find("process \"first\" exited with code 4"), std::string::npos);
}

struct ThreadArgs {
  p::IKernel* kernel;
  p::Dword sleepMs;
  bool done = false;
};

p::Dword threadBody(void* param) {
  auto* args = static_cast<ThreadArgs*>(param);
  args->kernel->sleep(args->sleepMs);
  args->done = true;
  return 0;
}

TEST(KernelTest, ThreadHandleSignalsWhenTheThreadEnds) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  ThreadArgs args{k, 250};
  std::uint64_t joinedAt = 0;
  p::Dword id = 0, result = 0;
  world.startThread(program, "main", [&] {
    const p::Handle h = k->createThread(&threadBody, &args, &id);
    EXPECT_EQ(k->waitForSingleObject(h, 100), p::kWAIT_TIMEOUT);
    result = k->waitForSingleObject(h, p::kINFINITE);
    joinedAt = world.now();
    EXPECT_TRUE(k->closeHandle(h));
    EXPECT_EQ(k->waitForSingleObject(h, 0), p::kWAIT_FAILED);
    EXPECT_EQ(k->getLastError(), p::kERROR_INVALID_HANDLE);
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_TRUE(args.done);
  EXPECT_EQ(result, p::kWAIT_OBJECT_0);
  EXPECT_EQ(joinedAt, 250u);
  EXPECT_NE(id, 0u);
}

TEST(KernelTest, TickCountWrapsAndClockCrossesLeapDay) {
  World::Options options;
  options.tickCountBase = 0xFFFFFF00u;
  options.startTime = {2012, 2, 3, 29, 23, 59, 59, 500};
  World world(options);
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  p::Dword before = 0, after = 0;
  p::SystemTime local{}, utc{};
  world.startThread(program, "main", [&] {
    before = k->getTickCount();
    k->sleep(0x200);
    after = k->getTickCount();
    k->getLocalTime(&local);
    k->getSystemTime(&utc);
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(before, 0xFFFFFF00u);
  EXPECT_EQ(after, 0x100u);
  EXPECT_EQ(after - before, 0x200u);  // unsigned differences survive the wrap
  EXPECT_EQ(local.wYear, 2012);
  EXPECT_EQ(local.wMonth, 3);
  EXPECT_EQ(local.wDay, 1);
  EXPECT_EQ(local.wDayOfWeek, 4);  // Thursday
  EXPECT_EQ(local.wHour, 0);
  EXPECT_EQ(local.wSecond, 0);
  EXPECT_EQ(local.wMilliseconds, 12);
  EXPECT_EQ(utc.wDay, local.wDay);
}

TEST(KernelTest, ClockCountsSundayAsDayZeroAndCrossesTheYear) {
  World::Options options;
  options.startTime = {2011, 12, 6, 31, 23, 59, 59, 999};  // a Saturday
  World world(options);
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  p::SystemTime local{};
  world.startThread(program, "main", [&] {
    k->sleep(1);
    k->getLocalTime(&local);
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(local.wYear, 2012);
  EXPECT_EQ(local.wMonth, 1);
  EXPECT_EQ(local.wDay, 1);
  EXPECT_EQ(local.wDayOfWeek, 0);  // Sunday, as Windows numbers it
  EXPECT_EQ(local.wMilliseconds, 0);
}

TEST(KernelTest, CriticalSectionIsReentrantAndMakesOthersWait) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  auto lock = k->createCriticalSection();
  std::uint64_t secondEntered = 0;
  world.startThread(program, "holder", [&] {
    lock->enter();
    lock->enter();
    k->sleep(100);
    lock->leave();
    k->sleep(50);  // still held once
    lock->leave();
  });
  world.startThread(program, "waiter", [&] {
    k->sleep(10);
    lock->enter();
    secondEntered = world.now();
    lock->leave();
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(secondEntered, 150u);
}

TEST(KernelTest, LastErrorBelongsToTheCallingThread) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* k = program.platform().kernel;
  p::Win32Error seenByFirst = p::kERROR_SUCCESS;
  world.startThread(program, "first", [&] {
    k->setLastError(p::Win32Error{5});
    k->sleep(20);
    seenByFirst = k->getLastError();
  });
  world.startThread(program, "second", [&] {
    k->setLastError(p::Win32Error{7});
    k->closeHandle(reinterpret_cast<p::Handle>(0x4242));
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(seenByFirst, p::Win32Error{5});
}

}  // namespace
