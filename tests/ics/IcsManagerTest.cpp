// The sharing manager: enumeration in two passes, finding records, sharing one pair, switching
// sharing off, the snapshots, and the cache of the previous pair. After every test the rig
// checks that the manager left no reference, record or library behind.
#include <gtest/gtest.h>

#include <thread>

#include "ScopedAllocationFaults.h"
#include "IcsRecordAccess.h"
#include "SharingRig.h"
#include "tethra/ics/IcsManager.h"
#include "tethra/ics/NetshellModule.h"

namespace tethra::ics {
namespace {

using sim::SimSharingRole;
using test::IcsRecordAccess;
using test::SharingRig;

sim::SimSharingConfig Machine(std::vector<sim::SimConnectionConfig> connections) {
  sim::SimSharingConfig config;
  config.connections = std::move(connections);
  return config;
}

sim::SimSharingConfig ThreeConnections(SimSharingRole ethernet = SimSharingRole::Off,
                                       SimSharingRole home = SimSharingRole::Off) {
  return Machine({test::Connection(1, u"Ethernet", u"Wired", ethernet), test::Connection(2, u"Home", u"Home", home),
                  test::Connection(3, u"Hosted", u"Virtual")});
}

class ManagerTest : public ::testing::Test {
 protected:
  void Start(sim::SimSharingConfig config) {
    rig.emplace(std::move(config));
    ASSERT_EQ(NSModInit(*rig->platform().modules, rig->kernel(), rig->trace()), platform::kS_OK);
    manager.emplace(rig->service(), rig->trace());
  }
  void TearDown() override {
    manager.reset();
    NSModDeinit();
    if (rig) {
      EXPECT_EQ(rig->service().leftOverText(), "");
    }
  }
  std::optional<SharingRig> rig;
  std::optional<CIcsManager> manager;
};

TEST_F(ManagerTest, ANotebookWithoutConnectionsHasNothingToShare) {
  Start(Machine({}));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  EXPECT_EQ(manager->ConnectionCount(), 0);
  base::CRefList<CIcsConnectionInfo*> list;
  manager->GetIcsConnections(list);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(2)), platform::kE_INVALIDARG);
  rig->mark();
  manager->DisableIcsOnAll();
  EXPECT_TRUE(rig->callsSinceMark().empty());
}

TEST_F(ManagerTest, InitialisesOnceCountingFirstAndReadingEveryConnection) {
  Start(ThreeConnections(SimSharingRole::Public));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  EXPECT_TRUE(manager->IsInstalled());
  ASSERT_EQ(manager->ConnectionCount(), 3);
  EXPECT_EQ(rig->calls("next"), 8u);  // 3 + end, twice
  EXPECT_EQ(rig->calls("reset"), 1u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(manager->Connection(i).IsSupported());
    EXPECT_EQ(manager->Connection(i).Index(), i);
  }
  EXPECT_TRUE(manager->Connection(0).IsPublic());
  EXPECT_EQ(rig->service().outstandingRecords(), 0u);
  EXPECT_EQ(manager->InitIcsManager(), platform::kE_UNEXPECTED);
  EXPECT_EQ(rig->calls("create"), 1u);
}

TEST_F(ManagerTest, RefusesAServiceWithoutSharing) {
  auto notInstalled = ThreeConnections();
  notInstalled.installed = false;
  Start(notInstalled);
  EXPECT_EQ(manager->InitIcsManager(), platform::kE_UNEXPECTED);
  EXPECT_FALSE(manager->IsInstalled());
  EXPECT_EQ(rig->calls("enum"), 0u);
}

TEST_F(ManagerTest, RefusesASetOfConnectionsThatGrewBetweenThePasses) {
  Start(ThreeConnections());
  rig->grow();
  EXPECT_EQ(manager->InitIcsManager(), platform::kE_UNEXPECTED);
  EXPECT_EQ(manager->ConnectionCount(), 3);  // the array as counted stays until the owner decides
  EXPECT_EQ(rig->service().connections().size(), 4u);
  EXPECT_EQ(rig->service().outstandingRecords(), 0u);
}

TEST_F(ManagerTest, APlatformFailureIsReturnedUnchanged) {
  Start(ThreeConnections());
  rig->fail("next", test::kFail, 1);
  EXPECT_EQ(manager->InitIcsManager(), test::kFail);
  EXPECT_EQ(manager->ResetIcsManager(), platform::kS_OK);  // the next attempt starts from scratch
  EXPECT_EQ(manager->ConnectionCount(), 3);
  EXPECT_EQ(rig->calls("create"), 2u);
}

TEST_F(ManagerTest, FindsOnlySupportedRecordsAndTheFirstOfTwoWithOneGuid) {
  Start(Machine({test::Connection(1, u"Ethernet", u"Wired"), test::Connection(2, u"A", u"Dup"),
                 test::Connection(2, u"B", u"Dup")}));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  std::int32_t index = -1;
  const platform::Guid dup = test::Gid(2);
  EXPECT_EQ(manager->GetIndexByGuid(&dup, index), platform::kS_OK);
  EXPECT_EQ(index, 1);
  IcsRecordAccess::SetSupported(IcsRecordAccess::Record(*manager, 1), false);
  EXPECT_EQ(manager->GetIndexByGuid(&dup, index), platform::kS_OK);
  EXPECT_EQ(index, 2);
  IcsRecordAccess::SetSupported(IcsRecordAccess::Record(*manager, 2), false);
  EXPECT_EQ(manager->GetIndexByGuid(&dup, index), platform::kE_INVALIDARG);
  EXPECT_EQ(manager->GetIndexByGuid(nullptr, index), platform::kE_INVALIDARG);
}

TEST_F(ManagerTest, APairAlreadySharedThatWayIsLeftAlone) {
  Start(Machine({test::Connection(1, u"Ethernet", u"Wired", SimSharingRole::Public),
                 test::Connection(3, u"Hosted", u"Virtual", SimSharingRole::Private)}));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  rig->mark();
  EXPECT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  for (const std::string& call : rig->callsSinceMark()) {
    EXPECT_TRUE(call == "sharing-enabled" || call == "sharing-type") << call;
  }
  EXPECT_TRUE(rig->events().empty());
}

TEST_F(ManagerTest, EnablingSwitchesEverythingOffThenThePrivateSideThenThePublicOne) {
  Start(ThreeConnections(SimSharingRole::Off, SimSharingRole::Public));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  EXPECT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  EXPECT_EQ(rig->events(), (std::vector<std::string>{"sharing \"Home\" off", "sharing \"Hosted\" private",
                                                     "sharing \"Ethernet\" public"}));
  EXPECT_TRUE(manager->Connection(0).IsPublic());
  EXPECT_TRUE(manager->Connection(2).IsPrivate());
}

TEST_F(ManagerTest, APrivateSideThatCannotBeEnabledLeavesSharingOffEverywhere) {
  Start(ThreeConnections(SimSharingRole::Public, SimSharingRole::Private));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  rig->fail("enable-private", test::kFail);
  EXPECT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), test::kFail);
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Public));
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Private));
  EXPECT_EQ(rig->calls("enable-public"), 0u);
}

TEST_F(ManagerTest, DisablingIgnoresFailuresAndGoesOn) {
  Start(ThreeConnections(SimSharingRole::Public, SimSharingRole::Private));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  rig->fail("disable", test::kFail, 1);
  manager->DisableIcsOnAll();
  EXPECT_EQ(rig->service().sharedName(SimSharingRole::Public), u"Ethernet");
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Private));
  EXPECT_TRUE(manager->Connection(0).IsPublic());
  EXPECT_FALSE(manager->Connection(1).IsSharingEnabled());
}

TEST_F(ManagerTest, SnapshotsCoverEveryRecordInOrderAndStopWhereAllocationFails) {
  Start(ThreeConnections(SimSharingRole::Public));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  IcsRecordAccess::SetSupported(IcsRecordAccess::Record(*manager, 1), false);
  base::CRefList<CIcsConnectionInfo*> list;
  manager->GetIcsConnections(list);
  ASSERT_EQ(list.GetCount(), 3u);
  auto pos = list.GetHeadPosition();
  const CIcsConnectionInfo* first = list.GetNext(pos);
  const CIcsConnectionInfo* second = list.GetNext(pos);
  EXPECT_EQ(first->m_strName, u"Ethernet");
  EXPECT_TRUE(first->m_bPublic);
  EXPECT_EQ(second->m_strName, u"Home");
  EXPECT_FALSE(second->m_bSupported);

  wlan::test::ScopedAllocationFaults faults;
  faults.failNext(kAllocSiteSnapshot, 1);
  IcsRecordAccess::SetSupported(IcsRecordAccess::Record(*manager, 1), true);
  manager->GetIcsConnections(list);  // the first allocation fails: the old snapshots are gone anyway
  EXPECT_TRUE(list.IsEmpty());
  manager->GetIcsConnections(list);
  EXPECT_EQ(list.GetCount(), 3u);
}

TEST_F(ManagerTest, CachesThePreviousPairAndRestoresItPublicFirst) {
  Start(ThreeConnections(SimSharingRole::Public, SimSharingRole::Private));
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  manager->CacheICSIntfIndex();
  EXPECT_EQ(manager->CachedPublic(), test::Gid(1));
  EXPECT_EQ(manager->CachedPrivate(), test::Gid(2));
  ASSERT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  ASSERT_EQ(manager->ResetIcsManager(), platform::kS_OK);
  manager->RestoreICSIntf();
  EXPECT_EQ(rig->service().sharedName(SimSharingRole::Public), u"Ethernet");
  EXPECT_EQ(rig->service().sharedName(SimSharingRole::Private), u"Home");
  EXPECT_FALSE(manager->CachedPublic());
  EXPECT_FALSE(manager->CachedPrivate());
  const auto& events = rig->events();
  EXPECT_EQ(events.back(), "sharing \"Home\" private");
}

// The hosted network's connection joins the sharing enumeration once the network has run, here
// ahead of the others: the pair remembered before is put back by identity, not by position
// (positions would share the virtual adapter as public and "Ethernet" as private).
TEST_F(ManagerTest, RestoresThePairByIdentityWhenAConnectionJoinedAheadOfIt) {
  Start(Machine({test::Connection(3, u"Hosted", u"Virtual"),
                 test::Connection(1, u"Ethernet", u"Wired", SimSharingRole::Public),
                 test::Connection(2, u"Home", u"Home", SimSharingRole::Private)}));
  bool started = false;
  rig->service().setHostedAdapter(test::Gid(3), [&started] { return sim::SimHostedAdapter{true, started}; });
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  ASSERT_EQ(manager->ConnectionCount(), 2);  // not yet listed: the hosted network never ran
  manager->CacheICSIntfIndex();
  started = true;
  ASSERT_EQ(manager->ResetIcsManager(), platform::kS_OK);
  ASSERT_EQ(manager->ConnectionCount(), 3);
  ASSERT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  manager->RestoreICSIntf();
  EXPECT_EQ(rig->service().sharedName(SimSharingRole::Public), u"Ethernet");
  EXPECT_EQ(rig->service().sharedName(SimSharingRole::Private), u"Home");
}

TEST_F(ManagerTest, WithNothingCachedOrASideGoneRestoringOnlySwitchesOff) {
  Start(ThreeConnections());
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  manager->CacheICSIntfIndex();
  EXPECT_FALSE(manager->CachedPublic());
  EXPECT_FALSE(manager->CachedPrivate());
  ASSERT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  manager->RestoreICSIntf();
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Public));
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Private));

  ASSERT_EQ(manager->EnableIcs(test::Gid(1), test::Gid(3)), platform::kS_OK);
  IcsRecordAccess::SetCachedPair(*manager, test::Gid(1), test::Gid(9));  // 9: no longer among the records
  rig->mark();
  manager->RestoreICSIntf();
  EXPECT_FALSE(rig->service().sharedName(SimSharingRole::Public));
  EXPECT_EQ(rig->calls("enable-public"), 2u);
}

#if defined(TETHRA_THREAD_CHECKS) && TETHRA_THREAD_CHECKS
// The manager belongs to the thread that made it (the dialog's); a call from any other thread
// stops a checked build before it reaches the sharing service. A death-test suite of its own,
// so that GoogleTest runs it before the other suites start threads.
using ManagerDeathTest = ManagerTest;
TEST_F(ManagerDeathTest, ACallFromAnotherThreadStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Start(ThreeConnections());
  ASSERT_EQ(manager->InitIcsManager(), platform::kS_OK);
  EXPECT_DEATH(std::thread([this] { manager->DisableIcsOnAll(); }).join(), "thread check failed: m_Thread");
}
#endif

}  // namespace
}  // namespace tethra::ics
