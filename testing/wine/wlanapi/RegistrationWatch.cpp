// The program's device-interface registrations through its import address table (see the
// header).
#include "RegistrationWatch.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "ImportSlots.h"
#include "WlanDll.h"
#include "tethra/sim/DeviceNotification.h"

namespace tethra::tools {

namespace {

using RegisterFn = HDEVNOTIFY(WINAPI*)(HANDLE, LPVOID, DWORD);
using UnregisterFn = BOOL(WINAPI*)(HDEVNOTIFY);

// What the slots held before: the real functions, called by the wrappers.
RegisterFn g_register = nullptr;
UnregisterFn g_unregister = nullptr;
std::string g_state = "not installed";

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
sim::DeviceRegistrations& Table() {
  static sim::DeviceRegistrations table;
  return table;
}

std::string Hex(std::uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

void Log(const std::string& line) {
  if (SimWlanDll* dll = SimWlanDll::IfMade()) dll->write(line);
}

HDEVNOTIFY WINAPI WatchedRegister(HANDLE recipient, LPVOID filter, DWORD flags) {
  const HDEVNOTIFY handle = g_register(recipient, filter, flags);
  const DWORD error = ::GetLastError();
  const auto window = reinterpret_cast<std::uintptr_t>(recipient);
  std::string kept = "nothing kept";
  if (handle != nullptr) {
    // Only what a successful call registered; a filter for other events registers none of ours.
    if (auto registration = sim::ReadDeviceFilter(window, filter, flags)) {
      registration->handle = reinterpret_cast<std::uintptr_t>(handle);
      std::lock_guard lock(TableMutex());
      Table().add(*registration);
      kept = registration->allClasses ? "every interface class" : "one interface class";
    }
  }
  Log("RegisterDeviceNotificationW " + Hex(window) + " flags " + Hex(flags) + " -> " +
      Hex(reinterpret_cast<std::uintptr_t>(handle)) + " (" + kept + ")");
  ::SetLastError(error);
  return handle;
}

BOOL WINAPI WatchedUnregister(HDEVNOTIFY handle) {
  const BOOL ok = g_unregister(handle);
  const DWORD error = ::GetLastError();
  if (ok) {
    std::lock_guard lock(TableMutex());
    Table().remove(reinterpret_cast<std::uintptr_t>(handle));
  }
  Log("UnregisterDeviceNotification " + Hex(reinterpret_cast<std::uintptr_t>(handle)) + " -> " +
      std::to_string(ok != FALSE));
  ::SetLastError(error);
  return ok;
}

std::string Install() {
  bool user32 = false;
  std::string problem;
  const std::string walk = VisitImports("user32.dll", user32, [&](const char* name, ULONGLONG* slot) {
    bool rewritten = true;
    if (std::strcmp(name, "RegisterDeviceNotificationW") == 0) {
      rewritten = RewriteImport(slot, &WatchedRegister, g_register);
    } else if (std::strcmp(name, "UnregisterDeviceNotification") == 0) {
      rewritten = RewriteImport(slot, &WatchedUnregister, g_unregister);
    }
    if (!rewritten) problem = "the import slot is not writable";
    return !rewritten;
  });
  if (!walk.empty()) return walk;
  if (!problem.empty()) return problem;
  if (!user32) return "the executable does not import user32.dll";
  if (g_register == nullptr || g_unregister == nullptr) {
    return "the executable does not import RegisterDeviceNotificationW and UnregisterDeviceNotification";
  }
  return {};
}

}  // namespace

void WatchDeviceRegistrations() {
  static const bool once = [] {
    g_state = Install();
    return true;
  }();
  (void)once;
}

std::string DeviceRegistrationWatchState() { return g_state; }

std::vector<HWND> DeviceEventRecipients(const GUID& interfaceClass) {
  platform::Guid wanted{interfaceClass.Data1, interfaceClass.Data2, interfaceClass.Data3, {}};
  std::memcpy(wanted.Data4, interfaceClass.Data4, sizeof wanted.Data4);
  std::vector<std::uintptr_t> windows;
  {
    std::lock_guard lock(TableMutex());
    windows = Table().recipients(wanted);
  }
  std::vector<HWND> out;
  for (const std::uintptr_t w : windows) out.push_back(reinterpret_cast<HWND>(w));
  return out;
}

}  // namespace tethra::tools
