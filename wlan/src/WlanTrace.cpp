// Trace formatting for the hosted network layer.
#include "WlanTrace.h"

#include <cstdarg>
#include <cstdio>

namespace tethra::wlan {

void WlanTrace(platform::ITrace* trace, const char* format, ...) noexcept {
  if (trace == nullptr) return;
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  trace->write(line);
}

}  // namespace tethra::wlan
