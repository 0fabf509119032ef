// The settings key shared with the controller: HKEY_LOCAL_MACHINE, 32-bit registry view. Each
// routine returns true only when the value was read or written; no failure is reported.
// GetValue runs on the watcher thread, SetValue on both threads, GetKeyValue on the dialog's.
#include <vector>

#include "app/HostedNetworkDlg.h"
#include "controller/SettingsKey.h"
#include "tethra/platform/handle.h"

namespace tethra::app {

namespace {

// Reads one value of an open key as UTF-16 text up to its first NUL, whatever its type. The
// spare unit guarantees a terminator even for a value stored without one.
bool ReadText(platform::IRegistry& registry, platform::Hkey key, const std::u16string& name, std::u16string& out) {
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

}  // namespace

bool CHostedNetworkDlg::GetValue(platform::Hkey key, std::u16string valueName, std::u16string& value) {
  value.clear();
  return ReadText(*m_pPlatform->registry, key, valueName, value);
}

bool CHostedNetworkDlg::GetKeyValue(std::u16string subKey, std::u16string valueName, std::u16string& value) {
  platform::IRegistry& registry = *m_pPlatform->registry;
  platform::UniqueRegKey key(platform::RegKeyCloser{&registry});
  if (registry.regOpenKeyEx(platform::kHKEY_LOCAL_MACHINE, subKey.c_str(), 0,
                            platform::kKEY_READ | platform::kKEY_WOW64_32KEY, key.put()) != platform::kERROR_SUCCESS) {
    key.release();  // a failed call returns no key
  }
  if (!key) return false;
  std::u16string text;
  if (!ReadText(registry, key.get(), valueName, text)) return false;
  value = std::move(text);
  return true;
}

bool CHostedNetworkDlg::SetValue(std::u16string valueName, std::u16string value) {
  platform::IRegistry& registry = *m_pPlatform->registry;
  const platform::UniqueRegKey key = controller::CreateSettingsKey(registry);
  if (!key) return false;
  const Dword bytes = static_cast<Dword>((value.size() + 1) * sizeof(char16_t));
  return registry.regSetValueEx(key.get(), valueName.c_str(), platform::kREG_SZ,
                                reinterpret_cast<const std::uint8_t*>(value.c_str()), bytes) == platform::kERROR_SUCCESS;
}

}  // namespace tethra::app
