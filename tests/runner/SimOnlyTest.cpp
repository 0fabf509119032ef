// Which statements need the simulated notebook: in a Wine prefix with the services planted a
// file runs unless it needs the simulated allocator, scheduler, registry faults or code page;
// on a real notebook the statements about simulated services are skipped and the rest runs.
#include "tethra/scenario/SimOnly.h"

#include <gtest/gtest.h>

namespace tethra::simrunner {
namespace {

Scenario Parse(const std::string& text) {
  ParseError error;
  auto scenario = ParseScenario(text, "t.scn", &error);
  EXPECT_TRUE(scenario) << error.message();
  return scenario.value_or(Scenario{});
}

std::vector<int> Lines(const std::vector<SimOnlyStatement>& found) {
  std::vector<int> lines;
  for (const auto& f : found) lines.push_back(f.line);
  return lines;
}

TEST(SimOnlyTest, APlantedPrefixRunsEveryServiceStatement) {
  const std::string text =
      "admin no\n"
      "wlan state active\n"
      "connection name \"E\" device \"D\" guid {5A1E0002-0000-4000-8000-00000000E001}\n"
      "fault ics enable-public 0x80004005\n"
      "fault wlan WlanHostedNetworkStartUsing 5\n"
      "when notice: wlan state active -> idle reason 17\n"
      "when after 60000 ms: post close\n"
      "expect wlan calls WlanOpenHandle 1\n";
  EXPECT_TRUE(SimOnlyStatements(Parse(text), text, WindowsMachine::Planted).empty());
}

TEST(SimOnlyTest, TheSimulatorsOwnPartsAreNamedWithTheirReasonMachineFirst) {
  const std::string text =
      "policy absent\n"
      "when after 60001 ms: mark end\n"
      "fault alloc sink\n"
      "  codepage 65001  # comment\n"
      "fault registry-write\n"
      "expect wake-ups 0\n"
      "expect ics calls task-mem-free 12\n"
      "expect ics calls free-properties 2\n";
  const auto found = SimOnlyStatements(Parse(text), text, WindowsMachine::Planted);
  EXPECT_EQ(Lines(found), (std::vector<int>{3, 5, 6, 7, 2}));
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(found[0].statement, "fault alloc sink");
  EXPECT_EQ(found[1].statement, "fault registry-write");
  EXPECT_EQ(found[2].why, "wake-ups are counted by the simulated scheduler");
  EXPECT_EQ(found[4].why, "waits 60 s of real time");
}

TEST(SimOnlyTest, ARealNotebookSkipsWhatNeedsASimulatedServiceAndRunsTheRest) {
  const std::string text =
      "command-line \"/ShareWLAN\"\n"
      "wlan key \"abcdefgh\"\n"
      "policy absent\n"
      "registry \"ShareConnection\" \"Ethernet\"\n"
      "when notice: station join 00-1A-2B-3C-4D-5E\n"
      "when after 500 ms: post close\n"
      "expect exit 0\n"
      "expect wlan state idle\n"
      "expect ics calls disable 2\n"
      "expect codes \"TETHRA_CLOSING\"\n"
      "hotspot ssid \"Own\"\n"
      "when notice: hotspot off told\n"
      "expect hotspot state off\n";
  const Scenario scenario = Parse(text);
  const auto skipped = SimOnlyStatements(scenario, text, WindowsMachine::Real);
  EXPECT_EQ(Lines(skipped), (std::vector<int>{2, 3, 11, 8, 9, 13, 5, 12}));
  const Scenario kept = WithoutSkipped(scenario, skipped);
  ASSERT_EQ(kept.timeline.size(), 1u);
  EXPECT_EQ(kept.timeline[0].line, 6);
  ASSERT_EQ(kept.expectations.size(), 2u);
  EXPECT_EQ(kept.expectations[0].line, 7);
  EXPECT_EQ(kept.expectations[1].line, 10);
  EXPECT_EQ(kept.machine.commandLine, u"/ShareWLAN");
}

// The documented WLAN and sharing machines: the planted services carry out every one of their
// statements; a real notebook's own services are left alone.
TEST(SimOnlyTest, TheDocumentedMachinesNeedNoSimulatorButAreSkippedOnARealNotebook) {
  const std::string text =
      "wlan first-use\n"
      "wlan host-name \"NB\"\n"
      "wlan supported unavailable\n"
      "wlan disallowed\n"
      "netsh exit 1 after-start\n"
      "connection name \"D\" device \"X\" guid {5A1E0002-0000-4000-8000-00000000E0D0} shared public absent\n"
      "when notice: wlan forced-start\n"
      "when after 100 ms: wlan radio off\n"
      "when after 100 ms: wlan adapter disabled\n"
      "when after 100 ms: power suspend\n"
      "when after 100 ms: wlan state idle -> active reason 0\n"
      "expect exit 0\n";
  const Scenario scenario = Parse(text);
  EXPECT_TRUE(SimOnlyStatements(scenario, text, WindowsMachine::Planted).empty());
  const auto skipped = SimOnlyStatements(scenario, text, WindowsMachine::Real);
  EXPECT_EQ(Lines(skipped), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
  const Scenario kept = WithoutSkipped(scenario, skipped);
  ASSERT_EQ(kept.timeline.size(), 1u);
  EXPECT_EQ(kept.timeline[0].line, 10) << "the suspend is the real machine's broadcast";
}

}  // namespace
}  // namespace tethra::simrunner
