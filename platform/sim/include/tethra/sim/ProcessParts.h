// What one process owns for its life: its platform areas and any other object its threads use,
// and the Platform that points at them. Every simulated Platform (a World's processes, the test
// rigs) is wired here, so an area lands in each slot it implements and in no other.
//
// Owner: the process (or rig) holds its ProcessParts; owned parts are destroyed newest first,
// so a part may refer to any part made before it. Areas owned elsewhere (a machine-wide
// service) are only pointed at with use(). Not thread-safe: assemble before threads start.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "tethra/platform/Platform.h"

namespace tethra::sim {

class ProcessParts {
 public:
  ProcessParts() = default;
  ProcessParts(const ProcessParts&) = delete;
  ProcessParts& operator=(const ProcessParts&) = delete;
  ~ProcessParts() {
    while (!m_owned.empty()) m_owned.pop_back();
  }

  // Keeps `part` until the parts go and installs it in every Platform slot it implements (none
  // for an object that is no platform area).
  template <typename Part>
  Part& own(std::unique_ptr<Part> part) {
    Part& made = *part;
    use(made);
    m_owned.push_back(std::shared_ptr<void>(std::move(part)));
    return made;
  }

  // Installs `area`, owned elsewhere, in every Platform slot it implements.
  template <typename Area>
  void use(Area& area) {
    install<platform::IKernel>(area, m_platform.kernel);
    install<platform::IRegistry>(area, m_platform.registry);
    install<platform::IWindowSystem>(area, m_platform.windows);
    install<platform::ISystemEvents>(area, m_platform.systemEvents);
    install<platform::ICodePage>(area, m_platform.codePage);
    install<platform::IWlanApi>(area, m_platform.wlan);
    install<platform::ISecurity>(area, m_platform.security);
    install<platform::IProcessStart>(area, m_platform.processStart);
    install<platform::IComRuntime>(area, m_platform.com);
    install<platform::ITrace>(area, m_platform.trace);
    install<platform::ISharing>(area, m_platform.sharing);
    install<platform::IModuleLoader>(area, m_platform.modules);
    install<platform::IMobileHotspot>(area, m_platform.hotspot);
  }

  platform::Platform& platform() { return m_platform; }
  const platform::Platform& platform() const { return m_platform; }

 private:
  template <typename Interface, typename Area>
  static void install(Area& area, Interface*& slot) {
    if constexpr (std::is_base_of_v<Interface, Area>) slot = &area;
  }

  platform::Platform m_platform;
  std::vector<std::shared_ptr<void>> m_owned;
};

}  // namespace tethra::sim
