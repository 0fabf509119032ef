// Kernel objects, waits, time and process end for one simulated process (see Kernel.h).
//
// Threads: the baton holder. A wait first tries to take its object; only when that fails does
// the caller block, which is when the baton passes. Last-error access and critical sections
// are not recorded as calls (they would drown the trace).
#include "Kernel.h"

#include <algorithm>
#include <chrono>

#include "Format.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::Handle;
using platform::kINFINITE;
using platform::kWAIT_FAILED;
using platform::kWAIT_OBJECT_0;
using platform::kWAIT_TIMEOUT;

namespace {

constexpr platform::Win32Error kERROR_NOT_OWNER{288};

// Names the lock a blocking wait is for, for the length of the wait.
class AwaitScope {
 public:
  AwaitScope(ThreadRec* self, const Holdable* lock) : m_Self(self) {
    if (m_Self != nullptr) m_Self->awaits = lock;
  }
  AwaitScope(const AwaitScope&) = delete;
  AwaitScope& operator=(const AwaitScope&) = delete;
  ~AwaitScope() {
    if (m_Self != nullptr) m_Self->awaits = nullptr;
  }

 private:
  ThreadRec* m_Self;
};

// The clock starts at the scenario's date and moves by virtual milliseconds; the calendar
// (month lengths, leap years, day of the week) is the standard library's.
platform::SystemTime AddMilliseconds(const platform::SystemTime& start, std::uint64_t ms) {
  using namespace std::chrono;
  const sys_days startDay{year{start.wYear} / month{start.wMonth} / day{start.wDay}};
  const sys_time<milliseconds> t = startDay + hours{start.wHour} + minutes{start.wMinute} +
                                   seconds{start.wSecond} + milliseconds{start.wMilliseconds} +
                                   milliseconds{static_cast<std::int64_t>(ms)};
  const sys_days dayOfT = floor<days>(t);
  const year_month_day date{dayOfT};
  const hh_mm_ss<milliseconds> clock{t - dayOfT};
  platform::SystemTime out{};
  out.wYear = static_cast<std::uint16_t>(static_cast<int>(date.year()));
  out.wMonth = static_cast<std::uint16_t>(static_cast<unsigned>(date.month()));
  out.wDay = static_cast<std::uint16_t>(static_cast<unsigned>(date.day()));
  out.wDayOfWeek = static_cast<std::uint16_t>(weekday{dayOfT}.c_encoding());  // Sunday is 0, as on Windows
  out.wHour = static_cast<std::uint16_t>(clock.hours().count());
  out.wMinute = static_cast<std::uint16_t>(clock.minutes().count());
  out.wSecond = static_cast<std::uint16_t>(clock.seconds().count());
  out.wMilliseconds = static_cast<std::uint16_t>(clock.subseconds().count());
  return out;
}

class SimCriticalSection final : public platform::ICriticalSection, public Holdable {
 public:
  explicit SimCriticalSection(World::Impl& world) : m_World(world) {}
  ThreadRec* holder() const override { return m_Owner; }
  void enter() override {
    ThreadRec* self = Scheduler::current();
    if (m_Owner == nullptr || m_Owner == self) {
      m_Owner = self;
      ++m_Count;
      return;
    }
    // The wait names this section, so that whose lock the thread needs can be seen.
    const AwaitScope awaiting(self, this);
    m_World.wait(
        [this, self] {
          if (m_Owner != nullptr) return false;
          m_Owner = self;
          m_Count = 1;
          return true;
        },
        std::nullopt);
  }
  void leave() override {
    if (m_Owner != Scheduler::current() || m_Count == 0) return;
    if (--m_Count == 0) m_Owner = nullptr;
  }

 private:
  World::Impl& m_World;
  ThreadRec* m_Owner = nullptr;
  unsigned m_Count = 0;
};

class ProcessKernel final : public platform::IKernel {
 public:
  explicit ProcessKernel(ProcessImpl& process) : m_Process(process), m_World(process.world()) {}

  platform::Win32Error getLastError() override { return m_Process.lastError(); }
  void setLastError(platform::Win32Error error) override { m_Process.setLastError(error); }

  Handle createMutex(bool initialOwner, const char16_t* name) override {
    const std::u16string text = name != nullptr ? std::u16string(name) : std::u16string();
    std::shared_ptr<MutexObject> mutex = text.empty() ? nullptr : m_World.kernel.findNamed(text);
    platform::Win32Error error = platform::kERROR_SUCCESS;
    if (mutex) {
      error = platform::kERROR_ALREADY_EXISTS;  // the initial-owner request is ignored then
    } else {
      mutex = std::make_shared<MutexObject>();
      mutex->name = text;
      if (initialOwner) {
        mutex->owner = Scheduler::current();
        mutex->recursion = 1;
      }
      m_World.kernel.addMutex(mutex);
    }
    const Handle h = add(mutex);
    m_Process.setLastError(error);
    record("CreateMutex", Join({Num(initialOwner), Quoted(name)}),
           Hex(h) + (error != platform::kERROR_SUCCESS ? " (already exists)" : ""));
    return h;
  }

  bool releaseMutex(Handle h) override {
    auto* mutex = dynamic_cast<MutexObject*>(find(h));
    bool ok = false;
    if (mutex == nullptr) {
      m_Process.setLastError(platform::kERROR_INVALID_HANDLE);
    } else if (mutex->owner != Scheduler::current() || mutex->recursion == 0) {
      m_Process.setLastError(kERROR_NOT_OWNER);
    } else {
      if (--mutex->recursion == 0) mutex->owner = nullptr;
      ok = true;
    }
    record("ReleaseMutex", Hex(h), Num(ok));
    return ok;
  }

  Handle createEvent(bool manualReset, bool initialState) override {
    const Handle h = add(std::make_shared<EventObject>(manualReset, initialState));
    record("CreateEvent", Join({Num(manualReset), Num(initialState)}), Hex(h));
    return h;
  }

  bool setEvent(Handle h) override { return changeEvent("SetEvent", h, true); }
  bool resetEvent(Handle h) override { return changeEvent("ResetEvent", h, false); }

  Handle createThread(platform::ThreadProc proc, void* param, Dword* threadId) override {
    if (proc == nullptr) {
      m_Process.setLastError(platform::kERROR_INVALID_PARAMETER);
      record("CreateThread", "null", "null");
      return nullptr;
    }
    ThreadRec& t = m_World.scheduler.start(m_Process, m_Process.name() + " worker", [proc, param] { proc(param); });
    const Handle h = add(std::make_shared<ThreadObject>(t));
    if (threadId != nullptr) *threadId = t.id();
    record("CreateThread", "proc", Hex(h) + " id " + Num(t.id()));
    return h;
  }

  bool closeHandle(Handle h) override {
    const auto it = m_Process.handles.find(reinterpret_cast<std::uintptr_t>(h));
    const bool ok = it != m_Process.handles.end();
    if (ok) {
      KernelState::handleClosed(*it->second);
      m_Process.handles.erase(it);
    } else {
      m_Process.setLastError(platform::kERROR_INVALID_HANDLE);
    }
    record("CloseHandle", Hex(h), Num(ok));
    return ok;
  }

  Dword waitForSingleObject(Handle h, Dword milliseconds) override {
    std::shared_ptr<KernelObject> object = findShared(h);
    if (!object) {
      m_Process.setLastError(platform::kERROR_INVALID_HANDLE);
      record("WaitForSingleObject", Join({Hex(h), Num(milliseconds)}), "WAIT_FAILED");
      return kWAIT_FAILED;
    }
    ThreadRec* self = Scheduler::current();
    Dword result = kWAIT_OBJECT_0;
    auto take = [object, self, &result]() { return tryTake(*object, self, result); };
    bool got = take();
    if (!got && milliseconds != 0) {
      const AwaitScope awaiting(self, dynamic_cast<const MutexObject*>(object.get()));
      const std::optional<std::uint64_t> deadline =
          milliseconds == kINFINITE ? std::nullopt : std::optional<std::uint64_t>(m_World.scheduler.now() + milliseconds);
      got = m_World.wait(take, deadline);
    }
    const Dword r = got ? result : kWAIT_TIMEOUT;
    record("WaitForSingleObject", Join({Hex(h), Num(milliseconds)}), r == kWAIT_TIMEOUT ? "WAIT_TIMEOUT" : Hex(r));
    return r;
  }

  void sleep(Dword milliseconds) override {
    record("Sleep", Num(milliseconds), "");
    // Sleep(0) gives the other runnable threads their turn without moving time.
    const std::optional<std::uint64_t> deadline =
        milliseconds == kINFINITE ? std::nullopt : std::optional<std::uint64_t>(m_World.scheduler.now() + milliseconds);
    m_World.wait([] { return false; }, deadline);
  }

  std::unique_ptr<platform::ICriticalSection> createCriticalSection() override {
    return std::make_unique<SimCriticalSection>(m_World);
  }

  Dword getTickCount() override {
    const auto ticks = static_cast<Dword>(m_World.options.tickCountBase + m_World.scheduler.now());
    record("GetTickCount", "", Num(ticks));
    return ticks;
  }

  void getLocalTime(platform::SystemTime* time) override {
    if (time != nullptr) *time = AddMilliseconds(m_World.options.startTime, m_World.scheduler.now());
    record("GetLocalTime", "", "");
  }

  void getSystemTime(platform::SystemTime* time) override {
    if (time != nullptr) *time = AddMilliseconds(m_World.options.startTime, m_World.scheduler.now());
    record("GetSystemTime", "", "");
  }

  [[noreturn]] void exitProcess(Dword exitCode) override {
    record("ExitProcess", Num(exitCode), "");
    m_World.exitProcess(m_Process, exitCode);
  }

 private:
  static bool tryTake(KernelObject& object, ThreadRec* self, Dword& result) {
    if (auto* event = dynamic_cast<EventObject*>(&object)) {
      if (!event->signalled) return false;
      if (!event->manual) event->signalled = false;
      result = kWAIT_OBJECT_0;
      return true;
    }
    if (auto* mutex = dynamic_cast<MutexObject*>(&object)) {
      if (mutex->owner == self && self != nullptr) {
        ++mutex->recursion;
        result = kWAIT_OBJECT_0;
        return true;
      }
      if (mutex->owner != nullptr || mutex->foreignOwner) return false;
      mutex->owner = self;
      mutex->recursion = 1;
      result = mutex->abandoned ? kWAIT_ABANDONED : kWAIT_OBJECT_0;
      mutex->abandoned = false;
      return true;
    }
    if (auto* thread = dynamic_cast<ThreadObject*>(&object)) {
      if (!thread->thread->dead()) return false;
      result = kWAIT_OBJECT_0;
      return true;
    }
    return false;
  }

  bool changeEvent(std::string_view function, Handle h, bool signalled) {
    auto* event = dynamic_cast<EventObject*>(find(h));
    if (event == nullptr) {
      m_Process.setLastError(platform::kERROR_INVALID_HANDLE);
    } else {
      event->signalled = signalled;
    }
    record(function, Hex(h), Num(event != nullptr));
    return event != nullptr;
  }

  Handle add(std::shared_ptr<KernelObject> object) {
    const std::uintptr_t value = m_World.nextHandle();
    KernelState::handleOpened(*object);
    m_Process.handles[value] = std::move(object);
    return reinterpret_cast<Handle>(value);
  }
  KernelObject* find(Handle h) const { return findShared(h).get(); }
  std::shared_ptr<KernelObject> findShared(Handle h) const {
    const auto it = m_Process.handles.find(reinterpret_cast<std::uintptr_t>(h));
    return it == m_Process.handles.end() ? nullptr : it->second;
  }
  void record(std::string_view function, std::string_view args, std::string_view result) {
    m_Process.record("kernel", function, args, result);
  }

  ProcessImpl& m_Process;
  World::Impl& m_World;
};

}  // namespace

std::shared_ptr<MutexObject> KernelState::findNamed(const std::u16string& name) const {
  const auto it = m_Named.find(name);
  if (it == m_Named.end()) return nullptr;
  auto mutex = it->second.lock();
  return mutex && mutex->handles > 0 ? mutex : nullptr;
}

void KernelState::handleOpened(KernelObject& object) {
  if (auto* mutex = dynamic_cast<MutexObject*>(&object)) ++mutex->handles;
}

void KernelState::handleClosed(KernelObject& object) {
  if (auto* mutex = dynamic_cast<MutexObject*>(&object); mutex != nullptr && mutex->handles > 0) --mutex->handles;
}

void KernelState::addMutex(const std::shared_ptr<MutexObject>& mutex) {
  std::erase_if(m_All, [](const std::weak_ptr<MutexObject>& w) { return w.expired(); });
  m_All.push_back(mutex);
  if (!mutex->name.empty()) m_Named[mutex->name] = mutex;  // object names are case-sensitive
}

void KernelState::reserve(std::u16string name) {
  auto mutex = std::make_shared<MutexObject>();
  mutex->name = std::move(name);
  mutex->foreignOwner = true;
  mutex->handles = 1;  // the other instance's handle
  m_Reserved.push_back(mutex);
  addMutex(mutex);
}

void KernelState::abandonMutexesOf(const ThreadRec& thread) {
  for (auto& weak : m_All) {
    if (auto mutex = weak.lock(); mutex && mutex->owner == &thread) {
      mutex->owner = nullptr;
      mutex->recursion = 0;
      mutex->abandoned = true;
    }
  }
}

std::unique_ptr<platform::IKernel> MakeKernel(ProcessImpl& process) { return std::make_unique<ProcessKernel>(process); }

}  // namespace tethra::sim::detail
