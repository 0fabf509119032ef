// CHostedNetworkAccessPoint: the hosted network as the program's access point. It owns the WLAN
// manager, which does the work, and the notification sink the manager reports to (deleted only
// after the manager has let go of it); the network shell's restart is the command channel's.
//
// Owner: the dialog (by value), for the life of the process; CHostedNetworkSession drives it.
// Threads: IAccessPoint's methods as that interface says; Open, StartWith, NextNotification and
// ReleaseNotificationSink on the dialog's thread. Codes: HRESULTs of CWlanManager; Open gives E_OUTOFMEMORY without a sink.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "tethra/app/AccessPoint.h"
#include "tethra/app/SharedText.h"
#include "tethra/base/RefPtr.h"
#include "tethra/platform/Platform.h"
#include "tethra/wlan/NotificationSink.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::app {

class CHostedNetworkAccessPoint final : public IAccessPoint {
 public:
  // `restart`: the network shell's restart of a running hosted network (ChangeSSID).
  CHostedNetworkAccessPoint(const platform::Platform& platform, std::function<platform::Bool32(bool started)> restart);
  ~CHostedNetworkAccessPoint() override { ReleaseNotificationSink(); }

  wlan::CWlanManager& Manager() { return m_Manager; }
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

  platform::HResult IsStarted(bool& started) override { return m_Manager.IsHostedNetworkStarted(started); }
  platform::HResult GetName(std::u16string& name) override { return m_Manager.GetHostedNetworkName(name); }
  void SetName(const std::u16string& name) override { m_Manager.SetHostedNetworkName(name.c_str()); }
  platform::Bool32 Restart(const platform::AccessPointConfig&, bool started) override {
    const platform::Bool32 done = m_Restart(started);
    // The shell's start is a forced one, tied to no handle: the program's StopUsing would leave
    // it running after the program.
    if (started) m_StartedByShell = true;
    return done;
  }
  void SetKey(const std::u16string& key) override { m_Manager.SetHostedNetworkKey(key.c_str()); }
  bool FollowsHostedNetworkRecords() const override { return true; }
  platform::HResult Stop(bool sharingStopped) override {
    // Sharing that was on may keep the network in use, and the network shell's start is not
    // the program's to give back: then only a forced stop ends it.
    return sharingStopped || m_StartedByShell ? m_Manager.ForceStopHostedNetwork() : m_Manager.StopHostedNetwork();
  }
  void FinishForEnd() override {}  // the WLAN service undoes the program's start when it ends

 private:
  const platform::Platform& m_Platform;
  wlan::CWlanManager m_Manager;
  std::unique_ptr<wlan::CNotificationSink> m_Sink;  // registered with m_Manager while set
  std::function<platform::Bool32(bool started)> m_Restart;
  std::atomic<bool> m_StartedByShell{false};  // set by the watcher, read at the end
};

}  // namespace tethra::app
