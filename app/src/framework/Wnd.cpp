// CWnd: each operation is one call of the platform's window system on the wrapped handle. A
// window object that is not bound to a window yet (a control before the dialog's data
// exchange) does nothing and answers 0: a close that arrives while the dialog is still being
// set up (a message sent to it while it waits on the controller) must not fault.
#include "tethra/app/framework/Wnd.h"

namespace tethra::app {

using platform::Hwnd;
using platform::LResult;

bool CWnd::ShowWindow(int command) const { return Bound() && Windows().showWindow(m_Hwnd, command); }
bool CWnd::ShowWindowAsync(int command) const { return Bound() && Windows().showWindowAsync(m_Hwnd, command); }

bool CWnd::SetWindowPos(Hwnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) const {
  return Bound() && Windows().setWindowPos(m_Hwnd, insertAfter, x, y, cx, cy, flags);
}

bool CWnd::EnableWindow(bool enable) const { return Bound() && Windows().enableWindow(m_Hwnd, enable); }
bool CWnd::IsWindowEnabled() const { return Bound() && Windows().isWindowEnabled(m_Hwnd); }
bool CWnd::IsIconic() const { return Bound() && Windows().isIconic(m_Hwnd); }
bool CWnd::IsWindowVisible() const { return Bound() && Windows().isWindowVisible(m_Hwnd); }
Hwnd CWnd::SetFocus() const { return Bound() ? Windows().setFocus(m_Hwnd) : nullptr; }
void CWnd::SetWindowText(const std::u16string& text) const {
  if (Bound()) Windows().setWindowText(m_Hwnd, text.c_str());
}
std::u16string CWnd::GetWindowText() const { return Bound() ? Windows().getWindowText(m_Hwnd) : std::u16string(); }

LResult CWnd::SendMessage(std::uint32_t message, WParam wParam, LParam lParam) const {
  return Bound() ? Windows().sendMessage(m_Hwnd, message, wParam, lParam) : 0;
}

bool CWnd::PostMessage(std::uint32_t message, WParam wParam, LParam lParam) const {
  return Bound() && Windows().postMessage(m_Hwnd, message, wParam, lParam);
}

platform::Hicon CWnd::SetIcon(platform::Hicon icon, bool bigIcon) const {
  return reinterpret_cast<platform::Hicon>(SendMessage(
      platform::kWM_SETICON, bigIcon ? platform::kICON_BIG : platform::kICON_SMALL, reinterpret_cast<LParam>(icon)));
}

platform::Hmenu CWnd::GetSystemMenu(bool revert) const { return Bound() ? Windows().getSystemMenu(m_Hwnd, revert) : nullptr; }

}  // namespace tethra::app
