// Allocation of the program's reference-counted and long-lived heap objects through one hook,
// so that a test or the simulated notebook can make a named allocation fail. Each layer names
// its own sites (wlan/AllocationSites.h, ics/IcsManager.h). Without a hook, objects come from
// new (std::nothrow). Any thread may allocate; the hook must be thread-safe and is installed
// before the program's threads start. A failed allocation yields null, never an exception.
#pragma once

#include <new>
#include <utility>

namespace tethra::base {

class IAllocationFaults {
 public:
  virtual ~IAllocationFaults() = default;
  // True when the next allocation at `site` must fail.
  virtual bool FailAllocation(const char* site) = 0;
};

// Installs (or with null removes) the process-wide hook; returns the previous one.
IAllocationFaults* SetAllocationFaults(IAllocationFaults* faults) noexcept;
bool AllocationFails(const char* site) noexcept;

template <typename T, typename... Args>
T* NewObject(const char* site, Args&&... args) noexcept {
  if (AllocationFails(site)) return nullptr;
  return new (std::nothrow) T(std::forward<Args>(args)...);
}

}  // namespace tethra::base
