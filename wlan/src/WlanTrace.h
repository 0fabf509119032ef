// printf-style lines to the platform's trace log (null trace: nothing). Formats into a stack
// buffer, so tracing never allocates. Any thread may call.
#pragma once

#include "tethra/platform/trace.h"

namespace tethra::wlan {

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void WlanTrace(platform::ITrace* trace, const char* format, ...) noexcept;

}  // namespace tethra::wlan
