// The notification path from the WLAN thread to the dialog's drain: the calling thread plays
// the WLAN service's thread and reports bursts of state changes and joins; a dialog thread
// drains the sink each time a WM_NEW_HN_NOTIFICATION is posted. Reports records per second
// and messages posted per burst.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "WlanRig.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan {
namespace {

using base::CRefObject;

class DrainingDialog {
 public:
  explicit DrainingDialog(test::PostCountingWindows& windows) {
    windows.onPost = [this] {
      std::lock_guard lock(m_mutex);
      ++m_posts;
      m_changed.notify_all();
    };
  }
  void start(CNotificationSink* sink) { m_thread = std::thread([this, sink] { run(sink); }); }
  void stop() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }
  void waitDrained(std::uint64_t records) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_drained >= records; });
  }

 private:
  void run(CNotificationSink* sink) {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stop || m_posts > seen; });
        if (m_stop) return;
        seen = m_posts;
      }
      std::uint64_t count = 0;
      while (CHostedNetworkNotification* record = sink->GetNextNotification()) {
        if (CRefObject* data = record->GetNotificationData()) data->Release();
        record->Release();
        ++count;
      }
      std::lock_guard lock(m_mutex);
      m_drained += count;
      m_changed.notify_all();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::uint64_t m_posts = 0;
  std::uint64_t m_drained = 0;
  bool m_stop = false;
  std::thread m_thread;
};

void Report(CWlanManager& manager, platform::Dword code, void* data, platform::Dword size) {
  platform::WlanNotificationData notification{platform::kWLAN_NOTIFICATION_SOURCE_HNWK, code, {}, size, data};
  WlanNotificationCallback(&notification, &manager);
}

// range(0): reports per burst; range(1): 0 state changes only, 1 joins and leaves.
void BM_NotificationPath(benchmark::State& state) {
  const auto burst = static_cast<int>(state.range(0));
  const bool stations = state.range(1) != 0;
  test::Rig rig(test::ActiveWithPeers({}));
  CWlanManager manager(rig.service, rig.kernel, rig.codePage, rig.trace);
  if (manager.Init(10) != platform::kS_OK) state.SkipWithError("Init failed");
  CNotificationSink sink(rig.kernel, rig.windows, rig.trace, nullptr);
  DrainingDialog dialog(rig.windows);
  dialog.start(&sink);
  manager.SetNotificationSink(&sink);

  platform::WlanHostedNetworkStateChange toIdle{platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkIdle, 26};
  platform::WlanHostedNetworkStateChange toActive{platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkActive, 0};
  platform::WlanHostedNetworkDataPeerStateChange join{};
  join.NewState.PeerMacAddress[5] = 7;
  join.NewState.PeerAuthState = platform::kWlanHostedNetworkPeerStateAuthenticated;
  platform::WlanHostedNetworkDataPeerStateChange leave = join;
  leave.NewState.PeerAuthState = platform::kWlanHostedNetworkPeerStateInvalid;

  std::uint64_t records = 0;
  const int postsBefore = rig.windows.posts.load();
  for (auto _ : state) {
    for (int i = 0; i < burst; ++i) {
      if (stations) {
        if (i % 2 == 0) {
          Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &join, sizeof join);
        } else {
          Report(manager, platform::kWlanHostedNetworkPeerStateChangeCode, &leave, sizeof leave);
        }
      } else if (i % 2 == 0) {
        Report(manager, platform::kWlanHostedNetworkStateChangeCode, &toIdle, sizeof toIdle);
      } else {
        Report(manager, platform::kWlanHostedNetworkStateChangeCode, &toActive, sizeof toActive);
      }
    }
    records += static_cast<std::uint64_t>(burst);
    dialog.waitDrained(records);
  }
  const int posts = rig.windows.posts.load() - postsBefore;
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  state.counters["posts/burst"] =
      benchmark::Counter(static_cast<double>(posts) / static_cast<double>(state.iterations()));
  manager.RemoveNotificationSink();
  dialog.stop();
}
BENCHMARK(BM_NotificationPath)
    ->ArgsProduct({{1, 16, 256}, {0, 1}})
    ->ArgNames({"burst", "stations"})
    ->UseRealTime();

}  // namespace
}  // namespace tethra::wlan
