// Test support: an IKernel on real std threads (events, re-entrant critical sections, a
// per-thread last error, a settable UTC clock) so the hosted network layer can be run with
// real concurrency and under ThreadSanitizer. Any thread may call. Only what the layer uses
// works; the rest fails as a missing object would (null, false, kWAIT_FAILED).
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "tethra/platform/kernel.h"

namespace tethra::wlan::test {

class ThreadKernel final : public platform::IKernel {
 public:
  platform::Dword getLastError() override;
  void setLastError(platform::Dword error) override;
  platform::Handle createMutex(bool, const char16_t*) override { return nullptr; }
  bool releaseMutex(platform::Handle) override { return false; }
  platform::Handle createEvent(bool manualReset, bool initialState) override;
  bool setEvent(platform::Handle event) override;
  bool resetEvent(platform::Handle event) override;
  platform::Handle createThread(platform::ThreadProc, void*, platform::Dword*) override { return nullptr; }
  bool closeHandle(platform::Handle handle) override;
  platform::Dword waitForSingleObject(platform::Handle handle, platform::Dword milliseconds) override;
  void sleep(platform::Dword milliseconds) override;
  std::unique_ptr<platform::ICriticalSection> createCriticalSection() override;
  platform::Dword getTickCount() override { return 0; }
  void getLocalTime(platform::SystemTime* time) override { getSystemTime(time); }
  void getSystemTime(platform::SystemTime* time) override;
  [[noreturn]] void exitProcess(platform::Dword) override;

  void setSystemTime(const platform::SystemTime& time);
  // Fails the next `count` createEvent calls with `error`.
  void failEvents(int count, platform::Dword error);
  std::size_t openHandles() const;
  // Threads blocked in waitForSingleObject right now.
  int waiters() const { return m_waiters.load(); }

 private:
  struct Event {
    bool manualReset = false;
    bool signalled = false;
  };

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::map<platform::Handle, std::unique_ptr<Event>> m_events;
  platform::SystemTime m_time{2012, 3, 4, 1, 5, 14, 7, 9};
  int m_failEvents = 0;
  platform::Dword m_failEventsError = 0;
  std::atomic<int> m_waiters{0};
};

}  // namespace tethra::wlan::test
