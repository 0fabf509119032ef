// CWlanManager against the simulated WLAN service: opening, name, key, start/stop, adapter
// GUID, and what is left behind on failures (handle, buffers, stored settings).
#include <gtest/gtest.h>

#include <algorithm>

#include "RecordingSink.h"
#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using platform::HResult;

using platform::HResultFromWin32;
using test::Rig;

constexpr HResult kNotReady{0x8007139Fu};

std::size_t CountCalls(const Rig& rig, const std::string& prefix) {
  const auto calls = rig.host.calls();
  return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
    return c.rfind(prefix, 0) == 0;
  }));
}

TEST(WlanManagerInitTest, WritesPeersToAnIdleNetwork) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  EXPECT_EQ(rig.service.maxPeers(), 10u);
  EXPECT_EQ(rig.service.callCount("WlanHostedNetworkSetProperty"), 1u);
  ASSERT_EQ(manager.StartHostedNetwork(), platform::kS_OK);
  EXPECT_EQ(rig.service.callCount("WlanHostedNetworkSetProperty"), 1u);  // nothing left to write
}

TEST(WlanManagerInitTest, AdoptsAnActiveNetworkAndLearnsState) {
  Rig rig(test::ActiveWithPeers({test::kMacA, test::kMacB}));
  {
    CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
    ASSERT_EQ(manager.Init(10), platform::kS_OK);
    // A property written to an active network idles it: the peer limit waits for a start.
    EXPECT_EQ(rig.service.callCount("WlanHostedNetworkSetProperty"), 0u);
    EXPECT_EQ(rig.service.maxPeers(), 100u);
    EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkActive);
    EXPECT_TRUE(rig.service.notificationsRegistered());
    bool started = false;
    ASSERT_EQ(manager.IsHostedNetworkStarted(started), platform::kS_OK);
    EXPECT_TRUE(started);

    const std::size_t before = rig.host.calls().size();
    EXPECT_EQ(manager.Init(5), platform::kS_OK);  // already open: no WLAN call, nothing rewritten
    EXPECT_EQ(rig.host.calls().size(), before);
    EXPECT_EQ(rig.service.maxPeers(), 100u);

    // The two peers became stations: a registered sink sees them replayed.
    test::RecordingSink sink;
    ASSERT_EQ(manager.SetNotificationSink(&sink), platform::kS_OK);
    EXPECT_EQ(sink.lines(), (std::vector<std::string>{"join 00-1A-2B-3C-4D-5E", "join 0A-0B-0C-0D-0E-0F"}));
    EXPECT_EQ(manager.RemoveNotificationSink(), platform::kS_OK);
  }
  EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
  EXPECT_EQ(rig.service.badFrees(), 0u);
  EXPECT_EQ(rig.service.callCount("WlanCloseHandle"), 1u);
  EXPECT_EQ(rig.kernel.openHandles(), 0u);
}

TEST(WlanManagerInitTest, ShortOrMissingPropertyAnswers) {
  for (const auto& [opcode, size] : std::vector<std::pair<std::string, std::int64_t>>{
           {"0", 36}, {"0", -1}, {"3", 3}, {"1", 7}}) {
    SCOPED_TRACE(opcode + " size " + std::to_string(size));
    Rig rig;
    rig.host.addFault("wlan-query", opcode, 0, size, 1);
    {
      CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
      EXPECT_EQ(manager.Init(10), HResultFromWin32(platform::kERROR_INVALID_DATA));
      bool started = true;
      EXPECT_EQ(manager.IsHostedNetworkStarted(started), kNotReady);
      EXPECT_TRUE(started);  // left as it was
      EXPECT_EQ(rig.service.callCount("WlanCloseHandle"), 0u);  // stays open until destruction
      EXPECT_EQ(rig.service.callCount("WlanHostedNetworkSetProperty"), 0u);
    }
    EXPECT_EQ(rig.service.callCount("WlanCloseHandle"), 1u);
    EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
  }
}

TEST(WlanManagerInitTest, FailingCallClosesTheHandleAndKeepsTheCode) {
  for (const char* function : {"WlanRegisterNotification", "WlanHostedNetworkInitSettings",
                               "WlanHostedNetworkQueryProperty", "WlanHostedNetworkQueryStatus",
                               "WlanHostedNetworkSetProperty"}) {
    SCOPED_TRACE(function);
    Rig rig;
    rig.host.addFault("wlan", function, 5, -1, 1);
    CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
    EXPECT_EQ(manager.Init(10), HResultFromWin32(platform::Win32Error{5}));
    EXPECT_EQ(rig.service.callCount("WlanCloseHandle"), 1u);
    EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
    EXPECT_EQ(manager.Init(10), platform::kS_OK);  // a later attempt opens afresh
  }
  Rig unsupported([] {
    sim::SimWlanConfig config;
    config.supported = false;
    return config;
  }());
  CWlanManager manager(unsupported.service, unsupported.kernel, unsupported.codePage, unsupported.trace);
  EXPECT_EQ(manager.Init(10), HResultFromWin32(platform::kERROR_NOT_SUPPORTED));
}

TEST(WlanManagerTest, EveryGuardedOperationNeedsInit) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  std::u16string text = u"unchanged";
  bool started = true;
  EXPECT_EQ(manager.SetHostedNetworkName(u"Name"), kNotReady);
  EXPECT_EQ(manager.GetHostedNetworkName(text), kNotReady);
  EXPECT_EQ(manager.StartHostedNetwork(), kNotReady);
  EXPECT_EQ(manager.StopHostedNetwork(), kNotReady);
  EXPECT_EQ(manager.ForceStopHostedNetwork(), kNotReady);
  EXPECT_EQ(manager.IsHostedNetworkStarted(started), kNotReady);
  test::RecordingSink sink;
  EXPECT_EQ(manager.SetNotificationSink(&sink), kNotReady);
  EXPECT_EQ(text, u"unchanged");
  EXPECT_EQ(rig.host.calls().size(), 0u);
}

TEST(WlanManagerTest, NameIsStoredOrKeptOnRefusal) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  std::u16string name;
  ASSERT_EQ(manager.GetHostedNetworkName(name), platform::kS_OK);
  EXPECT_EQ(name, u"TethraNet");

  const std::u16string name32(32, u'a');
  EXPECT_EQ(manager.SetHostedNetworkName(name32.c_str()), platform::kS_OK);
  EXPECT_EQ(rig.service.ssidText(), name32);
  EXPECT_EQ(rig.service.maxPeers(), 10u);  // the peer limit travels with the name
  EXPECT_EQ(manager.SetHostedNetworkName(std::u16string(33, u'a').c_str()), HResultFromWin32(platform::Win32Error{24}));
  EXPECT_EQ(manager.SetHostedNetworkName(u""), HResultFromWin32(platform::Win32Error{87}));
  EXPECT_EQ(manager.SetHostedNetworkName(nullptr), HResultFromWin32(platform::Win32Error{87}));

  rig.host.addFault("wlan", "WlanHostedNetworkSetProperty", 1359, -1, 1);
  EXPECT_EQ(manager.SetHostedNetworkName(u"Refused"), HResultFromWin32(platform::Win32Error{1359}));
  ASSERT_EQ(manager.GetHostedNetworkName(name), platform::kS_OK);
  EXPECT_EQ(name, name32);
  EXPECT_EQ(rig.service.ssidText(), name32);
}

TEST(WlanManagerTest, NameThroughUtf8CodePage) {
  Rig rig({}, 65001);
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(5), platform::kS_OK);
  ASSERT_EQ(manager.SetHostedNetworkName(u"Caf\u00e9 \u2615"), platform::kS_OK);
  EXPECT_EQ(rig.service.ssidBytes().size(), 9u);
  std::u16string name;
  ASSERT_EQ(manager.GetHostedNetworkName(name), platform::kS_OK);
  EXPECT_EQ(name, u"Caf\u00e9 \u2615");
}

TEST(WlanManagerTest, KeyLengthsPassedToTheService) {
  for (const std::uint32_t codePage : {1252u, 65001u}) {
    Rig rig({}, codePage);
    CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);  // key operations do not need Init's lock or state
    ASSERT_EQ(manager.Init(10), platform::kS_OK);
    for (const std::u16string& key : {std::u16string(u"abcdefgh"), std::u16string(63, u'z')}) {
      ASSERT_EQ(manager.SetHostedNetworkKey(key.c_str()), platform::kS_OK);
      const auto calls = rig.host.calls();
      EXPECT_NE(calls.back().find("length " + std::to_string(key.size() + 1) + " passphrase 1 persistent 1"),
                std::string::npos)
          << calls.back();
      std::u16string read;
      ASSERT_EQ(manager.GetHostedNetworkKey(read), platform::kS_OK);
      EXPECT_EQ(read, key);
    }
    EXPECT_EQ(manager.SetHostedNetworkKey(u"short"), HResultFromWin32(platform::Win32Error{11}));
    EXPECT_EQ(manager.SetHostedNetworkKey(std::u16string(64, u'z').c_str()),
              HResultFromWin32(platform::Win32Error{11}));
    EXPECT_EQ(manager.SetHostedNetworkKey(u""), HResultFromWin32(platform::Win32Error{11}));
    EXPECT_EQ(manager.SetHostedNetworkKey(nullptr), HResultFromWin32(platform::Win32Error{87}));
    EXPECT_EQ(rig.service.keyText(), std::u16string(63, u'z'));
    EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
  }
  Rig western({}, 1252);
  CWlanManager manager(western.service, western.kernel, western.codePage, western.trace);
  EXPECT_EQ(manager.SetHostedNetworkKey(u"\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416"),
            HResultFromWin32(platform::Win32Error{11}));
}

TEST(WlanManagerTest, MissingOrUnusableKeyBecomesTheDefault) {
  for (const auto kind : {sim::SimWlanConfig::KeyKind::None, sim::SimWlanConfig::KeyKind::NotPassPhrase}) {
    sim::SimWlanConfig config;
    config.keyKind = kind;
    Rig rig(config);
    rig.kernel.setSystemTime({2012, 3, 4, 1, 5, 14, 7, 9});
    CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
    ASSERT_EQ(manager.Init(10), platform::kS_OK);
    std::u16string key;
    ASSERT_EQ(manager.GetHostedNetworkKey(key), platform::kS_OK);
    EXPECT_EQ(key.size(), 8u);
    EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }));
    EXPECT_EQ(rig.service.keyText(), key);
    EXPECT_TRUE(rig.service.keyPersistent());
    std::u16string again;
    ASSERT_EQ(manager.GetHostedNetworkKey(again), platform::kS_OK);  // now the service's own key is read back
    EXPECT_EQ(again, key);
    EXPECT_EQ(rig.service.callCount("WlanHostedNetworkSetSecondaryKey"), 1u);
    EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
  }
}

TEST(WlanManagerTest, KeyReadFailures) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  std::u16string key = u"kept";
  rig.host.addFault("wlan", "WlanHostedNetworkQuerySecondaryKey", 5, -1, 1);
  EXPECT_EQ(manager.GetHostedNetworkKey(key), HResultFromWin32(platform::Win32Error{5}));
  sim::SimWlanConfig none;
  none.keyKind = sim::SimWlanConfig::KeyKind::None;
  Rig empty(none);
  CWlanManager emptyManager(empty.service, empty.kernel, empty.codePage, empty.trace);
  ASSERT_EQ(emptyManager.Init(10), platform::kS_OK);
  empty.host.addFault("wlan", "WlanHostedNetworkSetSecondaryKey", 1359, -1, 1);
  EXPECT_EQ(emptyManager.GetHostedNetworkKey(key),
            HResultFromWin32(platform::Win32Error{1359}));  // storing the default failed
  EXPECT_EQ(key, u"kept");
  EXPECT_EQ(empty.service.keyText(), std::nullopt);
}

TEST(WlanManagerTest, StartAndStopFollowTheNotifiedState) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  EXPECT_EQ(manager.StopHostedNetwork(), kNotReady);  // idle
  EXPECT_EQ(manager.ForceStopHostedNetwork(), kNotReady);

  ASSERT_EQ(manager.StartHostedNetwork(), platform::kS_OK);
  bool started = true;
  ASSERT_EQ(manager.IsHostedNetworkStarted(started), platform::kS_OK);
  EXPECT_FALSE(started);  // the service's state change has not been handled yet
  EXPECT_EQ(manager.StopHostedNetwork(), kNotReady);
  rig.deliver();
  ASSERT_EQ(manager.IsHostedNetworkStarted(started), platform::kS_OK);
  EXPECT_TRUE(started);

  ASSERT_EQ(manager.ForceStopHostedNetwork(), platform::kS_OK);
  EXPECT_EQ(rig.service.state(), platform::kWlanHostedNetworkIdle);
  rig.deliver();
  ASSERT_EQ(manager.IsHostedNetworkStarted(started), platform::kS_OK);
  EXPECT_FALSE(started);

  ASSERT_EQ(manager.StartHostedNetwork(), platform::kS_OK);
  rig.deliver();
  rig.host.addFault("wlan", "WlanHostedNetworkStopUsing", 5, -1, 1);
  EXPECT_EQ(manager.StopHostedNetwork(), HResultFromWin32(platform::Win32Error{5}));
  EXPECT_EQ(manager.StopHostedNetwork(), platform::kS_OK);
  EXPECT_EQ(CountCalls(rig, "WlanHostedNetworkStopUsing"), 2u);
}

TEST(WlanManagerTest, StartRefusedWhileUnavailable) {
  sim::SimWlanConfig config;
  config.state = platform::kWlanHostedNetworkUnavailable;
  Rig rig(config);
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  EXPECT_EQ(manager.StartHostedNetwork(), HResultFromWin32(platform::kERROR_INVALID_STATE));
}

TEST(WlanManagerTest, InterfaceGuidIsReadWithoutInitAndKeptOnFailure) {
  Rig rig;
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  ASSERT_EQ(manager.Init(10), platform::kS_OK);
  platform::Guid guid{};
  ASSERT_EQ(manager.GetHostedNetworkInterfaceGuid(guid), platform::kS_OK);
  EXPECT_EQ(guid, sim::SimWlanConfig{}.adapter);

  platform::Guid marker{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  guid = marker;
  rig.host.addFault("wlan", "WlanHostedNetworkQueryStatus", 5, -1, 1);
  EXPECT_EQ(manager.GetHostedNetworkInterfaceGuid(guid), platform::kS_OK);
  EXPECT_EQ(guid, marker);
  EXPECT_EQ(rig.service.outstandingBuffers(), 0u);
}

}  // namespace
}  // namespace tethra::wlan
