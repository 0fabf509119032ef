// IAccessPoint: the access point the program runs, so that CHostedNetworkSession and the command
// watcher do not ask which one it is. Two implementations: the WLAN service's hosted network (CHostedNetworkAccessPoint, the
// program's own way) and the system's mobile hotspot standing in for it where the driver has
// no hosted network (CHotspotAccessPoint).
//
// Owner: the dialog owns the hosted network, its CHostedNetworkSession the hotspot (through
// CHotspotStandIn); the session publishes the one in use to the command watcher through an
// atomic pointer, switched once, before the hotspot is started. Threads: as each method says.
// Codes: HRESULTs of the layer below (CWlanManager, CMobileHotspot).
#pragma once

#include <functional>
#include <string>

#include "tethra/platform/Hotspot.h"
#include "tethra/platform/Types.h"

namespace tethra::app {

class IAccessPoint {
 public:
  virtual ~IAccessPoint() = default;

  // The dialog's thread or the command watcher's.
  virtual platform::HResult IsStarted(bool& started) = 0;
  virtual platform::HResult GetName(std::u16string& name) = 0;

  // Command watcher's thread, for an "ssid" command: hands the new name over where the access
  // point takes it on its own, calls `nameHandedOver` (the channel shows it and lets the
  // watcher's messages flow), then restarts the access point with `wanted` and waits for that,
  // bounded. 1: the name is in force, or will be at the next start; 0: not.
  virtual platform::Bool32 Rename(const platform::AccessPointConfig& wanted, bool started,
                                  const std::function<void()>& nameHandedOver) = 0;
  // Command watcher's thread: the new key handed over, once the name is in force.
  virtual void SetKey(const std::u16string& key) = 0;

  // Dialog's thread. Whether the hosted network's notification records are about this one.
  virtual bool FollowsHostedNetworkRecords() const = 0;
  // Stops it for the end of the program; `sharingStopped`: sharing was on until just now.
  virtual platform::HResult Stop(bool sharingStopped) = 0;
  // Every end: leaves what the program changed as it found it, as far as the program can.
  virtual void FinishForEnd() = 0;
};

}  // namespace tethra::app
