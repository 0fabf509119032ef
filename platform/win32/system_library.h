// LoadSystemLibrary: the one way the Win32 adapters load a system DLL that the program binds at
// run time (wlanapi.dll, netshell.dll, wtsapi32.dll), from the system directory only. Any
// thread. Null on failure, with the reason in the thread's last error.
#pragma once

#include "win32_common.h"

namespace tethra::win32 {

HMODULE LoadSystemLibrary(const char16_t* name);

}  // namespace tethra::win32
