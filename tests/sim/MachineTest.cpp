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

}  // namespace
}  // namespace tethra::sim
