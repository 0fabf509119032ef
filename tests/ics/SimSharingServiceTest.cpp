// The simulated sharing service itself: the platform's one-public-one-private rule, the checks
// on class identifiers, and the counting of references, records and library loads on which
// the scenarios' leak checks rely.
#include <gtest/gtest.h>

#include "SharingRig.h"
#include "tethra/platform/ComPtr.h"

namespace tethra::ics {
namespace {

using platform::ComPtr;
using sim::SimSharingRole;
using test::SharingRig;

sim::SimSharingConfig Three() {
  sim::SimSharingConfig config;
  config.connections = {test::Connection(1, u"A", u"D", SimSharingRole::Public),
                        test::Connection(2, u"B", u"D", SimSharingRole::Private), test::Connection(3, u"C", u"D")};
  return config;
}

// A new sharing manager (in `manager`) and its enumeration of every connection, at its start.
ComPtr<platform::IEnumNetSharingEveryConnection> EveryConnection(SharingRig& rig,
                                                                 ComPtr<platform::INetSharingManager>& manager) {
  EXPECT_EQ(
      rig.service().createNetSharingManager(platform::kCLSID_NetSharingManager, platform::kCLSCTX_ALL, manager.put()),
      platform::kS_OK);
  ComPtr<platform::INetSharingEveryConnectionCollection> collection;
  EXPECT_EQ(manager->get_EnumEveryConnection(collection.put()), platform::kS_OK);
  ComPtr<platform::IEnumNetSharingEveryConnection> enumerator;
  EXPECT_EQ(collection->get__NewEnum(enumerator.put()), platform::kS_OK);
  return enumerator;
}

// The sharing configuration of the n-th connection (0-based) through the sharing manager.
ComPtr<platform::INetSharingConfiguration> ConfigurationOf(SharingRig& rig, int n) {
  ComPtr<platform::INetSharingManager> manager;
  const ComPtr<platform::IEnumNetSharingEveryConnection> enumerator = EveryConnection(rig, manager);
  ComPtr<platform::INetConnection> connection;
  std::uint32_t fetched = 0;
  for (int i = 0; i <= n; ++i) EXPECT_EQ(enumerator->Next(1, connection.put(), &fetched), platform::kS_OK);
  ComPtr<platform::INetSharingConfiguration> configuration;
  EXPECT_EQ(manager->get_INetSharingConfigurationForINetConnection(connection.get(), configuration.put()),
            platform::kS_OK);
  return configuration;
}

// What is shared since the start leaves out a connection back in the role it started with.
TEST(SimSharingServiceTest, ASecondConnectionOnASideSwitchesTheFirstOff) {
  SharingRig rig(Three());
  EXPECT_TRUE(rig.service().sharedSinceStart().empty());
  auto c = ConfigurationOf(rig, 2);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->EnableSharing(platform::kICSSHARINGTYPE_PUBLIC), platform::kS_OK);
  EXPECT_EQ(rig.service().sharedSinceStart(), std::vector<std::u16string>{u"C"});
  EXPECT_EQ(rig.service().sharedName(SimSharingRole::Public), u"C");
  EXPECT_EQ(rig.service().sharedName(SimSharingRole::Private), u"B");
  EXPECT_EQ(rig.events(), (std::vector<std::string>{"sharing \"A\" off", "sharing \"C\" public"}));
  EXPECT_EQ(c->EnableSharing(platform::kICSSHARINGTYPE_PRIVATE), platform::kS_OK);
  EXPECT_FALSE(rig.service().sharedName(SimSharingRole::Public));
  EXPECT_EQ(rig.service().sharedName(SimSharingRole::Private), u"C");
  EXPECT_EQ(c->EnableSharing(2), platform::kE_INVALIDARG);
  EXPECT_EQ(ConfigurationOf(rig, 0)->EnableSharing(platform::kICSSHARINGTYPE_PUBLIC), platform::kS_OK);
  EXPECT_EQ(rig.service().sharedSinceStart(), std::vector<std::u16string>{u"C"});
  EXPECT_EQ(c->DisableSharing(), platform::kS_OK);
  EXPECT_TRUE(rig.service().sharedSinceStart().empty());
}

// The names an enumerator of either kind lists, to its end.
template <typename Enumerator>
std::vector<std::u16string> NamesOf(SharingRig& rig, Enumerator& enumerator) {
  std::vector<std::u16string> names;
  for (;;) {
    ComPtr<platform::INetConnection> connection;
    std::uint32_t fetched = 0;
    if (enumerator.Next(1, connection.put(), &fetched) != platform::kS_OK) return names;
    platform::NetconProperties* properties = nullptr;
    EXPECT_EQ(connection->GetProperties(&properties), platform::kS_OK);
    names.emplace_back(properties->pszwName);
    rig.service().freeProperties(properties);
  }
}

// What the sharing enumeration lists now, and what the connection manager lists.
std::vector<std::u16string> SharingList(SharingRig& rig) {
  ComPtr<platform::INetSharingManager> manager;
  return NamesOf(rig, *EveryConnection(rig, manager));
}
std::vector<std::u16string> FolderList(SharingRig& rig) {
  ComPtr<platform::IEnumNetConnection> enumerator;
  EXPECT_EQ(rig.enumerateConnections(enumerator), platform::kS_OK);
  return NamesOf(rig, *enumerator);
}

// The hosted network's connection lives with its virtual adapter: the connection manager lists
// it whenever the adapter exists, the sharing enumeration only once the network has run; after
// a stop its sharing can still be switched off, and it is excused at the end only once gone.
TEST(SimSharingServiceTest, TheHostedConnectionLivesWithItsVirtualAdapter) {
  SharingRig rig(Three());
  sim::SimHostedAdapter adapter{true, false};
  rig.service().setHostedAdapter(test::Gid(3), [&adapter] { return adapter; });
  EXPECT_EQ(FolderList(rig), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  EXPECT_EQ(SharingList(rig), (std::vector<std::u16string>{u"A", u"B"}));
  adapter.startedSincePresent = true;  // the hosted network ran (and may have stopped again)
  EXPECT_EQ(SharingList(rig), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  auto hosted = ConfigurationOf(rig, 2);
  ASSERT_EQ(hosted->EnableSharing(platform::kICSSHARINGTYPE_PRIVATE), platform::kS_OK);
  EXPECT_EQ(rig.service().sharedSinceStart(), std::vector<std::u16string>{u"C"});
  EXPECT_EQ(hosted->DisableSharing(), platform::kS_OK);
  ASSERT_EQ(hosted->EnableSharing(platform::kICSSHARINGTYPE_PRIVATE), platform::kS_OK);

  adapter = {false, false};  // the physical adapter disabled: the connection is gone, shared
  EXPECT_EQ(FolderList(rig), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(hosted->DisableSharing(), platform::kE_FAIL);
  EXPECT_TRUE(rig.service().sharedSinceStart().empty());
  EXPECT_EQ(ConfigurationOf(rig, 1)->EnableSharing(platform::kICSSHARINGTYPE_PRIVATE), platform::kE_FAIL);
}

// "To enumerate RAS connections, each process calling the ICS API should call
// CoInitializeSecurity": a RAS connection is listed for sharing only to a process that did.
TEST(SimSharingServiceTest, ListsRasConnectionsOnlyToAProcessThatInitialisedComSecurity) {
  sim::SimSharingConfig config = Three();
  config.connections[1].ras = true;
  SharingRig rig(std::move(config));
  EXPECT_EQ(SharingList(rig), (std::vector<std::u16string>{u"A", u"C"}));
  EXPECT_EQ(FolderList(rig), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  bool secured = true;
  rig.service().setCallerSecurity([&secured] { return secured; });
  EXPECT_EQ(SharingList(rig), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  secured = false;
  EXPECT_EQ(SharingList(rig), (std::vector<std::u16string>{u"A", u"C"}));
}

TEST(SimSharingServiceTest, CountsReferencesAndObjectsUntilTheLastRelease) {
  SharingRig rig(Three());
  {
    auto c = ConfigurationOf(rig, 0);
    EXPECT_EQ(rig.service().references(), 1);  // only the configuration is still held
    c->AddRef();
    EXPECT_EQ(rig.service().references(), 2);
    c->Release();
  }
  EXPECT_EQ(rig.service().references(), 0);
  EXPECT_EQ(rig.service().liveObjects(), 0);
  EXPECT_EQ(rig.service().leftOverText(), "");
}

TEST(SimSharingServiceTest, RefusesWrongClassesAndContexts) {
  SharingRig rig(Three());
  platform::INetSharingManager* manager = nullptr;
  EXPECT_EQ(rig.service().createNetSharingManager(platform::kCLSID_ConnectionManager, platform::kCLSCTX_ALL, &manager),
            platform::HResult{0x80040154u});
  EXPECT_EQ(rig.service().createNetSharingManager(platform::kCLSID_NetSharingManager, 1028, &manager),
            platform::kE_INVALIDARG);
  platform::INetConnectionManager* connections = nullptr;
  EXPECT_EQ(rig.service().createNetConnectionManager(platform::kCLSID_ConnectionManager, platform::kCLSCTX_ALL,
                                                     &connections),
            platform::kE_INVALIDARG);
  EXPECT_EQ(manager, nullptr);
  EXPECT_EQ(connections, nullptr);
}

TEST(SimSharingServiceTest, ReportsRecordsMemoryLoadsAndBadFreesLeftBehind) {
  SharingRig rig(Three());
  const platform::Hmodule module = rig.service().loadLibrary(u"netshell.dll");
  ASSERT_NE(module, nullptr);
  char16_t* text = nullptr;
  ASSERT_EQ(rig.service().stringFromClsid(test::Gid(1), &text), platform::kS_OK);
  EXPECT_EQ(std::u16string(text), u"{5A1E0002-0000-4000-8000-00000000E001}");
  EXPECT_NE(rig.service().leftOverText().find("1 task memory blocks not freed"), std::string::npos);
  EXPECT_NE(rig.service().leftOverText().find("1 library loads not freed"), std::string::npos);
  rig.service().coTaskMemFree(text);
  rig.service().coTaskMemFree(text);  // twice: a bad free
  EXPECT_TRUE(rig.service().freeLibrary(module));
  EXPECT_FALSE(rig.service().freeLibrary(module));
  EXPECT_EQ(rig.service().misuses(), 2u);
  EXPECT_EQ(rig.service().loadLibrary(u"other.dll"), nullptr);
}

}  // namespace
}  // namespace tethra::ics
