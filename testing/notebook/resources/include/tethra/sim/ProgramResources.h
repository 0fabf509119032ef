// The program's resources on the simulated notebook: the dialogs, controls, strings and icons
// of app/res/tethra.rc, the file the Windows executable's resources are compiled from. The
// data is written from that file at build time (src/RcToResources.cpp), so the notebook runs
// the program on the same resources as Windows does, stated once.
//
// Owner: the function's static; it lives for the process. Threads: any, after the first call
// (made on the machine, before the program's process is created).
#pragma once

#include "tethra/platform/Resources.h"

namespace tethra::sim {

// The executable's resources (dialogs 100 and 102, strings, icons), for a program process.
const platform::ModuleResources& ProgramResources();

}  // namespace tethra::sim
