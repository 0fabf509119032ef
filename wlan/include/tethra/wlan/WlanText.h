// Text at the WLAN interface: SSIDs and passphrases travel as bytes of the active ANSI code
// page, the program works in UTF-16. Any thread may call. Results are platform error codes
// (0 success): 87 invalid argument, 24 name too long, 11 bad key, 122 buffer too small,
// 234 more data, 1359 the key's two conversion passes disagree, or the code page's own error.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tethra/platform/CodePage.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/WlanApi.h"

namespace tethra::wlan {

// Up to 32 bytes; characters the code page cannot represent become its default character.
platform::Win32Error StringToSsid(platform::ICodePage& codePage, platform::IKernel& kernel, const char16_t* text,
                             platform::Dot11Ssid* ssid);

// `length` (in wide characters, the zero included) is in and out; on 122 it holds the need.
platform::Win32Error SsidToDisplayName(platform::ICodePage& codePage, platform::IKernel& kernel,
                                       const platform::Dot11Ssid* ssid, char16_t* buffer, platform::Dword* length);

// A passphrase of 8 to 63 code-page bytes into `buffer`, zero-terminated and zero-filled to
// `*length`; `*length` receives the needed length (bytes plus two) on success and on 234, 0
// on every other error. The bytes pass through WLAN memory so that no copy of the key outlives
// the call in the program's own heap.
platform::Win32Error ConvertPassPhraseKeyStringToBuffer(platform::ICodePage& codePage, platform::IKernel& kernel,
                                                        platform::IWlanApi& wlan, const char16_t* text,
                                                        std::size_t count, std::uint8_t* buffer,
                                                        platform::Dword* length);

// Eight decimal digits from the current UTC time (milliseconds, minute, second, year, day).
struct DefaultKey {
  char16_t text[9];
};
DefaultKey MakeDefaultKey(platform::IKernel& kernel);

}  // namespace tethra::wlan
