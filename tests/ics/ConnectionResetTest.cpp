// The reset of the hosted network's connection through the connection manager: which
// connections are disconnected and reconnected, what comes back, and that COM initialisation
// and every record are undone.
#include <gtest/gtest.h>

#include "SharingRig.h"
#include "tethra/ics/ConnectionReset.h"

namespace tethra::ics {
namespace {

using test::SharingRig;

constexpr char16_t kMiniport[] = u"Microsoft Virtual WiFi Miniport Adapter";

sim::SimSharingConfig FourConnections() {
  sim::SimSharingConfig config;
  config.connections = {test::Connection(1, u"Ethernet", u"Wired"), test::Connection(2, u"Hosted", kMiniport),
                        test::Connection(3, u"Hosted 2", kMiniport), test::Connection(4, u"Other", u"Virtual")};
  return config;
}

TEST(ConnectionResetTest, AKnownGuidResetsOnlyThatConnectionButEveryOneIsVisited) {
  SharingRig rig(FourConnections());
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(4)), platform::kS_OK);
  EXPECT_EQ(rig.events(),
            (std::vector<std::string>{"connection \"Other\" disconnected", "connection \"Other\" connected"}));
  EXPECT_EQ(rig.calls("properties"), 4u);
  EXPECT_EQ(rig.calls("debug-output"), 8u);
  EXPECT_EQ(rig.service().leftOverText(), "");
  EXPECT_EQ(rig.com().initialised, 1);
  EXPECT_EQ(rig.com().uninitialised, 1);
}

TEST(ConnectionResetTest, NoMatchingConnectionIsFileNotFound) {
  SharingRig rig(FourConnections());
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(9)),
            platform::HResult{0x80070002u});
  EXPECT_TRUE(rig.events().empty());
  EXPECT_EQ(rig.service().leftOverText(), "");
}

TEST(ConnectionResetTest, AnAllZeroGuidResetsEveryVirtualMiniportConnection) {
  SharingRig rig(FourConnections());
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), platform::Guid{}), platform::kS_OK);
  EXPECT_EQ(rig.events(),
            (std::vector<std::string>{"connection \"Hosted\" disconnected", "connection \"Hosted\" connected",
                                      "connection \"Hosted 2\" disconnected", "connection \"Hosted 2\" connected"}));
}

TEST(ConnectionResetTest, TheLastConnectsResultIsReturnedAndAFailedReadEndsTheWalk) {
  SharingRig rig(FourConnections());
  rig.fail("connect", test::kFail, 1);
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(2)), test::kFail);

  rig.fail("properties", test::kFail, 1);
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(2)), test::kFail);
  EXPECT_EQ(rig.calls("disconnect"), 1u);  // only the first walk got that far
  EXPECT_EQ(rig.service().leftOverText(), "");
}

TEST(ConnectionResetTest, ComIsUndoneOnlyWhenThisCallInitialisedIt) {
  SharingRig rig(FourConnections());
  rig.com().answer = platform::kRPC_E_CHANGED_MODE;  // the thread already is in the other apartment
  rig.fail("create-connections", test::kFail, 1);
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(2)), test::kFail);
  EXPECT_EQ(rig.com().uninitialised, 0);
  rig.com().answer = platform::kS_FALSE;
  rig.fail("enum-connections", test::kFail, 1);
  EXPECT_EQ(ResetHostedNetworkConnection(rig.kernel(), rig.service(), rig.com(), test::Gid(2)), test::kFail);
  EXPECT_EQ(rig.com().uninitialised, 1);
  EXPECT_EQ(rig.service().references(), 0);
}

}  // namespace
}  // namespace tethra::ics
