// CNotificationSink: records per sink call, one posted message per burst, oldest-first
// draining, device payloads, and the drops on failed allocations.
#include <gtest/gtest.h>

#include "ScopedAllocationFaults.h"
#include "WlanRig.h"
#include "tethra/base/Allocation.h"
#include "tethra/wlan/AllocationSites.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using base::CRefObject;
using base::NewObject;

const auto kDialog = reinterpret_cast<platform::Hwnd>(0xD1A1);

struct Drained {
  HostedNetworkNotificationType type;
  std::u16string device;  // display name of the payload, if any
};

std::vector<Drained> Drain(CNotificationSink& sink) {
  std::vector<Drained> out;
  while (CHostedNetworkNotification* record = sink.GetNextNotification()) {
    Drained item{record->GetNotificationType(), {}};
    if (CRefObject* data = record->GetNotificationData()) {
      item.device = static_cast<CWlanDevice*>(data)->GetDisplayName();
      data->Release();
    }
    record->Release();
    out.push_back(item);
  }
  return out;
}

CWlanStation* Station(const sim::Mac& mac) {
  std::uint8_t bytes[6];
  std::copy(mac.begin(), mac.end(), bytes);
  return new CWlanStation(bytes);
}

TEST(NotificationSinkTest, BurstPostsOnceAndDrainsOldestFirst) {
  test::Rig rig;
  const auto live = CRefObject::LiveObjects();
  {
    CNotificationSink sink(rig.kernel, rig.windows, rig.trace, kDialog);
    sink.OnHostedNetworkStarted();
    CWlanStation* station = Station(test::kMacA);
    sink.OnStationJoin(station);
    sink.OnHostedNetworkAvailable();
    EXPECT_EQ(rig.windows.posts.load(), 1);
    EXPECT_EQ(rig.windows.lastWindow.load(), kDialog);
    EXPECT_EQ(rig.windows.lastMessage.load(), WM_NEW_HN_NOTIFICATION);

    const auto drained = Drain(sink);
    ASSERT_EQ(drained.size(), 3u);
    EXPECT_EQ(drained[0].type, HostedNetworkStarted);
    EXPECT_EQ(drained[1].type, DeviceAdd);
    EXPECT_EQ(drained[1].device, u"00-1A-2B-3C-4D-5E");
    EXPECT_EQ(drained[2].type, HostedNetworkAvailable);
    EXPECT_EQ(sink.GetNextNotification(), nullptr);

    // The queue is empty again: the next record posts again.
    sink.OnStationLeave(station);
    sink.OnHostedNetworkStopped();
    sink.OnHostedNetworkNotAvailable();
    EXPECT_EQ(rig.windows.posts.load(), 2);
    const auto second = Drain(sink);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[0].type, DeviceRemove);
    EXPECT_EQ(second[1].type, HostedNetworkStopped);
    EXPECT_EQ(second[2].type, HostedNetworkNotAvailable);
    station->Release();
  }
  EXPECT_EQ(CRefObject::LiveObjects(), live);
  // Posting is all the sink may do to the dialog from the WLAN thread: a sent message would
  // block that thread on the dialog's.
  EXPECT_TRUE(rig.windows.unexpectedCalls().empty());
}

TEST(NotificationSinkTest, DeletingTheSinkReleasesQueuedRecords) {
  test::Rig rig;
  const auto live = CRefObject::LiveObjects();
  {
    CNotificationSink sink(rig.kernel, rig.windows, rig.trace, kDialog);
    CWlanStation* station = Station(test::kMacB);
    sink.OnStationJoin(station);
    sink.OnStationJoin(station);
    station->Release();
    EXPECT_EQ(CRefObject::LiveObjects(), live + 4);  // two records, two devices
  }
  EXPECT_EQ(CRefObject::LiveObjects(), live);
}

TEST(NotificationSinkTest, PayloadOutlivesItsRecord) {
  test::Rig rig;
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, kDialog);
  CWlanStation* station = Station(test::kMacB);
  sink.OnStationJoin(station);
  station->Release();
  CHostedNetworkNotification* record = sink.GetNextNotification();
  ASSERT_NE(record, nullptr);
  CRefObject* device = record->GetNotificationData();
  record->Release();
  EXPECT_EQ(std::u16string(static_cast<CWlanDevice*>(device)->GetDisplayName()), u"0A-0B-0C-0D-0E-0F");
  EXPECT_EQ(device->Release(), 0);
}

TEST(NotificationSinkTest, FailedAllocationsDropTheRecord) {
  test::Rig rig;
  test::ScopedAllocationFaults faults;
  const auto live = CRefObject::LiveObjects();
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, kDialog);
  CWlanStation* station = Station(test::kMacA);

  faults.failNext(kAllocSiteRecord, 1);
  sink.OnHostedNetworkStarted();
  faults.failNext(kAllocSiteDevice, 1);
  sink.OnStationJoin(station);
  faults.failNext(kAllocSiteRecord, 1);
  sink.OnStationLeave(station);  // the device made for it is released again
  EXPECT_EQ(rig.windows.posts.load(), 0);
  EXPECT_EQ(sink.GetNextNotification(), nullptr);
  EXPECT_EQ(CRefObject::LiveObjects(), live + 1);  // only the station

  sink.OnNewNotifcationAvailable(nullptr);
  EXPECT_EQ(rig.windows.posts.load(), 0);
  sink.OnHostedNetworkStarted();
  EXPECT_EQ(rig.windows.posts.load(), 1);
  station->Release();
}

TEST(NotificationSinkTest, FailedStationAllocationSkipsTheJoin) {
  test::Rig rig(test::ActiveWithPeers({test::kMacA, test::kMacB}));
  test::ScopedAllocationFaults faults;
  faults.failNext(kAllocSiteStation, 1);
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);  // the first peer's station cannot be made
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, kDialog);
  ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
  const auto replayed = Drain(sink);
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].device, u"0A-0B-0C-0D-0E-0F");
  EXPECT_EQ(faults.attempts(kAllocSiteStation), 2);
  EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
}

TEST(NotificationSinkTest, SinkAllocationGoesThroughTheHook) {
  test::Rig rig;
  test::ScopedAllocationFaults faults;
  faults.failNext(kAllocSiteSink, 1);
  EXPECT_EQ(NewObject<CNotificationSink>(kAllocSiteSink, rig.kernel, rig.windows, rig.trace, kDialog), nullptr);
  CNotificationSink* sink = NewObject<CNotificationSink>(kAllocSiteSink, rig.kernel, rig.windows, rig.trace, kDialog);
  ASSERT_NE(sink, nullptr);
  delete sink;
}

}  // namespace
}  // namespace tethra::wlan
