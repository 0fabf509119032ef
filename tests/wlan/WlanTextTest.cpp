// SSID and passphrase conversion at the WLAN interface, in the single-byte code page 1252 and
// in UTF-8 (65001), which refuses the no-best-fit flag and the used-default question.
#include <gtest/gtest.h>

#include <string>

#include "WlanRig.h"
#include "tethra/wlan/WlanText.h"

namespace tethra::wlan {
namespace {

using platform::Dword;
using test::Rig;

std::string SsidString(const platform::Dot11Ssid& ssid) {
  return std::string(reinterpret_cast<const char*>(ssid.ucSSID), ssid.uSSIDLength);
}

class CodePagesTest : public ::testing::TestWithParam<std::uint32_t> {};
INSTANTIATE_TEST_SUITE_P(Wlan, CodePagesTest, ::testing::Values(1252u, 65001u));

TEST_P(CodePagesTest, SsidLengthLimitsInBytes) {
  Rig rig({}, GetParam());
  platform::Dot11Ssid ssid{};
  const std::u16string name32(32, u'n');
  EXPECT_EQ(StringToSsid(rig.codePage, rig.kernel, name32.c_str(), &ssid), platform::kERROR_SUCCESS);
  EXPECT_EQ(SsidString(ssid), std::string(32, 'n'));
  EXPECT_EQ(StringToSsid(rig.codePage, rig.kernel, std::u16string(33, u'n').c_str(), &ssid), platform::kERROR_BAD_LENGTH);
  EXPECT_EQ(StringToSsid(rig.codePage, rig.kernel, u"", &ssid), platform::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(StringToSsid(rig.codePage, rig.kernel, nullptr, &ssid), platform::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(StringToSsid(rig.codePage, rig.kernel, u"x", nullptr), platform::kERROR_INVALID_PARAMETER);
}

TEST(SsidTextTest, CodePageDecidesBytesOfNonAsciiNames) {
  platform::Dot11Ssid ssid{};
  Rig western({}, 1252);
  ASSERT_EQ(StringToSsid(western.codePage, western.kernel, u"Caf\u00e9\u20ac", &ssid), platform::kERROR_SUCCESS);
  EXPECT_EQ(SsidString(ssid), "Caf\xE9\x80");
  ASSERT_EQ(StringToSsid(western.codePage, western.kernel, u"\u0410\u0411", &ssid),
            platform::kERROR_SUCCESS);  // not in 1252: default character
  EXPECT_EQ(SsidString(ssid), "??");

  Rig utf8({}, 65001);
  ASSERT_EQ(StringToSsid(utf8.codePage, utf8.kernel, u"Caf\u00e9", &ssid), platform::kERROR_SUCCESS);
  EXPECT_EQ(SsidString(ssid), "Caf\xC3\xA9");
  // 16 two-byte characters fill 32 bytes exactly; one more does not fit.
  EXPECT_EQ(StringToSsid(utf8.codePage, utf8.kernel, std::u16string(16, u'\u00e9').c_str(), &ssid), platform::kERROR_SUCCESS);
  EXPECT_EQ(StringToSsid(utf8.codePage, utf8.kernel, std::u16string(17, u'\u00e9').c_str(), &ssid), platform::kERROR_BAD_LENGTH);
}

TEST(SsidTextTest, DisplayNameBufferRules) {
  Rig rig;
  platform::Dot11Ssid ssid{};
  ASSERT_EQ(StringToSsid(rig.codePage, rig.kernel, u"Home", &ssid), platform::kERROR_SUCCESS);
  char16_t buffer[8];
  Dword length = 8;
  ASSERT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &ssid, buffer, &length), platform::kERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buffer), u"Home");
  EXPECT_EQ(length, 5u);

  length = 4;  // text and zero need 5
  EXPECT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &ssid, buffer, &length), platform::kERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 5u);
  length = 5;  // fits, but the text must leave room beyond its zero
  EXPECT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &ssid, buffer, &length), platform::kERROR_INVALID_PARAMETER);

  platform::Dot11Ssid empty{};
  length = 8;
  ASSERT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &empty, buffer, &length), platform::kERROR_SUCCESS);
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(buffer[0], u'\0');

  platform::Dot11Ssid tooLong{};
  tooLong.uSSIDLength = 33;
  EXPECT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &tooLong, buffer, &length), platform::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &ssid, nullptr, &length), platform::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(SsidToDisplayName(rig.codePage, rig.kernel, &ssid, buffer, nullptr), platform::kERROR_INVALID_PARAMETER);
}

struct KeyResult {
  platform::Win32Error error;
  Dword length;
  std::string bytes;
};

KeyResult ConvertKey(Rig& rig, const std::u16string& key, Dword bufferLength = 256) {
  std::uint8_t buffer[256];
  std::fill(std::begin(buffer), std::end(buffer), 0xCC);
  Dword length = bufferLength;
  const platform::Win32Error error =
      ConvertPassPhraseKeyStringToBuffer(rig.codePage, rig.kernel, rig.service, key.data(), key.size(), buffer, &length);
  return {error, length, std::string(reinterpret_cast<char*>(buffer), std::min<Dword>(bufferLength, 80))};
}

TEST_P(CodePagesTest, KeyLengthLimits) {
  Rig rig({}, GetParam());
  const KeyResult eight = ConvertKey(rig, u"12345678");
  EXPECT_EQ(eight.error, platform::kERROR_SUCCESS);
  EXPECT_EQ(eight.length, 10u);  // 8 bytes, the zero, and one
  EXPECT_EQ(eight.bytes.substr(0, 10), std::string("12345678\0\0", 10));
  EXPECT_EQ(ConvertKey(rig, std::u16string(63, u'k')).length, 65u);
  EXPECT_EQ(ConvertKey(rig, u"1234567").error, platform::kERROR_BAD_FORMAT);
  EXPECT_EQ(ConvertKey(rig, std::u16string(64, u'k')).error, platform::kERROR_BAD_FORMAT);
  EXPECT_EQ(ConvertKey(rig, std::u16string(64, u'k')).length, 0u);
  EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
}

TEST_P(CodePagesTest, KeyCountAndBufferRules) {
  Rig rig({}, GetParam());
  // Trailing zero characters do not count; a key of zeros only is empty.
  const std::u16string zeros(3, u'\0');
  Dword length = 256;
  std::uint8_t buffer[256];
  EXPECT_EQ(ConvertPassPhraseKeyStringToBuffer(rig.codePage, rig.kernel, rig.service, zeros.data(), zeros.size(), buffer, &length),
            platform::kERROR_BAD_FORMAT);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(ConvertPassPhraseKeyStringToBuffer(rig.codePage, rig.kernel, rig.service, nullptr, 8, buffer, &length),
            platform::kERROR_INVALID_PARAMETER);

  // Too small a buffer reports the need; no buffer at all too.
  const KeyResult small = ConvertKey(rig, u"12345678", 9);
  EXPECT_EQ(small.error, platform::kERROR_MORE_DATA);
  EXPECT_EQ(small.length, 10u);
  length = 0;
  EXPECT_EQ(ConvertPassPhraseKeyStringToBuffer(rig.codePage, rig.kernel, rig.service, u"12345678", 8, nullptr, &length),
            platform::kERROR_MORE_DATA);
  EXPECT_EQ(length, 10u);

  // The whole given buffer is cleared behind the key.
  const KeyResult cleared = ConvertKey(rig, u"12345678", 40);
  EXPECT_EQ(cleared.bytes.find_first_not_of(std::string("12345678")), 8u);
  EXPECT_EQ(cleared.bytes.substr(8, 32), std::string(32, '\0'));
  EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
}

TEST(PassPhraseTest, UnrepresentableTextIsRefusedInEachCodePage) {
  Rig western({}, 1252);
  EXPECT_EQ(ConvertKey(western, u"secret-\u0416\u0416").error, platform::kERROR_BAD_FORMAT);  // Cyrillic
  EXPECT_EQ(ConvertKey(western, u"secret-\u00e9\u00e9").error, platform::kERROR_SUCCESS);     // Latin-1 fits

  Rig utf8({}, 65001);
  const KeyResult cyrillic = ConvertKey(utf8, u"secret-\u0416\u0416");
  EXPECT_EQ(cyrillic.error, platform::kERROR_SUCCESS);
  EXPECT_EQ(cyrillic.length, 7u + 4u + 2u);
  EXPECT_EQ(cyrillic.bytes.substr(0, 12), std::string("secret-\xD0\x96\xD0\x96\0", 12));
  // A lone surrogate has no UTF-8 form: it would travel as U+FFFD, so the key is refused.
  EXPECT_EQ(ConvertKey(utf8, std::u16string(u"secret-") + char16_t(0xD800) + u"x").error, platform::kERROR_BAD_FORMAT);
  // Byte length counts, not characters: 32 two-byte characters are 64 bytes, too long.
  EXPECT_EQ(ConvertKey(utf8, std::u16string(32, u'\u00e9')).error, platform::kERROR_BAD_FORMAT);
  EXPECT_EQ(ConvertKey(utf8, std::u16string(31, u'\u00e9')).error, platform::kERROR_SUCCESS);
  EXPECT_EQ(utf8.service.outstandingBuffers(), 0u);
}

TEST(PassPhraseTest, AllocationFailureIsReported) {
  Rig rig;
  rig.host.addFault("wlan", "WlanAllocateMemory", platform::Raw(platform::kERROR_NOT_ENOUGH_MEMORY), -1, 1);
  const KeyResult failed = ConvertKey(rig, u"12345678");
  EXPECT_EQ(failed.error, platform::kERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(failed.length, 0u);
  EXPECT_EQ(ConvertKey(rig, u"12345678").error, platform::kERROR_SUCCESS);
}

TEST(PassPhraseTest, DefaultKeyFromTheClock) {
  Rig rig;
  rig.kernel.setSystemTime({2013, 7, 2, 9, 8, 5, 3, 0});  // ms 0, minute 5, second 3, year 2013, day 9
  EXPECT_EQ(std::u16string(MakeDefaultKey(rig.kernel).text), u"05320139");
  rig.kernel.setSystemTime({2024, 12, 1, 31, 23, 59, 58, 987});
  EXPECT_EQ(std::u16string(MakeDefaultKey(rig.kernel).text), u"98759582");
}

}  // namespace
}  // namespace tethra::wlan
