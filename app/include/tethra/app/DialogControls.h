// CDialogControls: the dialog's controls and what they show. Nothing here is read back as the
// program's state (the name and key live in CDialogState, the offered connections in
// CSharingSession); the one read is the "enable sharing" check box, the user's input. The
// scenarios and the Wine stand-in controller read the edits, status and lists: they are
// written exactly when the program's state changes.
//
// Owner: the dialog (by value), bound to its window in DoDataExchange. Threads: the dialog's
// thread, except ShowName/ShowKey/PostNotification, which the command watcher calls as well
// (the window system carries the write to the dialog's thread). No codes.
#pragma once

#include <array>
#include <string>

#include "tethra/app/framework/Dialog.h"
#include "tethra/platform/Kernel.h"

namespace tethra::app {

class CDialogControls {
 public:
  void Bind(CDataExchange* exchange);
  // At start-up: the edits' limits, the idle status, the device images, the button's texts.
  void Prepare(platform::IWindowSystem& windows);

  void ShowStatus(bool active) const;
  void ShowStartButton(bool started) const;  // "Stop" while running, "Start" otherwise
  void ShowName(const std::u16string& name) const { m_NameEdit.SetWindowText(name); }
  void ShowKey(const std::u16string& key) const { m_KeyEdit.SetWindowText(key); }
  void EnableEntry(bool enable) const;  // the name and key edits
  void EnableStart(bool enable) const { m_StartButton.EnableWindow(enable); }
  void FocusName() const { m_NameEdit.SetFocus(); }
  void FocusKey() const { m_KeyEdit.SetFocus(); }
  void CheckEnableIcs() const { m_EnableIcsCheck.SetCheck(static_cast<int>(platform::kBST_CHECKED)); }
  bool EnableIcsChecked() const { return m_EnableIcsCheck.GetCheck() == static_cast<int>(platform::kBST_CHECKED); }
  void PostNotification(platform::IKernel& kernel, const std::u16string& text) const;  // time-stamped
  void ClearNotifications() const { m_NotificationList.ResetContent(); }

  // The sharing controls, which CSharingSession shows its state in.
  CButton& EnableIcsCheck() { return m_EnableIcsCheck; }
  CComboBox& ConnectionCombo() { return m_ConnectionCombo; }

 private:
  CStatic m_StatusText;
  CEdit m_NameEdit;
  CEdit m_KeyEdit;
  CButton m_EnableIcsCheck;
  CButton m_StartButton;
  CComboBox m_ConnectionCombo;
  CListBox m_NotificationList;
  CListCtrl m_DeviceList;
  platform::Himagelist m_DeviceImageList = nullptr;  // made once, lives as long as the process
  std::array<char16_t, 256> m_szStartText{};
  std::array<char16_t, 256> m_szStopText{};
};

}  // namespace tethra::app
