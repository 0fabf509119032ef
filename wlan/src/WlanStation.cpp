// Stations and devices: MAC copies and the hyphenated upper-case display name.
#include "tethra/wlan/WlanStation.h"

#include <cstring>

namespace tethra::wlan {

CWlanStation::CWlanStation(const MacAddress& mac) noexcept { std::memcpy(m_MacAddress, mac, sizeof m_MacAddress); }

void CWlanStation::GetMacAddress(MacAddress& out) const noexcept { std::memcpy(out, m_MacAddress, sizeof m_MacAddress); }

bool CWlanStation::Matches(const MacAddress& mac) const noexcept {
  return std::memcmp(m_MacAddress, mac, sizeof m_MacAddress) == 0;
}

CWlanDevice::CWlanDevice(const MacAddress& mac) noexcept {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::memcpy(m_MacAddress, mac, sizeof m_MacAddress);
  char16_t* out = m_strDisplayName;
  for (int i = 0; i < 6; ++i) {
    if (i != 0) *out++ = u'-';
    *out++ = kHex[mac[i] >> 4];
    *out++ = kHex[mac[i] & 0x0F];
  }
  *out = u'\0';
}

void CWlanDevice::GetMacAddress(MacAddress& out) const noexcept { std::memcpy(out, m_MacAddress, sizeof m_MacAddress); }

}  // namespace tethra::wlan
