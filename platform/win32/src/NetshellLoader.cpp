// IModuleLoader for the network-shell library: LoadLibraryExW restricted to the system
// directory, GetProcAddress of "NcFreeNetconProperties", FreeLibrary. The dialog's thread
// calls it; failures leave their reason in the thread's last error, as the calls do.
#include "tethra/win32/Adapters.h"
#include "tethra/win32/SystemLibrary.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

class ModuleLoader final : public platform::IModuleLoader {
 public:
  platform::Hmodule loadLibrary(const char16_t* fileName) override {
    return reinterpret_cast<platform::Hmodule>(LoadSystemLibrary(fileName));
  }
  platform::NcFreeNetconPropertiesFn getNcFreeNetconProperties(platform::Hmodule module,
                                                               const char* exportName) override {
    // Through void(*)(): the conversion the language allows without a function-type warning.
    return reinterpret_cast<platform::NcFreeNetconPropertiesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(reinterpret_cast<HMODULE>(module), exportName)));
  }
  bool freeLibrary(platform::Hmodule module) override {
    return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE;
  }
};

}  // namespace

std::unique_ptr<platform::IModuleLoader> CreateModuleLoader() { return std::make_unique<ModuleLoader>(); }

}  // namespace tethra::win32
