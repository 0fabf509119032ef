// netshell.dll without NcFreeNetconProperties: the machine of `netshell no-export`, where the
// network-shell library loads but lacks the one function the program binds. It exports
// nothing, so the program's GetProcAddress must fail with ERROR_PROC_NOT_FOUND.
//
// Owner: nothing. Threads: any. Codes: none (DllMain logs the load and accepts every attach).
#include <windows.h>

#include "NetshellLog.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  tethra::tools::LogNetshellModuleCall(reason, reserved);
  return TRUE;
}
