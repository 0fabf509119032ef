// CThreadChecker: remembers the thread an object belongs to and tells whether the caller runs
// on it. Objects whose state only one thread may touch hold one and state the rule with
// TETHRA_CHECK_THREAD at the top of each method that relies on it.
//
// Checked builds (the simulator's, and any build without NDEBUG) hold the owning thread's id
// and stop the process with a message naming the file and line when the rule is broken; the
// shipped program's optimised build holds nothing and the checks compile to nothing.
//
// A checker made with BindOnFirstUse belongs to whichever thread checks it first (an object
// made on one thread and handed to the thread that will own it). Any thread may check;
// Detach() lets the next checking thread take it over (the owner hands the object on).
// TETHRA_CHECK_EITHER_THREAD states a rule of two threads with two checkers.
#pragma once

#if defined(TETHRA_THREAD_CHECKS) && TETHRA_THREAD_CHECKS
#include <atomic>
#include <thread>
#endif

namespace tethra::base {

enum class ThreadBinding { ConstructingThread, BindOnFirstUse };

#if defined(TETHRA_THREAD_CHECKS) && TETHRA_THREAD_CHECKS

class CThreadChecker {
 public:
  explicit CThreadChecker(ThreadBinding binding = ThreadBinding::ConstructingThread)
      : m_Owner(binding == ThreadBinding::ConstructingThread ? std::this_thread::get_id() : std::thread::id()) {}
  CThreadChecker(const CThreadChecker&) = delete;
  CThreadChecker& operator=(const CThreadChecker&) = delete;

  // True on the owning thread; binds an unbound checker to the caller.
  bool OnOwningThread() const {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id expected{};
    if (m_Owner.compare_exchange_strong(expected, self)) return true;
    return expected == self;
  }
  void Detach() { m_Owner.store(std::thread::id()); }

 private:
  mutable std::atomic<std::thread::id> m_Owner;
};

// Writes what broke the rule to the standard error and aborts.
[[noreturn]] void ThreadCheckFailed(const char* file, int line, const char* what);

#define TETHRA_CHECK_THREAD(checker)                                                      \
  do {                                                                                    \
    if (!(checker).OnOwningThread())                                                      \
      ::tethra::base::ThreadCheckFailed(__FILE__, __LINE__, #checker " used off its thread"); \
  } while (false)

// For a method two threads may call (the dialog's and the command watcher's): the first is
// asked first, so a checker bound on first use is taken only by a caller off the first.
#define TETHRA_CHECK_EITHER_THREAD(first, second)                                        \
  do {                                                                                    \
    if (!(first).OnOwningThread() && !(second).OnOwningThread())                          \
      ::tethra::base::ThreadCheckFailed(__FILE__, __LINE__, #first " and " #second " used off their threads"); \
  } while (false)

#else

class CThreadChecker {
 public:
  explicit CThreadChecker(ThreadBinding = ThreadBinding::ConstructingThread) {}
  bool OnOwningThread() const { return true; }
  void Detach() {}
};

#define TETHRA_CHECK_THREAD(checker) static_cast<void>(checker)
#define TETHRA_CHECK_EITHER_THREAD(first, second) (static_cast<void>(first), static_cast<void>(second))

#endif

}  // namespace tethra::base
