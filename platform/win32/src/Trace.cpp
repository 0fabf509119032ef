// ITrace to the debugger's output (OutputDebugStringA), one line per call; without a debugger
// attached the system drops it. Any thread may call; nothing depends on it.
#include <string>

#include "tethra/win32/Adapters.h"
#include "tethra/platform/Trace.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

class Trace final : public platform::ITrace {
 public:
  void write(const char* line) override {
    // One call per line, so that lines of different threads do not interleave.
    std::string text = "Tethra: ";
    text += line != nullptr ? line : "";
    text += '\n';
    ::OutputDebugStringA(text.c_str());
  }
};

}  // namespace

std::unique_ptr<platform::ITrace> CreateTrace() { return std::make_unique<Trace>(); }

}  // namespace tethra::win32
