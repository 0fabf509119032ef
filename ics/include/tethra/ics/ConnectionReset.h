// Disconnecting and reconnecting the connection of the hosted network's virtual adapter
// through the platform's connection manager. With an all-zero target, every connection whose
// device is "Microsoft Virtual WiFi Miniport Adapter" is reset instead.
//
// Initialises COM (apartment model) for the call and undoes that only when it succeeded.
// Calling thread only. Codes: the result of the last Connect, 0x80070002 when no connection
// matched, or the failure of creating the manager, enumerating or reading properties. `kernel`
// is the thread's last error, which the closes of the records leave as it was.
#pragma once

#include "tethra/platform/Com.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Sharing.h"

namespace tethra::ics {

platform::HResult ResetHostedNetworkConnection(platform::IKernel& kernel, platform::ISharing& sharing,
                                               platform::IComRuntime& com, const platform::Guid& target);

}  // namespace tethra::ics
