// Small text helpers of the scenario runner: UTF-8/UTF-16 conversion and the lexical forms of
// scenario files (numbers, GUIDs, MAC addresses, hexadecimal bytes).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/platform/Types.h"
#include "tethra/sim/Text.h"

namespace tethra::simrunner {

// A UTF-16 text quoted for the transcript: printable ASCII as is, the rest as \uXXXX.
std::string Quote(std::u16string_view text);

// The items, each made text by `text`, with `separator` between them.
template <typename Items, typename ToText>
std::string JoinText(const Items& items, std::string_view separator, ToText text) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += separator;
    out += text(item);  // appended: GCC 12 -O2 misreads `a + b` chains as -Wrestrict
  }
  return out;
}

// Decimal or 0x hexadecimal, optionally negative; false for anything an int64 does not hold.
bool ParseNumber(std::string_view word, std::int64_t& value);
bool ParseGuid(std::string_view word, platform::Guid& guid);   // {8-4-4-4-12}
bool ParseMac(std::string_view word, std::array<std::uint8_t, 6>& mac);
bool ParseHexBytes(std::string_view word, std::vector<std::uint8_t>& bytes);

}  // namespace tethra::simrunner
