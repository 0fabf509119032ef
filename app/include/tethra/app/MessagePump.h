// WaitAndPumpMessages: the program's one way of waiting while the calling thread's messages keep
// flowing: the rename's waits on the watcher thread, in the command channel and in the hosted
// network's restart. It dispatches at most one message per 10 ms turn and returns once the time
// given has passed (0: at once, having dispatched nothing).
//
// Owner: nothing; it holds no state. Threads: any; it pumps only the calling thread's queue.
// Codes: none.
#pragma once

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Types.h"
#include "tethra/platform/Window.h"

namespace tethra::app {

void WaitAndPumpMessages(platform::IKernel& kernel, platform::IWindowSystem& windows, platform::Dword milliseconds);

}  // namespace tethra::app
