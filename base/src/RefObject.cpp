// CRefObject: atomic reference counting and the process-wide count of live objects.
#include "tethra/base/RefObject.h"

namespace tethra::base {
namespace {
std::atomic<std::int64_t> g_liveObjects{0};
}

CRefObject::CRefObject() noexcept { g_liveObjects.fetch_add(1, std::memory_order_relaxed); }

CRefObject::~CRefObject() { g_liveObjects.fetch_sub(1, std::memory_order_relaxed); }

std::int32_t CRefObject::AddRef() noexcept {
  // A plain read, then the increment: a count of 0 means the destructor already runs.
  if (m_RefCount.load(std::memory_order_relaxed) == 0) return 0;
  return m_RefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int32_t CRefObject::Release() noexcept {
  const std::int32_t count = m_RefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) delete this;
  return count;
}

std::int64_t CRefObject::LiveObjects() noexcept { return g_liveObjects.load(std::memory_order_relaxed); }

}  // namespace tethra::base
