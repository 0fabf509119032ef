// Test support: call records, fault rules and the delivery threads of the service hosts.
#include "ServiceHosts.h"

namespace tethra::wlan::test {

void FaultingHost::addFault(std::string area, std::string operation, std::int64_t code, std::int64_t extra,
                            int times) {
  std::lock_guard lock(m_Mutex);
  m_Faults.add(sim::FaultRule{std::move(area), std::move(operation), code, extra, times});
}

std::vector<std::string> FaultingHost::calls() const {
  std::lock_guard lock(m_Mutex);
  return m_Calls;
}

std::vector<std::string> FaultingHost::events() const {
  std::lock_guard lock(m_Mutex);
  return m_Events;
}

void FaultingHost::recordCall(std::string_view function, std::string_view arguments, std::string_view result) {
  std::lock_guard lock(m_Mutex);
  m_Calls.push_back(std::string(function) + "(" + std::string(arguments) + ") = " + std::string(result));
}

std::optional<sim::WlanFault> FaultingHost::takeFault(std::string_view area, std::string_view operation) {
  std::lock_guard lock(m_Mutex);
  const std::optional<sim::FaultRule> rule = m_Faults.take(area, operation);
  if (!rule) return std::nullopt;
  return sim::WlanFault{rule->code, rule->extra};
}

void FaultingHost::event(std::string text) {
  std::lock_guard lock(m_Mutex);
  m_Events.push_back(std::move(text));
}

void FaultingHost::waitUntil(std::function<bool()> ready) {
  while (!ready()) std::this_thread::yield();
}

void ManualHost::deliverAll(sim::SimWlanService& service) {
  while (service.hasPendingNotification()) service.deliverNext();
}

void ThreadedHost::start(sim::SimWlanService& service) { m_Thread = std::thread([this, &service] { run(&service); }); }

void ThreadedHost::stop() {
  {
    std::lock_guard lock(m_Wake);
    m_Stop = true;
  }
  m_Cv.notify_all();
  if (m_Thread.joinable()) m_Thread.join();
}

void ThreadedHost::notificationQueued() {
  {
    std::lock_guard lock(m_Wake);
    ++m_Kicks;
  }
  m_Cv.notify_all();
}

void ThreadedHost::run(sim::SimWlanService* service) {
  for (;;) {
    {
      std::unique_lock lock(m_Wake);
      m_Cv.wait(lock, [this] { return m_Stop || m_Kicks > 0; });
      if (m_Stop) return;
      m_Kicks = 0;
      m_Delivering = true;
    }
    while (service->hasPendingNotification()) service->deliverNext();
    m_Delivering = false;
  }
}

void ThreadedHost::waitIdle(sim::SimWlanService& service) {
  for (;;) {
    bool kicked = false;
    {
      std::lock_guard lock(m_Wake);
      kicked = m_Kicks > 0;
    }
    if (!kicked && !m_Delivering && !service.hasPendingNotification()) return;
    std::this_thread::yield();
  }
}

}  // namespace tethra::wlan::test
