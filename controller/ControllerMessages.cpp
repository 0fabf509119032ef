// Reports to the controller window: status codes (dwData 1136) and the name-and-key notice
// (dwData 1137), both as WM_COPYDATA carrying UTF-16 text without its terminating NUL.
// Called on the dialog's thread and on the watcher thread; the send blocks until the
// controller's window procedure has handled the message. Nothing here reports failures.
#include "app/HostedNetworkDlg.h"

namespace tethra::app {

namespace {
constexpr std::uintptr_t PELTO_MSG_CODE = 1136;
constexpr std::uintptr_t PELTO_MSG_SECURITY_KEY = 1137;

void SendCopyData(const platform::Platform& p, Hwnd to, Hwnd from, std::uintptr_t kind, const std::u16string& text) {
  platform::CopyDataStruct data{kind, static_cast<Dword>(text.size() * sizeof(char16_t)),
                                const_cast<char16_t*>(text.data())};
  p.windows->sendMessage(to, platform::kWM_COPYDATA, reinterpret_cast<WParam>(from), reinterpret_cast<LParam>(&data));
}
}  // namespace

void CHostedNetworkDlg::SendMsg2Pelto(std::u16string code) {
  if (m_hPeltoLogicUIWnd == nullptr) return;
  if (m_pPeltoLogicUIWnd != nullptr) m_pPeltoLogicUIWnd->ShowWindow(platform::kSW_HIDE);
  SendCopyData(*m_pPlatform, m_hPeltoLogicUIWnd, m_hWnd, PELTO_MSG_CODE, code);
  PostNotification(u"Sent message to Pelto");
  PostNotification(code);
}

void CHostedNetworkDlg::SendSSIDAndSecurityKey() {
  bool started = false;
  if (m_WlanManager.IsHostedNetworkStarted(started) != platform::kS_OK) started = false;
  if (m_bClosing || !started) return;
  SetValue(u"Current Key", m_KeyEdit.GetWindowText());
  SetValue(u"Current SSID", m_NameEdit.GetWindowText());
  if (m_hPeltoLogicUIWnd != nullptr) {
    SendCopyData(*m_pPlatform, m_hPeltoLogicUIWnd, m_hWnd, PELTO_MSG_SECURITY_KEY, m_strCommandLine);
  }
}

}  // namespace tethra::app
