// The simulated WLAN service itself: what the scenario statements set up, its faults, its
// notifications and reasons, the buffers it hands out, and the transcript lines it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "WlanRig.h"
#include "tethra/sim/Text.h"

namespace tethra::wlan {
namespace {

using platform::Dword;

struct Client {
  explicit Client(sim::SimWlanService& service) : service(service) {
    Dword version = 0;
    EXPECT_EQ(service.wlanOpenHandle(2, nullptr, &version, &handle), platform::kERROR_SUCCESS);
    EXPECT_EQ(version, 2u);
  }
  ~Client() { EXPECT_EQ(service.wlanCloseHandle(handle, nullptr), platform::kERROR_SUCCESS); }
  // One property query on this handle; the value type it reports is not looked at here.
  platform::Win32Error query(std::uint32_t opCode, Dword& size, void*& data) {
    std::uint32_t type = 0;
    return service.wlanHostedNetworkQueryProperty(handle, opCode, &size, &data, &type, nullptr);
  }
  platform::Win32Error queryStatus(platform::WlanHostedNetworkStatus*& status) {
    return service.wlanHostedNetworkQueryStatus(handle, &status, nullptr);
  }
  // The status the service reports, looked at by `check` and then given back.
  void withStatus(const std::function<void(const platform::WlanHostedNetworkStatus&)>& check) {
    platform::WlanHostedNetworkStatus* status = nullptr;
    ASSERT_EQ(queryStatus(status), platform::kERROR_SUCCESS);
    check(*status);
    service.wlanFreeMemory(status);
  }
  void listen() {
    EXPECT_EQ(service.wlanRegisterNotification(handle, platform::kWLAN_NOTIFICATION_SOURCE_HNWK, 1, &Client::Callback,
                                               this, nullptr, nullptr),
              platform::kERROR_SUCCESS);
  }
  static void Callback(platform::WlanNotificationData* data, void* context) {
    auto* self = static_cast<Client*>(context);
    if (data->NotificationCode == platform::kWlanHostedNetworkStateChangeCode && data->dwDataSize == 12) {
      const auto* change = static_cast<platform::WlanHostedNetworkStateChange*>(data->pData);
      self->seen.push_back("state " + std::to_string(change->OldState) + "->" + std::to_string(change->NewState) +
                           " reason " + std::to_string(change->StateChangeReason));
    } else {
      self->seen.push_back("code " + std::to_string(data->NotificationCode) + " size " +
                           std::to_string(data->dwDataSize));
    }
  }

  sim::SimWlanService& service;
  platform::Handle handle = nullptr;
  std::vector<std::string> seen;
};

TEST(SimWlanServiceTest, StartAndStopAreAnsweredFirstAndNotifiedLater) {
  test::Rig rig;
  Client client(rig.service);
  client.listen();
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_TRUE(client.seen.empty());
  rig.deliver();
  EXPECT_EQ(client.seen, std::vector<std::string>{"state 1->2 reason 0"});
  EXPECT_EQ(rig.service.wlanHostedNetworkStopUsing(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.wlanHostedNetworkStopUsing(client.handle, nullptr, nullptr), platform::kERROR_INVALID_STATE);
  // Not running: a forced stop has nothing to stop and says so.
  EXPECT_EQ(rig.service.wlanHostedNetworkForceStop(client.handle, nullptr, nullptr), platform::kERROR_INVALID_STATE);
  rig.deliver();
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_TRUE(rig.service.restart());  // the shell's start on a running network changes nothing
  rig.deliver();
  EXPECT_EQ(client.seen, (std::vector<std::string>{"state 1->2 reason 0", "state 2->1 reason 17", "state 1->2 reason 0"}));
  // The shell's start holds the network too: our StopUsing gives back only our reference.
  EXPECT_EQ(rig.service.wlanHostedNetworkStopUsing(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkActive);
  EXPECT_EQ(rig.service.wlanHostedNetworkForceStop(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  rig.deliver();
  EXPECT_EQ(rig.host.events(), (std::vector<std::string>{
                                   "wlan state idle -> active (reason 0)", "wlan state active -> idle (reason 17)",
                                   "wlan state idle -> active (reason 0)", "wlan state active -> idle (reason 17)"}));
}

// A StartUsing is a reference of the handle that made it: the network runs while one is held,
// and the last one given back (StopUsing, the handle closed) idles it, told to those left.
TEST(SimWlanServiceTest, StartsAreReferencesOfTheirHandles) {
  test::Rig rig;
  Client watcher(rig.service);
  watcher.listen();
  auto first = std::make_unique<Client>(rig.service);
  Client second(rig.service);
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(first->handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(second.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  ASSERT_EQ(rig.service.wlanHostedNetworkStopUsing(second.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkActive);  // the first still holds it
  // A handle that never started it has nothing to give back: the network runs on.
  EXPECT_EQ(rig.service.wlanHostedNetworkStopUsing(watcher.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkActive);
  first.reset();  // closed without a StopUsing: its start is undone with it
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkIdle);
  rig.deliver();
  EXPECT_EQ(watcher.seen, (std::vector<std::string>{"state 1->2 reason 0", "state 2->1 reason 18"}));

  // Setting a property persists it: a running network goes idle, and stays so.
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(second.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  platform::WlanHostedNetworkConnectionSettings settings{};
  settings.hostedNetworkSSID.uSSIDLength = 4;
  std::copy_n("Cafe", 4, settings.hostedNetworkSSID.ucSSID);
  settings.dwMaxNumberOfPeers = 10;
  ASSERT_EQ(rig.service.wlanHostedNetworkSetProperty(second.handle, 0, 40, &settings, nullptr, nullptr),
            platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkIdle);
  EXPECT_EQ(rig.service.wlanHostedNetworkStopUsing(second.handle, nullptr, nullptr), platform::kERROR_INVALID_STATE);
  rig.deliver();
  EXPECT_EQ(watcher.seen.back(), "state 2->1 reason 26");
  // The security settings are the service's own.
  EXPECT_EQ(rig.service.wlanHostedNetworkSetProperty(second.handle, 1, 8, &settings, nullptr, nullptr),
            platform::kERROR_NOT_SUPPORTED);
}

// A notebook whose hosted network was never used has no settings until InitSettings makes them
// from the host name; one without hosted-network support, or with it disallowed, reports the
// state unavailable with no virtual adapter, and a start fails with reason 12.
TEST(SimWlanServiceTest, FirstUseAndUnavailableMachinesAsWindowsReportsThem) {
  sim::SimWlanConfig fresh;
  fresh.firstUse = true;
  fresh.hostName = u"NOTEBOOK-7";
  test::Rig rig(fresh);
  Client client(rig.service);
  Dword size = 0;
  void* data = nullptr;
  EXPECT_EQ(client.query(0, size, data), platform::Win32Error{1610});
  EXPECT_EQ(rig.service.wlanHostedNetworkInitSettings(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  const std::u16string name = rig.service.ssidText();
  EXPECT_EQ(name.rfind(u"NOTEBOOK-7_", 0), 0u) << sim::text::Utf16ToUtf8(name);
  EXPECT_EQ(name.size(), 15u);
  EXPECT_EQ(rig.service.maxPeers(), 100u);
  EXPECT_FALSE(rig.service.hasKey());
  EXPECT_EQ(rig.service.wlanHostedNetworkInitSettings(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.ssidText(), name);  // made once

  for (const bool capable : {false, true}) {
    sim::SimWlanConfig config;
    config.capable = capable;
    config.allowed = capable ? false : true;
    test::Rig machine(config);
    Client program(machine.service);
    program.withStatus([](const platform::WlanHostedNetworkStatus& status) {
      EXPECT_EQ(status.HostedNetworkState, platform::kWlanHostedNetworkUnavailable);
      EXPECT_TRUE(status.IPDeviceID.isZero());
    });
    std::uint32_t reason = 0;
    EXPECT_EQ(machine.service.wlanHostedNetworkStartUsing(program.handle, &reason, nullptr),
              platform::kERROR_INVALID_STATE);
    EXPECT_EQ(reason, 12u);
    EXPECT_FALSE(machine.service.restart());
  }
}

TEST(SimWlanServiceTest, UnsupportedMachineOpensButRefusesHostedNetworkCalls) {
  sim::SimWlanConfig config;
  config.supported = false;
  test::Rig rig(config);
  Client client(rig.service);
  client.listen();
  std::uint32_t reason = 0;
  EXPECT_EQ(rig.service.wlanHostedNetworkInitSettings(client.handle, &reason, nullptr), platform::kERROR_NOT_SUPPORTED);
  EXPECT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, &reason, nullptr), platform::kERROR_NOT_SUPPORTED);
  platform::WlanHostedNetworkStatus* status = nullptr;
  EXPECT_EQ(client.queryStatus(status), platform::kERROR_NOT_SUPPORTED);
  EXPECT_EQ(status, nullptr);
  EXPECT_FALSE(rig.service.restart());
}

TEST(SimWlanServiceTest, FaultsHitTheNamedCallsOnly) {
  test::Rig rig;
  Client client(rig.service);
  rig.host.addFault("wlan", "WlanHostedNetworkStartUsing", 5, -1, 2);
  EXPECT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, nullptr, nullptr), platform::Win32Error{5});
  EXPECT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, nullptr, nullptr), platform::Win32Error{5});
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkIdle);
  EXPECT_EQ(rig.service.wlanHostedNetworkStartUsing(client.handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.callCount("WlanHostedNetworkStartUsing"), 3u);

  rig.host.addFault("wlan-query", "0", 0, 36, 1);
  rig.host.addFault("wlan-query", "3", 0, -1, 1);
  Dword size = 0;
  void* data = nullptr;
  ASSERT_EQ(client.query(0, size, data), platform::kERROR_SUCCESS);
  EXPECT_EQ(size, 36u);
  rig.service.wlanFreeMemory(data);
  ASSERT_EQ(client.query(3, size, data), platform::kERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(data, nullptr);
  ASSERT_EQ(client.query(0, size, data), platform::kERROR_SUCCESS);
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(rig.service.outstandingBuffers(), 1u);
  void* allocated = rig.service.wlanAllocateMemory(4);
  void* second = rig.service.wlanAllocateMemory(4);
  // What is still held, by the call that handed it out, as a scenario's end check names it.
  EXPECT_EQ(rig.service.leftOverBuffersText(),
            "3 not freed with WlanFreeMemory (2 from WlanAllocateMemory, 1 from WlanHostedNetworkQueryProperty opcode 0)");
  rig.service.wlanFreeMemory(second);
  rig.service.wlanFreeMemory(allocated);
  rig.service.wlanFreeMemory(data);
  EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
  EXPECT_EQ(rig.service.leftOverBuffersText(), "");
  int local = 0;
  rig.service.wlanFreeMemory(&local);
  EXPECT_EQ(rig.service.badFrees(), 1u);
  EXPECT_EQ(rig.service.leftOverBuffersText(), "1 WlanFreeMemory of a buffer never handed out");
}

TEST(SimWlanServiceTest, ConfiguredStateIsWhatTheStatusShows) {
  sim::SimWlanConfig config = test::ActiveWithPeers({test::kMacA, test::kMacC});
  config.ssidBytes = std::vector<std::uint8_t>{0xFF, 0x00, 0x41};
  config.adapter = {};
  config.maxPeers = 7;
  test::Rig rig(config);
  Client client(rig.service);
  client.withStatus([](const platform::WlanHostedNetworkStatus& status) {
    EXPECT_EQ(status.HostedNetworkState, platform::kWlanHostedNetworkActive);
    EXPECT_TRUE(status.IPDeviceID.isZero());
    ASSERT_EQ(status.dwNumberOfPeers, 2u);
    EXPECT_EQ(status.PeerList[1].PeerMacAddress[0], 0xC0);
  });
  EXPECT_EQ(rig.service.ssidBytes(), (std::vector<std::uint8_t>{0xFF, 0x00, 0x41}));
  EXPECT_EQ(rig.service.maxPeers(), 7u);

  // Peers of a network that is not active are not there.
  config.state = platform::kWlanHostedNetworkIdle;
  test::Rig idle(config);
  EXPECT_TRUE(idle.service.peers().empty());
}

// However long the text it is given, the service holds at most 32 bytes of a name; given none,
// it holds none.
TEST(SimWlanServiceTest, ANameIsHeldUpToThirtyTwoBytes) {
  sim::SimWlanConfig config;
  config.ssidText = u"";
  test::Rig empty(config);
  Client client(empty.service);
  Dword size = 0;
  void* data = nullptr;
  ASSERT_EQ(client.query(0, size, data), platform::kERROR_SUCCESS);
  ASSERT_EQ(size, sizeof(platform::WlanHostedNetworkConnectionSettings));
  EXPECT_EQ(static_cast<platform::WlanHostedNetworkConnectionSettings*>(data)->hostedNetworkSSID.uSSIDLength, 0u);
  empty.service.wlanFreeMemory(data);
  EXPECT_EQ(empty.service.ssidText(), u"");

  for (std::size_t length : {32u, 33u, 64u, 65u, 300u}) {
    config.ssidText = std::u16string(length, u'n');
    test::Rig rig(config);
    EXPECT_EQ(rig.service.ssidBytes(), std::vector<std::uint8_t>(std::min<std::size_t>(length, 32), 'n')) << length;
  }
  config.ssidText = std::u16string(40, u'\u00e9');  // two bytes each in UTF-8
  test::Rig utf8(config, 65001);
  EXPECT_EQ(utf8.service.ssidBytes().size(), 32u);
}

TEST(SimWlanServiceTest, KeysAsTheServiceAcceptsThem) {
  test::Rig rig;
  Client client(rig.service);
  std::uint8_t good[] = "printable-key";
  EXPECT_EQ(rig.service.wlanHostedNetworkSetSecondaryKey(client.handle, sizeof good, good, 1, 1, nullptr, nullptr),
            platform::kERROR_SUCCESS);
  EXPECT_EQ(rig.service.keyText(), u"printable-key");
  std::uint8_t nonAscii[] = "caf\xE9-secret";
  EXPECT_EQ(rig.service.wlanHostedNetworkSetSecondaryKey(client.handle, sizeof nonAscii, nonAscii, 1, 1, nullptr, nullptr),
            platform::kERROR_INVALID_PARAMETER);
  std::uint8_t shortKey[] = "1234567";
  EXPECT_EQ(rig.service.wlanHostedNetworkSetSecondaryKey(client.handle, sizeof shortKey, shortKey, 1, 1, nullptr, nullptr),
            platform::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(rig.service.keyText(), u"printable-key");
  EXPECT_EQ(rig.host.events(), std::vector<std::string>{"wlan key set"});
}

TEST(SimWlanServiceTest, TranscriptShowsVisibleChangesOnly) {
  test::Rig rig({}, 65001);
  Client client(rig.service);
  platform::WlanHostedNetworkConnectionSettings settings{};
  const char name[] = "Caf\xC3\xA9";
  settings.hostedNetworkSSID.uSSIDLength = 5;
  std::copy(name, name + 5, settings.hostedNetworkSSID.ucSSID);
  settings.dwMaxNumberOfPeers = 100;  // unchanged
  ASSERT_EQ(rig.service.wlanHostedNetworkSetProperty(client.handle, 0, 40, &settings, nullptr, nullptr),
            platform::kERROR_SUCCESS);
  ASSERT_EQ(rig.service.wlanHostedNetworkSetProperty(client.handle, 0, 40, &settings, nullptr, nullptr),
            platform::kERROR_SUCCESS);
  rig.service.machineStationJoin(test::kMacA);
  EXPECT_EQ(rig.host.events(), (std::vector<std::string>{"wlan ssid \"Caf\xC3\xA9\"", "wlan station join 00-1A-2B-3C-4D-5E"}));
  EXPECT_EQ(rig.service.ssidText(), u"Caf\u00e9");
}

TEST(SimWlanServiceTest, ClosingTheHandleEndsDelivery) {
  test::Rig rig;
  auto client = std::make_unique<Client>(rig.service);
  client->listen();
  rig.service.machineStationJoin(test::kMacA);
  std::vector<std::string> seen;
  Client* raw = client.get();
  rig.deliver();
  seen = raw->seen;
  EXPECT_EQ(seen, std::vector<std::string>{"code 4097 size 28"});
  client.reset();
  rig.service.machineStationLeave(test::kMacA);
  rig.deliver();  // nobody registered: dropped, no crash
  EXPECT_FALSE(rig.service.notificationsRegistered());
  EXPECT_FALSE(rig.service.hasPendingNotification());
}

// A report is told to the registrations that existed when it was raised: a client that
// closes and a new one that registers before the delivery (a program ended and started again)
// leave the new one with nothing of the old one's.
TEST(SimWlanServiceTest, AReportGoesToTheRegistrationsOfItsMoment) {
  test::Rig rig;
  auto first = std::make_unique<Client>(rig.service);
  first->listen();
  ASSERT_EQ(rig.service.wlanHostedNetworkStartUsing(first->handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  ASSERT_EQ(rig.service.wlanHostedNetworkStopUsing(first->handle, nullptr, nullptr), platform::kERROR_SUCCESS);
  Client witness(rig.service);
  witness.listen();  // registered after both reports were raised
  first.reset();
  Client later(rig.service);
  later.listen();
  rig.deliver();
  EXPECT_TRUE(witness.seen.empty());
  EXPECT_TRUE(later.seen.empty());
  EXPECT_FALSE(rig.service.hasPendingNotification());

  // What is raised now reaches both registrations that exist.
  rig.service.machineSetState(platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkUnavailable, 12);
  rig.deliver();
  EXPECT_EQ(witness.seen, std::vector<std::string>{"state 1->0 reason 12"});
  EXPECT_EQ(later.seen, std::vector<std::string>{"state 1->0 reason 12"});
}

}  // namespace
}  // namespace tethra::wlan
