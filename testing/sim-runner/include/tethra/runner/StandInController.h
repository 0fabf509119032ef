// The stand-in controller of the simulated notebook: a window titled "NetworkSetting
// LogicUIWnd" on a thread of its own process that records every WM_COPYDATA it receives (the
// text decoded from cbData alone) and, for a name-and-key notice, reads "Current SSID" and
// "Current Key" from the settings key at that moment, as any controller must.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tethra/sim/World.h"

namespace tethra::simrunner {

class StandInController {
 public:
  struct Received {
    std::uint64_t timeMs = 0;
    std::uintptr_t dwData = 0;
    platform::Dword cbData = 0;
    std::u16string text;
    std::optional<std::u16string> currentSsid;  // notices only
    std::optional<std::u16string> currentKey;
  };

  explicit StandInController(sim::World& world) : m_World(world) {}

  // Makes the controller's process, which owns the controller, and starts its thread; call on
  // the machine thread. Returns once the window exists.
  // `hangs`: the window's thread never takes a message (a window of that title any process of
  // the session may own), so nothing is received.
  static StandInController& start(sim::World& world, bool hangs = false);
  platform::Hwnd Window() const { return m_Hwnd; }

  const std::vector<Received>& received() const { return m_Received; }
  std::vector<std::u16string> codes() const;
  std::vector<std::u16string> noticeTexts() const;
  bool hasCode(std::u16string_view code) const;

 private:
  platform::LResult onMessage(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam,
                              platform::LParam lParam);

  sim::World& m_World;
  platform::Hwnd m_Hwnd = nullptr;
  std::vector<Received> m_Received;
};

}  // namespace tethra::simrunner
