// One recorded API call of the simulated WLAN service: counts it, takes its `fault wlan` rule,
// and on leaving scope records arguments and result with the host and shows the transcript
// lines the call produced. Declared before the service's lock so it ends after it.
#pragma once

#include <string>

#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::sim {

class SimWlanService::Call {
 public:
  Call(SimWlanService& service, const char* function);
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  ~Call();

  void arguments(std::string text) { m_arguments = std::move(text); }
  // The armed `fault wlan FUNCTION CODE` rule of this function, if any.
  std::optional<platform::Win32Error> fault();
  platform::Win32Error result(platform::Win32Error code) {
    m_result = std::to_string(platform::Raw(code));
    return code;
  }
  void resultText(std::string text) { m_result = std::move(text); }

 private:
  SimWlanService& m_service;
  const char* m_function;
  std::string m_arguments;
  std::string m_result;
};

std::string HandleText(platform::Handle handle);

}  // namespace tethra::sim
