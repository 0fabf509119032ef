// What a runner saw of one run, in the terms the expectations speak: the program's end, what
// the controller received, the dialog's fields, the settings values and the simulated services'
// state and call counts. The simulator fills it from its world; the Windows stand-in controller
// from window messages, the registry and the simulated services' logs. One checker
// (CheckExpectations) reads it for both, so an expectation means the same on both machines.
// Plain data; filled and read on one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/scenario/Scenario.h"

namespace tethra::simrunner {

struct Observation {
  // The newest program instance: its exit code, or nothing while it still runs.
  std::optional<std::uint32_t> exitCode;
  // Every instance started has ended (the newest one's end says nothing of the others).
  bool allEnded = false;

  std::vector<std::u16string> codes;    // status codes received, in order
  std::vector<std::u16string> notices;  // name-and-key notices' texts, in order

  bool controllerWindow = false;  // the controller's window existed
  bool controllerVisible = false;
  bool programWindow = false;  // the program made its dialog
  bool programVisible = false;
  // The dialog's notification log and control texts (last state when the program has ended),
  // by control id.
  std::vector<std::u16string> logLines;
  std::map<int, std::u16string> controls;

  // A value under the settings key at the end (text values only).
  std::function<std::optional<std::u16string>(const std::u16string& name)> setting;

  struct Wlan {
    std::uint32_t state = 0;
    std::u16string ssid;
    std::optional<std::u16string> key;  // nothing: not a passphrase
    std::uint32_t maxPeers = 0;
  };
  std::optional<Wlan> wlan;  // nothing: the service was never reached
  std::function<std::uint64_t(std::string_view function)> wlanCalls;

  std::optional<std::u16string> sharedPublic;
  std::optional<std::u16string> sharedPrivate;
  std::function<std::uint64_t(std::string_view operation)> icsCalls;
  std::string icsLeftOver;  // what the sharing service still counts; empty: nothing

  struct Hotspot {
    bool on = false;
    std::u16string ssid;
    std::u16string key;
    std::optional<platform::TetheringBand> band;  // nothing: the system has none
    std::optional<platform::TetheringAuthentication> authentication;
    std::optional<bool> noConnectionsTimeout;  // nothing: the system has no such setting
    bool stopRefused = false;  // on because the system refused the last stop the program asked
    bool leftInFlight = false;  // an operation of the program's outlasted its process
  };
  std::optional<Hotspot> hotspot;  // nothing: the hotspot's state cannot be seen on this machine
  std::function<std::uint64_t(std::string_view operation)> hotspotCalls;

  std::int64_t netshRuns = 0;
  std::optional<std::uint64_t> wakeUps;  // program thread wake-ups between the marks

  // Faults of the program whatever the scenario expects, found by the machine's own checks.
  std::vector<std::string> machineFailures;
};

struct Verdict {
  bool allHeld = true;
  std::vector<std::string> lines;  // one `ok` or `FAILED` line per expectation and machine check
};

Verdict CheckExpectations(const Scenario& scenario, const Observation& seen);

}  // namespace tethra::simrunner
