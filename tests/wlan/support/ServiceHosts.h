// Test support: hosts for the simulated WLAN service outside a World.
// ManualHost: notifications wait until the test delivers them on its own thread (deterministic
// order). ThreadedHost: a real WLAN thread delivers them as they come (concurrency tests).
// Both record calls ("Function(arguments) = result") and serve the test's `fault` rules by the
// scenarios' own fault plan.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tethra/sim/Faults.h"
#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::wlan::test {

class FaultingHost : public sim::IWlanServiceHost {
 public:
  // `times` < 0: every call.
  void addFault(std::string area, std::string operation, std::int64_t code, std::int64_t extra = -1, int times = -1);
  std::vector<std::string> calls() const;
  std::vector<std::string> events() const;

  void recordCall(std::string_view function, std::string_view arguments, std::string_view result) override;
  std::optional<sim::WlanFault> takeFault(std::string_view area, std::string_view operation) override;
  void event(std::string text) override;
  void waitUntil(std::function<bool()> ready) override;

 private:
  mutable std::mutex m_Mutex;
  sim::FaultPlan m_Faults;
  std::vector<std::string> m_Calls;
  std::vector<std::string> m_Events;
};

class ManualHost final : public FaultingHost {
 public:
  void notificationQueued() override {}
  void deliveryEnded() override {}
  // Delivers every queued notification on the calling thread.
  static void deliverAll(sim::SimWlanService& service);
};

class ThreadedHost final : public FaultingHost {
 public:
  ThreadedHost() = default;
  ~ThreadedHost() override { stop(); }
  void start(sim::SimWlanService& service);
  void stop();
  // Returns once every queued notification has been delivered.
  void waitIdle(sim::SimWlanService& service);

  void notificationQueued() override;
  void deliveryEnded() override {}

 private:
  void run(sim::SimWlanService* service);

  std::mutex m_Wake;
  std::condition_variable m_Cv;
  int m_Kicks = 0;
  bool m_Stop = false;
  std::atomic<bool> m_Delivering{false};
  std::thread m_Thread;
};

}  // namespace tethra::wlan::test
