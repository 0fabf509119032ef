// The program's device-interface registrations, seen from inside its process. The system tells
// a device-interface event only to windows registered for it with RegisterDeviceNotification
// (docs/device-events-contract.md); to deliver the simulated machine's events the same way,
// this DLL points the executable's import slots for user32's RegisterDeviceNotificationW and
// UnregisterDeviceNotification at wrappers. Each wrapper calls the real function and, when it
// succeeded, records or forgets the registration (tethra/sim/device_notification.h keeps them
// and picks the recipients, by the rule the simulated notebook applies).
//
// Owner: the table lives for the process. Threads: WatchDeviceRegistrations from DllMain (it
// only reads the executable's headers and rewrites its own slots: nothing that takes another
// lock); the wrappers on the caller's thread; DeviceEventRecipients from any thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tethra::tools {

// Once per process. Afterwards DeviceRegistrationWatchState() says whether both imports were
// found and rewritten ("" when watched, else why not).
void WatchDeviceRegistrations();
std::string DeviceRegistrationWatchState();

// The windows with a live registration that covers that device interface class.
std::vector<HWND> DeviceEventRecipients(const GUID& interfaceClass);

}  // namespace tethra::tools
