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
#include <vector>

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

// Keeps an adapter in `adapters` and points the platform's slot at it.
template <typename Adapter>
void Own(std::vector<std::shared_ptr<void>>& adapters, std::unique_ptr<Adapter> made, Adapter*& slot) {
  slot = made.get();
  adapters.emplace_back(std::move(made));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();

  namespace win32 = tethra::win32;
  tethra::platform::Platform platform;
  std::vector<std::shared_ptr<void>> adapters;
  Own(adapters, win32::CreateKernel(), platform.kernel);
  Own(adapters, win32::CreateRegistry(), platform.registry);
  Own(adapters, win32::CreateWindowSystem(), platform.windows);
  Own(adapters, win32::CreateSystemEvents(), platform.systemEvents);
  Own(adapters, win32::CreateCodePage(), platform.codePage);
  Own(adapters, win32::CreateWlanApi(), platform.wlan);
  Own(adapters, win32::CreateSecurity(), platform.security);
  Own(adapters, win32::CreateProcessStart(), platform.processStart);
  Own(adapters, win32::CreateComRuntime(), platform.com);
  Own(adapters, win32::CreateTrace(), platform.trace);
  Own(adapters, win32::CreateSharing(), platform.sharing);
  Own(adapters, win32::CreateModuleLoader(), platform.modules);
  Own(adapters, win32::CreateMobileHotspot(), platform.hotspot);

  const std::u16string commandLine =
      win32::ArgumentsAfterProgramName(reinterpret_cast<const char16_t*>(::GetCommandLineW()));
  const tethra::platform::Dword exitCode = tethra::app::RunTethra(platform, commandLine);
  ::ExitProcess(exitCode);
}
