// LoadSystemLibrary: the one way the Win32 adapters load a system DLL that the program binds at
// run time (wlanapi.dll, netshell.dll, wtsapi32.dll), from the system directory only. Any
// thread. Null on failure, with the reason in the thread's last error.
#pragma once

#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {

HMODULE LoadSystemLibrary(const char16_t* name);

// Why a LoadSystemLibrary just failed: the thread's last error, ERROR_MOD_NOT_FOUND where the
// loader left none.
inline DWORD LastLoadError() {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND;
}

// One export of a library LoadSystemLibrary loaded, null when the library or the export is
// missing. GetProcAddress hands back a generic function pointer; going through void(*)() is
// the conversion the language allows without a warning about mismatched function types.
template <typename Fn>
Fn ResolveExport(HMODULE module, const char* name) {
  return module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                           : nullptr;
}
template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
  fn = ResolveExport<Fn>(module, name);
}

}  // namespace tethra::win32
