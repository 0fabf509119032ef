// CHostedNetworkAccessPoint: the hosted network as the program's access point. It owns the WLAN
// manager, which does the work, the notification sink the manager reports to (deleted only
// after the manager has let go of it), and the network shell's restart of a renamed network.
//
// Owner: the dialog (by value), for the life of the process; CHostedNetworkSession drives it.
// Threads: IAccessPoint's methods as that interface says (Rename and SetKey on the watcher
// thread; Stop on the dialog's thread at the end); Open, StartWith, NextNotification and
// ReleaseNotificationSink on the dialog's thread; each method checks its rule. Codes: HRESULTs
// of CWlanManager; Open gives E_OUTOFMEMORY without a sink; Rename 1 when the shell started the
// network (or it was not running), else 0.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "tethra/app/AccessPoint.h"
#include "tethra/app/SharedText.h"
#include "tethra/base/RefPtr.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Platform.h"
#include "tethra/wlan/NotificationSink.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::app {

class CHostedNetworkAccessPoint final : public IAccessPoint {
 public:
  explicit CHostedNetworkAccessPoint(const platform::Platform& platform);
  ~CHostedNetworkAccessPoint() override { ReleaseNotificationSink(); }

  wlan::CWlanManager& Manager() {
    TETHRA_CHECK_THREAD(m_DialogThread);
    return m_Manager;
  }
  // Makes the sink (posting to `window`), initialises the manager for `maxPeers` and registers
  // the sink; `started` as the service reports it. On a failure nothing stays registered.
  platform::HResult Open(platform::Hwnd window, std::uint32_t maxPeers, bool& started);
  // Returns only once no notification call into the sink is running on the WLAN thread.
  void ReleaseNotificationSink();
  // The next queued record; none without a sink.
  base::RefPtr<wlan::CHostedNetworkNotification> NextNotification();
  // Hands the name and key over where they differ from those in force (recording each one the
  // service took), force-stops a running network, then starts it.
  platform::HResult StartWith(const std::u16string& name, const std::u16string& key, CSharedText& nameInForce,
                              CSharedText& keyInForce);

  platform::HResult IsStarted(bool& started) override {
    TETHRA_CHECK_EITHER_THREAD(m_DialogThread, m_WatcherThread);
    return m_Manager.IsHostedNetworkStarted(started);
  }
  platform::HResult GetName(std::u16string& name) override {
    TETHRA_CHECK_EITHER_THREAD(m_DialogThread, m_WatcherThread);
    return m_Manager.GetHostedNetworkName(name);
  }
  // The name written to the service, then the network shell's restart of a running network.
  platform::Bool32 Rename(const platform::AccessPointConfig& wanted, bool started,
                          const std::function<void()>& nameHandedOver) override;
  void SetKey(const std::u16string& key) override {
    TETHRA_CHECK_THREAD(m_WatcherThread);
    static_cast<void>(m_Manager.SetHostedNetworkKey(key.c_str()));  // a refused key leaves the one in force
  }
  bool FollowsHostedNetworkRecords() const override {
    TETHRA_CHECK_THREAD(m_DialogThread);
    return true;
  }
  platform::HResult Stop(bool sharingStopped) override;
  // The WLAN service undoes the program's start when it ends.
  void FinishForEnd() override { TETHRA_CHECK_THREAD(m_DialogThread); }

 private:
  void SetName(const std::u16string& name);
  // Starts a running network again under its new name through the network shell ("netsh wlan
  // start hostednetwork"), waiting for the shell a bounded time.
  platform::Bool32 ChangeSSID(platform::Bool32 started);

  // Checked builds stop the process when a method runs off the thread its comment names.
  base::CThreadChecker m_DialogThread;  // the constructing thread
  base::CThreadChecker m_WatcherThread{base::ThreadBinding::BindOnFirstUse};
  const platform::Platform& m_Platform;
  wlan::CWlanManager m_Manager;
  std::unique_ptr<wlan::CNotificationSink> m_Sink;  // registered with m_Manager while set
  // Set by the watcher once a rename writes its name to a running network: from then on the
  // network runs, or will run, by the shell's forced start, which no StopUsing gives back.
  std::atomic<bool> m_ForceStopAtEnd{false};
  // Set by Stop: a rename's shell is no longer started once the end has begun.
  std::atomic<bool> m_Ending{false};
  // Signalled while no network shell of a rename runs (manual reset): the end waits on it.
  platform::UniqueKernelHandle m_ShellIdle;
};

}  // namespace tethra::app
