// Text helpers of the scenario runner.
#include "tethra/scenario/Text.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace tethra::simrunner {

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out + "\"";
}

bool ParseNumber(std::string_view word, std::int64_t& value) {
  bool negative = false;
  if (!word.empty() && word[0] == '-') {
    negative = true;
    word.remove_prefix(1);
  }
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  auto [p, ec] = std::from_chars(word.data(), word.data() + word.size(), magnitude, base);
  if (ec != std::errc() || p != word.data() + word.size() || word.empty()) return false;
  // What an int64 holds: up to 2^63 - 1, and down to -2^63, whose magnitude has no positive twin.
  constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (magnitude > kMaxPositive + (negative ? 1 : 0)) return false;
  if (!negative) {
    value = static_cast<std::int64_t>(magnitude);
  } else if (magnitude == kMaxPositive + 1) {
    value = std::numeric_limits<std::int64_t>::min();
  } else {
    value = -static_cast<std::int64_t>(magnitude);
  }
  return true;
}

namespace {
bool Hex(std::string_view digits, std::uint64_t& value) {
  if (digits.empty()) return false;
  auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return ec == std::errc() && p == digits.data() + digits.size();
}
}  // namespace

bool ParseGuid(std::string_view word, platform::Guid& guid) {
  if (word.size() != 38 || word.front() != '{' || word.back() != '}') return false;
  const std::string_view body = word.substr(1, 36);
  if (body[8] != '-' || body[13] != '-' || body[18] != '-' || body[23] != '-') return false;
  std::uint64_t a = 0, b = 0, c = 0, d = 0, e = 0;
  if (!Hex(body.substr(0, 8), a) || !Hex(body.substr(9, 4), b) || !Hex(body.substr(14, 4), c) ||
      !Hex(body.substr(19, 4), d) || !Hex(body.substr(24, 12), e)) {
    return false;
  }
  guid.Data1 = static_cast<std::uint32_t>(a);
  guid.Data2 = static_cast<std::uint16_t>(b);
  guid.Data3 = static_cast<std::uint16_t>(c);
  guid.Data4[0] = static_cast<std::uint8_t>(d >> 8);
  guid.Data4[1] = static_cast<std::uint8_t>(d);
  for (int i = 0; i < 6; ++i) guid.Data4[2 + i] = static_cast<std::uint8_t>(e >> (8 * (5 - i)));
  return true;
}

bool ParseMac(std::string_view word, std::array<std::uint8_t, 6>& mac) {
  if (word.size() != 17) return false;
  for (int i = 0; i < 6; ++i) {
    if (i > 0 && word[i * 3 - 1] != '-') return false;
    std::uint64_t v = 0;
    if (!Hex(word.substr(i * 3, 2), v)) return false;
    mac[i] = static_cast<std::uint8_t>(v);
  }
  return true;
}

bool ParseHexBytes(std::string_view word, std::vector<std::uint8_t>& bytes) {
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.remove_prefix(2);
  if (word.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < word.size(); i += 2) {
    std::uint64_t v = 0;
    if (!Hex(word.substr(i, 2), v)) return false;
    bytes.push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

}  // namespace tethra::simrunner
