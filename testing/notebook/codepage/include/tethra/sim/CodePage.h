// Code-page conversion of the simulated notebook, usable on its own (no World needed).
//
// Owner: whoever constructs it; it holds no resources. Not thread-safe by itself: the
// per-process ICodePage of the simulation calls it only while holding the baton. Results as
// WideCharToMultiByte / MultiByteToWideChar give them: the converted size, or 0 with the
// reason in lastError() (87 invalid parameter, 122 insufficient buffer, 1004 invalid flags,
// 1113 no Unicode translation). Supported code pages: 1252 and 65001; 0 means the active one.
#pragma once

#include <cstdint>

#include "tethra/platform/CodePage.h"

namespace tethra::sim {

class CodePageConverter final : public platform::ICodePage {
 public:
  struct Result {
    int value = 0;  // converted size, or 0 on failure
    platform::Win32Error error = platform::kERROR_SUCCESS;
  };

  explicit CodePageConverter(std::uint32_t activeCodePage) : m_ActiveCodePage(activeCodePage) {}

  // Pure forms: the error comes back with the result.
  Result toMultiByte(std::uint32_t codePage, platform::Dword flags, const char16_t* wide, int cchWideChar,
                     char* multiByte, int cbMultiByte, const char* defaultChar,
                     platform::Bool32* usedDefaultChar) const;
  Result toWide(std::uint32_t codePage, platform::Dword flags, const char* multiByte, int cbMultiByte,
                char16_t* wide, int cchWideChar) const;

  // ICodePage: the error of the last failing call is kept in lastError().
  std::uint32_t getACP() const { return m_ActiveCodePage; }
  int wideCharToMultiByte(std::uint32_t codePage, platform::Dword flags, const char16_t* wide, int cchWideChar,
                          char* multiByte, int cbMultiByte, const char* defaultChar,
                          platform::Bool32* usedDefaultChar) override;
  int multiByteToWideChar(std::uint32_t codePage, platform::Dword flags, const char* multiByte, int cbMultiByte,
                          char16_t* wide, int cchWideChar) override;
  platform::Win32Error lastError() const { return m_LastError; }

 private:
  std::uint32_t m_ActiveCodePage;
  platform::Win32Error m_LastError = platform::kERROR_SUCCESS;
};

}  // namespace tethra::sim
