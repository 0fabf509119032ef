// Factories of the Win32 adapters behind the platform boundary. The entry point creates each
// adapter once, on the main thread, and keeps it for the life of the process; the adapters
// themselves may then be called from any thread their interface allows. No Windows header here.
#pragma once

#include <memory>

#include "tethra/platform/Platform.h"

namespace tethra::win32 {

std::unique_ptr<platform::IKernel> CreateKernel();
std::unique_ptr<platform::IRegistry> CreateRegistry();
std::unique_ptr<platform::IWindowSystem> CreateWindowSystem();
std::unique_ptr<platform::ISystemEvents> CreateSystemEvents();
std::unique_ptr<platform::ICodePage> CreateCodePage();
std::unique_ptr<platform::ITrace> CreateTrace();
std::unique_ptr<platform::ISecurity> CreateSecurity();
std::unique_ptr<platform::IProcessStart> CreateProcessStart();
std::unique_ptr<platform::IComRuntime> CreateComRuntime();
// Loads wlanapi.dll from the system directory now; a missing library or function turns into
// an error code from the calls concerned, never into a failed start.
std::unique_ptr<platform::IWlanApi> CreateWlanApi();
// The sharing manager and connection manager COM classes, and the network-shell library
// loaded from the system directory only.
std::unique_ptr<platform::ISharing> CreateSharing();
std::unique_ptr<platform::IModuleLoader> CreateModuleLoader();
// The mobile hotspot on the Windows Runtime; combase.dll's functions are bound from the system
// directory now, and their absence turns into an error code from every call.
std::unique_ptr<platform::IMobileHotspot> CreateMobileHotspot();

}  // namespace tethra::win32
