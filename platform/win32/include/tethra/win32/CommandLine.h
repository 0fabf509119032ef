// The program's command line as the application receives it: the text after the program's
// path. Pure function, any thread.
#pragma once

#include <string>

namespace tethra::win32 {

// Skips the program name (quoted: through the closing quote; unquoted: up to the first blank)
// and the blanks after it; the rest is returned unchanged, trailing blanks included.
std::u16string ArgumentsAfterProgramName(const char16_t* fullCommandLine);

}  // namespace tethra::win32
