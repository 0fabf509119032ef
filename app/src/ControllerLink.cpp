// The dialog's reports to the controller window: status codes and the name-and-key notice.
// Called on the dialog's thread and on the watcher thread.
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/controller/ControllerLink.h"

namespace tethra::app {

void CHostedNetworkDlg::SendMsg2Pelto(std::u16string code) {
  if (m_hPeltoLogicUIWnd == nullptr) return;
  // The controller's window belongs to another process, whose thread may never answer.
  if (m_pPeltoLogicUIWnd != nullptr) m_pPeltoLogicUIWnd->ShowWindowAsync(platform::kSW_HIDE);
  if (!controller::SendCopyData(Windows(), m_hPeltoLogicUIWnd, m_hWnd, controller::PELTO_MSG_CODE, code)) {
    Trace("The controller did not take a status code within %u ms.",
          static_cast<unsigned>(controller::kControllerSendTimeoutMs));
  }
  PostNotification(u"Sent message to Pelto");
  PostNotification(code);
}

void CHostedNetworkDlg::SendSSIDAndSecurityKey() {
  bool started = false;
  if (AccessPoint().IsStarted(started) != platform::kS_OK) started = false;
  if (m_bClosing || !started) return;
  SetValue(u"Current Key", m_KeyEdit.GetWindowText());
  SetValue(u"Current SSID", m_NameEdit.GetWindowText());
  if (m_hPeltoLogicUIWnd != nullptr) {
    if (!controller::SendCopyData(Windows(), m_hPeltoLogicUIWnd, m_hWnd, controller::PELTO_MSG_SECURITY_KEY,
                                  m_strCommandLine)) {
      Trace("The controller did not take the notice within %u ms.",
            static_cast<unsigned>(controller::kControllerSendTimeoutMs));
    }
  }
}

}  // namespace tethra::app
