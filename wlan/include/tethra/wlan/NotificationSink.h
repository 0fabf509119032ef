// CHostedNetworkNotificationSink: the receiver of hosted-network events. The manager calls it
// on the WLAN thread (never with the manager's lock held), and on the registering thread for
// the replay in SetNotificationSink (with the manager's lock held).
//
// CNotificationSink: the dialog's sink. Each call becomes a CHostedNetworkNotification queued
// under the sink's own lock; WM_NEW_HN_NOTIFICATION is posted to the dialog when the queue
// goes from empty to one record. The dialog drains the queue on its own thread with
// GetNextNotification. Created with NewObject(kAllocSiteSink, ...), deleted by the dialog
// after RemoveNotificationSink has returned; deleting it releases every record still queued.
#pragma once

#include <memory>

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/Window.h"
#include "tethra/wlan/HostedNetworkNotification.h"
#include "tethra/base/RefList.h"
#include "tethra/wlan/WlanStation.h"

namespace tethra::wlan {

class CHostedNetworkNotificationSink {
 public:
  virtual void OnHostedNetworkStarted() = 0;
  virtual void OnHostedNetworkStopped() = 0;
  virtual void OnHostedNetworkNotAvailable() = 0;
  virtual void OnHostedNetworkAvailable() = 0;
  // The station is valid for the call; a sink that keeps it adds a reference.
  virtual void OnStationJoin(CWlanStation* station) = 0;
  virtual void OnStationLeave(CWlanStation* station) = 0;

 protected:
  // Destroyed through its concrete class only.
  ~CHostedNetworkNotificationSink() = default;
};

class CNotificationSink final : public CHostedNetworkNotificationSink {
 public:
  CNotificationSink(platform::IKernel& kernel, platform::IWindowSystem& windows, platform::ITrace& trace,
                    platform::Hwnd notifyWnd) noexcept;
  CNotificationSink(const CNotificationSink&) = delete;
  CNotificationSink& operator=(const CNotificationSink&) = delete;
  ~CNotificationSink();

  void OnHostedNetworkStarted() override;
  void OnHostedNetworkStopped() override;
  void OnHostedNetworkNotAvailable() override;
  void OnHostedNetworkAvailable() override;
  void OnStationJoin(CWlanStation* station) override;
  void OnStationLeave(CWlanStation* station) override;

  // Queues `record` (adopting its reference; null is ignored) and posts on the first one.
  void OnNewNotifcationAvailable(CHostedNetworkNotification* record);
  // The oldest record with its reference for the caller, or null.
  CHostedNetworkNotification* GetNextNotification();

 private:
  void QueueKind(HostedNetworkNotificationType type);
  void QueueStation(HostedNetworkNotificationType type, CWlanStation* station);

  base::CRefList<CHostedNetworkNotification*> m_NotificationQueue;
  platform::Hwnd m_hNotifyWnd;
  std::unique_ptr<platform::ICriticalSection> m_Lock;
  platform::IWindowSystem& m_Windows;
  platform::ITrace& m_Trace;
};

}  // namespace tethra::wlan
