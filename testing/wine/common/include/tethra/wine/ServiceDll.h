// What the simulated-service DLLs (wlanapi.dll, simsharing.dll, simhotspot.dll) share: their
// machine comes from environment variables read at the first call, every call and event goes to
// a log file named by one of them (else to the debugger output), and a count of the threads
// inside a service, which tells at the process's end whether one was cut off there (its lock
// perhaps still held). Header only.
//
// After each line the log sets the services' change event (ServicesChanged.h), so that the
// stand-in controller learns of it without asking.
//
// The planted services that run a simulated notebook's service (wlanapi.dll, simhotspot.dll)
// also share their frame: one object per process, a delivery thread that hands the program what
// the service queued, and the end check at the process's end.
//
// Owner: a ServiceLog owns its file and event handles for the process's life (the DLLs never
// end their service); so does a DeliveryThread its events. Threads: ServiceLog::write is not
// locked; each DLL calls it under its own lock. DeliveryThread: see the class.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "tethra/wine/ServicesChanged.h"
#include "tethra/wine/ToolThread.h"
#include "tethra/wine/WinHandle.h"

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
      : m_Start(::GetTickCount64()), m_DebugPrefix(debugPrefix), m_Changed(OwnHandle(OpenServicesChanged())) {
    if (const auto path = Environment(variable)) {
      m_File = OwnHandle(::CreateFileW(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
  }
  ServiceLog(const ServiceLog&) = delete;
  ServiceLog& operator=(const ServiceLog&) = delete;

  // One line: milliseconds since the service started, the calling thread, the text.
  void write(const std::string& text) const {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%7llu ms  tid %5lu  ",
                  static_cast<unsigned long long>(::GetTickCount64() - m_Start), ::GetCurrentThreadId());
    const std::string line = prefix + text + "\r\n";
    if (m_File) {
      DWORD written = 0;
      ::WriteFile(m_File.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
      ::OutputDebugStringA((m_DebugPrefix + line).c_str());
    }
    if (m_Changed) ::SetEvent(m_Changed.get());
  }

 private:
  const ULONGLONG m_Start;
  const std::string m_DebugPrefix;
  WinHandle m_File;
  const WinHandle m_Changed;
};

// Held by a thread while it is inside a service: at the process's end a count above zero means a
// thread was cut off there, with the service's lock perhaps still held.
class [[nodiscard]] InsideService {
 public:
  explicit InsideService(std::atomic<int>& inside) : m_Inside(inside) { ++m_Inside; }
  InsideService(const InsideService&) = delete;
  InsideService& operator=(const InsideService&) = delete;
  ~InsideService() { --m_Inside; }

 private:
  std::atomic<int>& m_Inside;
};

// Held inside a service where it runs code that holds none of its locks (the program's callback,
// a wait): a thread cut off there leaves the service as it was.
class [[nodiscard]] OutsideService {
 public:
  explicit OutsideService(std::atomic<int>& inside) : m_Inside(inside) { --m_Inside; }
  OutsideService(const OutsideService&) = delete;
  OutsideService& operator=(const OutsideService&) = delete;
  ~OutsideService() { ++m_Inside; }

 private:
  std::atomic<int>& m_Inside;
};

// The one object of a planted service in its process, made on the first use and never
// destroyed: the process ends with ExitProcess while the service's own threads may hold its
// locks. T makes this its friend (its constructor stays private).
template <typename T>
class OncePerProcess {
 public:
  static T& instance() {
    static T* const made = [] {
      T* const object = new T();  // process lifetime, see above
      s_made = object;
      return object;
    }();
    return *made;
  }
  // The object if one was made, without making it (process end).
  static T* IfMade() { return s_made; }

 private:
  static inline std::atomic<T*> s_made{nullptr};
};

// At the process's end, when every other thread is gone wherever it stood: true when the service
// may be settled and logged. False when a thread was cut off holding the log's lock (nothing can
// be said) or inside the service (said with an `end: not settled` line).
inline bool EndCanSettle(std::mutex& logMutex, const std::atomic<int>& inside,
                         const std::function<void(const std::string&)>& write) {
  {
    std::unique_lock log(logMutex, std::try_to_lock);
    if (!log.owns_lock()) return false;
  }
  if (inside != 0) {
    write("end: not settled (a thread was inside the service when the process ended)");
    return false;
  }
  return true;
}

// The thread of a planted service that delivers what the service queued, one round at a time:
// it sleeps until woken (or until the service's own next time), runs a round, and tells those
// waiting that a round has ended. A control request waits here until what it queued has gone.
// Threads: wake() and awaitDelivered() from any thread; rounds on the delivery thread only.
class DeliveryThread {
 public:
  // How long a control request waits for what it queued to be delivered.
  static constexpr DWORD kDeliveryBoundMs = 10000;

  DeliveryThread() = default;
  DeliveryThread(const DeliveryThread&) = delete;
  DeliveryThread& operator=(const DeliveryThread&) = delete;

  // `sleepMs`: how long the thread may sleep before its next round unless woken (INFINITE: until
  // woken); `round`: one round of deliveries. False, with the last error, when no thread was made.
  bool start(std::function<DWORD()> sleepMs, std::function<void()> round) {
    return StartThread([this, sleepMs = std::move(sleepMs), round = std::move(round)] {
      for (;;) {
        ::WaitForSingleObject(m_Wake.get(), sleepMs());
        round();
        ::SetEvent(m_RoundEnded.get());
      }
    });
  }
  void wake() const { ::SetEvent(m_Wake.get()); }
  // Wakes the thread and waits until `pending` is false: "" then, else (after kDeliveryBoundMs)
  // "WHAT not delivered within N ms".
  std::string awaitDelivered(const std::function<bool()>& pending, const std::string& what) const {
    wake();
    const ULONGLONG deadline = ::GetTickCount64() + kDeliveryBoundMs;
    while (pending()) {
      if (::GetTickCount64() >= deadline) {
        return what + "not delivered within " + std::to_string(kDeliveryBoundMs) + " ms";
      }
      ::WaitForSingleObject(m_RoundEnded.get(), 10);
    }
    return {};
  }

 private:
  const WinHandle m_Wake = MakeEvent();
  const WinHandle m_RoundEnded = MakeEvent();
};

}  // namespace tethra::tools
