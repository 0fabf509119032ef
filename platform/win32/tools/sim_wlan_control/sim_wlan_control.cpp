// simwlan-control.exe: sends one request to the simulated WLAN service's control pipe and
// prints the answer, for tests that act as the machine without the stand-in controller.
//   simwlan-control REQUEST...   the arguments, joined by blanks, are the request line
// Exit code: 0 answered "ok", 1 answered "error ...", 2 no answer (printed with its reason).
//
// Owner: the process. Threads: the main thread only.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/common/control_pipe.h"
#include "tools/common/scenario_file.h"

namespace {
constexpr DWORD kTimeoutMs = 15000;
}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring request;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) request += L' ';
    request += argv[i];
  }
  std::string answer;
  const bool answered = tethra::tools::SendControl(tethra::tools::Utf8Of(request), answer, kTimeoutMs);
  std::printf("%s\n", answer.c_str());
  if (!answered) return 2;
  return answer == "ok" ? 0 : 1;
}
