// Small text helpers for call records and transcript lines (UTF-8 out, deterministic).
// Owner: none (free functions). Any thread may call. No errors: null strings print as null.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "tethra/sim/World.h"

namespace tethra::sim::detail {

// Built by appending: GCC 12 at -O2 and above misreads `"\"" + s + "\""` as an overlapping copy
// (-Wrestrict).
inline std::string Quoted(std::u16string_view text) {
  const std::string body = toUtf8(text);
  std::string out;
  out.reserve(body.size() + 2);
  out += '"';
  out += body;
  out += '"';
  return out;
}
inline std::string Quoted(const char16_t* text) { return text != nullptr ? Quoted(std::u16string_view(text)) : "null"; }

inline std::string Hex(std::uintptr_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + out;
}
inline std::string Hex(const void* p) { return p != nullptr ? Hex(reinterpret_cast<std::uintptr_t>(p)) : "null"; }

inline std::string Num(std::int64_t value) { return std::to_string(value); }
// Records show an error code as the plain number the platform would return.
inline std::string Num(platform::Win32Error error) { return Num(platform::Raw(error)); }

inline std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += ", ";
    out += p;
  }
  return out;
}

}  // namespace tethra::sim::detail
