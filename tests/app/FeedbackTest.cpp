// The notification log's stamp and the name and key length rules.
#include <gtest/gtest.h>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/Feedback.h"

namespace tethra::app {
namespace {

platform::SystemTime At(int year, int month, int day, int hour, int minute, int second) {
  platform::SystemTime t{};
  t.wYear = static_cast<std::uint16_t>(year);
  t.wMonth = static_cast<std::uint16_t>(month);
  t.wDay = static_cast<std::uint16_t>(day);
  t.wHour = static_cast<std::uint16_t>(hour);
  t.wMinute = static_cast<std::uint16_t>(minute);
  t.wSecond = static_cast<std::uint16_t>(second);
  return t;
}

TEST(NotificationLineTest, StampIsMonthFirstWithTheMinutePaddedByASpace) {
  EXPECT_EQ(FormatNotificationLine(At(2012, 3, 5, 14, 7, 9), u"Started using hosted Network."),
            u"[03/05/2012:14: 7:09] Started using hosted Network.");
  EXPECT_EQ(FormatNotificationLine(At(2012, 12, 25, 9, 30, 5), u"x"), u"[12/25/2012:09:30:05] x");
  EXPECT_EQ(FormatNotificationLine(At(2026, 1, 1, 0, 0, 0), u""), u"[01/01/2026:00: 0:00] ");
}

TEST(NotificationLineTest, ATextThatWouldNotFitIsLoggedWithoutTheStamp) {
  const auto t = At(2012, 3, 5, 14, 7, 9);
  const std::u16string fits(1001, u'a');  // 22 + 1001 = 1023 characters and the terminator
  const std::u16string tooLong(1002, u'b');
  EXPECT_EQ(FormatNotificationLine(t, fits).size(), 1023u);
  EXPECT_EQ(FormatNotificationLine(t, tooLong), tooLong);
  EXPECT_EQ(FormatNotificationLine(t, std::u16string(1100, u'c')), std::u16string(1100, u'c'));
}

TEST(NameKeyLengthsTest, BoundsAndWhichFieldIsBlamed) {
  EXPECT_EQ(CheckNameKeyLengths(1, 8), NameKeyVerdict::Admissible);
  EXPECT_EQ(CheckNameKeyLengths(32, 63), NameKeyVerdict::Admissible);
  EXPECT_EQ(CheckNameKeyLengths(0, 8), NameKeyVerdict::NameWrong);
  EXPECT_EQ(CheckNameKeyLengths(33, 8), NameKeyVerdict::NameWrong);
  EXPECT_EQ(CheckNameKeyLengths(5, 7), NameKeyVerdict::KeyWrong);
  EXPECT_EQ(CheckNameKeyLengths(5, 64), NameKeyVerdict::KeyWrong);
  EXPECT_EQ(CheckNameKeyLengths(0, 64), NameKeyVerdict::BothWrong);
}

TEST(ConnectionKindTest, SwitchesAreComparedWholeAndWithoutCase) {
  EXPECT_EQ(MaxPeersForSwitch(u"/ShareLAN"), 10u);
  EXPECT_EQ(MaxPeersForSwitch(u"/sharewlan"), 10u);
  EXPECT_EQ(MaxPeersForSwitch(u"/ShareLAN "), 5u);
  EXPECT_EQ(MaxPeersForSwitch(u"/ShareMobileBroadband"), 5u);
  EXPECT_EQ(MaxPeersForSwitch(u"/ShareRAS"), 5u);
  EXPECT_EQ(MaxPeersForSwitch(u"anything"), 5u);
  EXPECT_TRUE(base::EqualsNoCase(u"/SHARELAN", kShareLAN));
  EXPECT_FALSE(base::EqualsNoCase(u"/SHARELA", kShareLAN));
}

}  // namespace
}  // namespace tethra::app
