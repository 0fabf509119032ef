// World, Transcript, FaultPlan and the UTF-8 helpers.
//
// Owner: World owns its Impl; a world whose threads are still inside program code is moved to
// a process-wide keep-alive list that is never destroyed. Threads: construction, run() and the
// destructor on a non-simulated thread; everything else on the baton holder.
#include <cstdio>
#include <mutex>

#include "Format.h"
#include "tethra/sim/CodePage.h"
#include "tethra/sim/Text.h"
#include "WorldImpl.h"

namespace tethra::sim {

using detail::ProcessImpl;
using detail::ThreadRec;

namespace {

// Worlds (or their insides) that must outlive their owners; deliberately never freed.
void keepAlive(std::unique_ptr<World::Impl> impl, std::unique_ptr<World> world) {
  static std::mutex* mutex = new std::mutex;
  static auto* impls = new std::vector<std::unique_ptr<World::Impl>>;
  static auto* worlds = new std::vector<std::unique_ptr<World>>;
  std::lock_guard lock(*mutex);
  if (impl) impls->push_back(std::move(impl));
  if (world) worlds->push_back(std::move(world));
}

std::string stamp(std::uint64_t timeMs, const std::string& text) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "[%7llu ms] ", static_cast<unsigned long long>(timeMs));
  return prefix + text;
}

}  // namespace

// --- UTF-8 --------------------------------------------------------------------------------------

std::string toUtf8(std::u16string_view text) { return text::Utf16ToUtf8(text); }

std::u16string fromUtf8(std::string_view text) { return text::Utf8ToUtf16(text); }

// --- FaultPlan, Transcript ----------------------------------------------------------------------

void Transcript::event(std::uint64_t timeMs, std::string text) {
  std::string line = stamp(timeMs, text);
  m_Events.push_back(line);
  m_All.emplace_back(false, std::move(line));
}

void Transcript::trace(std::uint64_t timeMs, std::string text) { m_All.emplace_back(true, stamp(timeMs, text)); }

std::vector<std::string> Transcript::lines(bool withTrace) const {
  std::vector<std::string> out;
  for (const auto& [isTrace, line] : m_All) {
    if (withTrace || !isTrace) out.push_back(line);
  }
  return out;
}

// --- World::Impl --------------------------------------------------------------------------------

World::Impl::Impl(World::Options options_)
    : options(options_),
      scheduler(detail::Scheduler::Hooks{[this](ThreadRec& t) { threadEnded(t); },
                                         [this](std::string text) { trace(std::move(text)); }}),
      registry(*this),
      windows(*this) {
  processes.push_back(std::make_unique<ProcessImpl>(*this, "machine", false, nullptr));
  machine = processes.back().get();
}

// Newest process first: a process's parts may refer to the machine's services, which the
// machine process (the first one) owns.
World::Impl::~Impl() {
  while (!processes.empty()) processes.pop_back();
}

bool World::Impl::serveWait(std::function<bool()> ready, std::optional<std::uint64_t> deadline, bool idleWait) {
  ThreadRec* self = detail::Scheduler::current();
  if (self == nullptr) return false;
  for (;;) {
    bool readyHeld = false;
    const bool woke = scheduler.block(
        [&] {
          if (ready && ready()) {
            readyHeld = true;
            return true;
          }
          return windows.hasSent(self);
        },
        deadline, idleWait);
    if (readyHeld) return true;
    if (!woke) return false;
    if (windows.hasSent(self)) {
      windows.serveSent(self);
      continue;
    }
    return true;  // woken as the idle-waiter
  }
}

void World::Impl::exitProcess(ProcessImpl& process, Dword code) {
  process.markExited(code);
  event("process \"" + process.name() + "\" exited with code " + std::to_string(code));
  scheduler.parkProcess(process);
  process.runExitHooks();
  for (auto& t : scheduler.threads()) {
    if (&t->owner() == &process) kernel.abandonMutexesOf(*t);
  }
  for (auto& [key, handle] : process.keys) registry.keyClosed(process, key);
  process.keys.clear();
  for (auto& [value, object] : process.handles) detail::KernelState::handleClosed(*object);
  process.handles.clear();
  windows.processExited(process);
  scheduler.parkForever();
}

void World::Impl::recordCall(std::string_view area, std::string_view function, std::string_view arguments,
                             std::string_view result) {
  std::string key;
  key.append(area).append(".").append(function);
  ++callCounts[key];
  std::string line = "call " + key + "(";
  line.append(arguments).append(") -> ").append(result);
  trace(std::move(line));
}

void World::Impl::threadEnded(ThreadRec& thread) {
  kernel.abandonMutexesOf(thread);
  windows.threadEnded(thread);
}

// --- World --------------------------------------------------------------------------------------

World::World(Options options) : m_Impl(std::make_unique<Impl>(options)) {}

World::~World() {
  if (!m_Impl->scheduler.shutdown()) keepAlive(std::move(m_Impl), nullptr);
}

void World::leak(std::unique_ptr<World> world) { keepAlive(nullptr, std::move(world)); }

std::uint64_t World::now() const { return m_Impl->scheduler.now(); }

SimProcess& World::createProcess(std::string name, bool isProgram, const platform::ModuleResources* resources) {
  m_Impl->processes.push_back(std::make_unique<ProcessImpl>(*m_Impl, std::move(name), isProgram, resources));
  if (isProgram) m_Impl->windows.noteProgramProcess(m_Impl->processes.back().get());
  return *m_Impl->processes.back();
}

SimThread& World::startThread(SimProcess& process, std::string name, std::function<void()> body) {
  return m_Impl->scheduler.start(static_cast<ProcessImpl&>(process), std::move(name), std::move(body));
}

SimProcess& World::machineProcess() { return *m_Impl->machine; }

SimProcess* World::currentProcess() const {
  const ThreadRec* t = detail::Scheduler::current();
  return t != nullptr ? &t->owner() : nullptr;
}

bool World::block(std::function<bool()> ready, std::optional<std::uint64_t> deadlineMs) {
  return m_Impl->serveWait(std::move(ready), deadlineMs, false);
}

void World::hang() {
  for (;;) m_Impl->scheduler.block([] { return false; }, std::nullopt, false);
}

void World::run(std::function<void()> driver) {
  if (m_Impl->ran) return;  // one run per world: parked threads cannot be resumed
  m_Impl->ran = true;
  m_Impl->scheduler.adoptCaller(*m_Impl->machine, "machine");
  driver();
  m_Impl->scheduler.stop();
}

bool World::idle() const { return m_Impl->scheduler.idle(); }

bool World::waitIdle(std::optional<std::uint64_t> deadlineMs) {
  return m_Impl->serveWait(nullptr, deadlineMs, true);
}

std::uint64_t World::programWakeUps() const { return m_Impl->scheduler.programWakeUps(); }

bool World::waitsForCaller(std::thread::id waiter) const {
  const detail::ThreadRec* self = detail::Scheduler::current();
  return self != nullptr && m_Impl->scheduler.waitsForLockOf(waiter, *self);
}

SimRegistry& World::registry() { return m_Impl->registry; }
SimWindowSystem& World::windows() { return m_Impl->windows; }
FaultPlan& World::faults() { return m_Impl->faults; }
Transcript& World::transcript() { return m_Impl->transcript; }
void World::event(std::string text) { m_Impl->event(std::move(text)); }
void World::trace(std::string text) { m_Impl->trace(std::move(text)); }

void World::recordCall(std::string_view area, std::string_view function, std::string_view arguments,
                       std::string_view result) {
  m_Impl->recordCall(area, function, arguments, result);
}

std::uint64_t World::callCount(std::string_view area, std::string_view function) const {
  std::string key;
  key.append(area).append(".").append(function);
  const auto it = m_Impl->callCounts.find(key);
  return it == m_Impl->callCounts.end() ? 0 : it->second;
}

void World::reserveMutexName(std::u16string name) { m_Impl->kernel.reserve(std::move(name)); }

}  // namespace tethra::sim
