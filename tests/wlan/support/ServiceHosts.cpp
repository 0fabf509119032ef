// Test support: call records, fault rules and the delivery threads of the service hosts.
#include "ServiceHosts.h"

namespace tethra::wlan::test {

void FaultingHost::addFault(std::string area, std::string operation, std::int64_t code, std::int64_t extra,
                            int times) {
  std::lock_guard lock(m_mutex);
  m_faults.add(sim::FaultRule{std::move(area), std::move(operation), code, extra, times});
}

std::vector<std::string> FaultingHost::calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<std::string> FaultingHost::events() const {
  std::lock_guard lock(m_mutex);
  return m_events;
}

void FaultingHost::recordCall(std::string_view function, std::string_view arguments, std::string_view result) {
  std::lock_guard lock(m_mutex);
  m_calls.push_back(std::string(function) + "(" + std::string(arguments) + ") = " + std::string(result));
}

std::optional<sim::WlanFault> FaultingHost::takeFault(std::string_view area, std::string_view operation) {
  std::lock_guard lock(m_mutex);
  const std::optional<sim::FaultRule> rule = m_faults.take(area, operation);
  if (!rule) return std::nullopt;
  return sim::WlanFault{rule->code, rule->extra};
}

void FaultingHost::event(std::string text) {
  std::lock_guard lock(m_mutex);
  m_events.push_back(std::move(text));
}

void FaultingHost::waitUntil(std::function<bool()> ready) {
  while (!ready()) std::this_thread::yield();
}

void ManualHost::deliverAll(sim::SimWlanService& service) {
  while (service.hasPendingNotification()) service.deliverNext();
}

void ThreadedHost::start(sim::SimWlanService& service) { m_thread = std::thread([this, &service] { run(&service); }); }

void ThreadedHost::stop() {
  {
    std::lock_guard lock(m_wake);
    m_stop = true;
  }
  m_cv.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void ThreadedHost::notificationQueued() {
  {
    std::lock_guard lock(m_wake);
    ++m_kicks;
  }
  m_cv.notify_all();
}

void ThreadedHost::run(sim::SimWlanService* service) {
  for (;;) {
    {
      std::unique_lock lock(m_wake);
      m_cv.wait(lock, [this] { return m_stop || m_kicks > 0; });
      if (m_stop) return;
      m_kicks = 0;
      m_delivering = true;
    }
    while (service->hasPendingNotification()) service->deliverNext();
    m_delivering = false;
  }
}

void ThreadedHost::waitIdle(sim::SimWlanService& service) {
  for (;;) {
    bool kicked = false;
    {
      std::lock_guard lock(m_wake);
      kicked = m_kicks > 0;
    }
    if (!kicked && !m_delivering && !service.hasPendingNotification()) return;
    std::this_thread::yield();
  }
}

}  // namespace tethra::wlan::test
