// CWnd: each operation is one call of the platform's window system on the wrapped handle.
#include "app/framework/Wnd.h"

namespace tethra::app {

bool CWnd::ShowWindow(int command) const { return Windows().showWindow(m_hWnd, command); }

bool CWnd::SetWindowPos(Hwnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) const {
  return Windows().setWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

bool CWnd::EnableWindow(bool enable) const { return Windows().enableWindow(m_hWnd, enable); }
bool CWnd::IsWindowEnabled() const { return Windows().isWindowEnabled(m_hWnd); }
bool CWnd::IsIconic() const { return Windows().isIconic(m_hWnd); }
bool CWnd::IsWindowVisible() const { return Windows().isWindowVisible(m_hWnd); }
Hwnd CWnd::SetFocus() const { return Windows().setFocus(m_hWnd); }
void CWnd::SetWindowText(const std::u16string& text) const { Windows().setWindowText(m_hWnd, text.c_str()); }
std::u16string CWnd::GetWindowText() const { return Windows().getWindowText(m_hWnd); }

LResult CWnd::SendMessage(std::uint32_t message, WParam wParam, LParam lParam) const {
  return Windows().sendMessage(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(std::uint32_t message, WParam wParam, LParam lParam) const {
  return Windows().postMessage(m_hWnd, message, wParam, lParam);
}

platform::Hicon CWnd::SetIcon(platform::Hicon icon, bool bigIcon) const {
  return reinterpret_cast<platform::Hicon>(SendMessage(
      platform::kWM_SETICON, bigIcon ? platform::kICON_BIG : platform::kICON_SMALL, reinterpret_cast<LParam>(icon)));
}

platform::Hmenu CWnd::GetSystemMenu(bool revert) const { return Windows().getSystemMenu(m_hWnd, revert); }

}  // namespace tethra::app
