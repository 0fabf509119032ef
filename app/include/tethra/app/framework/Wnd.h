// Window objects of the program's own thin framework: CWnd wraps one window handle and the
// platform's window system (the only area it needs); the control classes add the few control messages the dialog uses.
//
// Owner: a CWnd never owns its window (the window system does); it is valid while the window
// exists. Threads: any thread may call; calls on another thread's window are carried to the
// window's thread by the window system (and block until handled there).
#pragma once

#include <string>

#include "tethra/platform/Window.h"

namespace tethra::app {

class CWnd {
 public:
  // The window system's types, for the window classes and what derives from them.
  using Hwnd = platform::Hwnd;
  using LParam = platform::LParam;
  using LResult = platform::LResult;
  using WParam = platform::WParam;

  CWnd() = default;
  CWnd(platform::IWindowSystem& windows, Hwnd hwnd) : m_Windows(&windows), m_Hwnd(hwnd) {}
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  void Attach(platform::IWindowSystem& windows, Hwnd hwnd) {
    m_Windows = &windows;
    m_Hwnd = hwnd;
  }
  Hwnd GetSafeHwnd() const { return m_Hwnd; }

  bool ShowWindow(int command) const;
  // For a window of another process: asks its thread and never waits for it.
  bool ShowWindowAsync(int command) const;
  bool SetWindowPos(Hwnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) const;
  bool EnableWindow(bool enable) const;
  bool IsWindowEnabled() const;
  bool IsIconic() const;
  bool IsWindowVisible() const;
  Hwnd SetFocus() const;
  void SetWindowText(const std::u16string& text) const;
  std::u16string GetWindowText() const;
  LResult SendMessage(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) const;
  bool PostMessage(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) const;
  platform::Hicon SetIcon(platform::Hicon icon, bool bigIcon) const;
  platform::Hmenu GetSystemMenu(bool revert) const;

  // Bound to a window: only then do the operations above reach the window system.
  bool Bound() const { return m_Windows != nullptr && m_Hwnd != nullptr; }
  platform::IWindowSystem& Windows() const { return *m_Windows; }

 protected:
  platform::IWindowSystem* m_Windows = nullptr;
  Hwnd m_Hwnd = nullptr;
};

class CStatic : public CWnd {};

class CEdit : public CWnd {
 public:
  void LimitText(int maxChars) const { SendMessage(platform::kEM_LIMITTEXT, static_cast<WParam>(maxChars)); }
};

class CButton : public CWnd {
 public:
  void SetCheck(int check) const { SendMessage(platform::kBM_SETCHECK, static_cast<WParam>(check)); }
  int GetCheck() const { return static_cast<int>(SendMessage(platform::kBM_GETCHECK)); }
};

class CComboBox : public CWnd {
 public:
  int GetCount() const { return static_cast<int>(SendMessage(platform::kCB_GETCOUNT)); }
  int DeleteString(int index) const {
    return static_cast<int>(SendMessage(platform::kCB_DELETESTRING, static_cast<WParam>(index)));
  }
  // Position where the sorted list placed the entry, or a negative value.
  int AddString(const std::u16string& text) const {
    return static_cast<int>(SendMessage(platform::kCB_ADDSTRING, 0, reinterpret_cast<LParam>(text.c_str())));
  }
  int SetItemData(int index, std::uintptr_t data) const {
    return static_cast<int>(
        SendMessage(platform::kCB_SETITEMDATA, static_cast<WParam>(index), static_cast<LParam>(data)));
  }
  std::uintptr_t GetItemData(int index) const {
    return static_cast<std::uintptr_t>(SendMessage(platform::kCB_GETITEMDATA, static_cast<WParam>(index)));
  }
  int SetCurSel(int index) const {
    return static_cast<int>(SendMessage(platform::kCB_SETCURSEL, static_cast<WParam>(index)));
  }
  int GetCurSel() const { return static_cast<int>(SendMessage(platform::kCB_GETCURSEL)); }
};

class CListBox : public CWnd {
 public:
  int AddString(const std::u16string& text) const {
    return static_cast<int>(SendMessage(platform::kLB_ADDSTRING, 0, reinterpret_cast<LParam>(text.c_str())));
  }
  void ResetContent() const { SendMessage(platform::kLB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(platform::kLB_GETCOUNT)); }
};

class CListCtrl : public CWnd {
 public:
  void SetImageList(platform::Himagelist list, int which) const {
    SendMessage(platform::kLVM_SETIMAGELIST, static_cast<WParam>(which), reinterpret_cast<LParam>(list));
  }
};

}  // namespace tethra::app
