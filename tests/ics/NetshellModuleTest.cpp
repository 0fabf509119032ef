// The network-shell module: loading and unloading the library into g_NsMod, releasing
// platform records through it, and private copies of properties records.
#include <gtest/gtest.h>

#include <cstring>

#include "SharingRig.h"
#include "tethra/ics/NetshellModule.h"
#include "tethra/platform/ComPtr.h"

namespace tethra::ics {
namespace {

using platform::ComPtr;
using test::SharingRig;

sim::SimSharingConfig WithNetshell(sim::SimSharingConfig::Netshell netshell) {
  sim::SimSharingConfig config;
  config.connections = {test::Connection(1, u"Ethernet", u"Wired")};
  config.netshell = netshell;
  return config;
}

bool RecordIsZero() {
  return g_NsMod.lpfnFreeNetConProperties == nullptr && g_NsMod.hNetshModule == nullptr && !g_NsMod.bNSModInited &&
         g_NsMod.pLoader == nullptr;
}

// A platform record of the rig's first connection, as a connection hands it out.
platform::NetconProperties* PlatformRecord(SharingRig& rig) {
  ComPtr<platform::IEnumNetConnection> enumerator;
  EXPECT_EQ(rig.enumerateConnections(enumerator), platform::kS_OK);
  ComPtr<platform::INetConnection> connection;
  std::uint32_t fetched = 0;
  EXPECT_EQ(enumerator->Next(1, connection.put(), &fetched), platform::kS_OK);
  platform::NetconProperties* record = nullptr;
  EXPECT_EQ(connection->GetProperties(&record), platform::kS_OK);
  return record;
}

TEST(NetshellModuleTest, LoadsTheLibraryAndReleasesPlatformRecordsThroughIt) {
  SharingRig rig(WithNetshell(sim::SimSharingConfig::Netshell::Present));
  ASSERT_EQ(NSModInit(*rig.platform().modules, rig.kernel(), rig.trace()), platform::kS_OK);
  EXPECT_TRUE(g_NsMod.bNSModInited);
  EXPECT_NE(g_NsMod.lpfnFreeNetConProperties, nullptr);
  EXPECT_EQ(rig.service().libraryLoads(), 1);

  NSModFreeNetconProperties(PlatformRecord(rig));
  EXPECT_EQ(rig.service().outstandingMemory(), 0u);
  EXPECT_EQ(rig.calls("free-properties"), 1u);
  NSModFreeNetconProperties(nullptr);
  EXPECT_EQ(rig.calls("free-properties"), 1u);

  NSModDeinit();
  EXPECT_TRUE(RecordIsZero());
  EXPECT_EQ(rig.service().libraryLoads(), 0);
  NSModDeinit();  // a second time: nothing to do
  EXPECT_EQ(rig.calls("free-library"), 1u);
  EXPECT_EQ(rig.service().misuses(), 0u);
}

TEST(NetshellModuleTest, AMissingLibraryLeavesTheRecordZeroAndFreeingDoesNothing) {
  SharingRig rig(WithNetshell(sim::SimSharingConfig::Netshell::Missing));
  EXPECT_EQ(NSModInit(*rig.platform().modules, rig.kernel(), rig.trace()), platform::HResultFromWin32(platform::kERROR_MOD_NOT_FOUND));
  EXPECT_TRUE(RecordIsZero());
  platform::NetconProperties* record = PlatformRecord(rig);
  NSModFreeNetconProperties(record);  // nothing to free with: the record stays the platform's
  EXPECT_EQ(rig.service().outstandingRecords(), 1u);
  rig.service().coTaskMemFree(record->pszwName);
  rig.service().coTaskMemFree(record->pszwDeviceName);
  rig.service().coTaskMemFree(record);
  NSModDeinit();
  EXPECT_EQ(rig.calls("free-library"), 0u);
}

TEST(NetshellModuleTest, ALibraryWithoutTheExportIsUnloadedAgain) {
  SharingRig rig(WithNetshell(sim::SimSharingConfig::Netshell::NoExport));
  EXPECT_EQ(NSModInit(*rig.platform().modules, rig.kernel(), rig.trace()), platform::HResultFromWin32(platform::kERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(RecordIsZero());
  EXPECT_EQ(rig.service().libraryLoads(), 0);
  EXPECT_EQ(rig.calls("free-library"), 1u);
}

TEST(NetshellModuleTest, DeinitBeforeAnyInitDoesNothing) {
  g_NsMod = NsModRecord{};
  NSModDeinit();
  EXPECT_TRUE(RecordIsZero());
}

TEST(NetshellModuleTest, CopiesOwnTheirStringsAndKeepEveryOtherField) {
  char16_t name[] = u"Ethernet";
  char16_t device[] = u"Wired";
  platform::NetconProperties source{};
  source.guidId = test::Gid(7);
  source.pszwName = name;
  source.pszwDeviceName = device;
  source.Status = 2;
  source.MediaType = 3;
  source.dwCharacter = 0x41;
  source.clsidThisObject = test::Gid(8);
  source.clsidUiObject = test::Gid(9);

  NetconPropertiesCopy copy;
  ASSERT_EQ(NSModDuplicateNetconProperties(source, copy), platform::kS_OK);
  EXPECT_NE(copy.record.pszwName, source.pszwName);
  EXPECT_NE(copy.record.pszwDeviceName, source.pszwDeviceName);
  name[0] = u'X';
  EXPECT_EQ(std::u16string(copy.record.pszwName), u"Ethernet");
  EXPECT_EQ(std::u16string(copy.record.pszwDeviceName), u"Wired");
  EXPECT_EQ(copy.record.guidId, source.guidId);
  EXPECT_EQ(copy.record.Status, 2);
  EXPECT_EQ(copy.record.MediaType, 3);
  EXPECT_EQ(copy.record.dwCharacter, 0x41u);
  EXPECT_EQ(copy.record.clsidThisObject, source.clsidThisObject);
  EXPECT_EQ(copy.record.clsidUiObject, source.clsidUiObject);

  // The strings belong to the copy and go with it; a moved copy still reads them.
  const NetconPropertiesCopy moved = std::move(copy);
  EXPECT_EQ(std::u16string(moved.record.pszwName), u"Ethernet");
  EXPECT_EQ(moved.record.pszwDeviceName, moved.deviceName.get());
}

TEST(NetshellModuleTest, ARecordWithoutNamesCopiesToTwoNullStrings) {
  platform::NetconProperties source{};
  source.guidId = test::Gid(3);
  NetconPropertiesCopy copy;
  copy.record.Status = 99;
  ASSERT_EQ(NSModDuplicateNetconProperties(source, copy), platform::kS_OK);
  EXPECT_EQ(copy.record.pszwName, nullptr);
  EXPECT_EQ(copy.record.pszwDeviceName, nullptr);
  EXPECT_EQ(copy.record.guidId, test::Gid(3));
  EXPECT_EQ(copy.record.Status, 0);
}

}  // namespace
}  // namespace tethra::ics
