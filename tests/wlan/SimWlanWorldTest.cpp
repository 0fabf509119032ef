// The simulated WLAN service inside a World: its WLAN thread delivers after the causing call
// has returned, its calls are counted under "wlan", its changes reach the transcript, and
// `fault` rules come from the World's fault plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tethra/sim/Machine.h"

namespace tethra::sim {
namespace {

struct Observer {
  std::vector<std::string> order;
  static void Callback(platform::WlanNotificationData* data, void* context) {
    static_cast<Observer*>(context)->order.push_back("notified " + std::to_string(data->NotificationCode));
  }
};

// A handle of the program's, registered for the hosted network's notifications to `callback`.
platform::Handle OpenListening(platform::IWlanApi& api, void (*callback)(platform::WlanNotificationData*, void*),
                               void* context) {
  platform::Dword version = 0;
  platform::Handle handle = nullptr;
  EXPECT_EQ(api.wlanOpenHandle(2, nullptr, &version, &handle), platform::kERROR_SUCCESS);
  EXPECT_EQ(api.wlanRegisterNotification(handle, platform::kWLAN_NOTIFICATION_SOURCE_HNWK, 1, callback, context,
                                         nullptr, nullptr),
            platform::kERROR_SUCCESS);
  return handle;
}

TEST(SimWlanInWorldTest, DeliversOnItsThreadAfterTheCall) {
  SimMachine machine(SimMachineConfig{});
  World& world = machine.world();
  SimProcess& program = machine.createProgram("tethra", nullptr);
  world.faults().add(FaultRule{"wlan", "WlanHostedNetworkStopUsing", 5, -1, 1});
  Observer observer;
  platform::Win32Error stopResult = platform::kERROR_SUCCESS;
  world.startThread(program, "main", [&] {
    platform::IWlanApi& api = *program.platform().wlan;
    const platform::Handle handle = OpenListening(api, &Observer::Callback, &observer);
    EXPECT_EQ(api.wlanHostedNetworkStartUsing(handle, nullptr, nullptr), platform::kERROR_SUCCESS);
    observer.order.push_back("start returned");
    world.block([&] { return observer.order.size() == 2; });
    stopResult = api.wlanHostedNetworkStopUsing(handle, nullptr, nullptr);
    EXPECT_EQ(api.wlanCloseHandle(handle, nullptr), platform::kERROR_SUCCESS);
  });
  world.run([&] { world.waitIdle(); });

  EXPECT_EQ(observer.order, (std::vector<std::string>{"start returned", "notified 4096"}));
  EXPECT_EQ(stopResult, platform::Win32Error{5});
  EXPECT_EQ(world.callCount("wlan", "WlanHostedNetworkStartUsing"), 1u);
  const auto& events = world.transcript().events();
  EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const std::string& line) {
    return line.find("wlan state idle -> active (reason 0)") != std::string::npos;
  }));
  // The failed StopUsing left the program's reference; closing its handle undid it.
  EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const std::string& line) {
    return line.find("wlan state active -> idle (reason 18)") != std::string::npos;
  }));
  EXPECT_EQ(machine.wlan().state(), platform::kWlanHostedNetworkIdle);
  EXPECT_EQ(machine.wlan().outstandingBuffers(), 0u);
}

// WlanCloseHandle waits for a running callback, so a thread that closes while it holds the lock
// that callback waits for waits for ever. The service names that close and the world goes on;
// the same close once the lock is given back returns after the callback.
TEST(SimWlanInWorldTest, ACloseUnderTheLockTheCallbackWaitsForIsAMisuse) {
  for (const bool closeUnderLock : {true, false}) {
    SCOPED_TRACE(closeUnderLock ? "closed holding the lock" : "closed after leaving it");
    SimMachine machine(SimMachineConfig{});
    World& world = machine.world();
    SimProcess& program = machine.createProgram("tethra", nullptr);
    struct Guarded {
      std::unique_ptr<platform::ICriticalSection> lock;
      bool entered = false;
      int told = 0;
      static void Callback(platform::WlanNotificationData*, void* context) {
        auto* self = static_cast<Guarded*>(context);
        self->entered = true;
        self->lock->enter();
        ++self->told;
        self->lock->leave();
      }
    } guarded;
    guarded.lock = program.platform().kernel->createCriticalSection();
    bool closed = false;
    world.startThread(program, "main", [&] {
      platform::IWlanApi& api = *program.platform().wlan;
      const platform::Handle handle = OpenListening(api, &Guarded::Callback, &guarded);
      guarded.lock->enter();
      EXPECT_EQ(api.wlanHostedNetworkStartUsing(handle, nullptr, nullptr), platform::kERROR_SUCCESS);
      world.block([&] { return guarded.entered; });  // the callback runs and waits for the lock
      if (!closeUnderLock) guarded.lock->leave();
      EXPECT_EQ(api.wlanCloseHandle(handle, nullptr), platform::kERROR_SUCCESS);
      closed = true;
      if (closeUnderLock) guarded.lock->leave();
    });
    world.run([&] { world.waitIdle(); });

    const std::vector<std::string> misuses = machine.wlan().misuses();
    if (closeUnderLock) {
      EXPECT_FALSE(closed);
      EXPECT_EQ(guarded.told, 0);
      EXPECT_EQ(misuses, std::vector<std::string>{"WlanCloseHandle called while holding a lock the running "
                                                  "notification callback waits for: it never returns"});
    } else {
      EXPECT_TRUE(closed);
      EXPECT_EQ(guarded.told, 1);
      EXPECT_TRUE(misuses.empty());
    }
  }
}

}  // namespace
}  // namespace tethra::sim
