// The command-line switch and what it selects. The switch is always compared whole and
// without regard to case; any other text is a valid but unknown kind.
#pragma once

#include <string>

#include "tethra/base/AsciiCase.h"

namespace tethra::app {

inline constexpr char16_t kShareLAN[] = u"/ShareLAN";
inline constexpr char16_t kShareWLAN[] = u"/ShareWLAN";
inline constexpr char16_t kShareMobileBroadband[] = u"/ShareMobileBroadband";
inline constexpr char16_t kShareRAS[] = u"/ShareRAS";

// Maximum number of peers given to the hosted network: 10 for LAN and Wi-Fi, 5 otherwise.
unsigned MaxPeersForSwitch(std::u16string_view commandLine);

}  // namespace tethra::app
