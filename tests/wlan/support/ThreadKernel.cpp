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
  void enter() override { m_Mutex.lock(); }
  void leave() override { m_Mutex.unlock(); }

 private:
  std::recursive_mutex m_Mutex;
};

}  // namespace

platform::Win32Error ThreadKernel::getLastError() { return t_lastError; }
void ThreadKernel::setLastError(platform::Win32Error error) { t_lastError = error; }

platform::Handle ThreadKernel::createEvent(bool manualReset, bool initialState) {
  std::lock_guard lock(m_Mutex);
  if (m_FailEvents > 0) {
    --m_FailEvents;
    t_lastError = m_FailEventsError;
    return nullptr;
  }
  auto event = std::make_unique<Event>();
  event->manualReset = manualReset;
  event->signalled = initialState;
  platform::Handle handle = event.get();
  m_Events.emplace(handle, std::move(event));
  return handle;
}

bool ThreadKernel::setEvent(platform::Handle handle) { return signal(handle, true); }

bool ThreadKernel::resetEvent(platform::Handle handle) { return signal(handle, false); }

bool ThreadKernel::signal(platform::Handle handle, bool signalled) {
  std::lock_guard lock(m_Mutex);
  const auto it = m_Events.find(handle);
  if (it == m_Events.end()) return false;
  it->second->signalled = signalled;
  if (signalled) m_Changed.notify_all();
  return true;
}

platform::Handle ThreadKernel::createThread(platform::ThreadProc proc, void* param, platform::Dword* threadId) {
  std::lock_guard lock(m_Mutex);
  // The handle is an event that nobody signals: enough to be waited on with a time-out and closed.
  auto handleObject = std::make_unique<Event>();
  platform::Handle handle = handleObject.get();
  m_Events.emplace(handle, std::move(handleObject));
  m_Threads.emplace_back([proc, param] { proc(param); });
  if (threadId != nullptr) *threadId = static_cast<platform::Dword>(m_Threads.size());
  return handle;
}

void ThreadKernel::joinThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_Mutex);
    threads.swap(m_Threads);
  }
  for (auto& t : threads) t.join();
}

platform::Dword ThreadKernel::getTickCount() {
  const auto elapsed = std::chrono::steady_clock::now() - m_Start;
  return static_cast<platform::Dword>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool ThreadKernel::closeHandle(platform::Handle handle) {
  std::lock_guard lock(m_Mutex);
  return m_Events.erase(handle) == 1;
}

platform::Dword ThreadKernel::waitForSingleObject(platform::Handle handle, platform::Dword milliseconds) {
  std::unique_lock lock(m_Mutex);
  const auto it = m_Events.find(handle);
  if (it == m_Events.end()) return platform::kWAIT_FAILED;
  Event& event = *it->second;
  ++m_Waiters;
  auto ready = [&event] { return event.signalled; };
  bool signalled = true;
  if (milliseconds == platform::kINFINITE) {
    m_Changed.wait(lock, ready);
  } else {
    signalled = m_Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
  }
  --m_Waiters;
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
  std::lock_guard lock(m_Mutex);
  *time = m_Time;
}

void ThreadKernel::exitProcess(platform::Dword) { std::abort(); }

void ThreadKernel::setSystemTime(const platform::SystemTime& time) {
  std::lock_guard lock(m_Mutex);
  m_Time = time;
}

void ThreadKernel::failEvents(int count, platform::Win32Error error) {
  std::lock_guard lock(m_Mutex);
  m_FailEvents = count;
  m_FailEventsError = error;
}

std::size_t ThreadKernel::openHandles() const {
  std::lock_guard lock(m_Mutex);
  return m_Events.size();
}

}  // namespace tethra::wlan::test
