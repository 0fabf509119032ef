// Test support: fails the next N allocations at chosen sites (of any layer) while in scope,
// and counts every allocation attempt per site. Thread-safe.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "tethra/base/Allocation.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::wlan::test {

class ScopedAllocationFaults final : public base::IAllocationFaults {
 public:
  ScopedAllocationFaults() : m_Previous(base::SetAllocationFaults(this)) {}
  ~ScopedAllocationFaults() override { base::SetAllocationFaults(m_Previous); }
  ScopedAllocationFaults(const ScopedAllocationFaults&) = delete;
  ScopedAllocationFaults& operator=(const ScopedAllocationFaults&) = delete;

  void failNext(const std::string& site, int count) {
    std::lock_guard lock(m_Mutex);
    m_Failures[site] = count;
  }
  int attempts(const std::string& site) const {
    std::lock_guard lock(m_Mutex);
    const auto it = m_Attempts.find(site);
    return it == m_Attempts.end() ? 0 : it->second;
  }
  bool FailAllocation(const char* site) override {
    std::lock_guard lock(m_Mutex);
    ++m_Attempts[site];
    int& left = m_Failures[site];
    if (left == 0) return false;
    --left;
    return true;
  }

 private:
  mutable std::mutex m_Mutex;
  std::map<std::string, int> m_Failures;
  std::map<std::string, int> m_Attempts;
  base::IAllocationFaults* m_Previous;
};

}  // namespace tethra::wlan::test
