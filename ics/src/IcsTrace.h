// The sharing layer's trace lines: printf-style, to the platform's trace log when there is
// one. Nothing depends on them. Dialog's thread only.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "tethra/platform/platform.h"

namespace tethra::ics {

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void IcsTrace(const platform::Platform& platform, const char* format, ...) {
  if (platform.trace == nullptr) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  platform.trace->write(line);
}

}  // namespace tethra::ics
