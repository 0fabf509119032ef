// The simulated mobile hotspot's control requests and `now` line, as simhotspot.dll serves and
// writes them and the stand-in controller sends and reads them: each timeline action has its one
// request line, a line of no action is refused, and the `now` line shows the service as it is
// after a machine action.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tethra/scenario/HotspotControl.h"

namespace tethra::simrunner {
namespace {

using Kind = HotspotRequest::Kind;

// A host that delivers nothing by itself: the test calls deliverNext.
struct QuietHost final : sim::IHotspotServiceHost {
  void recordCall(std::string_view, std::string_view, std::string_view) override {}
  std::optional<sim::HotspotFault> takeFault(std::string_view) override { return std::nullopt; }
  void event(std::string) override {}
  void deliveryQueued() override {}
  std::uint64_t nowMs() override { return now; }
  std::uint64_t now = 0;
};

TEST(HotspotControlTest, EveryActionHasItsOwnLineAndReadsBackAsItself) {
  std::vector<std::string> lines;
  const HotspotRequest requests[] = {{Kind::TurnOff, 0, true},           {Kind::TurnOff, 0, false},
                                     {Kind::NetworkChange},              {Kind::ClientJoin},
                                     {Kind::ClientLeave},                {Kind::TransitionThenOff, 2500, true},
                                     {Kind::TransitionThenOff, 2500, false}};
  for (const HotspotRequest& asked : requests) {
    const std::string line = HotspotRequestLine(asked);
    lines.push_back(line);
    HotspotRequest request;
    request.kind = asked.kind == Kind::TurnOff ? Kind::ClientLeave : Kind::TurnOff;  // not what it should become
    request.told = !asked.told;
    std::string why;
    ASSERT_TRUE(ParseHotspotRequest(line, request, why)) << line << ": " << why;
    EXPECT_EQ(request.kind, asked.kind) << line;
    EXPECT_EQ(request.ms, asked.ms) << line;
    EXPECT_EQ(request.told, asked.told) << line;
    ASSERT_TRUE(ParseHotspotRequest(line + "\r", request, why)) << "a CRLF line";
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"off told", "off untold", "network-change", "client join", "client leave",
                                             "transition-then-off 2500 told", "transition-then-off 2500 untold"}));
}

TEST(HotspotControlTest, OtherLinesAreRefusedWithTheirText) {
  for (const std::string line : {"", "on", "off", "client", "client join now", "state 2 1 17", " off told",
                                 "off loudly", "transition-then-off 2500", "transition-then-off told",
                                 "transition-then-off 0 told", "transition-then-off 12x untold"}) {
    HotspotRequest request;
    std::string why;
    EXPECT_FALSE(ParseHotspotRequest(line, request, why)) << line;
    EXPECT_NE(why.find(line), std::string::npos) << why;
  }
}

TEST(HotspotControlTest, TheNowLineShowsTheServiceAfterEachMachineAction) {
  QuietHost host;
  sim::SimHotspotConfig config;
  config.state = platform::TetheringState::On;
  config.config = {u"Caf\u00E9 \"1\"", u"k 2"};
  sim::SimHotspotService service(host, config, {});
  EXPECT_EQ(HotspotNowLine(service), "now hotspot state on ssid \"Caf\\u00E9 \\\"1\\\"\" key \"k 2\" clients 0 band absent "
                                     "authentication absent timeout on");

  HotspotRequest join{Kind::ClientJoin};
  ApplyToHotspot(join, service);
  ApplyToHotspot(join, service);
  EXPECT_EQ(service.clients(), 2u);
  ApplyToHotspot(HotspotRequest{Kind::ClientLeave}, service);
  ApplyToHotspot(HotspotRequest{Kind::TurnOff}, service);
  while (service.hasPendingDelivery()) service.deliverNext();
  EXPECT_EQ(HotspotNowLine(service), "now hotspot state off ssid \"Caf\\u00E9 \\\"1\\\"\" key \"k 2\" clients 1 band absent "
                                     "authentication absent timeout on");

  // A transition is told when it begins; its end, when its time has come, is not.
  ApplyToHotspot(HotspotRequest{Kind::TransitionThenOff, 700}, service);
  EXPECT_EQ(service.state(), platform::TetheringState::InTransition);
  EXPECT_EQ(service.nextDueMs(), std::optional<std::uint64_t>(700));
  while (service.hasPendingDelivery()) service.deliverNext();
  host.now = 700;
  ASSERT_TRUE(service.hasPendingDelivery());
  service.deliverNext();
  EXPECT_EQ(service.state(), platform::TetheringState::Off);
  EXPECT_FALSE(service.hasPendingDelivery());  // nobody is told
}

}  // namespace
}  // namespace tethra::simrunner
