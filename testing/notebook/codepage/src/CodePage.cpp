// Code pages 1252 and 65001 of the simulated notebook (see CodePage.h for the contract).
//
// Owner: stateless apart from the active code page. The conversion is done into a temporary
// string first, so measuring and converting share one code path.
#include "tethra/sim/CodePage.h"

#include <algorithm>
#include <array>
#include <string>

#include "tethra/sim/Text.h"

namespace tethra::sim {

using platform::Bool32;
using platform::Dword;

namespace {

constexpr platform::Win32Error kERROR_INVALID_FLAGS{1004};
constexpr Dword kWC_ERR_INVALID_CHARS = 0x80;
constexpr Dword kWC_ALLOWED_SBCS = 0x10 | 0x20 | 0x40 | 0x200 | platform::kWC_NO_BEST_FIT_CHARS;
constexpr Dword kMB_ALLOWED_SBCS = 0x1 | 0x2 | 0x4 | platform::kMB_ERR_INVALID_CHARS;

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the C1
// control of the same value, as Windows does, so they survive a round trip.
constexpr std::array<char16_t, 32> k1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Best fit for U+0100..U+017F (Latin Extended-A): the base letter, '?' where there is none.
// This is a deliberate subset of the system's best-fit table; it covers the common case of
// accented letters and keeps WC_NO_BEST_FIT_CHARS observable.
constexpr std::string_view kBestFitLatinA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLlLlLlNnNnNn???OoOoOo??RrRrRrSsSsSsSsTt"
    "TtTtUuUuUuUuUuUuWwYy?ZzZzZz?";
static_assert(kBestFitLatinA.size() == 0x80);

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The 1252 byte of `c`, exact mapping only; -1 when it has none.
int exact1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (std::size_t i = 0; i < k1252High.size(); ++i) {
    if (k1252High[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

int bestFit1252(char16_t c) {
  if (c >= 0x0100 && c <= 0x017F) {
    const char b = kBestFitLatinA[c - 0x0100];
    return b == '?' ? -1 : b;
  }
  if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFF01 + 0x21;  // full-width ASCII
  return -1;
}

template <typename Out, typename In>
CodePageConverter::Result Deliver(const std::basic_string<In>& converted, Out* out, int outSize) {
  const int needed = static_cast<int>(converted.size());
  if (outSize == 0) return {needed, platform::kERROR_SUCCESS};
  if (needed > outSize) return {0, platform::kERROR_INSUFFICIENT_BUFFER};
  std::copy(converted.begin(), converted.end(), out);
  return {needed, platform::kERROR_SUCCESS};
}

}  // namespace

CodePageConverter::Result CodePageConverter::toMultiByte(std::uint32_t codePage, Dword flags, const char16_t* wide,
                                                         int cchWideChar, char* multiByte, int cbMultiByte,
                                                         const char* defaultChar, Bool32* usedDefaultChar) const {
  if (codePage == platform::kCP_ACP) codePage = m_ActiveCodePage;
  if (wide == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && multiByte == nullptr)) {
    return {0, platform::kERROR_INVALID_PARAMETER};
  }
  if (codePage != 1252 && codePage != platform::kCP_UTF8) return {0, platform::kERROR_INVALID_PARAMETER};

  const std::size_t n = cchWideChar == -1 ? std::char_traits<char16_t>::length(wide) + 1
                                          : static_cast<std::size_t>(cchWideChar);
  std::string out;
  out.reserve(n);

  if (codePage == platform::kCP_UTF8) {
    if ((flags & ~kWC_ERR_INVALID_CHARS) != 0) return {0, kERROR_INVALID_FLAGS};
    if (defaultChar != nullptr || usedDefaultChar != nullptr) return {0, platform::kERROR_INVALID_PARAMETER};
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t c = wide[i];
      if (IsHigh(c) && i + 1 < n && IsLow(wide[i + 1])) {
        text::AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
        ++i;
      } else if (IsHigh(c) || IsLow(c)) {
        if (flags & kWC_ERR_INVALID_CHARS) return {0, platform::kERROR_NO_UNICODE_TRANSLATION};
        text::AppendUtf8(out, 0xFFFD);
      } else {
        text::AppendUtf8(out, c);
      }
    }
    return Deliver(out, multiByte, cbMultiByte);
  }

  if ((flags & ~kWC_ALLOWED_SBCS) != 0) return {0, kERROR_INVALID_FLAGS};
  const char fallback = defaultChar != nullptr ? *defaultChar : '?';
  bool usedDefault = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = wide[i];
    int b = exact1252(c);
    if (b < 0 && (flags & platform::kWC_NO_BEST_FIT_CHARS) == 0) b = bestFit1252(c);
    if (b < 0) {
      usedDefault = true;
      out += fallback;
      if (IsHigh(c) && i + 1 < n && IsLow(wide[i + 1])) ++i;  // one character, one default
    } else {
      out += static_cast<char>(b);
    }
  }
  Result r = Deliver(out, multiByte, cbMultiByte);
  if (r.error == platform::kERROR_SUCCESS && usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? 1 : 0;
  return r;
}

CodePageConverter::Result CodePageConverter::toWide(std::uint32_t codePage, Dword flags, const char* multiByte,
                                                    int cbMultiByte, char16_t* wide, int cchWideChar) const {
  if (codePage == platform::kCP_ACP) codePage = m_ActiveCodePage;
  if (multiByte == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && wide == nullptr)) {
    return {0, platform::kERROR_INVALID_PARAMETER};
  }
  if (codePage != 1252 && codePage != platform::kCP_UTF8) return {0, platform::kERROR_INVALID_PARAMETER};

  const std::size_t n = cbMultiByte == -1 ? std::char_traits<char>::length(multiByte) + 1
                                          : static_cast<std::size_t>(cbMultiByte);
  const auto* bytes = reinterpret_cast<const unsigned char*>(multiByte);
  std::u16string out;
  out.reserve(n);

  if (codePage == platform::kCP_UTF8) {
    if ((flags & ~platform::kMB_ERR_INVALID_CHARS) != 0) return {0, kERROR_INVALID_FLAGS};
    for (std::size_t i = 0; i < n;) {
      char32_t cp = 0;
      bool valid = true;
      i += text::DecodeUtf8(bytes, n, i, cp, valid);
      if (!valid && (flags & platform::kMB_ERR_INVALID_CHARS)) return {0, platform::kERROR_NO_UNICODE_TRANSLATION};
      text::AppendUtf16(out, cp);
    }
    return Deliver(out, wide, cchWideChar);
  }

  if ((flags & ~kMB_ALLOWED_SBCS) != 0) return {0, kERROR_INVALID_FLAGS};
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = bytes[i];
    out += (b >= 0x80 && b <= 0x9F) ? k1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return Deliver(out, wide, cchWideChar);
}

}  // namespace tethra::sim
