// CHostedNetworkAccessPoint: the hosted network as the dialog's access point. The WLAN manager
// does the work; the network shell's restart is the dialog's (it pumps the dialog's messages).
//
// Owner: the dialog (by value), for the life of the process. Threads: see IAccessPoint.
#pragma once

#include <atomic>
#include <functional>

#include "tethra/app/AccessPoint.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::app {

class CHostedNetworkAccessPoint final : public IAccessPoint {
 public:
  // `restart`: the network shell's restart of a running hosted network (ChangeSSID).
  CHostedNetworkAccessPoint(wlan::CWlanManager& manager, std::function<platform::Bool32(bool started)> restart)
      : m_manager(manager), m_restart(std::move(restart)) {}

  platform::HResult IsStarted(bool& started) override { return m_manager.IsHostedNetworkStarted(started); }
  platform::HResult GetName(std::u16string& name) override { return m_manager.GetHostedNetworkName(name); }
  void SetName(const std::u16string& name) override { m_manager.SetHostedNetworkName(name.c_str()); }
  platform::Bool32 Restart(const platform::AccessPointConfig&, bool started) override {
    const platform::Bool32 done = m_restart(started);
    // The shell's start is a forced one, tied to no handle: the program's StopUsing would leave
    // it running after the program.
    if (started) m_startedByShell = true;
    return done;
  }
  void SetKey(const std::u16string& key) override { m_manager.SetHostedNetworkKey(key.c_str()); }
  bool FollowsHostedNetworkRecords() const override { return true; }
  platform::HResult Stop(bool sharingStopped) override {
    // Sharing that was on may keep the network in use, and the network shell's start is not
    // the program's to give back: then only a forced stop ends it.
    return sharingStopped || m_startedByShell ? m_manager.ForceStopHostedNetwork() : m_manager.StopHostedNetwork();
  }
  void FinishForEnd() override {}  // the WLAN service undoes the program's start when it ends

 private:
  wlan::CWlanManager& m_manager;
  std::function<platform::Bool32(bool started)> m_restart;
  std::atomic<bool> m_startedByShell{false};  // set by the watcher, read at the end
};

}  // namespace tethra::app
