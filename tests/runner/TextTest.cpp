// Lexical forms of scenario files.
#include <gtest/gtest.h>

#include "tethra/scenario/Text.h"

namespace tethra::simrunner {
namespace {

using sim::text::FormatGuid;
using sim::text::Utf16ToUtf8;
using sim::text::Utf8ToUtf16;

TEST(ScenarioTextTest, Numbers) {
  std::int64_t v = 0;
  EXPECT_TRUE(ParseNumber("0x8007000D", v));
  EXPECT_EQ(v, 0x8007000D);
  EXPECT_TRUE(ParseNumber("26", v));
  EXPECT_EQ(v, 26);
  EXPECT_FALSE(ParseNumber("12ms", v));
  EXPECT_FALSE(ParseNumber("0x", v));
  EXPECT_FALSE(ParseNumber("", v));
}

// Every word either reads as the int64 it writes or is refused: nothing wraps or overflows.
TEST(ScenarioTextTest, NumbersAtTheEdgesOfSixtyFourBits) {
  std::int64_t v = 0;
  EXPECT_TRUE(ParseNumber("9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_TRUE(ParseNumber("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(ParseNumber("-0x8000000000000000", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(ParseNumber("-5", v));
  EXPECT_EQ(v, -5);
  EXPECT_FALSE(ParseNumber("9223372036854775808", v));
  EXPECT_FALSE(ParseNumber("-9223372036854775809", v));
  EXPECT_FALSE(ParseNumber("0xFFFFFFFFFFFFFFFF", v));
  EXPECT_FALSE(ParseNumber("18446744073709551616", v));
  EXPECT_FALSE(ParseNumber("-", v));
  EXPECT_FALSE(ParseNumber("--5", v));
}

TEST(ScenarioTextTest, GuidRoundTripKeepsByteOrder) {
  platform::Guid g;
  ASSERT_TRUE(ParseGuid("{AD498944-762F-11D0-8DCB-00C04FC3358C}", g));
  EXPECT_EQ(g.Data1, 0xAD498944u);
  EXPECT_EQ(g.Data4[0], 0x8D);
  EXPECT_EQ(g.Data4[7], 0x8C);
  EXPECT_EQ(FormatGuid(g), "{AD498944-762F-11D0-8DCB-00C04FC3358C}");
  EXPECT_FALSE(ParseGuid("{AD498944-762F-11D0-8DCB-00C04FC3358}", g));
  EXPECT_FALSE(ParseGuid("AD498944-762F-11D0-8DCB-00C04FC3358C00", g));
}

TEST(ScenarioTextTest, Utf8RoundTripIncludingSurrogates) {
  const std::u16string text = u"Caf\u00e9 \u20ac \U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Quote(u"a\"\u00e9"), "\"a\\\"\\u00E9\"");
}

TEST(ScenarioTextTest, IllFormedUtf8BecomesReplacementCharacters) {
  // An overlong "/" must not read as "/", nor an encoded surrogate as one.
  EXPECT_EQ(Utf8ToUtf16("a\xC0\xAF"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD");  // cut short: one replacement for the whole start
}

}  // namespace
}  // namespace tethra::simrunner
