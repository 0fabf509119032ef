// CWlanManager, notification side: the WLAN callback, the state and station transitions, and
// the sink protocol. Runs on the WLAN service's thread, except SetNotificationSink (with its
// replay) and RemoveNotificationSink, which the dialog calls.
//
// Sink protocol: a transition counts its sink call under m_Lock (the first running call resets
// m_SinkIdleEvent), calls the sink outside the lock, and ends the count under the lock again
// (the last running call sets the event). Removal waits only while calls are counted, so
// overlapping callbacks cannot signal idle early, and a sink registered again after a removal
// never makes a later removal wait on an event the earlier wait consumed.
#include "LockScope.h"
#include "tethra/base/Allocation.h"
#include "tethra/base/RefPtr.h"
#include "tethra/platform/Trace.h"
#include "tethra/wlan/AllocationSites.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {

using platform::HResult;

using platform::Dword;

void WlanNotificationCallback(platform::WlanNotificationData* data, void* context) {
  if (context != nullptr) static_cast<CWlanManager*>(context)->Notify(data);
}

void CWlanManager::Notify(const platform::WlanNotificationData* data) {
  if (data == nullptr || data->NotificationSource != platform::kWLAN_NOTIFICATION_SOURCE_HNWK) return;
  platform::TraceLine(m_Trace, "CWlanManager::Notify, pNotifData->NotificationCode is %u",
                      data->NotificationCode);
  switch (data->NotificationCode) {
    case platform::kWlanHostedNetworkStateChangeCode:
      if (data->dwDataSize == sizeof(platform::WlanHostedNetworkStateChange) && data->pData != nullptr) {
        OnStateChange(*static_cast<const platform::WlanHostedNetworkStateChange*>(data->pData));
      }
      break;
    case platform::kWlanHostedNetworkPeerStateChangeCode:
      if (data->dwDataSize == sizeof(platform::WlanHostedNetworkDataPeerStateChange) && data->pData != nullptr) {
        const auto& change = *static_cast<const platform::WlanHostedNetworkDataPeerStateChange*>(data->pData);
        if (change.NewState.PeerAuthState == platform::kWlanHostedNetworkPeerStateAuthenticated) {
          StationJoined(change.NewState.PeerMacAddress);
        } else if (change.NewState.PeerAuthState == platform::kWlanHostedNetworkPeerStateInvalid) {
          StationLeft(change.NewState.PeerMacAddress);
        }
      }
      break;
    default:  // radio state and anything else: no action
      break;
  }
}

void CWlanManager::OnStateChange(const platform::WlanHostedNetworkStateChange& change) {
  platform::TraceLine(m_Trace, "StateChangeReason is %u", change.StateChangeReason);
  const bool wasActive = change.OldState == platform::kWlanHostedNetworkActive;
  switch (change.NewState) {
    case platform::kWlanHostedNetworkUnavailable:
      switch (change.StateChangeReason) {
        case platform::kWlanHostedNetworkReasonSuccess:
        case platform::kWlanHostedNetworkReasonInterfaceAvailable:
        case platform::kWlanHostedNetworkReasonMiniportStarted:
        case platform::kWlanHostedNetworkReasonDeviceChange:
        case platform::kWlanHostedNetworkReasonPropertiesChange:
          return;  // transient reports while the adapter reconfigures
        default:
          break;
      }
      if (wasActive) StoppedTransition();
      AvailableTransition(platform::kWlanHostedNetworkUnavailable);
      break;
    case platform::kWlanHostedNetworkIdle:
      if (wasActive && (change.StateChangeReason == platform::kWlanHostedNetworkReasonMiniportStopped ||
                        change.StateChangeReason == platform::kWlanHostedNetworkReasonUserAction)) {
        StoppedTransition();
      } else {
        AvailableTransition(platform::kWlanHostedNetworkIdle);
      }
      break;
    case platform::kWlanHostedNetworkActive:
      StartedTransition();
      break;
    default:
      break;
  }
}

CHostedNetworkNotificationSink* CWlanManager::BeginSinkCall() {
  if (m_pNotificationSink == nullptr) return nullptr;
  if (m_SinkCallsInProgress++ == 0) m_Kernel.resetEvent(m_SinkIdleEvent.get());
  return m_pNotificationSink;
}

void CWlanManager::EndSinkCall() {
  CLockScope lock(m_Lock.get());
  if (--m_SinkCallsInProgress == 0) m_Kernel.setEvent(m_SinkIdleEvent.get());
}

void CWlanManager::StartedTransition() {
  CHostedNetworkNotificationSink* sink = nullptr;
  {
    CLockScope lock(m_Lock.get());
    m_HostedNetworkState = platform::kWlanHostedNetworkActive;
    sink = BeginSinkCall();
  }
  if (sink == nullptr) return;
  sink->OnHostedNetworkStarted();
  EndSinkCall();
}

// The not-available (state 0) and available (state 1) transitions.
void CWlanManager::AvailableTransition(std::uint32_t newState) {
  CHostedNetworkNotificationSink* sink = nullptr;
  {
    CLockScope lock(m_Lock.get());
    m_HostedNetworkState = newState;
    sink = BeginSinkCall();
  }
  if (sink == nullptr) return;
  if (newState == platform::kWlanHostedNetworkUnavailable) {
    sink->OnHostedNetworkNotAvailable();
  } else {
    sink->OnHostedNetworkAvailable();
  }
  EndSinkCall();
}

void CWlanManager::StoppedTransition() {
  base::CRefList<CWlanStation*> gone;  // takes the stations with their references, in list order
  CHostedNetworkNotificationSink* sink = nullptr;
  {
    CLockScope lock(m_Lock.get());
    gone.Swap(m_StationList);
    m_HostedNetworkState = platform::kWlanHostedNetworkIdle;
    sink = BeginSinkCall();
  }
  while (!gone.IsEmpty()) {
    const auto station = base::RefPtr<CWlanStation>::Adopt(gone.RemoveHead());
    if (sink != nullptr) sink->OnStationLeave(station.get());
  }
  if (sink == nullptr) return;
  sink->OnHostedNetworkStopped();
  EndSinkCall();
}

void CWlanManager::StationJoined(const MacAddress& mac) {
  const auto station = base::RefPtr<CWlanStation>::Adopt(base::NewObject<CWlanStation>(kAllocSiteStation, mac));
  if (!station) return;
  CHostedNetworkNotificationSink* sink = nullptr;
  {
    CLockScope lock(m_Lock.get());
    // The list takes a reference of its own. No node storage: the join is dropped like a
    // failed allocation.
    if (!m_StationList.AddTail(base::RefPtr<CWlanStation>(station))) return;
    sink = BeginSinkCall();
  }
  if (sink != nullptr) {
    sink->OnStationJoin(station.get());
    EndSinkCall();
  }
}

void CWlanManager::StationLeft(const MacAddress& mac) {
  base::RefPtr<CWlanStation> station;  // the list's reference, once taken out
  CHostedNetworkNotificationSink* sink = nullptr;
  {
    CLockScope lock(m_Lock.get());
    auto pos = m_StationList.GetHeadPosition();
    while (pos != nullptr) {
      const auto current = pos;
      if (m_StationList.GetNext(pos)->Matches(mac)) {
        station = base::RefPtr<CWlanStation>::Adopt(m_StationList.RemoveAt(current));
        break;
      }
    }
    if (!station) return;
    sink = BeginSinkCall();
  }
  if (sink != nullptr) {
    sink->OnStationLeave(station.get());
    EndSinkCall();
  }
}

HResult CWlanManager::SetNotificationSink(CHostedNetworkNotificationSink* sink) {
  if (sink == nullptr) return platform::UnconvertedStatus(platform::kERROR_INVALID_PARAMETER);
  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return platform::HResultFromWin32(platform::kERROR_INVALID_STATE);
  if (m_pNotificationSink != nullptr) return platform::kE_FAIL;
  if (!m_SinkIdleEvent) {
    platform::Handle event = m_Kernel.createEvent(false, true);
    if (event == nullptr) return platform::UnconvertedStatus(m_Kernel.getLastError());
    m_SinkIdleEvent = platform::UniqueKernelHandle(event, platform::KernelHandleCloser{&m_Kernel});
  }
  m_pNotificationSink = sink;

  // Replay, under the lock so that no transition interleaves with it.
  if (m_HostedNetworkState == platform::kWlanHostedNetworkUnavailable) {
    sink->OnHostedNetworkNotAvailable();
  } else if (m_HostedNetworkState == platform::kWlanHostedNetworkActive) {
    auto pos = m_StationList.GetHeadPosition();
    while (pos != nullptr) sink->OnStationJoin(m_StationList.GetNext(pos));
  }
  return platform::kS_OK;
}

HResult CWlanManager::RemoveNotificationSink() {
  bool mustWait = false;
  {
    CLockScope lock(m_Lock.get());
    if (m_pNotificationSink == nullptr) return platform::kE_FAIL;
    m_pNotificationSink = nullptr;
    mustWait = m_SinkCallsInProgress > 0;
  }
  if (mustWait) m_Kernel.waitForSingleObject(m_SinkIdleEvent.get(), platform::kINFINITE);
  return platform::kS_OK;
}

}  // namespace tethra::wlan
