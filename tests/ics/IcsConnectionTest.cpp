// One connection record: binding, reading the sharing state, switching it, matching a GUID,
// and the snapshot made from it.
#include <gtest/gtest.h>

#include "IcsRecordAccess.h"
#include "SharingRig.h"
#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/ics/IcsManager.h"
#include "tethra/ics/NetshellModule.h"

namespace tethra::ics {
namespace {

using sim::SimSharingRole;
using test::IcsRecordAccess;
using test::SharingRig;

// A sharing configuration that answers whatever the test sets, for values the service never
// gives.
class OddConfiguration final : public platform::INetSharingConfiguration {
 public:
  std::uint32_t AddRef() override { return ++refs; }
  std::uint32_t Release() override { return --refs; }
  platform::HResult get_SharingEnabled(platform::VariantBool* value) override {
    *value = enabled;
    return platform::kS_OK;
  }
  platform::HResult get_SharingConnectionType(std::int32_t* value) override {
    *value = type;
    return platform::kS_OK;
  }
  platform::HResult DisableSharing() override { return platform::kS_OK; }
  platform::HResult EnableSharing(std::int32_t) override { return platform::kS_OK; }
  platform::VariantBool enabled = platform::kVARIANT_TRUE;
  std::int32_t type = 0;
  std::uint32_t refs = 0;
};

class IcsConnectionTest : public ::testing::Test {
 protected:
  IcsConnectionTest() : rig(Config()) {
    EXPECT_EQ(NSModInit(*rig.platform().modules, rig.kernel(), rig.trace()), platform::kS_OK);
    EXPECT_EQ(manager.InitIcsManager(), platform::kS_OK);
  }
  ~IcsConnectionTest() override { NSModDeinit(); }

  static sim::SimSharingConfig Config() {
    sim::SimSharingConfig config;
    config.connections = {test::Connection(1, u"Ethernet", u"Wired", SimSharingRole::Public),
                          test::Connection(2, u"Hosted", u"Virtual")};
    return config;
  }
  CIcsConnection& record(int i) { return IcsRecordAccess::Record(manager, i); }

  SharingRig rig;
  CIcsManager manager{rig.service(), rig.trace()};
};

TEST_F(IcsConnectionTest, ABoundRecordCannotBeBoundAgainAndNullArgumentsAreRefused) {
  const std::uint64_t propertiesBefore = rig.calls("properties");
  EXPECT_EQ(record(0).InitIcsConnection(&manager, record(1).NetConnection(), 5), platform::kE_UNEXPECTED);
  EXPECT_EQ(record(0).Index(), 0);
  const platform::Guid first = test::Gid(1);
  EXPECT_TRUE(record(0).IsMatch(&first));
  EXPECT_EQ(rig.calls("properties"), propertiesBefore);

  CIcsConnection fresh;
  EXPECT_EQ(fresh.InitIcsConnection(nullptr, record(1).NetConnection(), 0), platform::kE_INVALIDARG);
  EXPECT_EQ(fresh.InitIcsConnection(&manager, nullptr, 0), platform::kE_INVALIDARG);
  EXPECT_EQ(fresh.Manager(), nullptr);
}

TEST_F(IcsConnectionTest, AFailedStepLeavesTheRecordBoundButNotSupported) {
  rig.fail("configuration", test::kFail, 1);
  CIcsConnection fresh;
  EXPECT_EQ(fresh.InitIcsConnection(&manager, record(1).NetConnection(), 1), test::kFail);
  EXPECT_EQ(fresh.Manager(), &manager);
  EXPECT_FALSE(fresh.IsSupported());
  EXPECT_EQ(std::u16string(fresh.Properties().pszwName), u"Hosted");
  EXPECT_EQ(rig.service().outstandingRecords(), 0u);  // the platform's record went back
}

TEST_F(IcsConnectionTest, DisablingAConnectionThatIsNotSharedChangesNothing) {
  rig.mark();
  EXPECT_EQ(record(1).DisableSharing(), platform::kS_FALSE);
  EXPECT_EQ(rig.callsSinceMark(), (std::vector<std::string>{"sharing-enabled"}));
}

TEST_F(IcsConnectionTest, ASideIsAlwaysSwitchedOffBeforeItIsSwitchedOnAgain) {
  rig.mark();
  EXPECT_EQ(record(0).EnableAsPublic(), platform::kS_OK);
  EXPECT_EQ(rig.callsSinceMark(),
            (std::vector<std::string>{"sharing-enabled", "sharing-type", "disable", "sharing-enabled",
                                      "enable-public", "sharing-enabled", "sharing-type"}));
  EXPECT_TRUE(record(0).IsPublic());
  EXPECT_EQ(rig.events(), (std::vector<std::string>{"sharing \"Ethernet\" off", "sharing \"Ethernet\" public"}));
}

TEST_F(IcsConnectionTest, FailuresKeepTheLastStateThatWasRead) {
  ASSERT_EQ(record(0).RefreshSharingEnabled(), platform::kS_OK);
  rig.fail("sharing-enabled", test::kFail, 1);
  EXPECT_EQ(record(0).RefreshSharingEnabled(), test::kFail);
  EXPECT_TRUE(record(0).IsSharingEnabled() && record(0).IsPublic());
  rig.fail("sharing-type", test::kFail, 1);
  EXPECT_EQ(record(0).RefreshSharingEnabled(), test::kFail);
  EXPECT_TRUE(record(0).IsSharingEnabled());
  EXPECT_FALSE(record(0).IsPublic() || record(0).IsPrivate());
  rig.fail("enable-private", test::kFail, 1);
  EXPECT_EQ(record(1).EnableAsPrivate(), test::kFail);
  EXPECT_FALSE(record(1).IsSharingEnabled());
}

TEST(IcsConnectionValuesTest, OnlyVariantTrueIsEnabledAndOnlyTypesZeroAndOneAreSides) {
  OddConfiguration odd;
  CIcsConnection record;
  IcsRecordAccess::Configuration(record).copyFrom(&odd);
  odd.enabled = 1;
  EXPECT_EQ(record.RefreshSharingEnabled(), platform::kS_OK);
  EXPECT_FALSE(record.IsSharingEnabled());
  odd.enabled = platform::kVARIANT_TRUE;
  odd.type = 2;
  EXPECT_EQ(record.RefreshSharingEnabled(), platform::kS_OK);
  EXPECT_TRUE(record.IsSharingEnabled());
  EXPECT_FALSE(record.IsPublic() || record.IsPrivate());
  odd.type = 1;
  EXPECT_EQ(record.RefreshSharingEnabled(), platform::kS_OK);
  EXPECT_TRUE(record.IsPrivate() && !record.IsPublic());
  IcsRecordAccess::Configuration(record).reset();
  EXPECT_EQ(odd.refs, 0u);
}

TEST(IcsConnectionMatchTest, ComparesAllSixteenBytesAndRefusesNull) {
  CIcsConnection record;
  IcsRecordAccess::SetGuid(record, test::Gid(4));
  EXPECT_FALSE(record.IsMatch(nullptr));
  const platform::Guid same = test::Gid(4);
  EXPECT_TRUE(record.IsMatch(&same));
  platform::Guid other = test::Gid(4);
  other.Data4[7] ^= 1;
  EXPECT_FALSE(record.IsMatch(&other));
  const platform::Guid zero{};
  EXPECT_FALSE(record.IsMatch(&zero));
  CIcsConnection empty;
  EXPECT_TRUE(empty.IsMatch(&zero));  // the all-zero GUID is a GUID like any other
}

TEST(IcsConnectionSnapshotTest, CopiesTheRecordAsItStandsWithEmptyTextsForNullNames) {
  CIcsConnection record;
  IcsRecordAccess::SetGuid(record, test::Gid(6));
  IcsRecordAccess::SetSharing(record, true, true);
  auto* info = new CIcsConnectionInfo(record);
  EXPECT_EQ(info->m_Guid, test::Gid(6));
  EXPECT_TRUE(info->m_strName.empty());
  EXPECT_TRUE(info->m_strDeviceName.empty());
  EXPECT_TRUE(info->m_bSharingEnabled && info->m_bPrivate);
  EXPECT_FALSE(info->m_bPublic || info->m_bSupported);
  EXPECT_EQ(info->Release(), 0);
}

}  // namespace
}  // namespace tethra::ics
