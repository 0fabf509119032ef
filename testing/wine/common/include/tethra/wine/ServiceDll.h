// What the simulated-service DLLs (wlanapi.dll, simsharing.dll, simhotspot.dll) share: their
// machine comes from environment variables read at the first call, every call and event goes to
// a log file named by one of them (else to the debugger output), and a count of the threads
// inside a service, which tells at the process's end whether one was cut off there (its lock
// perhaps still held). Header only.
//
// After each line the log sets the services' change event (ServicesChanged.h), so that the
// stand-in controller learns of it without asking.
//
// Owner: a ServiceLog owns its file and event handles for the process's life (the DLLs never
// end their service). Threads: ServiceLog::write is not locked; each DLL calls it under its own lock.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "tethra/wine/ServicesChanged.h"

namespace tethra::tools {

// The variable's value, or nothing when it is not set or empty.
inline std::optional<std::wstring> Environment(const wchar_t* name) {
  const DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed <= 1) return std::nullopt;
  std::wstring value(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;
  value.resize(length);
  return value;
}

// ASCII for the log; anything else becomes '?'.
inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

class ServiceLog {
 public:
  // `variable` names the log file; `debugPrefix` marks the lines sent to the debugger instead.
  ServiceLog(const wchar_t* variable, const char* debugPrefix)
      : m_start(::GetTickCount64()), m_debugPrefix(debugPrefix), m_changed(OpenServicesChanged()) {
    if (const auto path = Environment(variable)) {
      m_file = ::CreateFileW(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
  }
  ServiceLog(const ServiceLog&) = delete;
  ServiceLog& operator=(const ServiceLog&) = delete;

  // One line: milliseconds since the service started, the calling thread, the text.
  void write(const std::string& text) const {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%7llu ms  tid %5lu  ",
                  static_cast<unsigned long long>(::GetTickCount64() - m_start), ::GetCurrentThreadId());
    const std::string line = prefix + text + "\r\n";
    if (m_file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
      ::OutputDebugStringA((m_debugPrefix + line).c_str());
    }
    if (m_changed != nullptr) ::SetEvent(m_changed);
  }

 private:
  const ULONGLONG m_start;
  const std::string m_debugPrefix;
  HANDLE m_file = INVALID_HANDLE_VALUE;
  const HANDLE m_changed;
};

// Held by a thread while it is inside a service: at the process's end a count above zero means a
// thread was cut off there, with the service's lock perhaps still held.
class [[nodiscard]] InsideService {
 public:
  explicit InsideService(std::atomic<int>& inside) : m_inside(inside) { ++m_inside; }
  InsideService(const InsideService&) = delete;
  InsideService& operator=(const InsideService&) = delete;
  ~InsideService() { --m_inside; }

 private:
  std::atomic<int>& m_inside;
};

// Held inside a service where it runs code that holds none of its locks (the program's callback,
// a wait): a thread cut off there leaves the service as it was.
class [[nodiscard]] OutsideService {
 public:
  explicit OutsideService(std::atomic<int>& inside) : m_inside(inside) { --m_inside; }
  OutsideService(const OutsideService&) = delete;
  OutsideService& operator=(const OutsideService&) = delete;
  ~OutsideService() { ++m_inside; }

 private:
  std::atomic<int>& m_inside;
};

}  // namespace tethra::tools
