// The notification path from the WLAN thread to the dialog's drain: the calling thread plays
// the WLAN service's thread and reports bursts of state changes and joins; a dialog thread
// drains the sink each time a WM_NEW_HN_NOTIFICATION is posted. Reports records per second
// and messages posted per burst.
#include <benchmark/benchmark.h>

#include "NotificationTraffic.h"
#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

// range(0): reports per burst; range(1): 0 state changes only, 1 joins and leaves.
void BM_NotificationPath(benchmark::State& state) {
  const auto burst = static_cast<int>(state.range(0));
  const bool stations = state.range(1) != 0;
  test::Rig rig(test::ActiveWithPeers({}));
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  if (manager.Init(10) != platform::kS_OK) state.SkipWithError("Init failed");
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, nullptr);
  test::DrainingDialog dialog(rig.windows);
  dialog.start(&sink);
  if (platform::Failed(manager.SetNotificationSink(&sink))) state.SkipWithError("SetNotificationSink failed");

  test::ReportData d(7);

  std::uint64_t records = 0;
  const int postsBefore = rig.windows.posts.load();
  for (auto _ : state) {
    for (int i = 0; i < burst; ++i) {
      if (stations) {
        if (i % 2 == 0) {
          test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.join, sizeof d.join);
        } else {
          test::Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &d.leave, sizeof d.leave);
        }
      } else if (i % 2 == 0) {
        test::Report(manager, platform::kWlanHostedNetworkStateChangeCode, &d.toIdle, sizeof d.toIdle);
      } else {
        test::Report(manager, platform::kWlanHostedNetworkStateChangeCode, &d.toActive, sizeof d.toActive);
      }
    }
    records += static_cast<std::uint64_t>(burst);
    dialog.waitDrained(records);
  }
  const int posts = rig.windows.posts.load() - postsBefore;
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  state.counters["posts/burst"] =
      benchmark::Counter(static_cast<double>(posts) / static_cast<double>(state.iterations()));
  static_cast<void>(manager.RemoveNotificationSink());  // teardown: nothing left to measure
  dialog.stop();
}
BENCHMARK(BM_NotificationPath)
    ->ArgsProduct({{1, 16, 256}, {0, 1}})
    ->ArgNames({"burst", "stations"})
    ->UseRealTime();

}  // namespace
}  // namespace tethra::wlan
