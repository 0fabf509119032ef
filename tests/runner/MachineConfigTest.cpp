// The machine statements as the simulated services take them, on both platforms: the sharing
// service's connections (the default pair when none is given) and the planted sharing faults.
#include <gtest/gtest.h>

#include "tethra/scenario/MachineConfig.h"
#include "tethra/scenario/Text.h"

namespace tethra::simrunner {
namespace {

using sim::text::FormatGuid;

Machine MachineOf(const std::string& text) {
  ParseError error;
  const auto s = ParseScenario(text, "t.scn", &error);
  EXPECT_TRUE(s) << error.message();
  return s ? s->machine : Machine{};
}

TEST(SharingConfigTest, WithoutConnectionLinesTheNotebookHasEthernetAndTheHostedNetworksConnection) {
  const sim::SimSharingConfig c = SharingConfig(MachineOf("wlan adapter {5A1E0001-0000-4000-8000-0000000000AA}\n"));
  ASSERT_EQ(c.connections.size(), 2u);
  EXPECT_EQ(c.connections[0].name, u"Ethernet");
  EXPECT_EQ(c.connections[0].deviceName, u"Simulated Ethernet Adapter");
  EXPECT_EQ(FormatGuid(c.connections[0].guid), "{5A1E0002-0000-4000-8000-00000000E001}");
  EXPECT_EQ(c.connections[1].name, u"Wireless Network Connection 2");
  EXPECT_EQ(c.connections[1].deviceName, u"Microsoft Virtual WiFi Miniport Adapter");
  // The hosted network's connection follows the WLAN adapter, also when there is none.
  EXPECT_EQ(FormatGuid(c.connections[1].guid), "{5A1E0001-0000-4000-8000-0000000000AA}");
  EXPECT_EQ(FormatGuid(SharingConfig(MachineOf("wlan adapter none\n")).connections[1].guid),
            "{00000000-0000-0000-0000-000000000000}");
  for (const auto& connection : c.connections) {
    EXPECT_EQ(connection.role, sim::SimSharingRole::Off);
    EXPECT_TRUE(connection.supported);
  }
  EXPECT_TRUE(c.installed);
}

TEST(SharingConfigTest, ConnectionLinesReplaceTheDefaultInFileOrder) {
  const sim::SimSharingConfig c = SharingConfig(MachineOf(
      "connection name \"B\" device \"Dev B\" guid {5A1E0002-0000-4000-8000-00000000E002} shared private unsupported\n"
      "connection name \"A\" device \"Dev A\" guid {5A1E0002-0000-4000-8000-00000000E001} shared public\n"
      "sharing installed no\n"
      "netshell no-export\n"));
  ASSERT_EQ(c.connections.size(), 2u);
  EXPECT_EQ(c.connections[0].name, u"B");
  EXPECT_EQ(c.connections[0].role, sim::SimSharingRole::Private);
  EXPECT_FALSE(c.connections[0].supported);
  EXPECT_EQ(c.connections[1].name, u"A");
  EXPECT_EQ(c.connections[1].role, sim::SimSharingRole::Public);
  EXPECT_TRUE(c.connections[1].supported);
  EXPECT_FALSE(c.installed);
  EXPECT_EQ(c.netshell, sim::SimSharingConfig::Netshell::NoExport);
}

TEST(FaultPlanOfTest, SharingFaultsHitTheirOperationForTheirCount) {
  sim::FaultPlan plan = FaultPlanOf(MachineOf("fault ics enable-private 0x80004005 times 2\nfault ics-grow\n"));
  EXPECT_FALSE(plan.take("ics", "enable-public"));
  for (int i = 0; i < 2; ++i) {
    const auto rule = plan.take("ics", "enable-private");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->code, 0x80004005);
  }
  EXPECT_FALSE(plan.take("ics", "enable-private"));
  EXPECT_TRUE(plan.take("ics-grow", ""));
}

}  // namespace
}  // namespace tethra::simrunner

namespace tethra::simrunner {
namespace {

// From the text of the hotspot statements to what the simulated hotspot is given, every form.
TEST(HotspotConfigTest, StatementsReachTheServiceAndItsFaults) {
  ParseError error;
  const auto s = ParseScenario(
      "hotspot state on\nhotspot ssid \"Own\"\nhotspot key \"own-passphrase\"\nhotspot clients 2\n"
      "hotspot profile none\nhotspot absent\n"
      "fault hotspot start wifi-off times 1\nfault hotspot stop hangs\nfault hotspot create 0x80040154\n"
      "when ready: hotspot off told\nwhen ready: hotspot network-change\nwhen ready: hotspot client join\n"
      "when ready: hotspot client leave\n"
      "expect hotspot state on\nexpect hotspot ssid \"Own\"\nexpect hotspot key \"k\"\n"
      "expect hotspot calls configure 2\n",
      "t.scn", &error);
  ASSERT_TRUE(s) << error.message();
  const sim::SimHotspotConfig config = HotspotConfigOf(s->machine.hotspot);
  EXPECT_FALSE(config.present);
  EXPECT_FALSE(config.profiles);
  EXPECT_EQ(config.state, platform::TetheringState::On);
  EXPECT_EQ(config.config, (platform::AccessPointConfig{u"Own", u"own-passphrase", platform::TetheringBand::Auto}));
  EXPECT_EQ(config.clients, 2u);

  sim::FaultPlan plan = FaultPlanOf(s->machine);
  const auto take = [&plan](const char* operation) {
    const auto rule = plan.take("hotspot", operation);
    return rule ? std::optional(sim::HotspotFaultOf(rule->code, rule->extra)) : std::nullopt;
  };
  const auto start = take("start");
  ASSERT_TRUE(start);
  EXPECT_EQ(start->status, platform::TetheringStatus::WiFiDeviceOff);
  EXPECT_EQ(start->result, platform::kS_OK);
  EXPECT_FALSE(take("start"));  // times 1
  ASSERT_TRUE(take("stop"));
  EXPECT_TRUE(take("stop")->hangs);
  EXPECT_EQ(take("create")->result, platform::kHotspotClassNotRegistered);
  EXPECT_FALSE(take("configure"));

  const Action::Kind actions[] = {Action::Kind::HotspotOff, Action::Kind::HotspotNetworkChange,
                                  Action::Kind::HotspotClientJoin, Action::Kind::HotspotClientLeave};
  ASSERT_EQ(s->timeline.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(s->timeline[i].action.kind, actions[i]);
  ASSERT_EQ(s->expectations.size(), 4u);
  EXPECT_EQ(s->expectations[0].word, "on");
  EXPECT_EQ(s->expectations[3].kind, Expectation::Kind::HotspotCalls);
  EXPECT_EQ(s->expectations[3].word, "configure");

  for (const char* bad : {"fault hotspot start wifi-of\n", "fault hotspot begin 5\n", "hotspot state maybe\n",
                          "expect hotspot state idle\n", "when ready: hotspot client arrive\n"}) {
    EXPECT_FALSE(ParseScenario(bad, "t.scn", &error)) << bad;
  }
}

// Band and authentication kind: each value the enumerations list, or absent (a system without
// it), for the machine and for the expectations; anything else is refused.
TEST(HotspotConfigTest, BandAndAuthenticationKindReachTheServiceOrTheSystemLacksThem) {
  ParseError error;
  auto s = ParseScenario("hotspot band 6ghz\nhotspot authentication wpa3-transition\n"
                         "expect hotspot band 6ghz\nexpect hotspot authentication absent\n",
                         "t.scn", &error);
  ASSERT_TRUE(s) << error.message();
  sim::SimHotspotConfig config = HotspotConfigOf(s->machine.hotspot);
  EXPECT_EQ(config.config.band, platform::TetheringBand::SixGigahertz);
  EXPECT_EQ(config.config.authentication, platform::TetheringAuthentication::Wpa3TransitionMode);
  ASSERT_EQ(s->expectations.size(), 2u);
  EXPECT_EQ(s->expectations[0].kind, Expectation::Kind::HotspotBand);
  EXPECT_EQ(s->expectations[1].word, "absent");

  s = ParseScenario("hotspot band absent\n", "t.scn", &error);
  ASSERT_TRUE(s) << error.message();
  config = HotspotConfigOf(s->machine.hotspot);
  EXPECT_FALSE(config.config.band);
  EXPECT_FALSE(config.config.authentication) << "by default a system before Windows 11 24H2";
  EXPECT_EQ(HotspotConfigOf(HotspotMachine{}).config.band, platform::TetheringBand::Auto);

  for (const char* bad : {"hotspot band 7ghz\n", "hotspot band\n", "hotspot authentication wep\n",
                          "expect hotspot band 2.4\n", "expect hotspot authentication wpa4\n"}) {
    EXPECT_FALSE(ParseScenario(bad, "t.scn", &error)) << bad;
  }
}

}  // namespace
}  // namespace tethra::simrunner
