// ASCII case mapping of UTF-16 text.
#include "tethra/base/AsciiCase.h"

namespace tethra::base {

namespace {
char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }
char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }
}  // namespace

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::u16string ToLowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = Lower(c);
  return out;
}

std::u16string ToUpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = Upper(c);
  return out;
}

}  // namespace tethra::base
