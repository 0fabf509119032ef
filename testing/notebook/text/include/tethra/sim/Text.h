// Text for transcripts and call records of the simulated notebook's parts: UTF-8 and UTF-16
// conversion and the registry form of a GUID. Header only and free of the simulation's core, so the WLAN and
// sharing services (also built into a Windows DLL) and the scenario runner share one copy.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/platform/Types.h"

namespace tethra::sim::text {

// The one UTF-8 codec of the simulated notebook and its runner.

inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

inline void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

// Decodes one UTF-8 sequence at s[i] (i < n): overlong forms, encoded surrogates and values
// past U+10FFFF are invalid, and an invalid sequence yields U+FFFD for its maximal subpart.
// Returns the bytes consumed; `valid` tells whether the sequence was well formed.
inline std::size_t DecodeUtf8(const unsigned char* s, std::size_t n, std::size_t i, char32_t& cp, bool& valid) {
  const unsigned char b0 = s[i];
  valid = true;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  int more = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    more = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    more = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    more = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    valid = false;
    cp = 0xFFFD;
    return 1;
  }
  std::size_t used = 1;
  for (int k = 0; k < more; ++k) {
    if (i + used >= n) break;
    const unsigned char b = s[i + used];
    if (b < lo || b > hi) break;
    cp = (cp << 6) | (b & 0x3F);
    ++used;
    lo = 0x80;
    hi = 0xBF;
  }
  if (used != static_cast<std::size_t>(more) + 1) {
    valid = false;
    cp = 0xFFFD;
  }
  return used;
}

// A lone surrogate becomes U+FFFD, as a conversion to UTF-8 without flags does on Windows.
inline std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// Ill-formed sequences become U+FFFD (see DecodeUtf8).
inline std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    bool valid = true;
    i += DecodeUtf8(bytes, text.size(), i, cp, valid);
    AppendUtf16(out, cp);
  }
  return out;
}

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper case.
inline std::string FormatGuid(const platform::Guid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

// A registry key or value name as the registry compares it: letters folded to upper case
// (ASCII and Latin-1). Shared by the simulated registry and the scenario reader, so that a
// name a scenario gives matches the name the program used.
inline std::u16string FoldRegistryName(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<char16_t>(c - 0x20);
  }
  return out;
}

// A text as the registry holds a REG_SZ value: UTF-16LE code units and, unless `terminated` is
// false (what a careless writer leaves), the terminating NUL. The one encoder of the simulated
// registry's values, for the runner's prepared settings and the tests.
inline std::vector<std::uint8_t> RegSzBytes(std::u16string_view text, bool terminated = true) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

}  // namespace tethra::sim::text
