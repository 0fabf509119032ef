// Passphrase bytes for the WLAN service, and the default key made from the clock.
#include <cstdio>
#include <cstring>

#include "AnsiText.h"
#include "tethra/platform/Handle.h"
#include "tethra/wlan/WlanText.h"

namespace tethra::wlan {

using platform::Dword;
using platform::Win32Error;

namespace {

constexpr int kMinKeyBytes = 9;   // 8 characters and the zero
constexpr int kMaxKeyBytes = 64;  // 63 characters and the zero

Win32Error Convert(platform::ICodePage& codePage, platform::IKernel& kernel, platform::IWlanApi& wlan, const char16_t* text, std::uint8_t* buffer, Dword* length,
                   Dword* neededOut) {
  const int measured = WideToAnsi(codePage, kernel, platform::kWC_NO_BEST_FIT_CHARS, text, -1,
                                  nullptr, 0, nullptr);
  if (measured == 0) return kernel.getLastError();

  platform::UniqueWlanMemory bytes(wlan.wlanAllocateMemory(static_cast<Dword>(measured)),
                                   platform::WlanMemoryCloser{&wlan, &kernel});
  if (!bytes) {
    const Win32Error error = kernel.getLastError();
    return error != platform::kERROR_SUCCESS ? error : platform::kERROR_NOT_ENOUGH_MEMORY;
  }
  char* converted = static_cast<char*>(bytes.get());
  std::memset(converted, 0, static_cast<std::size_t>(measured));
  platform::Bool32 usedDefault = 0;
  const int written = WideToAnsi(codePage, kernel, platform::kWC_NO_BEST_FIT_CHARS, text, -1,
                                 converted, measured, &usedDefault);
  if (written == 0) return kernel.getLastError();
  if (written != measured) return platform::kERROR_INTERNAL_ERROR;
  if (usedDefault != 0 || written < kMinKeyBytes || written > kMaxKeyBytes) return platform::kERROR_BAD_FORMAT;

  const Dword needed = static_cast<Dword>(written) + 1;
  *neededOut = needed;
  if (buffer == nullptr || length == nullptr || *length < needed) return platform::kERROR_MORE_DATA;
  std::memset(buffer, 0, *length);
  std::memcpy(buffer, converted, static_cast<std::size_t>(written));
  return platform::kERROR_SUCCESS;
}

}  // namespace

Win32Error ConvertPassPhraseKeyStringToBuffer(platform::ICodePage& codePage, platform::IKernel& kernel,
                                              platform::IWlanApi& wlan, const char16_t* text, std::size_t count,
                                              std::uint8_t* buffer, Dword* length) {
  if (text == nullptr) return platform::kERROR_INVALID_PARAMETER;
  while (count > 0 && text[count - 1] == u'\0') --count;
  Dword needed = 0;
  const Win32Error error = count == 0 ? platform::kERROR_BAD_FORMAT : Convert(codePage, kernel, wlan, text, buffer, length, &needed);
  if (length != nullptr) {
    *length = (error == platform::kERROR_SUCCESS || error == platform::kERROR_MORE_DATA) ? needed : 0;
  }
  return error;
}

DefaultKey MakeDefaultKey(platform::IKernel& kernel) {
  platform::SystemTime now{};
  kernel.getSystemTime(&now);
  char digits[64];
  std::snprintf(digits, sizeof digits, "%d%d%d%d%d", now.wMilliseconds, now.wMinute, now.wSecond, now.wYear, now.wDay);
  DefaultKey key{};
  for (int i = 0; i < 8 && digits[i] != '\0'; ++i) key.text[i] = static_cast<char16_t>(digits[i]);
  return key;
}

}  // namespace tethra::wlan
