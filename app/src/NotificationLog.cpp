// Dialog feedback: the time-stamped notification log and the device list's image list.
// PostNotification runs on the dialog's thread and on the watcher thread (the append is a
// message the window system carries to the dialog's thread).
#include "tethra/app/Feedback.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/Resource.h"

namespace tethra::app {

void CHostedNetworkDlg::PostNotification(const std::u16string& text) {
  platform::SystemTime now{};
  Kernel().getLocalTime(&now);
  m_NotificationList.AddString(FormatNotificationLine(now, text));
}

void CHostedNetworkDlg::CreateDeviceImageList() {
  if (m_hDeviceImageList == nullptr) {
    m_hDeviceImageList = Windows().imageListCreate(48, 48, platform::kILC_COLOR32, 5, 2);
    if (m_hDeviceImageList == nullptr) return;
    Windows().imageListSetBkColor(m_hDeviceImageList, 0xFFFFFF);
    for (int id = IDI_DEVICE_FIRST; id <= IDI_DEVICE_LAST; ++id) {
      Windows().imageListAddIcon(m_hDeviceImageList, Windows().loadIcon(id));
    }
  }
  m_DeviceList.SetImageList(m_hDeviceImageList, static_cast<int>(platform::kLVSIL_NORMAL));
}

bool CHostedNetworkDlg::CheckValidSSIDKeyLen() {
  switch (CheckNameKeyLengths(m_NameEdit.GetWindowText().size(), m_KeyEdit.GetWindowText().size())) {
    case NameKeyVerdict::Admissible:
      return true;
    case NameKeyVerdict::NameWrong:
      Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters.");
      m_NameEdit.SetFocus();
      return false;
    case NameKeyVerdict::KeyWrong:
      Trace("Hosted network key should contain 8 ~ 63 case-sensitive characters.");
      m_KeyEdit.SetFocus();
      return false;
    case NameKeyVerdict::BothWrong:
      Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters, and hosted network key contains "
            "8 ~ 63 case-sensitive characters.");
      m_NameEdit.SetFocus();
      return false;
  }
  return false;
}

}  // namespace tethra::app
