// The controller window: found once, then sent status codes and the name-and-key notice.
#include "tethra/app/ControllerWindowLink.h"

#include "tethra/controller/ControllerLink.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

void CControllerWindowLink::Find() {
  m_Window = m_Windows.findWindow(nullptr, controller::kControllerWindowTitle);
  if (m_Window == nullptr) return;
  m_WindowObject.Attach(m_Windows, m_Window);
  m_WindowObject.ShowWindowAsync(platform::kSW_HIDE);  // another process's: never wait for it
}

bool CControllerWindowLink::SendStatus(platform::Hwnd from, const std::u16string& code, std::uint32_t timeoutMs) {
  if (m_Window == nullptr) return false;
  // The controller's window belongs to another process, whose thread may never answer.
  m_WindowObject.ShowWindowAsync(platform::kSW_HIDE);
  if (!controller::SendCopyData(m_Windows, m_Window, from, controller::PELTO_MSG_CODE, code, timeoutMs)) {
    platform::TraceLine(m_Trace, "The controller did not take a status code within %u ms.",
                        static_cast<unsigned>(timeoutMs));
  }
  return true;
}

void CControllerWindowLink::SendNameAndKey(platform::Hwnd from, CDialogState& state) {
  controller::WriteSettingsValue(m_Kernel, m_Registry, u"Current Key", state.KeyToUse().Get());
  controller::WriteSettingsValue(m_Kernel, m_Registry, u"Current SSID", state.NameToUse().Get());
  if (m_Window == nullptr) return;
  if (!controller::SendCopyData(m_Windows, m_Window, from, controller::PELTO_MSG_SECURITY_KEY, m_CommandLine)) {
    platform::TraceLine(m_Trace, "The controller did not take the notice within %u ms.",
                        static_cast<unsigned>(controller::kControllerSendTimeoutMs));
  }
}

}  // namespace tethra::app
