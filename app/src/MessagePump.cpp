// The waiting pump shared by the dialog and the rename.
#include "tethra/app/MessagePump.h"

#include <cstdint>

namespace tethra::app {

void WaitAndPumpMessages(platform::IKernel& kernel, platform::IWindowSystem& windows, platform::Dword milliseconds) {
  // The difference of two tick counts, taken as signed, stays right across the counter's wrap.
  const platform::Dword deadline = kernel.getTickCount() + milliseconds;
  while (static_cast<std::int32_t>(deadline - kernel.getTickCount()) > 0) {
    platform::Msg msg;
    if (windows.peekMessage(&msg, nullptr, 0, 0, platform::kPM_REMOVE)) {
      windows.translateMessage(&msg);
      windows.dispatchMessage(&msg);
    }
    kernel.sleep(10);
  }
}

}  // namespace tethra::app
