// What every simulated service (WLAN, sharing, hotspot) does with a call of the program's: it
// counts the call under its operation name (`expect ... calls NAME N`), lets an armed `fault`
// rule fail it with the rule's number as the call's own status, and hands the call's arguments
// and result to its host's record. Header only and free of the simulation's core, like
// Faults.h, so the simulated notebook and the services planted in a Wine prefix keep their calls
// by one rule. Not thread-safe: a service serialises these with the calls it serves.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tethra/platform/Types.h"

namespace tethra::sim {

// Where a simulated service's calls are recorded and its transcript events shown. Each
// service's own host interface adds its faults (in the service's own terms) and what else
// the service needs of the machine.
class IServiceHost {
 public:
  virtual ~IServiceHost() = default;
  virtual void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) = 0;
  virtual void event(std::string text) = 0;
  // The client (process) making the current call; a host that serves one client answers 0.
  virtual std::uintptr_t callingClient() { return 0; }
};

// How many calls of each operation a service has answered.
class CallCounts {
 public:
  void count(std::string_view operation) {
    if (const auto it = m_Counts.find(operation); it != m_Counts.end()) {
      ++it->second;
    } else {
      m_Counts.emplace(std::string(operation), 1);
    }
  }
  std::uint64_t of(std::string_view operation) const {
    const auto it = m_Counts.find(operation);
    return it == m_Counts.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, std::uint64_t, std::less<>> m_Counts;
};

// A rule carries the number as the scenario wrote it; the call returns it as its own status
// (a system error code or a COM status).
template <typename Status>
Status FaultStatus(std::int64_t code) {
  return Status{static_cast<std::uint32_t>(code)};
}

// A status as a call record shows it: a system error code in decimal, a COM status in hex.
inline std::string StatusText(platform::Win32Error code) { return std::to_string(platform::Raw(code)); }
inline std::string StatusText(platform::HResult hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(platform::Raw(hr)));
  return text;
}

// One call being answered: its operation, arguments and result text, until record() hands them
// to the host (each service chooses when: at its result, or once its lock is left).
template <typename Status>
class ServiceCall {
 public:
  explicit ServiceCall(std::string operation, std::string arguments = {})
      : m_Operation(std::move(operation)), m_Arguments(std::move(arguments)) {}

  const std::string& operation() const { return m_Operation; }
  void arguments(std::string text) { m_Arguments = std::move(text); }
  // The result as the status the call returns; resultText() where the record says more.
  Status result(Status status) {
    m_Result = StatusText(status);
    return status;
  }
  void resultText(std::string text) { m_Result = std::move(text); }
  void record(IServiceHost& host) const { host.recordCall(m_Operation, m_Arguments, m_Result); }

 private:
  std::string m_Operation;
  std::string m_Arguments;
  std::string m_Result;
};

}  // namespace tethra::sim

// Ends the calling function when a `fault` rule is armed for `call`: the rule's status is the
// call's result. `call` is any service's call with fault() and result().
#define TETHRA_SIM_RETURN_FAULT(call)                  \
  if (const auto injected = (call).fault()) {          \
    return (call).result(*injected);                   \
  }
