// The simulated WLAN service's control requests and its `now` line, as the Windows DLL serves
// and writes them: what a request line means, which lines are refused, and what the line
// shows of the service after calls and machine actions.
#include <gtest/gtest.h>

#include <utility>

#include "WlanRig.h"
#include "tethra/scenario/ServiceControl.h"

namespace tethra::simrunner {
namespace {

using Kind = ControlRequest::Kind;

ControlRequest Parsed(std::string_view line) {
  ControlRequest request;
  std::string why;
  EXPECT_TRUE(ParseControlRequest(line, request, why)) << line << ": " << why;
  return request;
}

std::string Refusal(std::string_view line) {
  ControlRequest request;
  std::string why;
  EXPECT_FALSE(ParseControlRequest(line, request, why)) << line;
  return why;
}

TEST(ServiceControlTest, RequestsCarryTheirNumbersAndAddresses) {
  const ControlRequest state = Parsed("state 2 1 17");
  EXPECT_EQ(state.kind, Kind::State);
  EXPECT_EQ(state.oldState, 2u);
  EXPECT_EQ(state.newState, 1u);
  EXPECT_EQ(state.reason, 17u);

  const ControlRequest raw = Parsed("notify-raw 0x00001001 3\r");  // a CR from a Windows client
  EXPECT_EQ(raw.kind, Kind::NotifyRaw);
  EXPECT_EQ(raw.code, 0x1001u);
  EXPECT_EQ(raw.size, 3u);

  const ControlRequest join = Parsed("join 00-1A-2B-3C-4D-5E");
  EXPECT_EQ(join.kind, Kind::Join);
  EXPECT_EQ(join.mac, (std::array<std::uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
  EXPECT_EQ(Parsed("leave 00-1A-2B-3C-4D-5E").kind, Kind::Leave);
  EXPECT_EQ(Parsed("forced-start").kind, Kind::ForcedStart);
  EXPECT_EQ(Parsed("radio-off").kind, Kind::RadioOff);
  EXPECT_EQ(Parsed("adapter-disabled").kind, Kind::AdapterDisabled);
  EXPECT_EQ(Parsed("sleep\r").kind, Kind::Sleep);
}

TEST(ServiceControlTest, DeviceNameIsTheRestOfTheLineAsWritten) {
  const ControlRequest removed = Parsed("device removed \\\\?\\PCI#VEN_8086  x\xC3\xA9");
  EXPECT_EQ(removed.kind, Kind::Device);
  EXPECT_TRUE(removed.removed);
  EXPECT_EQ(removed.text, u"\\\\?\\PCI#VEN_8086  x\u00E9");
  const ControlRequest arrived = Parsed("device arrived \"quoted\"");
  EXPECT_FALSE(arrived.removed);
  EXPECT_EQ(arrived.text, u"\"quoted\"");
}

TEST(ServiceControlTest, MalformedRequestsAreRefusedWithAReason) {
  const std::pair<const char*, const char*> refused[] = {
      {"", "empty request"},
      {"state 2 3 17", "state takes OLD NEW REASON (states 0, 1 or 2)"},
      {"state 2 1", "state takes OLD NEW REASON (states 0, 1 or 2)"},
      {"state 2 1 -1", "state takes OLD NEW REASON (states 0, 1 or 2)"},
      {"notify-raw 4097", "notify-raw takes CODE SIZE"},
      {"join 00-1A-2B-3C-4D", "join takes a MAC address (00-1A-2B-3C-4D-5E)"},
      {"forced-start now", "forced-start takes nothing"},
      {"radio-off 1", "radio-off takes nothing"},
      {"adapter-disabled x", "adapter-disabled takes nothing"},
      {"sleep 5", "sleep takes nothing"},
      {"radio off", "unknown request radio"},
      {"device gone x", "device takes removed or arrived, then the interface name"},
      {"State 2 1 17", "unknown request State"},
  };
  for (const auto& [line, reason] : refused) EXPECT_EQ(Refusal(line), reason) << line;
}

TEST(ServiceControlTest, NowLineShowsWhatExpectationsSee) {
  wlan::test::Rig rig;
  EXPECT_EQ(WlanNowLine(rig.service), "now state idle ssid \"TethraNet\" key \"tethra-secret\" max-peers 100");

  sim::SimWlanConfig odd;
  odd.state = platform::kWlanHostedNetworkUnavailable;
  odd.ssidText = u"Caf\u00E9 \"Q\"";
  odd.keyKind = sim::SimWlanConfig::KeyKind::NotPassPhrase;
  odd.maxPeers = 7;
  wlan::test::Rig other(odd);
  EXPECT_EQ(WlanNowLine(other.service), "now state unavailable ssid \"Caf\\u00E9 \\\"Q\\\"\" key none max-peers 7");

  sim::SimWlanConfig keyless;
  keyless.keyKind = sim::SimWlanConfig::KeyKind::None;
  wlan::test::Rig third(keyless);
  EXPECT_EQ(WlanNowLine(third.service), "now state idle ssid \"TethraNet\" key none max-peers 100");
}

bool Apply(std::string_view line, sim::SimWlanService& wlan, std::string* refusal = nullptr) {
  std::string why;
  const bool done = ApplyToWlan(Parsed(line), wlan, why);
  if (refusal != nullptr) *refusal = why;
  EXPECT_EQ(done, why.empty()) << line << ": " << why;
  return done;
}

TEST(ServiceControlTest, MachineRequestsActOnTheServiceAndDeviceIsNotTheServices) {
  wlan::test::Rig rig;
  EXPECT_TRUE(Apply("state 1 2 0", rig.service));
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkActive);
  EXPECT_TRUE(Apply("join 00-1A-2B-3C-4D-5E", rig.service));
  EXPECT_EQ(rig.service.peers().size(), 1u);
  EXPECT_TRUE(Apply("leave 00-1A-2B-3C-4D-5E", rig.service));
  EXPECT_TRUE(rig.service.peers().empty());
  EXPECT_TRUE(Apply("forced-start", rig.service));
  EXPECT_TRUE(Apply("notify-raw 4097 3", rig.service));
  EXPECT_EQ(rig.host.events(),
            (std::vector<std::string>{"wlan state idle -> active (reason 0)", "wlan station join 00-1A-2B-3C-4D-5E",
                                      "wlan station leave 00-1A-2B-3C-4D-5E",  // the forced start: runs already
                                      "wlan notify-raw 4097 size 3"}));
  std::string why;
  EXPECT_FALSE(Apply("device removed x", rig.service, &why));
  EXPECT_EQ(why, "not a WLAN service request");
}

// Each of the machine's own events does what tethra-sim's timeline does with the same line.
TEST(ServiceControlTest, ForcedStartRadioAdapterAndSleepAreTheMachinesEvents) {
  wlan::test::Rig started;
  EXPECT_TRUE(Apply("forced-start", started.service));
  EXPECT_EQ(started.service.state(), platform::kWlanHostedNetworkActive);
  EXPECT_TRUE(Apply("sleep", started.service));
  EXPECT_EQ(started.service.state(), platform::kWlanHostedNetworkIdle);
  EXPECT_EQ(started.host.events(),
            (std::vector<std::string>{"wlan state idle -> active (reason 0)",
                                      "wlan state active -> idle (the machine sleeps; nobody is told)"}));

  wlan::test::Rig radio;
  EXPECT_TRUE(Apply("radio-off", radio.service));
  EXPECT_EQ(radio.service.state(), platform::kWlanHostedNetworkUnavailable);
  EXPECT_EQ(radio.host.events(),
            (std::vector<std::string>{"wlan radio off", "wlan state idle -> unavailable (reason 12)"}));

  wlan::test::Rig adapter;
  EXPECT_TRUE(Apply("adapter-disabled", adapter.service));
  EXPECT_EQ(adapter.service.state(), platform::kWlanHostedNetworkUnavailable);
  EXPECT_EQ(adapter.host.events(), (std::vector<std::string>{"wlan adapter disabled: the virtual adapter is gone",
                                                             "wlan state idle -> unavailable (reason 12)"}));
  // Nothing starts without the adapter; the request is answered all the same, as netsh exits.
  EXPECT_TRUE(Apply("forced-start", adapter.service));
  EXPECT_EQ(adapter.service.state(), platform::kWlanHostedNetworkUnavailable);
}

// A change from a state the service is not in changes nothing, and the answer names the state
// it is in, which the controller reads back.
TEST(ServiceControlTest, AStateChangeFromAnotherStateIsRefusedNamingTheStateItIsIn) {
  wlan::test::Rig rig;
  std::string why;
  EXPECT_FALSE(Apply("state 2 1 17", rig.service, &why));
  EXPECT_EQ(why, "not done, the hosted network is idle");
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkIdle);
  EXPECT_TRUE(rig.host.events().empty());
  EXPECT_EQ(StateRefusal(platform::kWlanHostedNetworkActive), "not done, the hosted network is active");

  EXPECT_EQ(RefusedInState("error " + why), "idle");
  EXPECT_EQ(RefusedInState("error not done, the hosted network is unavailable"), "unavailable");
  EXPECT_EQ(RefusedInState("ok"), std::nullopt);
  EXPECT_EQ(RefusedInState(why), std::nullopt) << "only an error answer";
  EXPECT_EQ(RefusedInState("error notifications not delivered within 10000 ms"), std::nullopt);
  EXPECT_EQ(RefusedInState("error not done, the hosted network is gone"), std::nullopt);
}

}  // namespace
}  // namespace tethra::simrunner
