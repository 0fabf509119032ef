// The dialog's status line, one text per state of the access point; defined once for every
// handler that sets it.
#pragma once

namespace tethra::app {

inline constexpr char16_t kStatusIdle[] = u"The hosted network is idle";
inline constexpr char16_t kStatusActive[] = u"The hosted network is active";

}  // namespace tethra::app
