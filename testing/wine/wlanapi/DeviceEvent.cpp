// WM_DEVICECHANGE to the registered windows, filled as the simulated notebook fills it.
#include "DeviceEvent.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "RegistrationWatch.h"

namespace tethra::tools {

namespace {

// The network adapter interface class, the class the simulated notebook reports.
constexpr GUID kNetworkAdapterClass{0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}};

}  // namespace

DeviceDelivery SendDeviceChange(bool removed, const std::u16string& interfaceName, UINT timeoutMs) {
  DeviceDelivery delivery;
  // Without the watch nobody would ever be found registered: say so rather than tell nobody.
  if (const std::string watch = DeviceRegistrationWatchState(); !watch.empty()) {
    delivery.error = "the program's device registrations are not watched: " + watch;
    return delivery;
  }

  const std::size_t bytes =
      offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + sizeof(wchar_t) * (interfaceName.size() + 1);
  std::vector<std::uint64_t> storage((bytes + 7) / 8, 0);  // aligned as the record needs
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
  record->dbcc_size = static_cast<DWORD>(bytes);
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  record->dbcc_reserved = 0;
  record->dbcc_classguid = kNetworkAdapterClass;
  std::memcpy(record->dbcc_name, interfaceName.c_str(), sizeof(wchar_t) * (interfaceName.size() + 1));

  const WPARAM event = removed ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL;
  for (const HWND window : DeviceEventRecipients(kNetworkAdapterClass)) {
    if (::IsWindow(window) == FALSE) continue;  // a destroyed window receives nothing
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record), SMTO_NORMAL,
                              timeoutMs, &result) == 0) {
      delivery.error = "the registered window did not take the message (error " + std::to_string(::GetLastError()) + ")";
      return delivery;
    }
    ++delivery.windows;
  }
  return delivery;
}

}  // namespace tethra::tools
