// IModuleLoader for the network-shell library: LoadLibraryExW restricted to the system
// directory, GetProcAddress of "NcFreeNetconProperties", FreeLibrary. The dialog's thread
// calls it; failures leave their reason in the thread's last error, as the calls do.
#include "adapters.h"
#include "win32_common.h"

namespace tethra::win32 {
namespace {

// Windows 7 without its loader update rejects LOAD_LIBRARY_SEARCH_SYSTEM32 as an invalid
// parameter; there the full path into the system directory gives the same guarantee.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  std::size_t nameLength = 0;
  while (name[nameLength] != 0) ++nameLength;
  if (length == 0 || length + 1 + nameLength + 1 > MAX_PATH) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  path[length] = L'\\';
  for (std::size_t i = 0; i <= nameLength; ++i) path[length + 1 + i] = name[i];
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

class ModuleLoader final : public platform::IModuleLoader {
 public:
  platform::Hmodule loadLibrary(const char16_t* fileName) override {
    return reinterpret_cast<platform::Hmodule>(LoadSystemLibrary(W(fileName)));
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
