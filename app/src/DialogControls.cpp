// The dialog's controls: binding, preparing and showing.
#include "tethra/app/DialogControls.h"

#include "tethra/app/Feedback.h"
#include "tethra/app/Resource.h"
#include "tethra/app/StatusTexts.h"

namespace tethra::app {

void CDialogControls::Bind(CDataExchange* exchange) {
  exchange->Control(IDC_EDIT_NAME, m_NameEdit);
  exchange->Control(IDC_EDIT_KEY, m_KeyEdit);
  exchange->Control(IDC_CHECK_ENABLE_ICS, m_EnableIcsCheck);
  exchange->Control(IDC_BUTTON_START, m_StartButton);
  exchange->Control(IDC_COMBO_CONNECTION, m_ConnectionCombo);
  exchange->Control(IDC_LIST_NOTIFICATIONS, m_NotificationList);
  exchange->Control(IDC_LIST_DEVICES, m_DeviceList);
  exchange->Control(IDC_STATIC_STATUS, m_StatusText);
}

void CDialogControls::Prepare(platform::IWindowSystem& windows) {
  m_NameEdit.LimitText(32);
  m_KeyEdit.LimitText(63);
  ShowStatus(false);
  if (m_DeviceImageList == nullptr) {
    m_DeviceImageList = windows.imageListCreate(48, 48, platform::kILC_COLOR32, 5, 2);
    if (m_DeviceImageList != nullptr) {
      windows.imageListSetBkColor(m_DeviceImageList, 0xFFFFFF);
      for (int id = IDI_DEVICE_FIRST; id <= IDI_DEVICE_LAST; ++id) {
        windows.imageListAddIcon(m_DeviceImageList, windows.loadIcon(id));
      }
    }
  }
  if (m_DeviceImageList != nullptr) {
    m_DeviceList.SetImageList(m_DeviceImageList, static_cast<int>(platform::kLVSIL_NORMAL));
  }
  windows.loadString(IDS_START_HOSTED_NETWORK, m_szStartText.data(), static_cast<int>(m_szStartText.size()));
  windows.loadString(IDS_STOP_HOSTED_NETWORK, m_szStopText.data(), static_cast<int>(m_szStopText.size()));
}

void CDialogControls::ShowStatus(bool active) const { m_StatusText.SetWindowText(active ? kStatusActive : kStatusIdle); }

void CDialogControls::ShowStartButton(bool started) const {
  m_StartButton.SetWindowText(started ? m_szStopText.data() : m_szStartText.data());
}

void CDialogControls::EnableEntry(bool enable) const {
  m_NameEdit.EnableWindow(enable);
  m_KeyEdit.EnableWindow(enable);
}

void CDialogControls::PostNotification(platform::IKernel& kernel, const std::u16string& text) const {
  platform::SystemTime now{};
  kernel.getLocalTime(&now);
  m_NotificationList.AddString(FormatNotificationLine(now, text));
}

}  // namespace tethra::app
