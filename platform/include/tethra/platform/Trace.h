// The program's trace log: printf-style messages from every step. Nothing rests on them; the
// Win32 adapter discards them, the simulation shows them with --trace. Any thread may call.
//
// TraceLine (and VTraceLine for a caller's own variadic function) is the one way the program
// writes a line: it formats into a stack buffer (never allocating, cut at 1023 bytes). A build
// or test that keeps no log passes a trace that drops the lines.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace tethra::platform {

class ITrace {
 public:
  virtual ~ITrace() = default;
  virtual void write(const char* line) = 0;  // one formatted line, no newline
};

#if defined(__GNUC__)
#define TETHRA_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define TETHRA_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

TETHRA_PRINTF_FORMAT(2, 0)
inline void VTraceLine(ITrace& trace, const char* format, va_list args) noexcept {
  char line[1024];
  std::vsnprintf(line, sizeof line, format, args);
  trace.write(line);
}

TETHRA_PRINTF_FORMAT(2, 3)
inline void TraceLine(ITrace& trace, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  VTraceLine(trace, format, args);
  va_end(args);
}

}  // namespace tethra::platform
