// Test support: an IKernel on real std threads (events, re-entrant critical sections, a
// per-thread last error, a settable UTC clock) so the hosted network layer can be run with
// real concurrency and under ThreadSanitizer. Any thread may call. Only what the layer and the
// dialog's watcher use works (threads run on std::thread and are joined by joinThreads or the
// destructor; the tick count is real milliseconds); the rest (named mutexes) fails and is
// written down as unexpected.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tethra/test/FailingAreas.h"

namespace tethra::wlan::test {

class ThreadKernel final : public tethra::test::FailingKernel {
 public:
  ThreadKernel() = default;
  ~ThreadKernel() override { joinThreads(); }
  ThreadKernel(const ThreadKernel&) = delete;
  ThreadKernel& operator=(const ThreadKernel&) = delete;

  platform::Win32Error getLastError() override;
  void setLastError(platform::Win32Error error) override;
  platform::Handle createEvent(bool manualReset, bool initialState) override;
  bool setEvent(platform::Handle event) override;
  bool resetEvent(platform::Handle event) override;
  platform::Handle createThread(platform::ThreadProc proc, void* param, platform::Dword* threadId) override;
  bool closeHandle(platform::Handle handle) override;
  platform::Dword waitForSingleObject(platform::Handle handle, platform::Dword milliseconds) override;
  void sleep(platform::Dword milliseconds) override;
  std::unique_ptr<platform::ICriticalSection> createCriticalSection() override;
  platform::Dword getTickCount() override;
  void getLocalTime(platform::SystemTime* time) override { getSystemTime(time); }
  void getSystemTime(platform::SystemTime* time) override;
  [[noreturn]] void exitProcess(platform::Dword) override;

  void setSystemTime(const platform::SystemTime& time);
  // Fails the next `count` createEvent calls with `error`.
  void failEvents(int count, platform::Win32Error error);
  std::size_t openHandles() const;
  // Waits for every thread made by createThread to return.
  void joinThreads();
  // Threads blocked in waitForSingleObject right now.
  int waiters() const { return m_Waiters.load(); }

 private:
  // Sets or clears an event; false for an unknown handle.
  bool signal(platform::Handle handle, bool signalled);
  struct Event {
    bool manualReset = false;
    bool signalled = false;
  };

  mutable std::mutex m_Mutex;
  std::condition_variable m_Changed;
  std::map<platform::Handle, std::unique_ptr<Event>> m_Events;
  platform::SystemTime m_Time{2012, 3, 4, 1, 5, 14, 7, 9};
  int m_FailEvents = 0;
  platform::Win32Error m_FailEventsError = platform::kERROR_SUCCESS;
  std::atomic<int> m_Waiters{0};
  std::vector<std::thread> m_Threads;  // guarded by m_Mutex; joined outside it
  const std::chrono::steady_clock::time_point m_Start = std::chrono::steady_clock::now();
};

}  // namespace tethra::wlan::test
