// The dialog's notification sink: records queued on the WLAN thread, one posted message per
// burst, drained on the dialog's thread.
#include "tethra/wlan/NotificationSink.h"

#include "LockScope.h"
#include "tethra/base/Allocation.h"
#include "tethra/base/RefPtr.h"
#include "tethra/platform/Trace.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::wlan {

CNotificationSink::CNotificationSink(platform::IKernel& kernel, platform::IWindowSystem& windows,
                                     platform::ITrace& trace, platform::Hwnd notifyWnd) noexcept
    : m_hNotifyWnd(notifyWnd),
      m_Lock(kernel.createCriticalSection()),
      m_Windows(windows),
      m_Trace(trace) {}

CNotificationSink::~CNotificationSink() {
  CLockScope lock(m_Lock.get());
  m_NotificationQueue.ReleaseAll();
}

void CNotificationSink::OnHostedNetworkStarted() { QueueKind(HostedNetworkStarted); }
void CNotificationSink::OnHostedNetworkStopped() { QueueKind(HostedNetworkStopped); }
void CNotificationSink::OnHostedNetworkNotAvailable() { QueueKind(HostedNetworkNotAvailable); }
void CNotificationSink::OnHostedNetworkAvailable() { QueueKind(HostedNetworkAvailable); }
void CNotificationSink::OnStationJoin(CWlanStation* station) { QueueStation(DeviceAdd, station); }
void CNotificationSink::OnStationLeave(CWlanStation* station) { QueueStation(DeviceRemove, station); }

void CNotificationSink::QueueKind(HostedNetworkNotificationType type) {
  OnNewNotifcationAvailable(base::NewObject<CHostedNetworkNotification>(kAllocSiteRecord, type, nullptr));
}

void CNotificationSink::QueueStation(HostedNetworkNotificationType type, CWlanStation* station) {
  MacAddress mac;
  station->GetMacAddress(mac);
  const auto device = base::RefPtr<CWlanDevice>::Adopt(base::NewObject<CWlanDevice>(kAllocSiteDevice, mac));
  if (!device) return;
  OnNewNotifcationAvailable(base::NewObject<CHostedNetworkNotification>(kAllocSiteRecord, type, device.get()));
}

void CNotificationSink::OnNewNotifcationAvailable(CHostedNetworkNotification* record) {
  auto owned = base::RefPtr<CHostedNetworkNotification>::Adopt(record);
  if (!owned) return;
  std::size_t count = 0;
  {
    CLockScope lock(m_Lock.get());
    // No node storage: the record is dropped (by `owned`) like a failed allocation.
    if (!m_NotificationQueue.AddTail(std::move(owned))) return;
    count = m_NotificationQueue.GetCount();
  }
  if (count == 1) {
    platform::TraceLine(m_Trace, "PostMessage WM_NEW_HN_NOTIFICATION");
    m_Windows.postMessage(m_hNotifyWnd, WM_NEW_HN_NOTIFICATION, 0, 0);
  }
}

CHostedNetworkNotification* CNotificationSink::GetNextNotification() {
  CLockScope lock(m_Lock.get());
  return m_NotificationQueue.IsEmpty() ? nullptr : m_NotificationQueue.RemoveHead();
}

}  // namespace tethra::wlan
