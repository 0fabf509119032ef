// Scoped enter/leave of a platform critical section (re-entrant). A null section is a no-op:
// only a manager whose lock could not be created has one, and such a manager never
// initialises, so nothing it guards is shared.
#pragma once

#include "tethra/platform/Kernel.h"

namespace tethra::wlan {

class LockScope {
 public:
  explicit LockScope(platform::ICriticalSection* section) noexcept : m_section(section) {
    if (m_section != nullptr) m_section->enter();
  }
  LockScope(const LockScope&) = delete;
  LockScope& operator=(const LockScope&) = delete;
  ~LockScope() {
    if (m_section != nullptr) m_section->leave();
  }

 private:
  platform::ICriticalSection* m_section;
};

}  // namespace tethra::wlan
