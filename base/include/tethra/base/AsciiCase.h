// Case of ASCII letters in UTF-16 text. The program compares only its own ASCII words this way
// (switches, commands, hardware ids); every other character is left as it is. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace tethra::base {

// Whole-string comparison ignoring the case of ASCII letters.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string ToLowerAscii(std::u16string_view text);
std::u16string ToUpperAscii(std::u16string_view text);

}  // namespace tethra::base
