#include "tethra/app/StartupGate.h"

namespace tethra::app {

CStartupGate::CStartupGate(platform::IKernel& kernel)
    : m_kernel(kernel),
      m_event(kernel.createEvent(/*manualReset=*/true, /*initialState=*/false), platform::KernelHandleCloser{&kernel}) {}

void CStartupGate::Open() {
  TETHRA_CHECK_THREAD(m_opener);
  m_open.store(true, std::memory_order_release);
  if (m_event.get() != nullptr) m_kernel.setEvent(m_event.get());
}

void CStartupGate::Wait() const {
  if (IsOpen()) return;
  // Without an event nothing can wait; the watcher then goes on as it always did.
  if (m_event.get() != nullptr) m_kernel.waitForSingleObject(m_event.get(), platform::kINFINITE);
}

}  // namespace tethra::app
