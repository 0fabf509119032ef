// The program's device-interface registrations through its import address table (see the
// header).
#include "RegistrationWatch.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

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

// Points one import slot at `wrapper`, keeping what it held.
template <typename Fn>
bool Rewrite(ULONGLONG* slot, Fn wrapper, Fn& real) {
  DWORD old = 0;
  if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  real = reinterpret_cast<Fn>(*slot);
  *slot = reinterpret_cast<ULONGLONG>(wrapper);
  ::VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

std::string Install() {
  auto* base = reinterpret_cast<unsigned char*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return "the executable has no DOS header";
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    return "the executable is no PE32+ image";
  }
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return "the executable imports nothing";
  bool user32 = false;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "user32.dll") != 0) continue;
    user32 = true;
    // The names stay in the lookup table; the address table holds the bound functions.
    if (d->OriginalFirstThunk == 0) return "user32's imports have no lookup table";
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const char*>(
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      if (std::strcmp(name, "RegisterDeviceNotificationW") == 0) {
        if (!Rewrite(&slots->u1.Function, &WatchedRegister, g_register)) return "the import slot is not writable";
      } else if (std::strcmp(name, "UnregisterDeviceNotification") == 0) {
        if (!Rewrite(&slots->u1.Function, &WatchedUnregister, g_unregister)) return "the import slot is not writable";
      }
    }
  }
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
