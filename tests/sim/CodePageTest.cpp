// Code-page conversion: the edge cases the WLAN layer relies on (default char, UTF-8 argument
// rules, measuring, buffer sizes) and the per-process last error.
#include <gtest/gtest.h>

#include <utility>

#include "tethra/sim/CodePage.h"
#include "tethra/sim/World.h"

namespace {

using tethra::platform::Bool32;
using tethra::sim::CodePageConverter;
namespace p = tethra::platform;

// A conversion's converted size and error, compared in one expectation.
std::pair<int, p::Win32Error> Outcome(const CodePageConverter::Result& r) { return {r.value, r.error}; }
std::pair<int, p::Win32Error> Failure(p::Win32Error reason) { return {0, reason}; }

TEST(CodePage1252Test, MapsHighRangeAndUsesDefaultCharForTheRest) {
  CodePageConverter cp(1252);
  const char16_t text[] = u"A\u20AC\u00E9\u4E2D";
  char out[8] = {};
  Bool32 used = -1;
  EXPECT_EQ(cp.toMultiByte(p::kCP_ACP, 0, text, 4, nullptr, 0, nullptr, nullptr).value, 4);  // measure
  ASSERT_EQ(cp.toMultiByte(p::kCP_ACP, p::kWC_NO_BEST_FIT_CHARS, text, 4, out, 8, nullptr, &used).value, 4);
  EXPECT_EQ(std::string(out, 4), std::string("A\x80\xE9?"));
  EXPECT_EQ(used, 1);

  const char custom = '#';
  ASSERT_EQ(cp.toMultiByte(1252, 0, u"x\u4E2D", 2, out, 8, &custom, &used).value, 2);
  EXPECT_EQ(std::string(out, 2), "x#");

  ASSERT_EQ(cp.toMultiByte(1252, 0, u"abc", 3, out, 8, nullptr, &used).value, 3);
  EXPECT_EQ(used, 0);
}

TEST(CodePage1252Test, BestFitOnlyWithoutTheNoBestFitFlag) {
  CodePageConverter cp(1252);
  char out[4] = {};
  Bool32 used = -1;
  ASSERT_EQ(cp.toMultiByte(1252, 0, u"\u0100", 1, out, 4, nullptr, &used).value, 1);
  EXPECT_EQ(out[0], 'A');
  EXPECT_EQ(used, 0);
  ASSERT_EQ(cp.toMultiByte(1252, p::kWC_NO_BEST_FIT_CHARS, u"\u0100", 1, out, 4, nullptr, &used).value, 1);
  EXPECT_EQ(out[0], '?');
  EXPECT_EQ(used, 1);
}

TEST(CodePage1252Test, BufferRulesAndTerminator) {
  CodePageConverter cp(1252);
  char small[2];
  EXPECT_EQ(Outcome(cp.toMultiByte(1252, 0, u"abc", -1, small, 2, nullptr, nullptr)),
            Failure(p::kERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(cp.toMultiByte(1252, 0, u"abc", -1, nullptr, 0, nullptr, nullptr).value, 4);  // counts the NUL
  EXPECT_EQ(Outcome(cp.toMultiByte(1252, 0, u"abc", 0, nullptr, 0, nullptr, nullptr)),
            Failure(p::kERROR_INVALID_PARAMETER));

  char16_t wide[4] = {};
  ASSERT_EQ(cp.toWide(1252, 0, "\x80\x81\xFF", 3, wide, 4).value, 3);
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(wide[1], 0x0081);  // undefined byte keeps its value
  EXPECT_EQ(wide[2], 0x00FF);
}

TEST(CodePageUtf8Test, DefaultCharArgumentsAreInvalid) {
  CodePageConverter cp(65001);
  char out[8];
  Bool32 used = 0;
  EXPECT_EQ(Outcome(cp.toMultiByte(p::kCP_UTF8, 0, u"a", 1, out, 8, nullptr, &used)),
            Failure(p::kERROR_INVALID_PARAMETER));
  EXPECT_EQ(Outcome(cp.toMultiByte(p::kCP_ACP, 0, u"a", 1, out, 8, "?", nullptr)),  // ACP is UTF-8 here
            Failure(p::kERROR_INVALID_PARAMETER));
  EXPECT_EQ(Outcome(cp.toMultiByte(p::kCP_UTF8, p::kWC_NO_BEST_FIT_CHARS, u"a", 1, out, 8, nullptr, nullptr)),
            Failure(p::Win32Error{1004}));
}

TEST(CodePageUtf8Test, SurrogatesAndInvalidSequences) {
  CodePageConverter cp(1252);
  char out[16] = {};
  const char16_t lone[] = {u'a', 0xD800, u'b'};
  ASSERT_EQ(cp.toMultiByte(p::kCP_UTF8, 0, lone, 3, out, 16, nullptr, nullptr).value, 5);
  EXPECT_EQ(std::string(out, 5), "a\xEF\xBF\xBD" "b");
  ASSERT_EQ(cp.toMultiByte(p::kCP_UTF8, 0, u"\U0001F600", 2, out, 16, nullptr, nullptr).value, 4);
  EXPECT_EQ(std::string(out, 4), "\xF0\x9F\x98\x80");

  char16_t wide[8] = {};
  EXPECT_EQ(Outcome(cp.toWide(p::kCP_UTF8, p::kMB_ERR_INVALID_CHARS, "a\xC3", 2, wide, 8)),
            Failure(p::kERROR_NO_UNICODE_TRANSLATION));
  ASSERT_EQ(cp.toWide(p::kCP_UTF8, 0, "a\xC3(\xED\xA0\x80", 6, wide, 8).value, 6);
  EXPECT_EQ(std::u16string(wide, 6), std::u16string(u"a\uFFFD(\uFFFD\uFFFD\uFFFD"));
}

TEST(CodePageInWorldTest, FailureSetsLastErrorOfTheCallingProcess) {
  tethra::sim::World world({});
  auto& program = world.createProcess("tethra", true);
  auto& pf = program.platform();
  Bool32 used = 0;
  char out[4];
  pf.kernel->setLastError(p::kERROR_SUCCESS);
  EXPECT_EQ(pf.codePage->wideCharToMultiByte(p::kCP_UTF8, 0, u"a", 1, out, 4, nullptr, &used), 0);
  EXPECT_EQ(pf.kernel->getLastError(), p::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(world.callCount("codepage", "WideCharToMultiByte"), 1u);
}

}  // namespace
