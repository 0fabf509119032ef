// Process entry of tethra.exe: restricts where DLLs may come from, builds the platform from
// the Win32 adapters, hands the command line to the program and ends the process with the
// program's exit code. Runs on the process's main thread; the adapters live until the
// process ends (ExitProcess, no destructors). Exit code: RunTethra's result (0 on every end
// the program provides).
#include "tethra/win32/Adapters.h"
#include "tethra/app/Entry.h"
#include "tethra/win32/CommandLine.h"
#include "tethra/win32/Win32Common.h"

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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();

  namespace win32 = tethra::win32;
  const auto kernel = win32::CreateKernel();
  const auto registry = win32::CreateRegistry();
  const auto windows = win32::CreateWindowSystem();
  const auto systemEvents = win32::CreateSystemEvents();
  const auto codePage = win32::CreateCodePage();
  const auto wlan = win32::CreateWlanApi();
  const auto security = win32::CreateSecurity();
  const auto processStart = win32::CreateProcessStart();
  const auto com = win32::CreateComRuntime();
  const auto trace = win32::CreateTrace();
  const auto sharing = win32::CreateSharing();
  const auto modules = win32::CreateModuleLoader();
  const auto hotspot = win32::CreateMobileHotspot();

  tethra::platform::Platform platform;
  platform.kernel = kernel.get();
  platform.registry = registry.get();
  platform.windows = windows.get();
  platform.systemEvents = systemEvents.get();
  platform.codePage = codePage.get();
  platform.wlan = wlan.get();
  platform.security = security.get();
  platform.processStart = processStart.get();
  platform.com = com.get();
  platform.trace = trace.get();
  platform.sharing = sharing.get();
  platform.modules = modules.get();
  platform.hotspot = hotspot.get();

  const std::u16string commandLine =
      win32::ArgumentsAfterProgramName(reinterpret_cast<const char16_t*>(::GetCommandLineW()));
  const tethra::platform::Dword exitCode = tethra::app::RunTethra(platform, commandLine);
  ::ExitProcess(exitCode);
}
