// CWlanManager: the program's only contact with the WLAN service's hosted network. Held by
// the dialog for its whole life; used from the dialog's thread, the registry command thread
// and, through Notify, the WLAN service's notification thread.
//
// m_Lock (re-entrant) serialises Init, the name operations, start/stop and the notification
// transitions; sink operations run outside it, except the replay of SetNotificationSink.
// Results are HRESULTs: 0 success; 0x8007139F not initialised or not active; 0x8007000D a
// property answer too short; 0x80070057 empty name or key; 0x80070018 name over 32 bytes;
// 0x8007000B bad key; 0x8007054F the key's conversions disagree; 0x80004005 sink already
// registered / none to remove; otherwise the platform's error as 0x8007xxxx.
#pragma once

#include <atomic>

#include <cstdint>
#include <memory>
#include <string>

#include "tethra/platform/Handle.h"
#include "tethra/platform/CodePage.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/WlanApi.h"
#include "tethra/wlan/NotificationSink.h"
#include "tethra/base/RefList.h"
#include "tethra/wlan/WlanStation.h"

namespace tethra::wlan {

// Registered with WlanRegisterNotification; `context` is the manager.
void WlanNotificationCallback(platform::WlanNotificationData* data, void* context);

class CWlanManager {
 public:
  CWlanManager(platform::IWlanApi& wlan, platform::IKernel& kernel, platform::ICodePage& codePage,
               platform::ITrace& trace) noexcept;
  CWlanManager(const CWlanManager&) = delete;
  CWlanManager& operator=(const CWlanManager&) = delete;
  ~CWlanManager();

  platform::HResult Init(std::uint32_t maxNumberOfPeers);
  platform::HResult SetHostedNetworkName(const char16_t* name);
  platform::HResult GetHostedNetworkName(std::u16string& name);
  platform::HResult SetHostedNetworkKey(const char16_t* key);
  platform::HResult GetHostedNetworkKey(std::u16string& key);
  // The last key GetHostedNetworkKey gave was made from the clock (the service held none).
  bool KeyWasGenerated() const { return m_KeyGenerated.load(); }
  platform::HResult StartHostedNetwork();
  platform::HResult StopHostedNetwork();
  platform::HResult ForceStopHostedNetwork();
  // 0 on every path; `guid` is untouched when the status query fails.
  platform::HResult GetHostedNetworkInterfaceGuid(platform::Guid& guid);
  platform::HResult IsHostedNetworkStarted(bool& started);
  // Whether the service has the hosted network in any state but unavailable.
  platform::HResult IsHostedNetworkAvailable(bool& available);

  // 87 for null and the platform's error when the idle event cannot be created, both carried
  // unconverted (UnconvertedStatus: positive, not failures to Failed()); 0x8007139F before
  // Init; 0x80004005 when one is registered.
  platform::HResult SetNotificationSink(CHostedNetworkNotificationSink* sink);
  // Returns after any sink call running on the WLAN thread has returned.
  platform::HResult RemoveNotificationSink();

  // The WLAN thread's entry (through WlanNotificationCallback).
  void Notify(const platform::WlanNotificationData* data);

 private:
  // The service's start and stop calls, made under the lock and traced as `step` (this
  // method's name, then the WLAN function's).
  using HostedNetworkCall = platform::Win32Error (platform::IWlanApi::*)(platform::Handle, std::uint32_t*, void*);
  platform::HResult CallHostedNetworkLocked(HostedNetworkCall call, const char* step);

  std::atomic<bool> m_KeyGenerated{false};
  // `callFailed`: a WLAN call failed, so the handle must go (Init closes it outside the lock).
  platform::HResult InitLocked(std::uint32_t maxNumberOfPeers, bool& callFailed);
  platform::HResult QueryProperty(std::uint32_t opCode, platform::Dword minimumSize, platform::UniqueWlanMemory& buffer,
                                  bool& callFailed);

  void OnStateChange(const platform::WlanHostedNetworkStateChange& change);
  // Sink protocol: under m_Lock, BeginSinkCall counts a sink call and returns the sink (null
  // when none); EndSinkCall ends the count and signals idle after the last running call.
  CHostedNetworkNotificationSink* BeginSinkCall();
  void EndSinkCall();
  void StartedTransition();
  void AvailableTransition(std::uint32_t newState);
  void StoppedTransition();
  void StationJoined(const MacAddress& mac);
  void StationLeft(const MacAddress& mac);

  platform::IWlanApi& m_Wlan;
  platform::IKernel& m_Kernel;
  platform::ICodePage& m_CodePage;
  platform::ITrace& m_Trace;
  std::unique_ptr<platform::ICriticalSection> m_Lock;
  platform::UniqueKernelHandle m_SinkIdleEvent;
  platform::UniqueWlanHandle m_WlanHandle;
  platform::WlanHostedNetworkConnectionSettings m_ConnectionSettings{};
  std::uint32_t m_HostedNetworkState = platform::kWlanHostedNetworkUnavailable;
  base::CRefList<CWlanStation*> m_StationList;
  CHostedNetworkNotificationSink* m_pNotificationSink = nullptr;
  bool m_Initialized = false;
  // Init found the network active and left the peer limit unwritten: the program's next start
  // (or name change) writes it.
  bool m_PeerLimitPending = false;
  // Sink calls running on the WLAN thread(s); m_SinkIdleEvent is reset while it is nonzero.
  int m_SinkCallsInProgress = 0;
};

}  // namespace tethra::wlan
