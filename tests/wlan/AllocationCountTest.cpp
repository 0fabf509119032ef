// Heap use of the notification path, counted by replacing the global allocation functions for
// this test binary (counting only on a thread that asks for it). Once the list nodes are warm,
// a state report costs exactly its record, a join the station, its device and the record, and
// draining and posting cost nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "NotificationTraffic.h"
#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace {
thread_local bool t_counting = false;
thread_local long t_allocations = 0;

void* CountedAlloc(std::size_t size) noexcept {
  if (t_counting) ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
// Not inlined: where GCC 12 (-Os) sees std::free applied straight to the result of a new
// expression it reports -Wmismatched-new-delete, though this operator new is malloc.
[[gnu::noinline]] void CountedFree(void* p) noexcept { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = CountedAlloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = CountedAlloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace tethra::wlan {
namespace {

class Counting {
 public:
  Counting() {
    t_allocations = 0;
    t_counting = true;
  }
  ~Counting() { t_counting = false; }
  long count() const { return t_allocations; }
};


void Drain(CNotificationSink& sink) {
  while (CHostedNetworkNotification* record = sink.GetNextNotification()) record->Release();
}

TEST(NotificationPathHeapTest, OneRecordPerStateReportAndThreeObjectsPerJoin) {
  test::Rig rig(test::ActiveWithPeers({}));
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, nullptr);
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);

  test::ReportData d(1);

  // Warm the list nodes of the queue and the station list.
  for (int i = 0; i < 12; ++i) test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.join, sizeof d.join);
  for (int i = 0; i < 12; ++i) test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.leave, sizeof d.leave);
  Drain(sink);

  constexpr int kReports = 10;
  {
    Counting counting;
    for (int i = 0; i < kReports / 2; ++i) {
      test::Report(manager, platform::kWlanHostedNetworkStateChangeCode, &d.toIdle, sizeof d.toIdle);
      test::Report(manager, platform::kWlanHostedNetworkStateChangeCode, &d.toActive, sizeof d.toActive);
    }
    Drain(sink);
    EXPECT_EQ(counting.count(), kReports);
  }
  {
    Counting counting;
    for (int i = 0; i < kReports; ++i) {
      test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.join, sizeof d.join);
    }
    Drain(sink);
    EXPECT_EQ(counting.count(), 3 * kReports);
  }
  {
    Counting counting;  // a leave reuses the station: device and record only
    for (int i = 0; i < kReports; ++i) {
      test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.leave, sizeof d.leave);
    }
    Drain(sink);
    EXPECT_EQ(counting.count(), 2 * kReports);
  }
  EXPECT_EQ(rig.windows.posts.load(), 4);  // one per burst
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
}

}  // namespace
}  // namespace tethra::wlan
