// Scoped enter/leave of a platform critical section (re-entrant). A null section is a no-op:
// only a manager whose lock could not be created has one, and such a manager never
// initialises, so nothing it guards is shared.
#pragma once

#include "tethra/platform/Kernel.h"

namespace tethra::wlan {

class CLockScope {
 public:
  explicit CLockScope(platform::ICriticalSection* section) noexcept : m_Section(section) {
    if (m_Section != nullptr) m_Section->enter();
  }
  CLockScope(const CLockScope&) = delete;
  CLockScope& operator=(const CLockScope&) = delete;
  ~CLockScope() {
    if (m_Section != nullptr) m_Section->leave();
  }

 private:
  platform::ICriticalSection* m_Section;
};

}  // namespace tethra::wlan
