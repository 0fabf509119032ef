// Recording of the simulated WLAN service's calls.
#include "SimWlanCall.h"

#include <cstdio>

namespace tethra::sim {

SimWlanService::Call::Call(SimWlanService& service, const char* function) : ServiceCall(function), m_service(service) {
  std::lock_guard lock(m_service.m_mutex);
  m_service.m_calls.count(function);
}

SimWlanService::Call::~Call() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_service.m_mutex);
    events.swap(m_service.m_events);
  }
  record(m_service.m_host);
  for (std::string& line : events) m_service.m_host.event(std::move(line));
  if (!m_service.m_reportsBeforeReturn) return;
  // The reports this call queued start on the service's thread before the caller goes on. The
  // caller does not wait for the program's callback to finish: the service never does.
  {
    std::lock_guard lock(m_service.m_mutex);
    if (m_service.m_pending.empty() || m_service.m_deliveringThread == std::this_thread::get_id()) return;
  }
  m_service.m_host.waitUntil([this] {
    std::lock_guard lock(m_service.m_mutex);
    return m_service.m_pending.empty() || m_service.m_delivering;
  });
}

std::optional<platform::Win32Error> SimWlanService::Call::fault() {
  const std::optional<WlanFault> rule = m_service.m_host.takeFault("wlan", operation());
  if (!rule) return std::nullopt;
  return FaultStatus<platform::Win32Error>(rule->code);
}

std::string HandleText(platform::Handle handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

}  // namespace tethra::sim
