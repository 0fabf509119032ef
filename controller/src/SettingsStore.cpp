// Reading and writing the shared registry values. The spare unit in every read buffer
// guarantees a terminator even for a value stored without one.
#include "tethra/controller/SettingsStore.h"

#include <vector>

#include "tethra/controller/SettingsKey.h"
#include "tethra/platform/Handle.h"

namespace tethra::controller {

using platform::Dword;

bool ReadTextValue(platform::IRegistry& registry, platform::Hkey key, const std::u16string& name, std::u16string& out) {
  Dword size = 0;
  if (registry.regQueryValueEx(key, name.c_str(), nullptr, nullptr, &size) != platform::kERROR_SUCCESS) return false;
  std::vector<char16_t> buffer(static_cast<std::size_t>(size) + 1, u'\0');
  Dword bytes = size;
  if (registry.regQueryValueEx(key, name.c_str(), nullptr, reinterpret_cast<std::uint8_t*>(buffer.data()), &bytes) !=
      platform::kERROR_SUCCESS) {
    return false;
  }
  out.assign(buffer.data());
  return true;
}

namespace {
platform::UniqueRegKey OpenMachineKey(platform::IKernel& kernel, platform::IRegistry& registry,
                                      const std::u16string& subKey) {
  platform::UniqueRegKey key(platform::RegKeyCloser{&registry, &kernel});
  if (registry.regOpenKeyEx(platform::kHKEY_LOCAL_MACHINE, subKey.c_str(), 0,
                            platform::kKEY_READ | platform::kKEY_WOW64_32KEY, key.put()) != platform::kERROR_SUCCESS) {
    key.release();  // a failed call returns no key
  }
  return key;
}
}  // namespace

bool ReadMachineValue(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& subKey,
                      const std::u16string& name, std::u16string& out) {
  const platform::UniqueRegKey key = OpenMachineKey(kernel, registry, subKey);
  return key && ReadTextValue(registry, key.get(), name, out);
}

bool ReadMachineDword(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& subKey,
                      const std::u16string& name, Dword& out) {
  const platform::UniqueRegKey key = OpenMachineKey(kernel, registry, subKey);
  if (!key) return false;
  Dword value = 0;
  Dword size = sizeof value;
  // A REG_DWORD only: RRF_RT_DWORD would take a 4-byte REG_BINARY as well.
  if (registry.regGetValue(key.get(), nullptr, name.c_str(), platform::kRRF_RT_REG_DWORD, nullptr, &value, &size) !=
      platform::kERROR_SUCCESS) {
    return false;
  }
  out = value;
  return true;
}

bool WriteSettingsValue(platform::IKernel& kernel, platform::IRegistry& registry, const std::u16string& name,
                        const std::u16string& value) {
  const platform::UniqueRegKey key = CreateSettingsKey(kernel, registry);
  if (!key) return false;
  const Dword bytes = static_cast<Dword>((value.size() + 1) * sizeof(char16_t));
  return registry.regSetValueEx(key.get(), name.c_str(), platform::kREG_SZ,
                                reinterpret_cast<const std::uint8_t*>(value.c_str()), bytes) == platform::kERROR_SUCCESS;
}

}  // namespace tethra::controller
