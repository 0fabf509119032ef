// Conversion to the ANSI code page with the fallback for code pages that refuse flags.
#include "AnsiText.h"

#include <algorithm>

namespace tethra::wlan {
namespace {

using platform::Bool32;
using platform::Dword;

// Longest text whose round trip is checked; longer texts count as not representable, which
// only ever concerns keys that their length rule refuses anyway.
constexpr int kRoundTripMax = 256;

bool SurvivesRoundTrip(platform::ICodePage& codePage, const char16_t* wide, int cchWide, const char* bytes,
                       int cbBytes) noexcept {
  char16_t back[kRoundTripMax + 1];
  const int cch = codePage.multiByteToWideChar(platform::kCP_ACP, platform::kMB_ERR_INVALID_CHARS, bytes, cbBytes,
                                               back, kRoundTripMax + 1);
  if (cch <= 0) return false;
  int expected = cchWide;
  if (expected < 0) {
    expected = 0;
    while (expected <= kRoundTripMax && wide[expected] != u'\0') ++expected;
    ++expected;  // the terminating zero took part in the conversion
  }
  return cch == expected && std::equal(back, back + cch, wide);
}

}  // namespace

int WideToAnsi(platform::ICodePage& codePage, platform::IKernel& kernel, Dword flags, const char16_t* wide,
               int cchWide, char* out, int cbOut, Bool32* usedDefault) noexcept {
  const int first = codePage.wideCharToMultiByte(platform::kCP_ACP, flags, wide, cchWide, out, cbOut, nullptr,
                                                 usedDefault);
  if (first != 0) return first;
  const platform::Win32Error error = kernel.getLastError();
  const bool refusedQuestion = (error == kERROR_INVALID_FLAGS && flags != 0) ||
                               (error == platform::kERROR_INVALID_PARAMETER && usedDefault != nullptr);
  if (!refusedQuestion) return 0;

  const int second = codePage.wideCharToMultiByte(platform::kCP_ACP, 0, wide, cchWide, out, cbOut, nullptr, nullptr);
  if (second != 0 && usedDefault != nullptr) {
    *usedDefault = (out != nullptr && SurvivesRoundTrip(codePage, wide, cchWide, out, second)) ? 0 : 1;
  }
  return second;
}

}  // namespace tethra::wlan
