// WM_DEVICECHANGE to the program's dialog, filled as the simulated notebook fills it.
#include "device_event.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "tools/common/program_window.h"

namespace tethra::tools {

namespace {

// The network adapter interface class, the class the simulated notebook reports.
constexpr GUID kNetworkAdapterClass{0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}};

}  // namespace

std::string SendDeviceChange(bool removed, const std::u16string& interfaceName, UINT timeoutMs) {
  const HWND dialog = FindProgramDialog(::GetCurrentProcessId());
  if (dialog == nullptr) return "no dialog window in this process";

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
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(dialog, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record), SMTO_NORMAL,
                            timeoutMs, &result) == 0) {
    return "the dialog did not take the message (error " + std::to_string(::GetLastError()) + ")";
  }
  return {};
}

}  // namespace tethra::tools
