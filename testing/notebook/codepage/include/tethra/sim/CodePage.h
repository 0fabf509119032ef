// Code-page conversion of the simulated notebook, usable on its own (no World needed). The
// ICodePage areas built on it (a simulated process's, the WLAN tests') put a failure's reason
// in the calling thread's last error, as Windows does.
//
// Owner: whoever constructs it; it holds no resources and no state but the active code page,
// so any thread may call. Results as WideCharToMultiByte / MultiByteToWideChar give them: the
// converted size, or 0 with the reason beside it (87 invalid parameter, 122 insufficient
// buffer, 1004 invalid flags, 1113 no Unicode translation). Supported code pages: 1252 and
// 65001; 0 means the active one.
#pragma once

#include <cstdint>

#include "tethra/platform/CodePage.h"

namespace tethra::sim {

class CodePageConverter final {
 public:
  struct Result {
    int value = 0;  // converted size, or 0 on failure
    platform::Win32Error error = platform::kERROR_SUCCESS;
  };

  explicit CodePageConverter(std::uint32_t activeCodePage) : m_ActiveCodePage(activeCodePage) {}

  // The error comes back with the result.
  Result toMultiByte(std::uint32_t codePage, platform::Dword flags, const char16_t* wide, int cchWideChar,
                     char* multiByte, int cbMultiByte, const char* defaultChar,
                     platform::Bool32* usedDefaultChar) const;
  Result toWide(std::uint32_t codePage, platform::Dword flags, const char* multiByte, int cbMultiByte,
                char16_t* wide, int cchWideChar) const;

 private:
  std::uint32_t m_ActiveCodePage;
};

}  // namespace tethra::sim
