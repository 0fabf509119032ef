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
    while (!m_Owned.empty()) m_Owned.pop_back();
  }

  // Keeps `part` until the parts go and installs it in every Platform slot it implements (none
  // for an object that is no platform area).
  template <typename Part>
  Part& own(std::unique_ptr<Part> part) {
    Part& made = *part;
    use(made);
    m_Owned.push_back(std::shared_ptr<void>(std::move(part)));
    return made;
  }

  // Installs `area`, owned elsewhere, in every Platform slot it implements.
  template <typename Area>
  void use(Area& area) {
    install<platform::IKernel>(area, m_Platform.kernel);
    install<platform::IRegistry>(area, m_Platform.registry);
    install<platform::IWindowSystem>(area, m_Platform.windows);
    install<platform::ISystemEvents>(area, m_Platform.systemEvents);
    install<platform::ICodePage>(area, m_Platform.codePage);
    install<platform::IWlanApi>(area, m_Platform.wlan);
    install<platform::ISecurity>(area, m_Platform.security);
    install<platform::IProcessStart>(area, m_Platform.processStart);
    install<platform::IComRuntime>(area, m_Platform.com);
    install<platform::ITrace>(area, m_Platform.trace);
    install<platform::ISharing>(area, m_Platform.sharing);
    install<platform::IModuleLoader>(area, m_Platform.modules);
    install<platform::IMobileHotspot>(area, m_Platform.hotspot);
  }

  platform::Platform& platform() { return m_Platform; }
  const platform::Platform& platform() const { return m_Platform; }

 private:
  template <typename Interface, typename Area>
  static void install(Area& area, Interface*& slot) {
    if constexpr (std::is_base_of_v<Interface, Area>) slot = &area;
  }

  platform::Platform m_Platform;
  std::vector<std::shared_ptr<void>> m_Owned;
};

}  // namespace tethra::sim
