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
  ScopedAllocationFaults() : m_previous(base::SetAllocationFaults(this)) {}
  ~ScopedAllocationFaults() override { base::SetAllocationFaults(m_previous); }
  ScopedAllocationFaults(const ScopedAllocationFaults&) = delete;
  ScopedAllocationFaults& operator=(const ScopedAllocationFaults&) = delete;

  void failNext(const std::string& site, int count) {
    std::lock_guard lock(m_mutex);
    m_failures[site] = count;
  }
  int attempts(const std::string& site) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_attempts.find(site);
    return it == m_attempts.end() ? 0 : it->second;
  }
  bool FailAllocation(const char* site) override {
    std::lock_guard lock(m_mutex);
    ++m_attempts[site];
    int& left = m_failures[site];
    if (left == 0) return false;
    --left;
    return true;
  }

 private:
  mutable std::mutex m_mutex;
  std::map<std::string, int> m_failures;
  std::map<std::string, int> m_attempts;
  base::IAllocationFaults* m_previous;
};

}  // namespace tethra::wlan::test
