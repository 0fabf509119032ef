// The import address table of the executable this DLL is loaded into, for the watches that
// point one of its slots at a wrapper (ComSecurityWatch, RegistrationWatch).
//
// Owner: nothing is kept; the slots belong to the executable. Threads: from DllMain at the
// process attach, under the loader lock (it reads the executable's headers, rewrites the slots
// it is asked to and takes no lock of its own). Codes: none; a reason in words where the walk
// or a rewrite cannot be made.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tethra::tools {

// Sees one function imported by name and its slot; true stops the walk.
using ImportVisitor = std::function<bool(const char* name, ULONGLONG* slot)>;

// Shows `visit` every function the executable imports by name from `dll` (a name such as
// "user32.dll", matched without regard to case). Returns "" when the imports were walked (to
// the end or to where `visit` stopped), else why they cannot be; `imported` tells whether `dll`
// is among them.
std::string VisitImports(const char* dll, bool& imported, const ImportVisitor& visit);

// Points one import slot at `wrapper`, keeping in `real` what it held. False: the slot could
// not be made writable, and nothing changed.
template <typename Fn>
bool RewriteImport(ULONGLONG* slot, Fn wrapper, Fn& real) {
  DWORD old = 0;
  if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  real = reinterpret_cast<Fn>(*slot);
  *slot = reinterpret_cast<ULONGLONG>(wrapper);
  ::VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

}  // namespace tethra::tools
