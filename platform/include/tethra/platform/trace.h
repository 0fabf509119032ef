// The program's trace log: printf-style messages from every step. Nothing rests on them; the
// Win32 adapter discards them, the simulation shows them with --trace. Any thread may call.
#pragma once

namespace tethra::platform {

class ITrace {
 public:
  virtual ~ITrace() = default;
  virtual void write(const char* line) = 0;  // one formatted line, no newline
};

}  // namespace tethra::platform
