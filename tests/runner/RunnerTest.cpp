// Whole runs of the real program on the simulated notebook, where a scenario file alone
// cannot say it: determinism over many runs, and robustness against any window message.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tethra/runner/Runner.h"

namespace tethra::simrunner {
namespace {

RunResult RunText(const std::string& text) {
  ParseError error;
  const auto scenario = ParseScenario(text, "test.scn", &error);
  EXPECT_TRUE(scenario.has_value()) << error.message();
  if (!scenario) return {};
  return RunScenario(*scenario, RunOptions{});
}

std::string Joined(const RunResult& result) {
  std::string out;
  for (const auto& line : result.lines()) out += line + "\n";
  return out;
}

TEST(RunnerTest, TheSameScenarioGivesTheSameTranscriptTwentyTimes) {
  const std::string text = std::string(DefaultScenarioText()) +
                           "when after 100 ms: station join 0A-0B-0C-0D-0E-0F\n";  // beyond the close: not reached
  const RunResult first = RunText(text);
  EXPECT_TRUE(first.allHeld) << Joined(first);
  EXPECT_GT(first.transcript.size(), 10u);
  for (int i = 1; i < 20; ++i) {
    const RunResult again = RunText(text);
    ASSERT_EQ(Joined(again), Joined(first)) << "run " << i;
  }
}

// The controller reads the name and key when a notice arrives; the contract orders the writes
// before it: "Current Key" first, then "Current SSID". Checked for the start's notice and for
// a rename's, in the program's own writes as the simulated registry saw them.
TEST(RunnerTest, EveryNoticeFollowsTheKeyThenTheNameWrittenJustBeforeIt) {
  const RunResult result = RunText(
      "policy absent\n"
      "when notice: controller writes SSID \"Workshop\" Key \"workshop-key\" Action \"SSID\"\n"
      "when after 5000 ms: post close\n"
      "expect notices 2\n");
  ASSERT_TRUE(result.allHeld) << Joined(result);
  std::vector<std::string> order;  // the program's writes of either value, and the notices
  for (const std::string& line : result.transcript) {
    if (line.find("registry set \"Current Key\"") != std::string::npos) order.push_back("key");
    if (line.find("registry set \"Current SSID\"") != std::string::npos) order.push_back("name");
    if (line.find("controller received notice") != std::string::npos) order.push_back("notice");
  }
  const std::vector<std::string> expected = {"key", "name", "notice", "key", "name", "notice"};
  EXPECT_EQ(order, expected) << Joined(result);
}

// The hotspot's verdicts, where the simulated system must judge the program and not itself.
constexpr char kHotspotMachine[] = "wlan state unavailable\nwlan adapter none\nregistry-dword UseMobileHotspot 1\n";

bool Says(const RunResult& result, const std::string& text) {
  const std::vector<std::string> lines = result.lines();
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// One whole run: its machine, timeline and expectations, which must all hold, a line its
// transcript must hold and one it must not (empty: none).
struct WholeRun {
  const char* name;
  const char* machine;
  const char* lines;
  const char* says;
  const char* saysNot;
};

const WholeRun kRuns[] = {
    {"AnEmptyCommandLineReleasesTheGuardForTheNextStart", "command-line \"\"\npolicy absent\n",
     "when after 100 ms: program start \"/ShareLAN\"\n"
     "when notice: post close\n"
     "expect exit 0\nexpect codes \"TETHRA_CLOSING\"\nexpect notices 1\n",
     "", ""},
    {"ASecondInstanceStartedWhileTheFirstRunsEndsSilently", "policy absent\n",
     "when notice: program start \"/ShareLAN\"\n"
     "when after 100 ms: mark end\n"
     "expect exit 0\nexpect window none\nexpect notices 1\nexpect codes none\n",
     "", ""},
    {"AnInstanceThatEndsAtOnceSaysNothingOfTheOneStillRunningTheHotspot", kHotspotMachine,
     "when notice: program start \"/ShareLAN\"\n"
     "when after 100 ms: mark end\n"
     "expect exit 0\nexpect hotspot state on\n",
     "", "hotspot after the end"},
    {"AnOperationAnEndedInstanceLeftIsNoViolationOfTheNext", kHotspotMachine,
     "fault hotspot start late 20000 ignores-cancel times 1\n"
     "when after 1000 ms: post close\n"
     "when after 7000 ms: program start \"/ShareLAN\"\n"
     "when after 100 ms: mark end\n",
     "process \"tethra\" exited with code 0", "hotspot contract:"},
    {"ALateOperationEndsWhenItsTimeComesWithNothingElseToWakeTheSystem", kHotspotMachine,
     "fault hotspot start late 1000\n"
     "when after 30000 ms: post close\n"
     "expect notices 1\n",
     "[   1000 ms] hotspot start completed: success", ""},
    {"ATransitionBegunWhileTheHotspotWasOffEndsWithTheStartThatFollows", kHotspotMachine,
     "fault hotspot start late 1000\n"
     "when window: hotspot transition-then-off 3000 told\n"
     "when after 10000 ms: post close\n"
     "expect codes \"TETHRA_CLOSING\"\nexpect hotspot calls stop 1\n"
     "expect hotspot state off\n",
     "", ""},
};

void PrintTo(const WholeRun& run, std::ostream* out) { *out << run.name; }

class RunnerRunTest : public testing::TestWithParam<WholeRun> {};

TEST_P(RunnerRunTest, Holds) {
  const WholeRun& run = GetParam();
  const RunResult result = RunText(std::string(run.machine) + run.lines);
  EXPECT_TRUE(result.allHeld) << Joined(result);
  if (*run.says != '\0') {
    EXPECT_TRUE(Says(result, run.says)) << Joined(result);
  }
  if (*run.saysNot != '\0') {
    EXPECT_FALSE(Says(result, run.saysNot)) << Joined(result);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, RunnerRunTest, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<WholeRun>& info) { return std::string(info.param.name); });

// Every message number that does not end the program by design, posted with zero
// parameters, in the running state and in the failed state: the program stays up, then a
// posted close still ends it cleanly.
std::string NoiseScenario(const std::string& machine) {
  const std::set<unsigned> ending = {0x0010 /*WM_CLOSE*/, 0x0012 /*WM_QUIT*/, 0x0016 /*WM_ENDSESSION*/,
                                     0x0111 /*WM_COMMAND: IDOK/IDCANCEL end the dialog*/};
  std::string text = machine + "when ready: mark start\n";
  for (unsigned m = 0; m < 0x0400; ++m) {
    if (ending.count(m) != 0) continue;
    text += "when after 1 ms: post message " + std::to_string(m) + " 0 0\n";
  }
  for (unsigned w : {0u, 1u, 7u, 10u, 0x8000u, 0x8004u, 0xFFFFu}) {
    text += "when after 1 ms: post message 0x0218 " + std::to_string(w == 0x12 ? 0 : w) + " 0\n";  // power
    text += "when after 1 ms: post message 0x0219 " + std::to_string(w) + " 0\n";                  // device change
    text += "when after 1 ms: post message 0x8001 " + std::to_string(w) + " 0\n";                  // notifications
  }
  for (unsigned w : {0u, 3u, 4u, 7u, 8u, 9u}) text += "when after 1 ms: post message 0x02B1 " + std::to_string(w) + " 0\n";
  text += "when after 100 ms: post close\nexpect exit 0\n";
  return text;
}

// Windows gives a suspend's handler about two seconds: with a controller whose thread never
// answers, the suspend's code is given up within them, while other codes wait their 5 s.
TEST(RunnerTest, ASuspendsCodeIsGivenUpWithinTheTimeWindowsGivesItsHandler) {
  ParseError error;
  const auto scenario = ParseScenario(
      "controller hangs\npolicy absent\n"
      "when after 20000 ms: power suspend\n"
      "when after 3000 ms: power resume\n"
      "expect exit 0\n",
      "test.scn", &error);
  ASSERT_TRUE(scenario.has_value()) << error.message();
  const RunResult result = RunScenario(*scenario, RunOptions{true});
  EXPECT_TRUE(result.allHeld) << Joined(result);
  auto stamp = [](const std::string& line) { return std::stoll(line.substr(1, line.find(']') - 1)); };
  std::optional<long long> suspendedAt;
  std::vector<long long> sendsGivenUpAfter;  // ms from the suspend, for each send made after it
  for (const std::string& line : result.transcript) {
    if (line.find("power suspend") != std::string::npos) suspendedAt = stamp(line);
    if (suspendedAt && line.find("SendMessageTimeout(") != std::string::npos) {
      sendsGivenUpAfter.push_back(stamp(line) - *suspendedAt);
    }
  }
  ASSERT_TRUE(suspendedAt.has_value()) << Joined(result);
  ASSERT_EQ(sendsGivenUpAfter.size(), 2u) << Joined(result);  // the suspend's code, then the close's
  EXPECT_LT(sendsGivenUpAfter[0], 2000) << Joined(result);
  EXPECT_GE(sendsGivenUpAfter[1], 3000 + 5000) << Joined(result);
}

TEST(RunnerTest, NoWindowMessageUpsetsARunningProgram) {
  const RunResult result = RunText(NoiseScenario("policy absent\n"));
  EXPECT_TRUE(result.allHeld) << Joined(result);
}

TEST(RunnerTest, NoWindowMessageUpsetsAProgramWhoseStartFailed) {
  const RunResult result = RunText(NoiseScenario("policy absent\nwlan supported no\n"));
  EXPECT_TRUE(result.allHeld) << Joined(result);
}

// 10,000 controller writes, one every millisecond, through and past an ssid command (some of
// them ssid commands again): the program neither crashes nor hangs, and the close written last
// always ends it, silently.
TEST(RunnerTest, AFloodOfControllerWritesNeverLosesTheCloseWrittenLast) {
  std::string text =
      "policy absent\n"
      "when notice: controller writes SSID \"Workshop\" Key \"workshop-key\" Action \"ssid\"\n";
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 1000 == 999) {
      text += "when after 1 ms: controller writes SSID \"Net" + n + "\" Action \"ssid\"\n";
    } else {
      text += "when after 1 ms: controller writes Key \"flood-key-" + n + "\"\n";
    }
  }
  text += "when after 1 ms: controller writes Action \"close\"\nexpect exit 0\nexpect codes none\n";
  const RunResult result = RunText(text);
  EXPECT_TRUE(result.allHeld) << Joined(result);
}

}  // namespace
}  // namespace tethra::simrunner
