// The assembled machine with two program instances: each owns its own areas, both use the one
// WLAN service, and each hears the service on its own WLAN thread, for as long as it runs.
#include <gtest/gtest.h>

#include "tethra/sim/Machine.h"

namespace tethra::sim {
namespace {

struct Listener {
  World& world;
  std::vector<std::string> heard;  // "<process of the delivering thread> <code>"

  void listen(const platform::Platform& platform) {
    platform::Dword version = 0;
    platform::Handle handle = nullptr;
    ASSERT_EQ(platform.wlan->wlanOpenHandle(2, nullptr, &version, &handle), platform::kERROR_SUCCESS);
    ASSERT_EQ(platform.wlan->wlanRegisterNotification(handle, platform::kWLAN_NOTIFICATION_SOURCE_HNWK, 1, &Callback,
                                                      this, nullptr, nullptr),
              platform::kERROR_SUCCESS);
  }
  static void Callback(platform::WlanNotificationData* data, void* context) {
    auto* self = static_cast<Listener*>(context);
    self->heard.push_back(self->world.currentProcess()->name() + " " + std::to_string(data->NotificationCode));
  }
};

TEST(SimMachineTest, EachInstanceOwnsItsAreasAndHearsTheServiceOnItsOwnThreadWhileItRuns) {
  SimMachine machine(SimMachineConfig{});
  World& world = machine.world();
  SimProcess& first = machine.createProgram("first", nullptr);
  SimProcess& second = machine.createProgram("second", nullptr);
  const platform::Platform& a = first.platform();
  const platform::Platform& b = second.platform();
  EXPECT_NE(a.com, b.com);
  EXPECT_NE(a.security, b.security);
  EXPECT_NE(a.processStart, b.processStart);
  EXPECT_EQ(a.wlan, b.wlan);
  EXPECT_EQ(a.sharing, b.sharing);

  Listener one{world, {}};
  Listener two{world, {}};
  bool firstEnds = false;
  world.startThread(first, "main", [&] {
    one.listen(a);
    world.block([&] { return firstEnds; });
    a.kernel->exitProcess(0);  // its handle stays open: the system closes it
  });
  world.startThread(second, "main", [&] {
    two.listen(b);
    world.block([] { return false; });
  });
  const Mac station{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  world.run([&] {
    world.waitIdle();
    machine.wlan().machineStationJoin(station);
    world.waitIdle();
    firstEnds = true;
    world.waitIdle();
    machine.wlan().machineStationLeave(station);
    machine.wlan().machineSetState(platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkActive, 0);
    world.waitIdle();
  });
  EXPECT_TRUE(first.exited());
  EXPECT_EQ(one.heard, std::vector<std::string>{"first 4097"});
  EXPECT_EQ(two.heard, (std::vector<std::string>{"second 4097", "second 4097", "second 4096"}));
  EXPECT_FALSE(machine.wlan().hasPendingNotification());
}

// The RAS connections the sharing enumeration lists to the calling process.
std::size_t ListedForSharing(SimMachine& machine) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < machine.sharing().connections().size(); ++i) n += machine.sharing().listedForSharing(i);
  return n;
}

// COM security is the process's own: once, after the thread's COM initialisation, and a RAS
// connection is listed for sharing only to the instance that set the levels the ICS pages ask.
TEST(SimMachineTest, ComSecurityIsSetOncePerProcessAndListsRasConnectionsOnlyToThatProcess) {
  SimMachineConfig config;
  SimConnectionConfig vpn;
  vpn.guid = platform::Guid{0x5A1E0006, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0xB0, 0x01}};
  vpn.name = u"Office VPN";
  vpn.ras = true;
  config.sharing.connections = {vpn};
  SimMachine machine(config);
  World& world = machine.world();
  SimProcess& first = machine.createProgram("first", nullptr);
  SimProcess& second = machine.createProgram("second", nullptr);
  std::vector<platform::HResult> answers;
  std::vector<std::size_t> listed;
  bool firstDone = false;
  world.startThread(first, "main", [&] {
    platform::IComRuntime& com = *first.platform().com;
    answers.push_back(com.coInitializeSecurity(platform::kRPC_C_AUTHN_LEVEL_PKT,
                                               platform::kRPC_C_IMP_LEVEL_IMPERSONATE, platform::kEOAC_NONE));
    EXPECT_EQ(com.coInitializeEx(platform::kCOINIT_MULTITHREADED), platform::kS_OK);
    answers.push_back(com.coInitializeSecurity(platform::kRPC_C_AUTHN_LEVEL_PKT,
                                               platform::kRPC_C_IMP_LEVEL_IMPERSONATE, platform::kEOAC_NONE));
    answers.push_back(com.coInitializeSecurity(platform::kRPC_C_AUTHN_LEVEL_PKT,
                                               platform::kRPC_C_IMP_LEVEL_IMPERSONATE, platform::kEOAC_NONE));
    listed.push_back(ListedForSharing(machine));
    firstDone = true;
    world.block([] { return false; });
  });
  world.startThread(second, "main", [&] {
    world.block([&] { return firstDone; });
    platform::IComRuntime& com = *second.platform().com;
    EXPECT_EQ(com.coInitializeEx(platform::kCOINIT_MULTITHREADED), platform::kS_OK);
    listed.push_back(ListedForSharing(machine));  // the first instance's security is not its own
    answers.push_back(com.coInitializeSecurity(2, platform::kRPC_C_IMP_LEVEL_IMPERSONATE, platform::kEOAC_NONE));
    listed.push_back(ListedForSharing(machine));  // set, but not with the levels the pages ask
    world.block([] { return false; });
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(answers, (std::vector<platform::HResult>{platform::HResult{0x800401F0u}, platform::kS_OK,
                                                     platform::kRPC_E_TOO_LATE, platform::kS_OK}));
  EXPECT_EQ(listed, (std::vector<std::size_t>{1, 0, 0}));
}

}  // namespace
}  // namespace tethra::sim
