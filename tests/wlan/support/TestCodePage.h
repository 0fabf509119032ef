// Test support: the simulated notebook's code-page converter (1252 or 65001) behind
// ICodePage, with its errors put in the test kernel's per-thread last error as Windows does.
// Any thread may call (the converter's pure forms keep no state).
#pragma once

#include "tethra/platform/CodePage.h"
#include "tethra/platform/Kernel.h"
#include "tethra/sim/CodePage.h"

namespace tethra::wlan::test {

class TestCodePage final : public platform::ICodePage {
 public:
  TestCodePage(std::uint32_t activeCodePage, platform::IKernel& kernel)
      : m_Converter(activeCodePage), m_Kernel(kernel) {}

  int wideCharToMultiByte(std::uint32_t codePage, platform::Dword flags, const char16_t* wide, int cchWideChar,
                          char* multiByte, int cbMultiByte, const char* defaultChar,
                          platform::Bool32* usedDefaultChar) override {
    const auto r = m_Converter.toMultiByte(codePage, flags, wide, cchWideChar, multiByte, cbMultiByte, defaultChar,
                                           usedDefaultChar);
    if (r.value == 0) m_Kernel.setLastError(r.error);
    return r.value;
  }
  int multiByteToWideChar(std::uint32_t codePage, platform::Dword flags, const char* multiByte, int cbMultiByte,
                          char16_t* wide, int cchWideChar) override {
    const auto r = m_Converter.toWide(codePage, flags, multiByte, cbMultiByte, wide, cchWideChar);
    if (r.value == 0) m_Kernel.setLastError(r.error);
    return r.value;
  }

 private:
  sim::CodePageConverter m_Converter;
  platform::IKernel& m_Kernel;
};

}  // namespace tethra::wlan::test
