// The machine statements as the simulated services take them, on both platforms: the sharing
// service's connections (the default pair when none is given) and the planted sharing faults.
#include <gtest/gtest.h>

#include "sim-runner/MachineConfig.h"
#include "sim-runner/Text.h"

namespace tethra::simrunner {
namespace {

Machine MachineOf(const std::string& text) {
  ParseError error;
  const auto s = ParseScenario(text, "t.scn", &error);
  EXPECT_TRUE(s) << error.message();
  return s ? s->machine : Machine{};
}

TEST(SharingConfig, WithoutConnectionLinesTheNotebookHasEthernetAndTheHostedNetworksConnection) {
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

TEST(SharingConfig, ConnectionLinesReplaceTheDefaultInFileOrder) {
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

TEST(FaultPlanOf, SharingFaultsHitTheirOperationForTheirCount) {
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
