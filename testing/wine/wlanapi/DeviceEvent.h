// A device-interface event as the system reports it to the program: WM_DEVICECHANGE with a
// DEV_BROADCAST_DEVICEINTERFACE_W, sent to each window of the process with a live registration
// for the network-adapter interface class (RegistrationWatch.h), and to no other. Done inside
// the program's process because the record travels as a pointer.
//
// Owner: the record lives on the sender's stack until the sends return. Threads: any thread
// but a recipient's.
#pragma once

#include <windows.h>

#include <string>

namespace tethra::tools {

struct DeviceDelivery {
  int windows = 0;    // how many windows handled the message
  std::string error;  // why the event could not be told as the system tells it ("" when it was)
};

DeviceDelivery SendDeviceChange(bool removed, const std::u16string& interfaceName, UINT timeoutMs);

}  // namespace tethra::tools
