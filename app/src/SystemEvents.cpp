// The dialog's window procedure for power, session, device-change and notification messages,
// and the device-interface registration. Dialog's thread only.
//
// Device removals end the program only for the adapter behind the shared connection: in LAN
// mode the notebook's own wired adapters (by PCI hardware id, or any adapter whose subsystem
// vendor is 7A5C), in mobile-broadband and RAS mode the listed USB modems.
#include <cstddef>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/wlan/NotificationSink.h"

namespace tethra::app {

namespace {

constexpr const char16_t* LOCAL_ADAPTER_PNP_ID_LIST_SPECIAL[] = {
    u"PCI\\VEN_8086&DEV_1559&SUBSYS_00008086",
    u"PCI\\VEN_10EC&DEV_8168&SUBSYS_012310EC",
};

constexpr const char16_t* WWAN_ADAPTER_PNP_ID_LIST[] = {
    u"VID_1199&PID_68A2", u"VID_12D1&PID_14F5", u"VID_12D1&PID_14F1", u"VID_05C6&PID_9225",
    u"VID_12D1&PID_14F0", u"VID_05C6&PID_9222", u"VID_12D1&PID_140C",
};

// The network-adapter device interface class.
constexpr platform::Guid kGuidNetworkAdapterInterface{
    0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}};

// A window of `length` characters from `start`, cut at the end of the text.
std::u16string Window(const std::u16string& text, std::size_t start, std::size_t length) {
  return text.substr(start, length);
}

bool LanRulesMatch(const std::u16string& name) {
  if (const std::size_t at = name.find(u"SUBSYS_"); at != std::u16string::npos) {
    const std::u16string subsys = Window(name, at, 15);
    const std::u16string vendor = subsys.size() >= 4 ? subsys.substr(subsys.size() - 4) : subsys;
    if (EqualsNoCase(vendor, u"7A5C")) return true;
  }
  if (const std::size_t at = name.find(u"PCI"); at != std::u16string::npos) {
    const std::u16string window = Window(name, at, 37);
    // The system writes a number sign where the hardware id has its backslash.
    const std::u16string last33 = window.size() >= 33 ? window.substr(window.size() - 33) : window;
    std::u16string hardwareId = window.substr(0, 3) + u"\\" + last33;
    hardwareId = ToLowerAscii(hardwareId);
    for (const char16_t* entry : LOCAL_ADAPTER_PNP_ID_LIST_SPECIAL) {
      if (hardwareId.find(ToLowerAscii(entry)) != std::u16string::npos) return true;
    }
  }
  return false;
}

bool MobileBroadbandRulesMatch(const std::u16string& name) {
  const std::u16string upper = ToUpperAscii(name);
  for (const char16_t* entry : WWAN_ADAPTER_PNP_ID_LIST) {
    if (upper.find(entry) != std::u16string::npos) return true;
  }
  return false;
}

}  // namespace

LResult CHostedNetworkDlg::WindowProc(std::uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case platform::kWM_POWERBROADCAST:
      if (wParam == platform::kPBT_APMSUSPEND) {
        if (!m_bSilentClose) SendMsg2Pelto(u"SHARED_STOPPED_S3_S4");
      } else if (wParam == platform::kPBT_APMRESUMEAUTOMATIC) {
        OnClose();
      }
      return 1;
    case wlan::WM_NEW_HN_NOTIFICATION:
      if (m_bProcessNotifications) ProcessNotifications();
      return 0;
    case wlan::WM_HOTSPOT_CHANGED:
      if (m_bProcessNotifications) OnMobileHotspotChanged();
      return 0;
    case wlan::WM_HOTSPOT_OPERATION:
      if (CHotspotAccessPoint* hotspot = m_pHotspot; hotspot != nullptr && !m_bClosing) {
        hotspot->OnOperationMessage(static_cast<std::uint64_t>(wParam));
      }
      return 0;
    case WM_HOTSPOT_RENAME:
      if (CHotspotAccessPoint* hotspot = m_pHotspot; hotspot != nullptr && !m_bClosing) hotspot->OnRenameMessage();
      return 0;
    case platform::kWM_WTSSESSION_CHANGE:
      if (wParam == platform::kWTS_CONSOLE_CONNECT || wParam == platform::kWTS_CONSOLE_DISCONNECT ||
          wParam == platform::kWTS_SESSION_LOGON || wParam == platform::kWTS_SESSION_LOGOFF) {
        OnClose();
      }
      return 0;
    case platform::kWM_DEVICECHANGE:
      if (wParam == platform::kDBT_DEVICEREMOVECOMPLETE && lParam != 0) {
        const auto* record = reinterpret_cast<const platform::DevBroadcastDeviceInterface*>(lParam);
        if (record->dbcc_devicetype == platform::kDBT_DEVTYP_DEVICEINTERFACE) {
          OnDeviceRemoved(std::u16string(record->dbcc_name));
        }
      }
      return 1;
    default:
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

void CHostedNetworkDlg::OnDeviceRemoved(const std::u16string& interfaceName) {
  bool close = false;
  if (EqualsNoCase(m_strCommandLine, u"/SHARELAN")) {
    close = LanRulesMatch(interfaceName);
  } else if (EqualsNoCase(m_strCommandLine, kShareMobileBroadband) || EqualsNoCase(m_strCommandLine, kShareRAS)) {
    close = MobileBroadbandRulesMatch(interfaceName);
  }
  if (close) PostMessage(platform::kWM_CLOSE, 0, 0);
}

bool CHostedNetworkDlg::RegisterDeviceInterfaceGuid() {
  struct Filter {
    Dword dbcc_size;
    Dword dbcc_devicetype;
    Dword dbcc_reserved;
    platform::Guid dbcc_classguid;
    std::uint32_t nameAndPadding;  // no name: the record ends after the class GUID
  };
  static_assert(sizeof(Filter) == 32);
  const Filter filter{32, platform::kDBT_DEVTYP_DEVICEINTERFACE, 0, kGuidNetworkAdapterInterface, 0};
  platform::ISystemEvents* events = &SystemEvents();
  m_hDevNotify = platform::UniqueDeviceNotification(
      events->registerDeviceNotification(
          m_hWnd, &filter, platform::kDEVICE_NOTIFY_WINDOW_HANDLE | platform::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES),
      platform::DeviceNotificationCloser{events});
  return static_cast<bool>(m_hDevNotify);
}

bool CHostedNetworkDlg::UnRegisterDeviceInterfaceGuid() {
  if (!m_hDevNotify) return true;
  // Given back here rather than by the owner, because the caller gets the platform's answer.
  return SystemEvents().unregisterDeviceNotification(m_hDevNotify.release());
}

}  // namespace tethra::app
