// Test support: the WLAN thread's side of the notification path played by the test (reports
// handed straight to the manager's callback, with the usual state changes and a station's
// join and leave), and a dialog thread that drains the sink each time a message is posted to
// it. Used by the heap-count test, the stress test and the benchmark.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "PostCountingWindows.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::wlan::test {

// One report, delivered on the calling thread as the WLAN service's thread would.
inline void Report(CWlanManager& manager, platform::Dword code, void* data, platform::Dword size) {
  platform::WlanNotificationData notification{platform::kWLAN_NOTIFICATION_SOURCE_HNWK, code, {}, size, data};
  WlanNotificationCallback(&notification, &manager);
}

// The reports' data: the network going idle (available) and active again, and the station
// whose address ends in `station` joining and leaving.
struct ReportData {
  explicit ReportData(std::uint8_t station) {
    join.NewState.PeerMacAddress[5] = station;
    join.NewState.PeerAuthState = platform::kWlanHostedNetworkPeerStateAuthenticated;
    leave = join;
    leave.NewState.PeerAuthState = platform::kWlanHostedNetworkPeerStateInvalid;
  }
  platform::WlanHostedNetworkStateChange toIdle{platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkIdle, 26};
  platform::WlanHostedNetworkStateChange toActive{platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkActive, 0};
  platform::WlanHostedNetworkDataPeerStateChange join{};
  platform::WlanHostedNetworkDataPeerStateChange leave{};
};

// The dialog's side: on every post to the window system, takes every record out of the sink
// and releases it; once stopped, it drains one last time and ends.
class DrainingDialog {
 public:
  explicit DrainingDialog(PostCountingWindows& windows) {
    windows.onPost = [this] {
      std::lock_guard lock(m_Mutex);
      ++m_Posts;
      m_Changed.notify_all();
    };
  }
  DrainingDialog(const DrainingDialog&) = delete;
  DrainingDialog& operator=(const DrainingDialog&) = delete;
  ~DrainingDialog() {
    if (m_Thread.joinable()) stop();
  }

  void start(CNotificationSink* sink) { m_Thread = std::thread([this, sink] { run(sink); }); }
  void stop() {
    {
      std::lock_guard lock(m_Mutex);
      m_Stop = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
  }
  void waitDrained(std::uint64_t records) {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [&] { return m_Drained >= records; });
  }
  std::uint64_t drained() const {
    std::lock_guard lock(m_Mutex);
    return m_Drained;
  }

 private:
  void run(CNotificationSink* sink) {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock lock(m_Mutex);
        m_Changed.wait(lock, [&] { return m_Stop || m_Posts > seen; });
        seen = m_Posts;
      }
      std::uint64_t count = 0;
      while (CHostedNetworkNotification* record = sink->GetNextNotification()) {
        if (base::CRefObject* data = record->GetNotificationData()) data->Release();
        record->Release();
        ++count;
      }
      std::lock_guard lock(m_Mutex);
      m_Drained += count;
      m_Changed.notify_all();
      if (m_Stop) return;
    }
  }

  mutable std::mutex m_Mutex;
  std::condition_variable m_Changed;
  std::uint64_t m_Posts = 0;
  std::uint64_t m_Drained = 0;
  bool m_Stop = false;
  std::thread m_Thread;
};

}  // namespace tethra::wlan::test
