// Values of the registry that the program shares with its controller, read and written as
// UTF-16 text. Every routine returns true only when the value was read or written; none
// reports why it failed (the caller's fallback is the same either way). Any thread may call:
// each call works on the key it is given or opens and closes its own; `kernel` is the thread's
// last error, which a close leaves as it was.
#pragma once

#include <string>

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Registry.h"

namespace tethra::controller {

// One value of an open key, up to its first NUL, whatever its type; `out` is left as it was
// on failure.
bool ReadTextValue(platform::IRegistry& registry, platform::Hkey key, const std::u16string& name, std::u16string& out);

// One value of HKEY_LOCAL_MACHINE\`subKey`, opened for reading in the 32-bit view.
bool ReadMachineValue(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& subKey,
                      const std::u16string& name, std::u16string& out);

// One REG_DWORD value of HKEY_LOCAL_MACHINE\`subKey`, 32-bit view (any other type: false).
bool ReadMachineDword(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& subKey,
                      const std::u16string& name, platform::Dword& out);

// One REG_SZ value, NUL included, under the settings key (created when missing).
bool WriteSettingsValue(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& name,
                        const std::u16string& value);

}  // namespace tethra::controller
