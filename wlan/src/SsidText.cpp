// SSID text: UTF-16 name to DOT11_SSID bytes and back to a display text.
#include <cstring>

#include "AnsiText.h"
#include "tethra/wlan/WlanText.h"

namespace tethra::wlan {

using platform::Dword;
using platform::Win32Error;

Win32Error StringToSsid(platform::ICodePage& codePage, platform::IKernel& kernel, const char16_t* text, platform::Dot11Ssid* ssid) {
  if (ssid == nullptr || text == nullptr || text[0] == u'\0') return platform::kERROR_INVALID_PARAMETER;
  char bytes[sizeof ssid->ucSSID + 1];
  const int converted = WideToAnsi(codePage, kernel, platform::kWC_NO_BEST_FIT_CHARS, text, -1,
                                   bytes, static_cast<int>(sizeof bytes), nullptr);
  if (converted == 0) {
    const Win32Error error = kernel.getLastError();
    return error == platform::kERROR_INSUFFICIENT_BUFFER ? platform::kERROR_BAD_LENGTH : error;
  }
  if (converted == 1) return platform::kERROR_BAD_LENGTH;
  ssid->uSSIDLength = static_cast<std::uint32_t>(converted - 1);
  std::memcpy(ssid->ucSSID, bytes, ssid->uSSIDLength);
  return platform::kERROR_SUCCESS;
}

namespace {

// An SSID the code page cannot read is shown as its bytes in hexadecimal. The need is
// reserved generously (twice the bytes plus 513) so that a longer format fits later.
Win32Error HexDisplayName(const platform::Dot11Ssid& ssid, char16_t* buffer, Dword* length) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  const Dword needed = 2 * ssid.uSSIDLength + 513;
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    return platform::kERROR_INSUFFICIENT_BUFFER;
  }
  for (std::uint32_t i = 0; i < ssid.uSSIDLength; ++i) {
    buffer[2 * i] = kHex[ssid.ucSSID[i] >> 4];
    buffer[2 * i + 1] = kHex[ssid.ucSSID[i] & 0x0F];
  }
  buffer[2 * ssid.uSSIDLength] = u'\0';
  *length = 2 * ssid.uSSIDLength + 1;
  return platform::kERROR_SUCCESS;
}

}  // namespace

Win32Error SsidToDisplayName(platform::ICodePage& codePage, platform::IKernel& kernel, const platform::Dot11Ssid* ssid,
                             char16_t* buffer, Dword* length) {
  if (ssid == nullptr || length == nullptr || (buffer == nullptr && *length != 0) ||
      ssid->uSSIDLength > sizeof ssid->ucSSID) {
    return platform::kERROR_INVALID_PARAMETER;
  }
  if (ssid->uSSIDLength == 0) {
    if (buffer != nullptr && *length >= 1) buffer[0] = u'\0';
    *length = 1;
    return platform::kERROR_SUCCESS;
  }
  const char* bytes = reinterpret_cast<const char*>(ssid->ucSSID);
  const int cb = static_cast<int>(ssid->uSSIDLength);
  const int cch = codePage.multiByteToWideChar(platform::kCP_ACP, 0, bytes, cb, nullptr, 0);
  if (cch <= 0) return HexDisplayName(*ssid, buffer, length);
  const Dword needed = static_cast<Dword>(cch) + 1;
  if (needed > *length) {
    *length = needed;
    return platform::kERROR_INSUFFICIENT_BUFFER;
  }
  if (needed >= *length) return platform::kERROR_INVALID_PARAMETER;
  if (codePage.multiByteToWideChar(platform::kCP_ACP, 0, bytes, cb, buffer, cch) != cch) {
    return kernel.getLastError();
  }
  buffer[cch] = u'\0';
  *length = needed;
  return platform::kERROR_SUCCESS;
}

}  // namespace tethra::wlan
