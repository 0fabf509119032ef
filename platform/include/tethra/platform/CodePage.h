// Conversion between UTF-16 and the system's active ANSI code page (WideCharToMultiByte,
// MultiByteToWideChar). Any thread may call. Results and errors as the Win32 functions give
// them: 0 on failure with the reason in IKernel::getLastError() of the calling thread.
#pragma once

#include "tethra/platform/Types.h"

namespace tethra::platform {

constexpr std::uint32_t kCP_ACP = 0;
constexpr std::uint32_t kCP_UTF8 = 65001;
constexpr Dword kWC_NO_BEST_FIT_CHARS = 0x00000400;
constexpr Dword kMB_ERR_INVALID_CHARS = 0x00000008;

class ICodePage {
 public:
  virtual ~ICodePage() = default;
  // cchWideChar -1: up to and including the terminating zero. cbMultiByte 0: measure only.
  virtual int wideCharToMultiByte(std::uint32_t codePage, Dword flags, const char16_t* wide, int cchWideChar,
                                  char* multiByte, int cbMultiByte, const char* defaultChar,
                                  Bool32* usedDefaultChar) = 0;
  virtual int multiByteToWideChar(std::uint32_t codePage, Dword flags, const char* multiByte, int cbMultiByte,
                                  char16_t* wide, int cchWideChar) = 0;
};

}  // namespace tethra::platform
