// The program's loads and unloads of netshell.dll, as the simulated notebook counts them
// (`expect ics calls load-library N`, `free-library N`): a library sees its own attach and its
// detach by FreeLibrary, so the simulated network-shell libraries log them in the sharing
// service's log. A detach at the process's end is no FreeLibrary and is not logged.
// Header only; called from DllMain (under the loader lock: it only appends a line).
#pragma once

#include <windows.h>

#include <string>

#include "tethra/wine/ServiceDll.h"

namespace tethra::tools {

inline void LogNetshellModuleCall(DWORD reason, LPVOID reserved) {
  static const ServiceLog log{L"TETHRA_SIMSHARING_LOG", "sim netshell: "};
  if (reason == DLL_PROCESS_ATTACH) log.write("call load-library(netshell.dll) -> 0x00000000");
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) log.write("call free-library() -> 0x00000000");
}

}  // namespace tethra::tools
