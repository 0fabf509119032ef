// Test support: a platform for the hosted network layer made of the real-thread kernel, the
// simulated code page, a post-counting window system and the simulated WLAN service with a
// host of the test's choice. One rig per test; build it before any thread starts.
#pragma once

#include <memory>

#include "PostCountingWindows.h"
#include "ServiceHosts.h"
#include "TestCodePage.h"
#include "ThreadKernel.h"
#include "tethra/platform/Platform.h"
#include "tethra/sim/ProcessParts.h"

namespace tethra::wlan::test {

template <typename Host>
struct BasicRig {
  explicit BasicRig(const sim::SimWlanConfig& config = {}, std::uint32_t activeCodePage = 1252)
      : codePage(activeCodePage, kernel), service(host, codePage, &kernel, config) {
    parts.use(kernel);
    parts.use(codePage);
    parts.use(windows);
    parts.use(service);
    parts.use(trace);
  }
  // A host with a thread of its own stops before the service it delivers for goes away.
  ~BasicRig() {
    if constexpr (requires { host.stop(); }) host.stop();
  }
  BasicRig(const BasicRig&) = delete;
  BasicRig& operator=(const BasicRig&) = delete;

  ThreadKernel kernel;
  TestCodePage codePage;
  PostCountingWindows windows;
  Host host;
  sim::SimWlanService service;
  tethra::test::DiscardingTrace trace;
  sim::ProcessParts parts;
  const platform::Platform& platform = parts.platform();
};

struct Rig : BasicRig<ManualHost> {
  using BasicRig::BasicRig;
  void deliver() { ManualHost::deliverAll(service); }
};

struct ThreadedRig : BasicRig<ThreadedHost> {
  explicit ThreadedRig(const sim::SimWlanConfig& config = {}) : BasicRig(config) { host.start(service); }
  void waitDelivered() { host.waitIdle(service); }
};

inline sim::SimWlanConfig ActiveWithPeers(std::initializer_list<sim::Mac> peers) {
  sim::SimWlanConfig config;
  config.state = platform::kWlanHostedNetworkActive;
  config.peers = peers;
  return config;
}

inline constexpr sim::Mac kMacA{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
inline constexpr sim::Mac kMacB{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
inline constexpr sim::Mac kMacC{0xC0, 0xFF, 0xEE, 0x00, 0x00, 0x01};

}  // namespace tethra::wlan::test
