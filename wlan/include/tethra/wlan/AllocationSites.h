// The hosted network layer's allocation sites, as named to the allocation hook
// (tethra/base/Allocation.h) and in scenarios ("fault alloc SITE"). Constants only.
#pragma once

namespace tethra::wlan {

inline constexpr const char* kAllocSiteSink = "sink";
inline constexpr const char* kAllocSiteStation = "station";
inline constexpr const char* kAllocSiteDevice = "device";
inline constexpr const char* kAllocSiteRecord = "record";

}  // namespace tethra::wlan
