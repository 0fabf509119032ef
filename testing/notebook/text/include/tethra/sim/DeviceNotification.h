// Which windows a device-interface event reaches: the live RegisterDeviceNotification
// registrations of the machine, and the rule by which the system picks recipients from them
// (docs/device-events-contract.md). Header only and free of the simulation's core, so that the
// simulated notebook and the simulated WLAN library of the Windows build (which watches the
// program's own registrations under Wine) deliver by one rule.
//
// Owner: the table owns copies of what each registration asked for; it reads a filter only
// during the call. Threads: not thread-safe; each owner serialises its calls.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "tethra/platform/SystemEvents.h"
#include "tethra/platform/Types.h"

namespace tethra::sim {

inline constexpr platform::Dword kDEVICE_NOTIFY_SERVICE_HANDLE = 1;

// The network-adapter device interface class, the class of every event the simulated
// machines report.
inline constexpr platform::Guid kNetworkAdapterInterfaceClass{
    0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}};

struct DeviceRegistration {
  std::uintptr_t handle = 0;  // what RegisterDeviceNotification returned
  std::uintptr_t window = 0;
  bool allClasses = false;          // DEVICE_NOTIFY_ALL_INTERFACE_CLASSES: the class is ignored
  platform::Guid interfaceClass{};  // dbcc_classguid of the filter
};

// What a window registration with this filter asks for, or nothing where it asks for no
// device-interface event at all: no filter, a service status handle as the recipient, another
// record type than DBT_DEVTYP_DEVICEINTERFACE, or a size below the record's.
inline std::optional<DeviceRegistration> ReadDeviceFilter(std::uintptr_t window, const void* filter,
                                                          platform::Dword flags) {
  if (filter == nullptr || (flags & kDEVICE_NOTIFY_SERVICE_HANDLE) != 0) return std::nullopt;
  platform::Dword header[2] = {0, 0};  // dbcc_size, dbcc_devicetype
  std::memcpy(header, filter, sizeof header);
  if (header[1] != platform::kDBT_DEVTYP_DEVICEINTERFACE ||
      header[0] < sizeof(platform::DevBroadcastDeviceInterface)) {
    return std::nullopt;
  }
  DeviceRegistration r;
  r.window = window;
  r.allClasses = (flags & platform::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
  std::memcpy(&r.interfaceClass,
              static_cast<const unsigned char*>(filter) + offsetof(platform::DevBroadcastDeviceInterface, dbcc_classguid),
              sizeof r.interfaceClass);
  return r;
}

class DeviceRegistrations {
 public:
  void add(const DeviceRegistration& registration) { m_Live.push_back(registration); }

  // UnregisterDeviceNotification: false for a handle that is not live.
  bool remove(std::uintptr_t handle) {
    return std::erase_if(m_Live, [&](const DeviceRegistration& r) { return r.handle == handle; }) != 0;
  }

  // A destroyed window receives nothing more.
  void removeWindow(std::uintptr_t window) {
    std::erase_if(m_Live, [&](const DeviceRegistration& r) { return r.window == window; });
  }

  // The windows an event of that interface class goes to, each once, in the order of their
  // first matching registration.
  std::vector<std::uintptr_t> recipients(const platform::Guid& interfaceClass) const {
    std::vector<std::uintptr_t> out;
    for (const DeviceRegistration& r : m_Live) {
      if (!r.allClasses && r.interfaceClass != interfaceClass) continue;
      if (std::find(out.begin(), out.end(), r.window) == out.end()) out.push_back(r.window);
    }
    return out;
  }

  // Every window with a live registration, each once.
  std::vector<std::uintptr_t> windows() const {
    std::vector<std::uintptr_t> out;
    for (const DeviceRegistration& r : m_Live) {
      if (std::find(out.begin(), out.end(), r.window) == out.end()) out.push_back(r.window);
    }
    return out;
  }

 private:
  std::vector<DeviceRegistration> m_Live;
};

}  // namespace tethra::sim
