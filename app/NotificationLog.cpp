// Dialog feedback: the time-stamped notification log and the device list's image list.
// PostNotification runs on the dialog's thread and on the watcher thread (the append is a
// message the window system carries to the dialog's thread).
#include <cstdio>

#include "app/HostedNetworkDlg.h"
#include "app/Resource.h"

namespace tethra::app {

namespace {
constexpr std::size_t kLineBufferChars = 1024;  // with its terminating zero
}  // namespace

void CHostedNetworkDlg::PostNotification(const std::u16string& text) {
  platform::SystemTime now{};
  Kernel().getLocalTime(&now);
  // The minute is padded with a space, not a zero: "[03/05/2012:14: 7:09] ".
  char stamp[64];
  const int stampLength = std::snprintf(stamp, sizeof stamp, "[%02d/%02d/%04d:%02d:%2d:%02d] ", now.wMonth, now.wDay,
                                        now.wYear, now.wHour, now.wMinute, now.wSecond);
  std::u16string line;
  if (stampLength > 0 && static_cast<std::size_t>(stampLength) + text.size() < kLineBufferChars) {
    line.assign(stamp, stamp + stampLength);
    line += text;
  } else {
    line = text;  // the stamped line would not fit: the text alone
  }
  m_NotificationList.AddString(line);
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
  const std::size_t nameLength = m_NameEdit.GetWindowText().size();
  const std::size_t keyLength = m_KeyEdit.GetWindowText().size();
  const bool nameOk = nameLength >= 1 && nameLength <= 32;
  const bool keyOk = keyLength >= 8 && keyLength <= 63;
  if (nameOk && keyOk) return true;
  if (!nameOk && !keyOk) {
    Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters, and hosted network key contains "
          "8 ~ 63 case-sensitive characters.");
    m_NameEdit.SetFocus();
  } else if (!nameOk) {
    Trace("Hosted network name should contain 1 ~ 32 case-sensitive characters.");
    m_NameEdit.SetFocus();
  } else {
    Trace("Hosted network key should contain 8 ~ 63 case-sensitive characters.");
    m_KeyEdit.SetFocus();
  }
  return false;
}

}  // namespace tethra::app
