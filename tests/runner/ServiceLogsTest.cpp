// The simulated services' logs, as the Windows controller reads them after a run: the last
// state wins, calls are counted by name, the end check separates the program's memory faults
// from references it may hold at its end.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tethra/scenario/Observation.h"
#include "tethra/scenario/ServiceLogs.h"

namespace tethra::simrunner {
namespace {

std::string Line(const std::string& body) { return "     12 ms  tid   324  " + body + "\r\n"; }

// A service's log of these lines, one after the other.
std::string Log(std::initializer_list<const char*> bodies) {
  std::string log;
  for (const char* body : bodies) log += Line(body);
  return log;
}

// What the runner takes from the logs.
Observation Read(const ServiceLogTexts& logs) {
  Observation seen;
  ReadServiceLogs(logs, seen);
  return seen;
}

TEST(ServiceLogsTest, WlanStateIsTheLastNowLineAndCallsAreCountedByName) {
  ServiceLogTexts logs;
  logs.wlan =
      Log({"service ready: state idle", "now state idle ssid \"TethraNet\" key \"k\" max-peers 100",
           "call WlanOpenHandle(2) -> 0", "call WlanHostedNetworkStartUsing(h) -> 0", "call WlanOpenHandle(2) -> 0",
           "now state active ssid \"Caf\\u00E9 \\\"1\\\"\" key none max-peers 8"});
  Observation seen = Read(logs);
  ASSERT_TRUE(seen.wlan);
  EXPECT_EQ(seen.wlan->state, 2u);
  EXPECT_EQ(seen.wlan->ssid, u"Caf\u00E9 \"1\"");
  EXPECT_FALSE(seen.wlan->key);
  EXPECT_EQ(seen.wlan->maxPeers, 8u);
  EXPECT_EQ(seen.wlanCalls("WlanOpenHandle"), 2u);
  EXPECT_EQ(seen.wlanCalls("WlanHostedNetworkStartUsing"), 1u);
  EXPECT_EQ(seen.wlanCalls("WlanHostedNetworkStopUsing"), 0u);
}

// A misuse of the WLAN API, and WLAN buffers never given back, fail the run whatever the
// scenario expects, one failure each, in the words tethra-sim uses; the end of the process
// still gives the last state.
TEST(ServiceLogsTest, WlanMisusesFailTheRunOneByOne) {
  ServiceLogTexts logs;
  logs.wlan = Log({"now state active ssid \"TethraNet\" key \"k\" max-peers 10",
                   "misuse WlanCloseHandle called from inside the notification callback: it never returns",
                   "event wlan WlanCloseHandle inside the callback: waits for ever", "misuse second",
                   "end: process ended, its handles closed",
                   "end: wlan memory: 1 not freed with WlanFreeMemory (1 from WlanAllocateMemory)",
                   "now state idle ssid \"TethraNet\" key \"k\" max-peers 10"});
  Observation seen = Read(logs);
  EXPECT_EQ(seen.machineFailures,
            (std::vector<std::string>{
                "wlan misuse: WlanCloseHandle called from inside the notification callback: it never returns",
                "wlan misuse: second", "wlan memory: 1 not freed with WlanFreeMemory (1 from WlanAllocateMemory)"}));
  ASSERT_TRUE(seen.wlan);
  EXPECT_EQ(seen.wlan->state, 1u);

  Scenario scenario;
  seen.exitCode = 0;
  const Verdict verdict = CheckExpectations(scenario, seen);
  EXPECT_FALSE(verdict.allHeld);

  logs.wlan = Log({"call WlanCloseHandle(0x57a00000) -> 0", "event misuse of nothing"});
  Observation clean;
  ReadServiceLogs(logs, clean);
  EXPECT_TRUE(clean.machineFailures.empty()) << "only a line that is a misuse counts";
}

TEST(ServiceLogsTest, HotspotStateIsTheLastNowLineAndCallsAreCountedByOperation) {
  ServiceLogTexts logs;
  logs.hotspot = Log({"service ready: 2 profile(s)",
                      "now hotspot state off ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band auto "
                      "authentication absent timeout on",
                      "runtime GetConnectionProfiles: 2 profile(s)", "call create({5A1E0001}) -> 0x00000000",
                      "call configure(\"Caf\\u00E9\") -> 0x00000000", "call start() -> 0x00000000",
                      "call state() -> 0x00000000", "call start() -> 0x00000000",
                      "now hotspot state on ssid \"Caf\\u00E9 \\\"1\\\"\" key \"k 2\" clients 1 band 5ghz "
                      "authentication wpa3-transition timeout off"});
  Observation seen = Read(logs);
  ASSERT_TRUE(seen.hotspot);
  EXPECT_TRUE(seen.hotspot->on);
  EXPECT_EQ(seen.hotspot->ssid, u"Caf\u00E9 \"1\"");
  EXPECT_EQ(seen.hotspot->key, u"k 2");
  EXPECT_EQ(seen.hotspot->band, platform::TetheringBand::FiveGigahertz);
  EXPECT_EQ(seen.hotspot->authentication, platform::TetheringAuthentication::Wpa3TransitionMode);
  EXPECT_EQ(seen.hotspot->noConnectionsTimeout, std::optional<bool>(false));
  EXPECT_EQ(seen.hotspotCalls("start"), 2u);
  EXPECT_EQ(seen.hotspotCalls("create"), 1u);
  EXPECT_EQ(seen.hotspotCalls("configure"), 1u);
  EXPECT_EQ(seen.hotspotCalls("stop"), 0u);
  EXPECT_EQ(seen.hotspotCalls("GetConnectionProfiles"), 0u) << "the runtime's own lines are no service calls";

  // Off again after a later change; a line of another form leaves the state as it was.
  logs.hotspot += Line("now hotspot state off ssid \"X\" key \"Y\" clients 0 band absent authentication absent timeout on") +
                  Line("now hotspot state on");
  Observation later;
  ReadServiceLogs(logs, later);
  ASSERT_TRUE(later.hotspot);
  EXPECT_FALSE(later.hotspot->on);
  EXPECT_EQ(later.hotspot->ssid, u"X");
}

TEST(ServiceLogsTest, AServiceNeverReachedLeavesNoState) {
  Observation seen;
  ReadServiceLogs({}, seen);
  EXPECT_FALSE(seen.wlan);
  EXPECT_EQ(seen.wlanCalls("WlanOpenHandle"), 0u);
  EXPECT_EQ(seen.icsCalls("create"), 0u);
  EXPECT_EQ(seen.netshRuns, 0);
  EXPECT_FALSE(seen.hotspot);
  EXPECT_EQ(seen.hotspotCalls("start"), 0u);
  EXPECT_TRUE(seen.machineFailures.empty());
}

TEST(ServiceLogsTest, SharingRolesCallsAndEndCheck) {
  ServiceLogTexts logs;
  logs.sharing =
      Log({"now public none private none", "call enable-public(0) -> 0x00000000",
           "now public \"Ethernet\" private none", "call enable-private(1) -> 0x00000000",
           "now public \"Ethernet\" private \"Wireless Network Connection 2\"", "now left-over \"2 references held\""});
  Observation seen = Read(logs);
  EXPECT_EQ(seen.sharedPublic, u"Ethernet");
  EXPECT_EQ(seen.sharedPrivate, u"Wireless Network Connection 2");
  EXPECT_EQ(seen.icsCalls("enable-public"), 1u);
  EXPECT_EQ(seen.icsLeftOver, "2 references held");
  EXPECT_TRUE(seen.machineFailures.empty());

  // References at the end are the program's to hold; a record not freed is a fault.
  logs.sharing += Line("end: COM objects still referenced: 1 sharing manager (1 references)") +
                  Line("end: service left over: 1 properties records not freed, 1 references held") +
                  Line("end: shared since the start: \"Ethernet\"");
  Observation ended;
  ReadServiceLogs(logs, ended);
  EXPECT_EQ(ended.icsLeftOver, "1 properties records not freed, 1 references held");
  ASSERT_EQ(ended.machineFailures.size(), 2u);
  EXPECT_EQ(ended.machineFailures[0], "sharing memory: 1 properties records not freed, 1 references held");
  EXPECT_EQ(ended.machineFailures[1], "sharing after the end: \"Ethernet\" still shared");

  logs.sharing = Line("end: service left over: 5 references held");
  Observation holding;
  ReadServiceLogs(logs, holding);
  EXPECT_TRUE(holding.machineFailures.empty());
  logs.sharing = Line("end: nothing left behind");
  Observation clean;
  clean.icsLeftOver = "stale";
  ReadServiceLogs(logs, clean);
  EXPECT_EQ(clean.icsLeftOver, "");
}

TEST(ServiceLogsTest, NetshRunsAreCountedAndForeignLinesSkipped) {
  ServiceLogTexts logs;
  logs.netsh = Line("run wlan start hostednetwork") + "garbage without columns\n" + Line("run wlan start hostednetwork");
  logs.wlan = Line("now state bogus");
  Observation seen = Read(logs);
  EXPECT_EQ(seen.netshRuns, 2);
  EXPECT_FALSE(seen.wlan);
}

}  // namespace
}  // namespace tethra::simrunner

namespace tethra::simrunner {
namespace {

TEST(ServiceLogsTest, TheDialogsChangesOfTheNewestInstanceReplaceWhatWasSeenWhileItRan) {
  ServiceLogTexts logs;
  logs.wlan = Log({"dialog 42 visible", "dialog 42 control 1007 \"starting\"", "dialog 42 log-reset",
                   "dialog 42 log-line \"[x] one\"", "dialog 42 log-line \"[x] three\"",
                   "dialog 42 log-insert 1 \"[x] two\"", "dialog 42 log-line \"[x] gone\"", "dialog 42 log-delete 3",
                   "dialog 42 hidden", "dialog 42 control 1007 \"The hosted network is active\"", "dialog 77 visible",
                   "dialog 77 control 1007 \"other instance\"", "dialog 77 log-reset"});
  logs.programId = 42;
  Observation seen;
  seen.programVisible = true;
  seen.logLines = {u"stale"};
  ReadServiceLogs(logs, seen);
  EXPECT_TRUE(seen.programWindow);
  EXPECT_FALSE(seen.programVisible);
  EXPECT_EQ(seen.controls[1007], u"The hosted network is active");
  EXPECT_EQ(seen.logLines, (std::vector<std::u16string>{u"[x] one", u"[x] two", u"[x] three"}));

  // While the program runs (no process id given) the controller's own view stays.
  logs.programId = 0;
  Observation running;
  running.programVisible = true;
  ReadServiceLogs(logs, running);
  EXPECT_TRUE(running.programVisible);
  EXPECT_TRUE(running.controls.empty());
}

}  // namespace
}  // namespace tethra::simrunner

namespace tethra::simrunner {
namespace {

// The hotspot's end checks hold the program, not the service: a violation the service logged is
// a failure whatever the scenario expects, and a hotspot left on after the program is one
// unless it was on before.
TEST(ServiceLogsTest, HotspotViolationsAndAHotspotLeftOnFailTheRun) {
  ServiceLogTexts logs;
  logs.hotspot = Log({"violation stop begun while another operation was in flight",
                      "now hotspot state on ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band auto "
                      "authentication absent timeout on"});
  Observation seen = Read(logs);
  ASSERT_EQ(seen.machineFailures.size(), 1u);
  EXPECT_EQ(seen.machineFailures[0], "hotspot contract: stop begun while another operation was in flight");

  Scenario scenario;
  seen.machineFailures.clear();
  EXPECT_TRUE(CheckExpectations(scenario, seen).allHeld);  // still running: nothing to say yet
  seen.exitCode = 0;
  EXPECT_TRUE(CheckExpectations(scenario, seen).allHeld) << "the newest ended, an earlier instance still runs it";
  seen.allEnded = true;
  const Verdict ended = CheckExpectations(scenario, seen);
  EXPECT_FALSE(ended.allHeld);
  ASSERT_FALSE(ended.lines.empty());
  EXPECT_EQ(ended.lines.back(), "FAILED  hotspot after the end: still on");
  scenario.machine.hotspot.on = true;  // on before the program: the program may leave it so
  EXPECT_TRUE(CheckExpectations(scenario, seen).allHeld);
}

TEST(ServiceLogsTest, AHotspotLeftOnBecauseTheSystemRefusedItsStopIsExcused) {
  ServiceLogTexts logs;
  logs.hotspot = Line("now hotspot state on ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band auto authentication absent timeout on stop-refused");
  Observation seen = Read(logs);
  ASSERT_TRUE(seen.hotspot.has_value());
  EXPECT_TRUE(seen.hotspot->on);
  EXPECT_TRUE(seen.hotspot->stopRefused);
  seen.exitCode = 0;
  seen.allEnded = true;
  EXPECT_TRUE(CheckExpectations(Scenario{}, seen).allHeld);
  logs.hotspot += Line("now hotspot state on ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band auto authentication absent timeout on");  // started again since
  ReadServiceLogs(logs, seen);
  EXPECT_FALSE(seen.hotspot->stopRefused);
  EXPECT_FALSE(CheckExpectations(Scenario{}, seen).allHeld);
}

// An operation the program gave its bound and that outlasted the process kept it from asking
// anything more: what is left undone then is not held against it.
TEST(ServiceLogsTest, WhatAnOperationLeftInFlightKeptFromBeingDoneIsExcused) {
  const auto verdictFor = [](const std::string& flags) {
    ServiceLogTexts logs;
    logs.hotspot = Line("now hotspot state on ssid \"TethraNet\" key \"tethra-secret\" clients 0 band auto "
                        "authentication absent timeout off" + flags);
    Observation seen = Read(logs);
    seen.exitCode = 0;
    seen.allEnded = true;
    return CheckExpectations(Scenario{}, seen);
  };
  const Verdict plain = verdictFor("");
  EXPECT_FALSE(plain.allHeld);
  EXPECT_EQ(plain.lines.size(), 3u) << "still on, configuration and timeout not given back";
  EXPECT_TRUE(verdictFor(" left-in-flight").allHeld);
  EXPECT_TRUE(verdictFor(" stop-refused left-in-flight").allHeld);
}

// The persistent configuration and the NoConnections timeout are the user's: any of them left
// other than the user had it fails the run once the program has ended, unless the system left an operation that never ended
// (then no program could have put it back).
TEST(ServiceLogsTest, AConfigurationNotGivenBackFailsTheRunFieldByField) {
  Scenario scenario;
  scenario.machine.hotspot.band = platform::TetheringBand::FiveGigahertz;
  scenario.machine.hotspot.authentication = platform::TetheringAuthentication::Wpa3;
  const auto verdictFor = [&scenario](const std::string& fields) {
    ServiceLogTexts logs;
    logs.hotspot = Line("now hotspot state off " + fields);
    Observation seen = Read(logs);
    seen.exitCode = 0;
    seen.allEnded = true;
    return CheckExpectations(scenario, seen);
  };
  EXPECT_TRUE(
      verdictFor("ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band 5ghz authentication wpa3 timeout on")
          .allHeld);
  for (const std::string changed :
       {"ssid \"TethraNet\" key \"hotspot-secret\" clients 0 band 5ghz authentication wpa3 timeout on",
        "ssid \"TethraHotspot\" key \"tethra-secret\" clients 0 band 5ghz authentication wpa3 timeout on",
        "ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band auto authentication wpa3 timeout on",
        "ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band 5ghz authentication wpa2 timeout on",
        "ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band absent authentication wpa3 timeout on",
        "ssid \"TethraHotspot\" key \"hotspot-secret\" clients 0 band 5ghz authentication wpa3 timeout off"}) {
    const Verdict verdict = verdictFor(changed);
    EXPECT_FALSE(verdict.allHeld) << changed;
    ASSERT_FALSE(verdict.lines.empty());
    EXPECT_NE(verdict.lines.back().find("not given back"), std::string::npos) << changed;
  }
  Fault hangs;
  hangs.target = "hotspot";
  hangs.operation = "start";
  hangs.size = sim::kHotspotFaultHangs;
  scenario.machine.faults.push_back(hangs);
  EXPECT_TRUE(verdictFor("ssid \"TethraNet\" key \"tethra-secret\" clients 0 band auto authentication wpa2 timeout off").allHeld)
      << "an operation that never ends leaves the program nothing to put it back with";
}

}  // namespace
}  // namespace tethra::simrunner
