// CHotspotStandIn: the system's mobile hotspot standing in for the hosted network. It decides
// whether the settings ask for it ("UseMobileHotspot" = 1), opens it for the connection the
// controller named (a dial-up or VPN connection by its name, every other kind by its adapter),
// makes the CHotspotAccessPoint that runs it, and works out the name and key it starts with.
// What the controller is told stays with CHostedNetworkSession, which holds this object.
//
// Owner: CHostedNetworkSession (by value); it owns the CHotspotAccessPoint once opened, for the
// life of the process. Threads: the dialog's thread; Get() any thread once published.
// Codes: Open's outcome; Prepare's HRESULT as CHotspotAccessPoint::Prepare gives it.
#pragma once

#include <memory>
#include <string>

#include "tethra/app/HotspotAccessPoint.h"
#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/platform/Platform.h"

namespace tethra::app {

class CHotspotStandIn {
 public:
  enum class Opening {
    NotUsed,    // not asked for, already open, no connection selected or no hotspot: go on without
    NoProfile,  // the system does not know the connection as a network: nothing to share
    Opened,     // Get() runs it from now on
  };
  CHotspotStandIn(const platform::Platform& platform, const std::u16string& commandLine)
      : m_Platform(platform), m_CommandLine(commandLine) {}
  CHotspotStandIn(const CHotspotStandIn&) = delete;
  CHotspotStandIn& operator=(const CHotspotStandIn&) = delete;

  // Whether the settings ask for the hotspot where there is no hosted network.
  bool Wanted() const;
  // Once: for `selected` (the connection sharing would share), its messages posted to `dialog`.
  Opening Open(const ics::CIcsConnectionInfo* selected, platform::Hwnd dialog, HotspotEvents events);
  CHotspotAccessPoint* Get() const { return m_AccessPoint.get(); }

  // The hosted network's name and key where the WLAN service holds them; a key the program made
  // up for lack of one never goes into the system's hotspot: it keeps its own then. `inForce`:
  // what will run. False when the hotspot cannot be read.
  bool Prepare(const std::u16string& name, const std::u16string& key, bool keyGenerated,
               platform::AccessPointConfig& inForce, platform::HResult& hr);

 private:
  const platform::Platform& m_Platform;
  const std::u16string m_CommandLine;
  std::unique_ptr<CHotspotAccessPoint> m_AccessPoint;
};

}  // namespace tethra::app
