// The program's CoInitializeSecurity, seen from inside its process. The simulated sharing
// service lists RAS connections only to a process that initialised COM security with the levels
// the ICS pages ask for (docs/sharing-contract.md). On Windows a second call would tell
// (RPC_E_TOO_LATE), but Wine's CoInitializeSecurity is a stub that answers S_OK to every call,
// so this DLL, loaded before the program's first COM work, points the executable's import slot
// for ole32's CoInitializeSecurity at a wrapper, as it does for the device registrations. The
// wrapper keeps the documented rules Wine does not: once per process (a second call answers
// RPC_E_TOO_LATE), and `fault com CoInitializeSecurity HRESULT` fails the call before it has
// any effect; otherwise it calls the real function and records the levels of a success.
//
// Owner: the record lives for the process. Threads: WatchComSecurity from DllMain (it only reads
// the executable's headers and rewrites its own slot); the wrapper on the caller's thread, the
// question from any thread. Codes: those the wrapper answers, above.
#pragma once

#include <string>

namespace tethra::tools {

// Once per process. Afterwards ComSecurityWatchState() says whether the import was found and
// rewritten ("" when watched, else why not).
void WatchComSecurity();
std::string ComSecurityWatchState();

// The process's security was set, by a call through the watched slot, with
// RPC_C_AUTHN_LEVEL_PKT and RPC_C_IMP_LEVEL_IMPERSONATE.
bool ComSecurityForSharing();

}  // namespace tethra::tools
