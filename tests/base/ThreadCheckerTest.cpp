// The thread checker on real threads: an object used from the thread it belongs to passes, from
// any other stops the process (checked builds); one bound on first use belongs to its first
// caller; a detached one moves to the next.
#include <gtest/gtest.h>

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
