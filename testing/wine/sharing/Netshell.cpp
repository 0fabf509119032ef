// netshell.dll of the simulated sharing service: NcFreeNetconProperties hands a properties
// record back to simsharing.dll (the COM server that gave it out), which frees it and counts
// it. The record's memory is the server's, so only the server can free it.
//
// Owner: nothing of its own; the record belongs to the server from here on. Threads: any (the
// server serialises). Codes: none (the function returns nothing); when simsharing.dll is not
// loaded in the process no record of its can exist, and the call does nothing.
#include <netcon.h>
#include <windows.h>

#include "NetshellLog.h"

namespace {
using FreeFn = void(WINAPI*)(NETCON_PROPERTIES*);
}

extern "C" void WINAPI SimNcFreeNetconProperties(NETCON_PROPERTIES* properties) {
  const HMODULE server = ::GetModuleHandleW(L"simsharing.dll");
  if (server == nullptr) return;
  // Through void(*)(): the conversion the language allows without a function-type warning.
  const auto release = reinterpret_cast<FreeFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(server, "SimSharingFreeNetconProperties")));
  if (release != nullptr) release(properties);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  tethra::tools::LogNetshellModuleCall(reason, reserved);
  return TRUE;
}
