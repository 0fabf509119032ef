// Recording of the simulated WLAN service's calls.
#include "SimWlanCall.h"

#include <cstdio>

namespace tethra::sim {

SimWlanService::Call::Call(SimWlanService& service, const char* function) : m_service(service), m_function(function) {
  std::lock_guard lock(m_service.m_mutex);
  ++m_service.m_calls[function];
}

SimWlanService::Call::~Call() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_service.m_mutex);
    events.swap(m_service.m_events);
  }
  m_service.m_host.recordCall(m_function, m_arguments, m_result);
  for (std::string& line : events) m_service.m_host.event(std::move(line));
}

std::optional<platform::Win32Error> SimWlanService::Call::fault() {
  const std::optional<WlanFault> rule = m_service.m_host.takeFault("wlan", m_function);
  if (!rule) return std::nullopt;
  // A rule carries the number as the scenario wrote it; the call returns it as an error code.
  return platform::Win32Error{static_cast<std::uint32_t>(rule->code)};
}

std::string HandleText(platform::Handle handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

}  // namespace tethra::sim
