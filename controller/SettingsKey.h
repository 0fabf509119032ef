// The settings key that the program shares with its controller, and the access it opens it
// with (read, write, 32-bit registry view).
#pragma once

#include "tethra/platform/registry.h"

namespace tethra::controller {

inline constexpr char16_t kSettingsKeyPath[] =
    u"Software\\Velmar Corporation\\Zentro Control Center\\Settings\\Network\\Tethra\\";
inline constexpr platform::Dword kSettingsKeyAccess =
    platform::kKEY_READ | platform::kKEY_WRITE | platform::kKEY_WOW64_32KEY;  // 0x2021F

}  // namespace tethra::controller
