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
    platform::Platform& p = m_Platform;
    install(area, p.kernel, p.registry, p.windows, p.systemEvents, p.codePage, p.wlan, p.security, p.processStart,
            p.com, p.trace, p.sharing, p.modules, p.hotspot);
  }

  platform::Platform& platform() { return m_Platform; }
  const platform::Platform& platform() const { return m_Platform; }

 private:
  // Points each slot whose interface (the slot's pointee type) `area` implements at `area`.
  template <typename Area, typename... Interface>
  static void install(Area& area, Interface*&... slots) {
    const auto installOne = [&area]<typename Slot>(Slot*& slot) {
      if constexpr (std::is_base_of_v<Slot, Area>) slot = &area;
    };
    (installOne(slots), ...);
  }

  platform::Platform m_Platform;
  std::vector<std::shared_ptr<void>> m_Owned;
};

}  // namespace tethra::sim
