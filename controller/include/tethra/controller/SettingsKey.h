// The settings key that the program shares with its controller, and the access it opens it
// with (read, write, 32-bit registry view).
#pragma once

#include "tethra/platform/Handle.h"
#include "tethra/platform/Registry.h"

namespace tethra::controller {

inline constexpr char16_t kSettingsKeyPath[] =
    u"Software\\Velmar Corporation\\Zentro Control Center\\Settings\\Network\\Tethra\\";
inline constexpr platform::Dword kSettingsKeyAccess =
    platform::kKEY_READ | platform::kKEY_WRITE | platform::kKEY_WOW64_32KEY;  // 0x2021F

// Opens the settings key for reading and writing, creating it when missing. Empty on failure.
// Its close keeps `kernel`'s last error.
inline platform::UniqueRegKey CreateSettingsKey(platform::IKernel& kernel, platform::IRegistry& registry) {
  platform::UniqueRegKey key(platform::RegKeyCloser{&registry, &kernel});
  platform::Dword disposition = 0;
  if (registry.regCreateKeyEx(platform::kHKEY_LOCAL_MACHINE, kSettingsKeyPath, platform::kREG_OPTION_NON_VOLATILE,
                              kSettingsKeyAccess, key.put(), &disposition) != platform::kERROR_SUCCESS) {
    key.release();  // a failed call returns no key
  }
  return key;
}

}  // namespace tethra::controller
