// Test support: events and locks of the real-thread kernel.
#include "ThreadKernel.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tethra::wlan::test {
namespace {

thread_local platform::Win32Error t_lastError = platform::kERROR_SUCCESS;

class RecursiveSection final : public platform::ICriticalSection {
 public:
  void enter() override { m_mutex.lock(); }
  void leave() override { m_mutex.unlock(); }

 private:
  std::recursive_mutex m_mutex;
};

}  // namespace

platform::Win32Error ThreadKernel::getLastError() { return t_lastError; }
void ThreadKernel::setLastError(platform::Win32Error error) { t_lastError = error; }

platform::Handle ThreadKernel::createEvent(bool manualReset, bool initialState) {
  std::lock_guard lock(m_mutex);
  if (m_failEvents > 0) {
    --m_failEvents;
    t_lastError = m_failEventsError;
    return nullptr;
  }
  auto event = std::make_unique<Event>();
  event->manualReset = manualReset;
  event->signalled = initialState;
  platform::Handle handle = event.get();
  m_events.emplace(handle, std::move(event));
  return handle;
}

bool ThreadKernel::setEvent(platform::Handle handle) { return signal(handle, true); }

bool ThreadKernel::resetEvent(platform::Handle handle) { return signal(handle, false); }

bool ThreadKernel::signal(platform::Handle handle, bool signalled) {
  std::lock_guard lock(m_mutex);
  const auto it = m_events.find(handle);
  if (it == m_events.end()) return false;
  it->second->signalled = signalled;
  if (signalled) m_changed.notify_all();
  return true;
}

platform::Handle ThreadKernel::createThread(platform::ThreadProc proc, void* param, platform::Dword* threadId) {
  std::lock_guard lock(m_mutex);
  // The handle is an event that nobody signals: enough to be waited on with a time-out and closed.
  auto handleObject = std::make_unique<Event>();
  platform::Handle handle = handleObject.get();
  m_events.emplace(handle, std::move(handleObject));
  m_threads.emplace_back([proc, param] { proc(param); });
  if (threadId != nullptr) *threadId = static_cast<platform::Dword>(m_threads.size());
  return handle;
}

void ThreadKernel::joinThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_mutex);
    threads.swap(m_threads);
  }
  for (auto& t : threads) t.join();
}

platform::Dword ThreadKernel::getTickCount() {
  const auto elapsed = std::chrono::steady_clock::now() - m_start;
  return static_cast<platform::Dword>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool ThreadKernel::closeHandle(platform::Handle handle) {
  std::lock_guard lock(m_mutex);
  return m_events.erase(handle) == 1;
}

platform::Dword ThreadKernel::waitForSingleObject(platform::Handle handle, platform::Dword milliseconds) {
  std::unique_lock lock(m_mutex);
  const auto it = m_events.find(handle);
  if (it == m_events.end()) return platform::kWAIT_FAILED;
  Event& event = *it->second;
  ++m_waiters;
  auto ready = [&event] { return event.signalled; };
  bool signalled = true;
  if (milliseconds == platform::kINFINITE) {
    m_changed.wait(lock, ready);
  } else {
    signalled = m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
  }
  --m_waiters;
  if (!signalled) return platform::kWAIT_TIMEOUT;
  if (!event.manualReset) event.signalled = false;
  return platform::kWAIT_OBJECT_0;
}

void ThreadKernel::sleep(platform::Dword milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::unique_ptr<platform::ICriticalSection> ThreadKernel::createCriticalSection() {
  return std::make_unique<RecursiveSection>();
}

void ThreadKernel::getSystemTime(platform::SystemTime* time) {
  std::lock_guard lock(m_mutex);
  *time = m_time;
}

void ThreadKernel::exitProcess(platform::Dword) { std::abort(); }

void ThreadKernel::setSystemTime(const platform::SystemTime& time) {
  std::lock_guard lock(m_mutex);
  m_time = time;
}

void ThreadKernel::failEvents(int count, platform::Win32Error error) {
  std::lock_guard lock(m_mutex);
  m_failEvents = count;
  m_failEventsError = error;
}

std::size_t ThreadKernel::openHandles() const {
  std::lock_guard lock(m_mutex);
  return m_events.size();
}

}  // namespace tethra::wlan::test
