// Session and device-interface notifications: the program's registrations (ISystemEvents)
// and the machine's events that reach the registered windows.
//
// Owner: registrations live in WindowManager and end with unregistration or with the window.
// Device records handed out with WM_DEVICECHANGE are kept for the world's life, so a handler
// may read them whenever the message is dispatched. Threads: the baton holder. Failures:
// false / null with last error 87 (bad filter or flags), 1400 (bad window), 6 (bad handle).
// Who receives a device event follows tethra/sim/device_notification.h, the rule the Windows
// build's simulated WLAN library applies to the program's real registrations.
#include <cstring>

#include "Format.h"
#include "WindowManager.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::Hwnd;

namespace {

class ProcessSystemEvents final : public platform::ISystemEvents {
 public:
  explicit ProcessSystemEvents(ProcessImpl& process) : m_Process(process), m_Windows(process.world().windows) {}

  bool wtsRegisterSessionNotification(Hwnd hwnd, Dword flags) override {
    Window* w = own(hwnd);
    const bool ok = w != nullptr && flags <= 1;
    if (ok) w->sessionRegistered = true;
    if (w != nullptr && !ok) m_Process.setLastError(platform::kERROR_INVALID_PARAMETER);
    record("WTSRegisterSessionNotification", Join({Hex(hwnd), Num(flags)}), Num(ok));
    return ok;
  }

  bool wtsUnRegisterSessionNotification(Hwnd hwnd) override {
    Window* w = own(hwnd);
    if (w != nullptr) w->sessionRegistered = false;
    record("WTSUnRegisterSessionNotification", Hex(hwnd), Num(w != nullptr));
    return w != nullptr;
  }

  platform::Hdevnotify registerDeviceNotification(Hwnd hwnd, const void* filter, Dword flags) override {
    Window* w = own(hwnd);
    platform::Hdevnotify handle = nullptr;
    if (w != nullptr) {
      // A window takes only device-interface registrations here; the rest is refused.
      if (auto registration = ReadDeviceFilter(w->id, filter, flags)) {
        handle = m_Windows.addDeviceRegistration(*registration);
      } else {
        m_Process.setLastError(platform::kERROR_INVALID_PARAMETER);
      }
    }
    record("RegisterDeviceNotification", Join({Hex(hwnd), Hex(flags)}), Hex(handle));
    return handle;
  }

  bool unregisterDeviceNotification(platform::Hdevnotify handle) override {
    const bool ok = m_Windows.removeDeviceRegistration(handle);
    if (!ok) m_Process.setLastError(platform::kERROR_INVALID_HANDLE);
    record("UnregisterDeviceNotification", Hex(handle), Num(ok));
    return ok;
  }

 private:
  Window* own(Hwnd hwnd) {
    Window* w = m_Windows.alive(hwnd);
    if (w == nullptr || w->process != &m_Process) {
      m_Process.setLastError(kERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    return w;
  }
  void record(std::string_view function, const std::string& args, const std::string& result) {
    m_Process.record("events", function, args, result);
  }

  ProcessImpl& m_Process;
  WindowManager& m_Windows;
};

}  // namespace

platform::Hdevnotify WindowManager::addDeviceRegistration(DeviceRegistration registration) {
  registration.handle = m_World.nextHandle();
  m_Devices.add(registration);
  return reinterpret_cast<platform::Hdevnotify>(registration.handle);
}

bool WindowManager::removeDeviceRegistration(platform::Hdevnotify handle) {
  return m_Devices.remove(reinterpret_cast<std::uintptr_t>(handle));
}

std::vector<Hwnd> WindowManager::deviceNotificationWindows() const {
  std::vector<Hwnd> out;
  for (const std::uintptr_t window : m_Devices.windows()) out.push_back(reinterpret_cast<Hwnd>(window));
  return out;
}

void WindowManager::sessionChange(platform::WParam code) {
  m_World.trace("machine session change " + Num(static_cast<std::int64_t>(code)));
  for (auto& w : m_Windows) {
    if (w->sessionRegistered && !w->destroyed) postTo(*w, platform::kWM_WTSSESSION_CHANGE, code, 1);
  }
}

void WindowManager::deviceEvent(bool removed, std::u16string interfaceName) {
  const std::size_t bytes = offsetof(platform::DevBroadcastDeviceInterface, dbcc_name) + 2 * (interfaceName.size() + 1);
  std::vector<std::uint64_t>& storage = m_DeviceRecords.emplace_back((bytes + 7) / 8, 0);
  auto* raw = reinterpret_cast<unsigned char*>(storage.data());
  const Dword header[3] = {static_cast<Dword>(bytes), platform::kDBT_DEVTYP_DEVICEINTERFACE, 0};
  std::memcpy(raw, header, sizeof header);
  std::memcpy(raw + offsetof(platform::DevBroadcastDeviceInterface, dbcc_classguid), &kNetworkAdapterInterfaceClass,
              sizeof kNetworkAdapterInterfaceClass);
  std::memcpy(raw + offsetof(platform::DevBroadcastDeviceInterface, dbcc_name), interfaceName.c_str(),
              2 * (interfaceName.size() + 1));

  const platform::WParam event = removed ? platform::kDBT_DEVICEREMOVECOMPLETE : platform::kDBT_DEVICEARRIVAL;
  m_World.trace(std::string("machine device ") + (removed ? "removed " : "arrived ") + Quoted(interfaceName));
  // Only windows registered for the event's class hear of it (none: the event is told to nobody).
  for (const std::uintptr_t window : m_Devices.recipients(kNetworkAdapterInterfaceClass)) {
    if (Window* w = alive(reinterpret_cast<Hwnd>(window))) {
      postTo(*w, platform::kWM_DEVICECHANGE, event, reinterpret_cast<platform::LParam>(raw));
    }
  }
}

std::unique_ptr<platform::ISystemEvents> MakeSystemEvents(ProcessImpl& process) {
  return std::make_unique<ProcessSystemEvents>(process);
}

}  // namespace tethra::sim::detail
