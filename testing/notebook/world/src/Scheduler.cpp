// Baton passing and virtual time (see Scheduler.h for the rule and the ownership).
#include "Scheduler.h"

#include "Process.h"

namespace tethra::sim::detail {

namespace {
thread_local ThreadRec* t_current = nullptr;
}

ThreadRec::ThreadRec(std::size_t index_, Dword id, std::string name, ProcessImpl& process)
    : index(index_), m_Id(id), m_Name(std::move(name)), m_Process(process) {}

SimProcess& ThreadRec::process() { return m_Process; }

ThreadRec* Scheduler::current() { return t_current; }

ThreadRec& Scheduler::start(ProcessImpl& process, std::string name, std::function<void()> body) {
  std::unique_lock lock(m_Mutex);
  auto rec = std::make_unique<ThreadRec>(m_Threads.size(), nextThreadId(), std::move(name), process);
  ThreadRec* raw = rec.get();
  m_Threads.push_back(std::move(rec));
  raw->os = std::thread([this, raw, body = std::move(body)]() mutable { threadMain(raw, std::move(body)); });
  return *raw;
}

ThreadRec& Scheduler::adoptCaller(ProcessImpl& process, std::string name) {
  std::unique_lock lock(m_Mutex);
  auto rec = std::make_unique<ThreadRec>(m_Threads.size(), nextThreadId(), std::move(name), process);
  ThreadRec* raw = rec.get();
  raw->state = ThreadRec::State::Running;
  raw->started = true;
  raw->isMachine = true;
  m_Threads.push_back(std::move(rec));
  t_current = raw;
  return *raw;
}

void Scheduler::stop() {
  std::unique_lock lock(m_Mutex);
  m_Stopped = true;
  if (t_current != nullptr) t_current->state = ThreadRec::State::Finished;
  t_current = nullptr;
}

void Scheduler::threadMain(ThreadRec* rec, std::function<void()> body) {
  {
    std::unique_lock lock(m_Mutex);
    rec->cv.wait(lock, [rec] { return rec->go || rec->cancel; });
    if (!rec->go) {  // the world ends before this thread ever ran: no program code runs
      rec->state = ThreadRec::State::Finished;
      return;
    }
    rec->go = false;
    rec->state = ThreadRec::State::Running;
  }
  t_current = rec;
  body();
  if (m_Hooks.threadEnded) m_Hooks.threadEnded(*rec);
  std::unique_lock lock(m_Mutex);
  rec->state = ThreadRec::State::Finished;
  if (ThreadRec* next = choose(rec)) give(next);
  t_current = nullptr;
}

bool Scheduler::block(std::function<bool()> ready, std::optional<std::uint64_t> deadline, bool idleWait) {
  ThreadRec* self = t_current;
  if (self == nullptr) return false;
  std::unique_lock lock(m_Mutex);
  self->state = ThreadRec::State::Blocked;
  self->ready = std::move(ready);
  self->deadline = deadline;
  self->idleWait = idleWait;
  self->latched = false;
  ThreadRec* next = choose(self);
  if (next != self) {
    if (next != nullptr) give(next);
    // A parked thread stays in this wait for good: nobody gives it the baton again.
    self->cv.wait(lock, [self] { return self->go; });
    self->go = false;
  }
  self->state = ThreadRec::State::Running;
  self->ready = nullptr;
  self->deadline.reset();
  self->idleWait = false;
  return self->wokeReady;
}

void Scheduler::parkForever() {
  ThreadRec* self = t_current;
  std::unique_lock lock(m_Mutex);
  if (self != nullptr) {
    self->state = ThreadRec::State::Parked;
    if (ThreadRec* next = choose(self)) give(next);
  }
  std::condition_variable never;
  for (;;) never.wait(lock);
}

void Scheduler::parkProcess(const ProcessImpl& process) {
  std::unique_lock lock(m_Mutex);
  for (auto& t : m_Threads) {
    if (&t->owner() != &process || t->state == ThreadRec::State::Finished) continue;
    t->state = ThreadRec::State::Parked;
    // What a parked wait held on to (an object, a name) must not outlive the process.
    if (t.get() != t_current) t->ready = nullptr;
  }
}

bool Scheduler::idle() {
  std::unique_lock lock(m_Mutex);
  for (auto& t : m_Threads) {
    if (t.get() == t_current) continue;
    if (t->state == ThreadRec::State::Created) return false;
    if (t->state != ThreadRec::State::Blocked) continue;
    if (t->deadline || t->latched) return false;
    // A predicate that holds has taken what it waited for: remember that it must run next.
    if (t->ready && t->ready()) {
      t->latched = true;
      return false;
    }
  }
  return true;
}

bool Scheduler::waitsForLockOf(std::thread::id waiter, const ThreadRec& holder) const {
  std::unique_lock lock(m_Mutex);
  const ThreadRec* t = nullptr;
  for (const auto& rec : m_Threads) {
    if (rec->os.get_id() == waiter) t = rec.get();
  }
  // Each step moves to another thread; a chain longer than the threads has a cycle.
  for (std::size_t steps = 0; t != nullptr && steps < m_Threads.size(); ++steps) {
    if (t->state != ThreadRec::State::Blocked || t->awaits == nullptr) return false;
    t = t->awaits->holder();
    if (t == &holder) return true;
  }
  return false;
}

ThreadRec* Scheduler::choose(ThreadRec* self) {
  if (m_Stopped) return nullptr;
  const std::size_t n = m_Threads.size();
  const std::size_t first = self != nullptr ? self->index + 1 : 0;
  auto pick = [&](ThreadRec* t, bool viaReady) {
    if (t->state == ThreadRec::State::Blocked && t->owner().isProgram()) ++m_WakeUps;
    t->wokeReady = viaReady;
    return t;
  };

  for (std::size_t k = 0; k < n; ++k) {
    ThreadRec* t = m_Threads[(first + k) % n].get();
    if (t->state == ThreadRec::State::Created) return pick(t, true);
    if (t->state != ThreadRec::State::Blocked) continue;
    if (t->latched || (t->ready && t->ready())) return pick(t, true);
  }

  ThreadRec* idleWaiter = nullptr;
  ThreadRec* earliest = nullptr;
  bool otherDeadline = false;
  for (auto& t : m_Threads) {
    if (t->state != ThreadRec::State::Blocked) continue;
    if (t->idleWait && idleWaiter == nullptr) {
      idleWaiter = t.get();
    } else if (t->deadline) {
      otherDeadline = true;
    }
    if (t->deadline && (earliest == nullptr || *t->deadline < *earliest->deadline)) earliest = t.get();
  }
  if (idleWaiter != nullptr && !otherDeadline) return pick(idleWaiter, true);
  if (earliest != nullptr) {
    if (*earliest->deadline > now()) m_Now.store(*earliest->deadline, std::memory_order_relaxed);
    return pick(earliest, false);
  }
  for (auto& t : m_Threads) {
    if (t->isMachine && t->state == ThreadRec::State::Blocked) {
      if (m_Hooks.trace) m_Hooks.trace("scheduler: nothing can run, the machine wakes up");
      return pick(t.get(), false);
    }
  }
  return nullptr;
}

void Scheduler::give(ThreadRec* next) {
  next->state = ThreadRec::State::Running;
  next->started = true;
  next->go = true;
  next->cv.notify_one();
}

bool Scheduler::shutdown() {
  bool everyoneDone = true;
  std::vector<ThreadRec*> joinable;
  {
    std::unique_lock lock(m_Mutex);
    for (auto& t : m_Threads) {
      if (!t->started && !t->isMachine) {
        t->cancel = true;  // never ran: it leaves without touching program code
        t->cv.notify_one();
      }
      if (!t->os.joinable()) continue;
      if (!t->started || t->state == ThreadRec::State::Finished) {
        joinable.push_back(t.get());
      } else {
        everyoneDone = false;  // blocked or parked inside program code
      }
    }
  }
  for (ThreadRec* t : joinable) t->os.join();
  return everyoneDone;
}

}  // namespace tethra::sim::detail
