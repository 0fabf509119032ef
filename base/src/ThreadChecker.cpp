// The stop of a checked build when an object is used off its thread: a message the developer
// can act on, then abort, so that a test or a scenario fails where the rule was broken.
#include "tethra/base/ThreadChecker.h"

#if defined(TETHRA_THREAD_CHECKS) && TETHRA_THREAD_CHECKS
#include <cstdio>
#include <cstdlib>

namespace tethra::base {

void ThreadCheckFailed(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: thread check failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tethra::base
#endif
