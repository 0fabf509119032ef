// Splits the program name off the process command line the way the C runtime does for
// WinMain's lpCmdLine: a quoted name ends at the next quote, an unquoted one at the first
// character that is a blank or a control character; then blanks and control characters are
// skipped. Pure function, any thread.
#include "tethra/win32/CommandLine.h"

namespace tethra::win32 {

namespace {
bool IsBlank(char16_t c) { return c != u'\0' && c <= u' '; }
}  // namespace

std::u16string ArgumentsAfterProgramName(const char16_t* fullCommandLine) {
  if (fullCommandLine == nullptr) return {};
  const char16_t* p = fullCommandLine;
  if (*p == u'"') {
    ++p;
    while (*p != u'\0' && *p != u'"') ++p;
    if (*p == u'"') ++p;
  } else {
    while (*p != u'\0' && !IsBlank(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return std::u16string(p);
}

}  // namespace tethra::win32
