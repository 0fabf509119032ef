// Test support: a notification sink that writes each call as a line ("started", "stopped",
// "not-available", "available", "join 00-1A-..", "leave ..") for order checks. Guarded, so
// the WLAN thread and the test may both touch it.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "tethra/wlan/NotificationSink.h"

namespace tethra::wlan::test {

class RecordingSink final : public CHostedNetworkNotificationSink {
 public:
  void OnHostedNetworkStarted() override { add("started"); }
  void OnHostedNetworkStopped() override { add("stopped"); }
  void OnHostedNetworkNotAvailable() override { add("not-available"); }
  void OnHostedNetworkAvailable() override { add("available"); }
  void OnStationJoin(CWlanStation* station) override { add("join " + Mac(station)); }
  void OnStationLeave(CWlanStation* station) override { add("leave " + Mac(station)); }

  std::vector<std::string> lines() const {
    std::lock_guard lock(m_Mutex);
    return m_Lines;
  }
  void clear() {
    std::lock_guard lock(m_Mutex);
    m_Lines.clear();
  }

 private:
  static std::string Mac(CWlanStation* station) {
    MacAddress mac;
    station->GetMacAddress(mac);
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
  }
  void add(std::string line) {
    std::lock_guard lock(m_Mutex);
    m_Lines.push_back(std::move(line));
  }

  mutable std::mutex m_Mutex;
  std::vector<std::string> m_Lines;
};

}  // namespace tethra::wlan::test
