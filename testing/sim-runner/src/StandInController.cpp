// The stand-in controller: records status codes (dwData 1136) and notices (dwData 1137).
#include "tethra/runner/StandInController.h"

#include "tethra/controller/ControllerLink.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/scenario/Text.h"

namespace tethra::simrunner {

namespace {
constexpr const char16_t* kTitle = controller::kControllerWindowTitle;
constexpr std::uintptr_t kCode = controller::PELTO_MSG_CODE;
constexpr std::uintptr_t kNotice = controller::PELTO_MSG_SECURITY_KEY;
}  // namespace

StandInController& StandInController::start(sim::World& world, bool hangs) {
  sim::SimProcess& process = world.createProcess("controller", false);
  StandInController& self = process.parts().own(std::make_unique<StandInController>(world));
  world.startThread(process, "controller", [&self, hangs] {
    self.m_Hwnd = self.m_World.windows().createWindow(
        u"TethraStandInController", kTitle,
        [&self](platform::Hwnd h, std::uint32_t m, platform::WParam w, platform::LParam l) {
          return self.onMessage(h, m, w, l);
        },
        true);
    if (hangs) {
      self.m_World.event("controller window made; its thread never takes a message");
      self.m_World.hang();
    }
    self.m_World.windows().runMessageLoop([] { return false; });
  });
  world.block([&self] { return self.m_Hwnd != nullptr; });
  return self;
}

platform::LResult StandInController::onMessage(platform::Hwnd, std::uint32_t message, platform::WParam,
                                               platform::LParam lParam) {
  if (message != platform::kWM_COPYDATA || lParam == 0) return 0;
  const auto* data = reinterpret_cast<const platform::CopyDataStruct*>(lParam);
  Received r;
  r.timeMs = m_World.now();
  r.dwData = data->dwData;
  r.cbData = data->cbData;
  if (data->lpData != nullptr) r.text.assign(static_cast<const char16_t*>(data->lpData), data->cbData / 2);
  if (r.dwData == kNotice) {
    sim::SimRegistry& registry = m_World.registry();
    r.currentSsid = registry.getString(sim::SimRegistry::View::Wow32, controller::kSettingsKeyPath, u"Current SSID");
    r.currentKey = registry.getString(sim::SimRegistry::View::Wow32, controller::kSettingsKeyPath, u"Current Key");
    m_World.event("controller received notice " + Quote(r.text) + " (cbData " + std::to_string(r.cbData) +
                  "; Current SSID " + (r.currentSsid ? Quote(*r.currentSsid) : "absent") + ", Current Key " +
                  (r.currentKey ? Quote(*r.currentKey) : "absent") + ")");
  } else if (r.dwData == kCode) {
    m_World.event("controller received code " + Quote(r.text) + " (cbData " + std::to_string(r.cbData) + ")");
  } else {
    m_World.event("controller received WM_COPYDATA " + std::to_string(r.dwData) + " " + Quote(r.text));
  }
  m_Received.push_back(std::move(r));
  return 1;
}

std::vector<std::u16string> StandInController::codes() const {
  std::vector<std::u16string> codes;
  for (const auto& r : m_Received) {
    if (r.dwData == kCode) codes.push_back(r.text);
  }
  return codes;
}

std::vector<std::u16string> StandInController::noticeTexts() const {
  std::vector<std::u16string> texts;
  for (const auto& r : m_Received) {
    if (r.dwData == kNotice) texts.push_back(r.text);
  }
  return texts;
}

bool StandInController::hasCode(std::u16string_view code) const {
  for (const auto& r : m_Received) {
    if (r.dwData == kCode && r.text == code) return true;
  }
  return false;
}

}  // namespace tethra::simrunner
