// Recording of the simulated WLAN service's calls.
#include "SimWlanCall.h"

#include <cstdio>

namespace tethra::sim {

SimWlanService::Call::Call(SimWlanService& service, const char* function) : ServiceCall(function), m_Service(service) {
  std::lock_guard lock(m_Service.m_Mutex);
  m_Service.m_Calls.count(function);
}

SimWlanService::Call::~Call() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_Service.m_Mutex);
    events.swap(m_Service.m_Events);
  }
  record(m_Service.m_Host);
  for (std::string& line : events) m_Service.m_Host.event(std::move(line));
  if (!m_Service.m_ReportsBeforeReturn) return;
  // The reports this call queued start on the service's thread before the caller goes on. The
  // caller does not wait for the program's callback to finish: the service never does.
  {
    std::lock_guard lock(m_Service.m_Mutex);
    if (m_Service.m_Pending.empty() || m_Service.m_DeliveringThread == std::this_thread::get_id()) return;
  }
  m_Service.m_Host.waitUntil([this] {
    std::lock_guard lock(m_Service.m_Mutex);
    return m_Service.m_Pending.empty() || m_Service.m_Delivering;
  });
}

std::optional<platform::Win32Error> SimWlanService::Call::fault() {
  const std::optional<WlanFault> rule = m_Service.m_Host.takeFault("wlan", operation());
  if (!rule) return std::nullopt;
  return FaultStatus<platform::Win32Error>(rule->code);
}

std::string HandleText(platform::Handle handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

}  // namespace tethra::sim
