#include "tethra/app/StartupGate.h"

namespace tethra::app {

CStartupGate::CStartupGate(platform::IKernel& kernel)
    : m_Kernel(kernel),
      m_Event(kernel.createEvent(/*manualReset=*/true, /*initialState=*/false), platform::KernelHandleCloser{&kernel}) {}

void CStartupGate::Open() {
  TETHRA_CHECK_THREAD(m_Opener);
  m_Open.store(true, std::memory_order_release);
  if (m_Event.get() != nullptr) m_Kernel.setEvent(m_Event.get());
}

void CStartupGate::Wait() const {
  if (IsOpen()) return;
  // Without an event nothing can wait; the watcher then goes on as it always did.
  if (m_Event.get() != nullptr) m_Kernel.waitForSingleObject(m_Event.get(), platform::kINFINITE);
}

}  // namespace tethra::app
