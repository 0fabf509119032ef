// Process entry of the program, shared by the Windows executable and the simulated notebook.
// Runs the application object's InitInstance on the calling thread (the process's main thread)
// and returns its exit code when InitInstance returns; the caller then ends the process with
// IKernel::exitProcess. Most runs never return: the dialog ends the process itself. A
// platform with an empty area is refused at once with kExitIncompletePlatform, before any
// call: the program's components take every area they use as a reference.
#pragma once

#include <string>

#include "tethra/platform/Platform.h"

namespace tethra::app {

inline constexpr platform::Dword kExitIncompletePlatform = 1;

platform::Dword RunTethra(const platform::Platform& platform, std::u16string commandLine);

}  // namespace tethra::app
