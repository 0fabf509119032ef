// The process-wide allocation hook shared by every layer.
#include "tethra/base/Allocation.h"

#include <atomic>

namespace tethra::base {
namespace {
std::atomic<IAllocationFaults*> g_faults{nullptr};
}

IAllocationFaults* SetAllocationFaults(IAllocationFaults* faults) noexcept { return g_faults.exchange(faults); }

bool AllocationFails(const char* site) noexcept {
  IAllocationFaults* faults = g_faults.load(std::memory_order_acquire);
  return faults != nullptr && faults->FailAllocation(site);
}

}  // namespace tethra::base
