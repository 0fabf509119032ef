// The control channel of the simulated WLAN service planted in a Wine prefix: a named pipe
// served inside tethra.exe's process by the simulated wlanapi.dll, so that machine events
// (state changes, stations, device events whose pointers cannot cross processes) happen there.
// One request per connection: a UTF-8 line ending in '\n'; the answer is one line, "ok" or
// "error TEXT". Header only; any thread.
#pragma once

#include <windows.h>

#include <string>

namespace tethra::tools {

inline constexpr wchar_t kControlPipeName[] = L"\\\\.\\pipe\\tethra-simwlan";

// Sends `request` (without its line end) and reads the answer line (without it). False when the
// pipe cannot be reached within `timeoutMs` or the exchange breaks off.
inline bool SendControl(const std::string& request, std::string& answer, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (;;) {
    pipe = ::CreateFileW(kControlPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    if (::GetTickCount64() >= deadline) return false;
    if (::GetLastError() == ERROR_PIPE_BUSY) {
      ::WaitNamedPipeW(kControlPipeName, 100);
    } else {
      ::Sleep(20);
    }
  }
  const std::string line = request + "\n";
  DWORD done = 0;
  bool ok = ::WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &done, nullptr) && done == line.size();
  answer.clear();
  char c = 0;
  while (ok && ::ReadFile(pipe, &c, 1, &done, nullptr) && done == 1 && c != '\n') answer.push_back(c);
  ::CloseHandle(pipe);
  return ok && !answer.empty();
}

}  // namespace tethra::tools
