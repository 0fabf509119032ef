// The scenario parser: every form is read as written; a malformed statement refuses the whole
// file with its line and reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/scenario/Scenario.h"
#include "tethra/scenario/Text.h"

namespace tethra::simrunner {
namespace {

using sim::text::FormatGuid;

std::optional<Scenario> Parse(const std::string& text, ParseError* error = nullptr) {
  ParseError ignored;
  return ParseScenario(text, "t.scn", error != nullptr ? error : &ignored);
}

std::string Refusal(const std::string& text) {
  ParseError error;
  EXPECT_FALSE(Parse(text, &error).has_value()) << text;
  return error.message();
}

TEST(ScenarioParserTest, DefaultsDescribeANotebookWhereEverythingWorks) {
  const auto s = Parse("");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->machine.commandLine, u"/ShareLAN");
  EXPECT_TRUE(s->machine.controllerPresent);
  EXPECT_TRUE(s->machine.admin);
  EXPECT_EQ(s->machine.policy, Machine::Policy::Present);
  EXPECT_EQ(s->machine.codePage, 1252u);
  EXPECT_EQ(s->machine.wlan.state, 1u);
  EXPECT_EQ(*s->machine.wlan.ssidText, u"TethraNet");
  EXPECT_EQ(s->machine.wlan.key, u"tethra-secret");
  EXPECT_EQ(s->machine.wlan.maxPeers, 100u);
  EXPECT_EQ(FormatGuid(s->machine.wlan.adapter), "{5A1E0001-0000-4000-8000-00000000AD01}");
}

TEST(ScenarioParserTest, MachineStatements) {
  const auto s = Parse(
      "command-line \"\"  # comment\n"
      "controller absent\n"
      "admin no\n"
      "policy value-string \"1\"\n"
      "codepage 65001\n"
      "other-instance yes\n"
      "wlan supported no\n"
      "wlan state active\n"
      "wlan ssid-bytes 54657374\n"
      "wlan key none\n"
      "wlan max-peers 0x10\n"
      "wlan adapter none\n"
      "wlan peer 00-1A-2B-3C-4D-5E\n"
      "registry \"Current SSID\" \"a\\\"b\\\\c\\n\\u00e9\"\n"
      "registry-dword Action 1\n"
      "registry-raw Key 4100\n"
      "registry-missing-key\n"
      "netsh exit 3\n"
      "fault wlan WlanHostedNetworkStartUsing 5 times 2\n"
      "fault wlan-query 0 size 36\n"
      "fault wlan-query 1 none\n"
      "fault alloc record\n"
      "fault registry-write\n");
  ASSERT_TRUE(s);
  const Machine& m = s->machine;
  EXPECT_EQ(m.commandLine, u"");
  EXPECT_FALSE(m.controllerPresent);
  EXPECT_FALSE(m.admin);
  EXPECT_EQ(m.policy, Machine::Policy::ValueString);
  EXPECT_EQ(m.codePage, 65001u);
  EXPECT_TRUE(m.otherInstance);
  EXPECT_FALSE(m.wlan.supported);
  EXPECT_EQ(m.wlan.state, 2u);
  EXPECT_FALSE(m.wlan.ssidText);
  EXPECT_EQ(m.wlan.ssidBytes, (std::vector<std::uint8_t>{0x54, 0x65, 0x73, 0x74}));
  EXPECT_EQ(m.wlan.keyKind, WlanMachine::KeyKind::None);
  EXPECT_EQ(m.wlan.maxPeers, 16u);
  EXPECT_TRUE(m.wlan.adapter.isZero());
  ASSERT_EQ(m.wlan.peers.size(), 1u);
  EXPECT_EQ(m.wlan.peers[0][5], 0x5E);
  ASSERT_EQ(m.registry.size(), 3u);
  EXPECT_EQ(m.registry[0].name, u"Current SSID");
  EXPECT_EQ(m.registry[0].text, u"a\"b\\c\n\u00e9");
  EXPECT_EQ(m.registry[1].dword, 1u);
  EXPECT_EQ(m.registry[2].raw, (std::vector<std::uint8_t>{0x41, 0x00}));
  EXPECT_FALSE(m.registryKeyPresent);
  EXPECT_EQ(m.netsh, Machine::Netsh::Exit);
  EXPECT_EQ(m.netshExitCode, 3u);
  ASSERT_EQ(m.faults.size(), 5u);
  EXPECT_EQ(m.faults[0].times, 2);
  EXPECT_EQ(m.faults[1].size, 36);
  EXPECT_EQ(m.faults[2].size, -1);
  EXPECT_EQ(m.faults[3].operation, "record");
}

TEST(ScenarioParserTest, TimelineTriggersAndActions) {
  const auto s = Parse(
      "when ready: controller writes SSID \"N\" Key \"K\" Action \"ssid\"\n"
      "when code \"SHARED_STOPPED_S3_S4\": power resume\n"
      "when notice: wlan state active -> idle reason 17\n"
      "when after 250 ms: station join 0A-0B-0C-0D-0E-0F\n"
      "when idle: device removed \"\\\\\\\\?\\\\PCI#X\"\n"
      "when idle: session console-disconnect\n"
      "when idle: click enable-ics\n"
      "when idle: wlan notify-raw 4096 16\n");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->timeline.size(), 8u);
  EXPECT_EQ(s->timeline[0].action.writes.size(), 3u);
  EXPECT_EQ(s->timeline[0].action.writes[2].second, u"ssid");
  EXPECT_EQ(s->timeline[1].trigger.code, u"SHARED_STOPPED_S3_S4");
  EXPECT_EQ(s->timeline[1].action.wParam, 0x12u);
  EXPECT_EQ(s->timeline[2].action.reason, 17u);
  EXPECT_EQ(s->timeline[3].trigger.afterMs, 250u);
  EXPECT_EQ(s->timeline[3].action.kind, Action::Kind::StationJoin);
  EXPECT_TRUE(s->timeline[4].action.flag);  // removed
  EXPECT_EQ(s->timeline[4].action.text, u"\\\\?\\PCI#X");
  EXPECT_EQ(s->timeline[5].action.wParam, 2u);
  EXPECT_EQ(s->timeline[6].action.controlId, 1009);
  EXPECT_EQ(s->timeline[7].action.size, 16u);
  EXPECT_EQ(s->timeline[3].line, 4);
}

TEST(ScenarioParserTest, Expectations) {
  const auto s = Parse(
      "expect exit 0\nexpect codes \"A\" \"B\"\nexpect codes none\nexpect wlan calls WlanOpenHandle 1\n"
      "expect registry-absent \"Current Key\"\nexpect edit key \"k\"\nexpect window none\n");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->expectations.size(), 7u);
  EXPECT_EQ(s->expectations[1].texts, (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_TRUE(s->expectations[2].texts.empty());
  EXPECT_EQ(s->expectations[3].kind, Expectation::Kind::WlanCalls);
  EXPECT_EQ(s->expectations[3].word, "WlanOpenHandle");
  EXPECT_EQ(s->expectations[5].kind, Expectation::Kind::EditKey);
  EXPECT_EQ(s->expectations[6].kind, Expectation::Kind::WindowNone);
}

TEST(ScenarioParserTest, RefusesMalformedStatementsWithLineAndReason) {
  EXPECT_EQ(Refusal("policy absent\n\nfrobnicate\n"), "t.scn:3: unknown statement `frobnicate`");
  EXPECT_NE(Refusal("command-line \"x\n").find("t.scn:1: a text is not closed"), std::string::npos);
  EXPECT_NE(Refusal("registry A \"\\q\"\n").find("unknown escape \\q"), std::string::npos);
  EXPECT_NE(Refusal("wlan adapter {1234}\n").find("expected a GUID"), std::string::npos);
  EXPECT_NE(Refusal("wlan peer 00-1A-2B\n").find("expected a MAC address"), std::string::npos);
  EXPECT_NE(Refusal("when ready post close\n").find("expected `:`"), std::string::npos);
  EXPECT_NE(Refusal("when after 5: post close\n").find("expected `ms`"), std::string::npos);
  EXPECT_NE(Refusal("expect exit zero\n").find("a number"), std::string::npos);
  EXPECT_NE(Refusal("admin yes please\n").find("unexpected `please`"), std::string::npos);
  EXPECT_NE(Refusal("codepage 437\n").find("1252 and 65001"), std::string::npos);
  EXPECT_NE(Refusal("fault alloc heap\n").find("unknown allocation site"), std::string::npos);
  EXPECT_NE(Refusal("fault wlan WlanOpenHandle 5 times 0\n").find("from 1 to 10000"), std::string::npos);
}

// Every number of the format, at and just beyond both ends of its range: the ends are read, one
// beyond is refused naming the line (the simulated machine could not honour it).
TEST(ScenarioParserTest, EveryNumberIsHeldToItsRange) {
  struct Field {
    const char* statement;  // `N` stands for the number
    std::int64_t low, high;
  };
  constexpr std::int64_t kDword = 0xFFFFFFFF;
  const Field fields[] = {
      {"policy value N", 0, kDword},
      {"registry-dword V N", 0, kDword},
      {"netsh exit N", 0, kDword},
      {"wlan max-peers N", 1, kDword},
      {"hotspot clients N", 0, 8},
      {"fault wlan WlanOpenHandle N", 0, kDword},
      {"fault wlan-query N none", 0, 3},
      {"fault wlan-query 0 size N", 0, 65536},
      {"fault registry-write skip N", 0, 10000},
      {"fault ics create N", -0x80000000LL, kDword},
      {"fault hotspot start N", -0x80000000LL, kDword},
      {"fault ics create 5 times N", 1, 10000},
      {"when after N ms: post close", 0, 86400000},
      {"when ready: wlan state idle -> active reason N", 0, kDword},
      {"when ready: wlan notify-raw N 64", 0, kDword},
      {"when ready: wlan notify-raw 5000 N", 0, 65536},
      {"when ready: power other N", 0, kDword},
      {"when ready: post message N 0 0", 0, kDword},
      {"when ready: post message 16 N 0", 0, INT64_MAX},
      {"expect exit N", 0, kDword},
      {"expect wake-ups N", 0, 1000000},
      {"expect notices N", 0, 1000000},
      {"expect netsh runs N", 0, 1000000},
      {"expect wlan max-peers N", 1, kDword},
      {"expect wlan calls WlanOpenHandle N", 0, 1000000},
      {"expect ics calls create N", 0, 1000000},
      {"expect hotspot calls start N", 0, 1000000},
  };
  auto with = [](std::string statement, std::int64_t n) {
    return "# line 1\n" + statement.replace(statement.find('N'), 1, std::to_string(n)) + "\n";
  };
  for (const Field& f : fields) {
    EXPECT_TRUE(Parse(with(f.statement, f.low))) << f.statement << " with " << f.low;
    EXPECT_TRUE(Parse(with(f.statement, f.high))) << f.statement << " with " << f.high;
    const std::string range = "from " + std::to_string(f.low) + " to " + std::to_string(f.high) + ", found `";
    std::vector<std::int64_t> beyond{f.low - 1};
    if (f.high < INT64_MAX) beyond.push_back(f.high + 1);  // past INT64_MAX is no number (below)
    for (const std::int64_t n : beyond) {
      const std::string refusal = Refusal(with(f.statement, n));
      EXPECT_EQ(refusal.rfind("t.scn:2: ", 0), 0U) << refusal;
      EXPECT_NE(refusal.find(range + std::to_string(n) + "`"), std::string::npos) << refusal;
    }
  }
  EXPECT_NE(Refusal("when ready: post message 16 9223372036854775808 0\n").find("(a number)"), std::string::npos);
}

// Counted in the scenario's code page, which may come after the name.
TEST(ScenarioParserTest, AnSsidHoldsAtMostThirtyTwoBytes) {
  // Once made, the service's settings always have a name: an empty one is no machine of Windows'.
  EXPECT_NE(Refusal("wlan ssid \"\"\n").find("the service always holds a name"), std::string::npos);
  EXPECT_TRUE(Parse("wlan ssid \"" + std::string(32, 'a') + "\"\n"));
  EXPECT_EQ(Refusal("\nwlan ssid \"" + std::string(33, 'a') + "\"\n"),
            "t.scn:2: an SSID holds at most 32 bytes; this one needs 33 in code page 1252");
  std::string e16;
  for (int i = 0; i < 16; ++i) e16 += "\u00E9";
  EXPECT_TRUE(Parse("wlan ssid \"" + e16 + "\"\ncodepage 65001\n"));
  EXPECT_EQ(Refusal("wlan ssid \"" + e16 + "\u00E9\"\ncodepage 65001\n"),
            "t.scn:1: an SSID holds at most 32 bytes; this one needs 34 in code page 65001");
  EXPECT_NE(Refusal("wlan ssid-bytes " + std::string(66, '4') + "\n").find("at most 32 bytes"), std::string::npos);
  EXPECT_NE(Refusal("fault hotspot configuration radio-restriction\n").find("only a start or a stop"), std::string::npos);
  EXPECT_NE(Refusal("fault hotspot state wifi-off\n").find("only a start or a stop"), std::string::npos);
  // Nor does the hotspot hold a configuration it would refuse to take back.
  for (const std::string statement : {"hotspot ssid \"\"", "hotspot ssid \" Cafe\"", "hotspot key \" spaced \"",
                                      "hotspot key \"short\"", "hotspot key \"caf\u00E9-secret\""}) {
    EXPECT_NE(Refusal(statement + "\n").find("neither first nor last a space"), std::string::npos) << statement;
  }
}

TEST(ScenarioParserTest, SharingStatements) {
  const auto s = Parse(
      "connection name \"E\" device \"D\" guid {5A1E0002-0000-4000-8000-00000000E001} shared public\n"
      "connection name \"W\" device \"V\" guid {5A1E0001-0000-4000-8000-00000000AD01} unsupported\n"
      "sharing installed no\nnetshell no-export\n"
      "fault ics enable-private 0x80004005 times 11\nfault ics-grow\nfault alloc snapshot\n"
      "expect sharing public \"E\" private \"W\"\nexpect sharing none\n"
      "expect ics calls create 11\nexpect ics released\n");
  ASSERT_TRUE(s);
  const SharingMachine& sharing = s->machine.sharing;
  ASSERT_EQ(sharing.connections.size(), 2u);
  EXPECT_EQ(sharing.connections[0].role, ConnectionSpec::Role::Public);
  EXPECT_TRUE(sharing.connections[0].supported);
  EXPECT_EQ(sharing.connections[1].role, ConnectionSpec::Role::Off);
  EXPECT_FALSE(sharing.connections[1].supported);
  EXPECT_FALSE(sharing.installed);
  EXPECT_EQ(sharing.netshell, SharingMachine::Netshell::NoExport);
  ASSERT_EQ(s->machine.faults.size(), 3u);
  EXPECT_EQ(s->machine.faults[0].code, 0x80004005);
  EXPECT_EQ(s->machine.faults[0].times, 11);
  EXPECT_EQ(s->machine.faults[1].target, "ics-grow");
  ASSERT_EQ(s->expectations.size(), 4u);
  EXPECT_EQ(s->expectations[0].texts[1], u"W");
  EXPECT_EQ(s->expectations[1].kind, Expectation::Kind::SharingNone);
  EXPECT_EQ(s->expectations[2].word, "create");
  EXPECT_EQ(s->expectations[3].kind, Expectation::Kind::IcsReleased);

  EXPECT_NE(Refusal("fault ics enable 0x80004005\n").find("unknown sharing operation `enable`"), std::string::npos);
  EXPECT_NE(Refusal("connection name \"E\" device \"D\" guid {1}\n").find("expected a GUID"), std::string::npos);
  EXPECT_NE(Refusal("netshell broken\n").find("t.scn:1: expected `netshell missing`"), std::string::npos);
  EXPECT_NE(Refusal("expect sharing public \"E\"\n").find("expected `private`"), std::string::npos);
  EXPECT_EQ(Refusal("fault ics next 0\n"),
            "t.scn:1: `fault ics next 0` never lets the enumeration end: give it `times N`");
  EXPECT_TRUE(Parse("fault ics next 0 times 3\nfault ics next 0x80004005\nfault ics next 1\n"));
}

}  // namespace
}  // namespace tethra::simrunner
