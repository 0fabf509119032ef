// A device-interface event as the system reports it to the program: WM_DEVICECHANGE with a
// DEV_BROADCAST_DEVICEINTERFACE_W, sent to the program's dialog window. Done inside the
// program's process because the record travels as a pointer.
//
// Owner: the record lives on the sender's stack until the send returns. Threads: any thread
// but the dialog's. Returns "" once the dialog handled the message, else why it was not sent.
#pragma once

#include <windows.h>

#include <string>

namespace tethra::tools {

std::string SendDeviceChange(bool removed, const std::u16string& interfaceName, UINT timeoutMs);

}  // namespace tethra::tools
