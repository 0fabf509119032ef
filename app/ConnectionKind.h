// The command-line switch and what it selects. The switch is always compared whole and
// without regard to case; any other text is a valid but unknown kind.
#pragma once

#include <string>

namespace tethra::app {

inline constexpr char16_t kShareLAN[] = u"/ShareLAN";
inline constexpr char16_t kShareWLAN[] = u"/ShareWLAN";
inline constexpr char16_t kShareMobileBroadband[] = u"/ShareMobileBroadband";
inline constexpr char16_t kShareRAS[] = u"/ShareRAS";

// Whole-string comparison ignoring the case of ASCII letters (the switches are ASCII).
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string ToLowerAscii(std::u16string_view text);
std::u16string ToUpperAscii(std::u16string_view text);

// Maximum number of peers given to the hosted network: 10 for LAN and Wi-Fi, 5 otherwise.
unsigned MaxPeersForSwitch(std::u16string_view commandLine);

}  // namespace tethra::app
