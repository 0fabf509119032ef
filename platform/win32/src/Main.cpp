// Process entry of tethra.exe: restricts where DLLs may come from, builds the platform from
// the Win32 adapters, hands the command line to the program and ends the process with the
// program's exit code. Runs on the process's main thread; the adapters live until the
// process ends (ExitProcess, no destructors). Exit code: RunTethra's result (0 on every end
// the program provides).
#include "tethra/win32/Adapters.h"
#include "tethra/app/Entry.h"
#include "tethra/win32/CommandLine.h"
#include "tethra/win32/Win32Common.h"

#include <memory>

namespace {

// Only the system directory for every later load. SetDefaultDllDirectories is looked up by
// name because Windows 7 has it only with an update; without it, at least the current
// directory leaves the search path.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
      kernel != nullptr ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (setDefault == nullptr || setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) == FALSE) ::SetDllDirectoryW(L"");
}

// An adapter of any kind, owned; a plain function as its deleter keeps the program small.
using OwnedAdapter = std::unique_ptr<void, void (*)(void*)>;

// Points the platform's slot at a new adapter and returns its owner.
template <typename Adapter>
OwnedAdapter Own(std::unique_ptr<Adapter> made, Adapter*& slot) {
  slot = made.get();
  return OwnedAdapter(made.release(), [](void* adapter) { delete static_cast<Adapter*>(adapter); });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();

  namespace win32 = tethra::win32;
  tethra::platform::Platform platform;
  const OwnedAdapter adapters[] = {
      Own(win32::CreateKernel(), platform.kernel),
      Own(win32::CreateRegistry(), platform.registry),
      Own(win32::CreateWindowSystem(), platform.windows),
      Own(win32::CreateSystemEvents(), platform.systemEvents),
      Own(win32::CreateCodePage(), platform.codePage),
      Own(win32::CreateWlanApi(), platform.wlan),
      Own(win32::CreateSecurity(), platform.security),
      Own(win32::CreateProcessStart(), platform.processStart),
      Own(win32::CreateComRuntime(), platform.com),
      Own(win32::CreateTrace(), platform.trace),
      Own(win32::CreateSharing(), platform.sharing),
      Own(win32::CreateModuleLoader(), platform.modules),
      Own(win32::CreateMobileHotspot(), platform.hotspot),
  };

  const std::u16string commandLine =
      win32::ArgumentsAfterProgramName(reinterpret_cast<const char16_t*>(::GetCommandLineW()));
  const tethra::platform::Dword exitCode = tethra::app::RunTethra(platform, commandLine);
  ::ExitProcess(exitCode);
}
