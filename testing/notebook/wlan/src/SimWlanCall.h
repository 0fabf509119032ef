// One recorded API call of the simulated WLAN service: counts it, takes its `fault wlan` rule,
// and on leaving scope records arguments and result with the host and shows the transcript
// lines the call produced. Declared before the service's lock so it ends after it.
#pragma once

#include <string>

#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::sim {

class SimWlanService::Call : public ServiceCall<platform::Win32Error> {
 public:
  Call(SimWlanService& service, const char* function);
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  ~Call();

  // The armed `fault wlan FUNCTION CODE` rule of this function, if any.
  std::optional<platform::Win32Error> fault();

 private:
  SimWlanService& m_Service;
};

std::string HandleText(platform::Handle handle);

}  // namespace tethra::sim
