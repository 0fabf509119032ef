// The device-removal rules and the device-interface registration.
#include "tethra/app/DeviceRemoval.h"

#include <cstddef>

#include "tethra/app/ConnectionKind.h"

namespace tethra::app {

using base::EqualsNoCase;
using base::ToLowerAscii;
using base::ToUpperAscii;

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

bool CDeviceRemoval::IsSharedAdapter(const std::u16string& interfaceName) const {
  if (EqualsNoCase(m_CommandLine, u"/SHARELAN")) return LanRulesMatch(interfaceName);
  if (EqualsNoCase(m_CommandLine, kShareMobileBroadband) || EqualsNoCase(m_CommandLine, kShareRAS)) {
    return MobileBroadbandRulesMatch(interfaceName);
  }
  return false;
}

bool CDeviceRemoval::EndsProgram(platform::WParam event, platform::LParam record) const {
  TETHRA_CHECK_THREAD(m_Thread);
  if (event != platform::kDBT_DEVICEREMOVECOMPLETE || record == 0) return false;
  const auto* header = reinterpret_cast<const platform::DevBroadcastDeviceInterface*>(record);
  return header->dbcc_devicetype == platform::kDBT_DEVTYP_DEVICEINTERFACE &&
         IsSharedAdapter(std::u16string(header->dbcc_name));
}

bool CDeviceRemoval::RegisterDeviceInterfaceGuid(platform::Hwnd window) {
  TETHRA_CHECK_THREAD(m_Thread);
  struct Filter {
    platform::Dword dbcc_size;
    platform::Dword dbcc_devicetype;
    platform::Dword dbcc_reserved;
    platform::Guid dbcc_classguid;
    std::uint32_t nameAndPadding;  // no name: the record ends after the class GUID
  };
  static_assert(sizeof(Filter) == 32);
  const Filter filter{32, platform::kDBT_DEVTYP_DEVICEINTERFACE, 0, kGuidNetworkAdapterInterface, 0};
  m_Registration = platform::UniqueDeviceNotification(
      m_Events.registerDeviceNotification(
          window, &filter, platform::kDEVICE_NOTIFY_WINDOW_HANDLE | platform::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES),
      platform::DeviceNotificationCloser{&m_Events, &m_Kernel});
  return static_cast<bool>(m_Registration);
}

bool CDeviceRemoval::UnRegisterDeviceInterfaceGuid() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_Registration) return true;
  // Given back here rather than by the owner, because the caller gets the platform's answer.
  return m_Events.unregisterDeviceNotification(m_Registration.release());
}

}  // namespace tethra::app
