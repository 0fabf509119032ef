// The thread checker on real threads: an object used from the thread it belongs to passes, from
// any other stops the process (checked builds); one bound on first use belongs to its first
// caller; a detached one moves to the next.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tethra/base/ThreadChecker.h"

namespace tethra::base {
namespace {

// An object whose method may run on its owning thread only.
class OwnedByOneThread {
 public:
  explicit OwnedByOneThread(ThreadBinding binding = ThreadBinding::ConstructingThread) : m_Thread(binding) {}
  int Touch() {
    TETHRA_CHECK_THREAD(m_Thread);
    return ++m_Touched;
  }
  void HandOn() { m_Thread.Detach(); }

 private:
  CThreadChecker m_Thread;
  int m_Touched = 0;
};

void TouchOnAnotherThread(OwnedByOneThread& object) {
  std::thread other([&object] { object.Touch(); });
  other.join();
}

#if defined(TETHRA_THREAD_CHECKS) && TETHRA_THREAD_CHECKS

TEST(ThreadCheckerDeathTest, UseFromAnotherThreadStopsTheProcessNamingTheChecker) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  OwnedByOneThread object;
  EXPECT_EQ(object.Touch(), 1);  // the owning thread
  EXPECT_DEATH(TouchOnAnotherThread(object), "thread check failed: m_Thread used off its thread");
}

TEST(ThreadCheckerDeathTest, BoundOnFirstUseBelongsToItsFirstCaller) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  OwnedByOneThread object(ThreadBinding::BindOnFirstUse);
  TouchOnAnotherThread(object);  // binds to that thread, which then ends
  EXPECT_DEATH(object.Touch(), "thread check failed");
}

// One method the owning thread and one other may call: the other is whichever calls first.
TEST(ThreadCheckerDeathTest, ARuleOfTwoThreadsAdmitsTheOwnerAndTheFirstOtherCallerOnly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  CThreadChecker owner;
  CThreadChecker other(ThreadBinding::BindOnFirstUse);
  auto touch = [&] { TETHRA_CHECK_EITHER_THREAD(owner, other); };
  touch();  // the owner's call leaves `other` unbound, or the next line would stop the test
  // The other thread stays alive, so that no later thread can take over its id.
  std::promise<void> bound;
  std::promise<void> release;
  std::thread second([&] {
    touch();  // binds `other` to this thread
    bound.set_value();
    release.get_future().wait();
  });
  bound.get_future().wait();
  touch();  // the owner still may
  EXPECT_DEATH(std::thread([&] { touch(); }).join(), "thread check failed: owner and other used off their threads");
  release.set_value();
  second.join();
}

#endif

TEST(ThreadCheckerTest, ADetachedObjectMovesToTheNextThreadThatUsesIt) {
  OwnedByOneThread object;
  object.HandOn();
  TouchOnAnotherThread(object);
  object.HandOn();
  EXPECT_EQ(object.Touch(), 2);
}

}  // namespace
}  // namespace tethra::base
