// The baton scheduler: real std::threads of which exactly one runs at a time, and virtual time.
//
// Owner: World::Impl owns one Scheduler, which owns every ThreadRec for the life of the world
// (records are never freed earlier, so raw ThreadRec pointers stay valid). Threads: start()
// may be called from any thread that holds the baton (or before run()); block(), parkForever()
// and idle() from the baton holder only. Nothing here throws into program code.
//
// Rule for the next thread: scan the threads in creation order, starting after the thread that
// gives the baton away, and take the first one that can run (new, latched, or whose ready()
// holds). When none can, wake an idle-waiter if nothing else has a deadline; otherwise jump
// virtual time to the earliest deadline. When nothing at all can happen, the machine thread
// wakes with `false` so that the driver can end a stuck simulation.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tethra/sim/World.h"

namespace tethra::sim::detail {

using platform::Dword;  // private header: seen only by the simulated world's own sources

class ProcessImpl;
class ThreadRec;

// What a thread can hold and others wait for (a critical section, a mutex): a blocked thread
// names the one it waits for, so that whose lock it needs can be followed.
class Holdable {
 public:
  virtual ThreadRec* holder() const = 0;  // null while nobody holds it

 protected:
  ~Holdable() = default;
};

class ThreadRec final : public SimThread {
 public:
  enum class State { Created, Running, Blocked, Finished, Parked };

  ThreadRec(std::size_t index, Dword id, std::string name, ProcessImpl& process);
  const std::string& name() const override { return m_Name; }
  Dword id() const override { return m_Id; }
  SimProcess& process() override;
  ProcessImpl& owner() const { return m_Process; }

  // Ended or parked for good: the thread's handle is signalled, its windows are gone.
  bool dead() const { return state == State::Finished || state == State::Parked; }

  // Scheduler state (guarded by the scheduler mutex).
  std::size_t index;
  State state = State::Created;
  bool started = false;
  bool cancel = false;
  bool go = false;
  bool latched = false;
  bool wokeReady = false;
  bool idleWait = false;
  bool isMachine = false;
  std::function<bool()> ready;
  // While blocked for a lock: that lock (touched by the baton holder only).
  const Holdable* awaits = nullptr;
  std::optional<std::uint64_t> deadline;
  std::condition_variable cv;
  std::thread os;

  // Per-thread platform state (touched by the baton holder only).
  platform::Win32Error lastError = platform::kERROR_SUCCESS;

 private:
  Dword m_Id;
  std::string m_Name;
  ProcessImpl& m_Process;
};

class Scheduler {
 public:
  struct Hooks {
    std::function<void(ThreadRec&)> threadEnded;  // runs on the ending thread, baton held
    std::function<void(std::string)> trace;
  };

  explicit Scheduler(Hooks hooks) : m_Hooks(std::move(hooks)) {}
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  static ThreadRec* current();

  std::uint64_t now() const { return m_Now.load(std::memory_order_relaxed); }
  std::uint64_t programWakeUps() const { return m_WakeUps.load(std::memory_order_relaxed); }
  const std::vector<std::unique_ptr<ThreadRec>>& threads() const { return m_Threads; }

  ThreadRec& start(ProcessImpl& process, std::string name, std::function<void()> body);
  // Makes the calling OS thread the machine thread holding the baton; stop() ends that.
  ThreadRec& adoptCaller(ProcessImpl& process, std::string name);
  void stop();

  // See World::block. Returns immediately with false when called off the simulation.
  bool block(std::function<bool()> ready, std::optional<std::uint64_t> deadline, bool idleWait);
  // The calling thread never runs again; the baton moves on.
  [[noreturn]] void parkForever();
  // Every thread of `process` that has not finished is parked (never gets the baton again).
  void parkProcess(const ProcessImpl& process);
  bool idle();
  // Whether the thread running on `waiter` is blocked for a lock that `holder` holds, directly
  // or through the holders of the locks those threads wait for in turn. Baton holder only.
  bool waitsForLockOf(std::thread::id waiter, const ThreadRec& holder) const;

  // Ends the threads that never ran and joins them and the finished ones. False when some
  // thread is still inside program code (blocked or parked): the caller must then keep the
  // scheduler and everything those threads may touch alive.
  bool shutdown();

 private:
  ThreadRec* choose(ThreadRec* self);  // scheduler mutex held
  void give(ThreadRec* next);          // scheduler mutex held
  void threadMain(ThreadRec* rec, std::function<void()> body);
  Dword nextThreadId() { return m_NextId += 4; }

  Hooks m_Hooks;
  mutable std::mutex m_Mutex;
  std::vector<std::unique_ptr<ThreadRec>> m_Threads;
  std::atomic<std::uint64_t> m_Now{0};
  std::atomic<std::uint64_t> m_WakeUps{0};
  Dword m_NextId = 0x1000;
  bool m_Stopped = false;
};

}  // namespace tethra::sim::detail
