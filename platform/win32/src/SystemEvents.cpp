// ISystemEvents on wtsapi32 (session changes) and user32 (device-interface notifications).
// Call from the thread of the window being registered. Owner: the device registration handle
// belongs to the caller until unregisterDeviceNotification. Results as the Win32 functions
// give them, with the reason in GetLastError() on failure.
//
// wtsapi32.dll is not one of the system's known DLLs: imported statically it would be looked
// for beside the executable first, before the program restricts the DLL search. It is bound
// at run time from the system directory instead; without it, session registration fails.

#include "tethra/win32/Adapters.h"
#include "tethra/win32/SystemLibrary.h"
#include "tethra/platform/SystemEvents.h"
#include "tethra/win32/Win32Common.h"

#include <dbt.h>
#include <wtsapi32.h>

namespace tethra::win32 {
namespace {

using platform::DevBroadcastDeviceInterface;

// The program builds the registration filter and reads removal records in the portable layout.
TETHRA_WIN32_SAME_LAYOUT(DevBroadcastDeviceInterface, DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_size, dbcc_devicetype,
                         dbcc_reserved, dbcc_classguid, dbcc_name);

static_assert(platform::kNOTIFY_FOR_THIS_SESSION == NOTIFY_FOR_THIS_SESSION);
static_assert(platform::kPBT_APMSUSPEND == PBT_APMSUSPEND && platform::kPBT_APMRESUMESUSPEND == PBT_APMRESUMESUSPEND &&
              platform::kPBT_APMRESUMEAUTOMATIC == PBT_APMRESUMEAUTOMATIC);
static_assert(platform::kWTS_CONSOLE_CONNECT == WTS_CONSOLE_CONNECT &&
              platform::kWTS_CONSOLE_DISCONNECT == WTS_CONSOLE_DISCONNECT &&
              platform::kWTS_SESSION_LOGON == WTS_SESSION_LOGON && platform::kWTS_SESSION_LOGOFF == WTS_SESSION_LOGOFF &&
              platform::kWTS_SESSION_LOCK == WTS_SESSION_LOCK && platform::kWTS_SESSION_UNLOCK == WTS_SESSION_UNLOCK);
static_assert(platform::kDBT_DEVICEARRIVAL == DBT_DEVICEARRIVAL &&
              platform::kDBT_DEVICEREMOVECOMPLETE == DBT_DEVICEREMOVECOMPLETE &&
              platform::kDBT_DEVTYP_DEVICEINTERFACE == DBT_DEVTYP_DEVICEINTERFACE &&
              platform::kDEVICE_NOTIFY_WINDOW_HANDLE == DEVICE_NOTIFY_WINDOW_HANDLE &&
              platform::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES == DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);

using RegisterSessionFn = BOOL(WINAPI*)(HWND, DWORD);
using UnRegisterSessionFn = BOOL(WINAPI*)(HWND);

class SystemEvents final : public platform::ISystemEvents {
 public:
  SystemEvents()
      : m_Wtsapi(LoadSystemLibrary(u"wtsapi32.dll")),
        m_Register(ResolveExport<RegisterSessionFn>(m_Wtsapi, "WTSRegisterSessionNotification")),
        m_Unregister(ResolveExport<UnRegisterSessionFn>(m_Wtsapi, "WTSUnRegisterSessionNotification")) {}
  ~SystemEvents() override {
    if (m_Wtsapi != nullptr) ::FreeLibrary(m_Wtsapi);
  }
  SystemEvents(const SystemEvents&) = delete;
  SystemEvents& operator=(const SystemEvents&) = delete;

  bool wtsRegisterSessionNotification(platform::Hwnd hwnd, platform::Dword flags) override {
    if (m_Register == nullptr) return unavailable();
    return m_Register(ToHwnd(hwnd), flags) != FALSE;
  }
  bool wtsUnRegisterSessionNotification(platform::Hwnd hwnd) override {
    if (m_Unregister == nullptr) return unavailable();
    return m_Unregister(ToHwnd(hwnd)) != FALSE;
  }
  platform::Hdevnotify registerDeviceNotification(platform::Hwnd hwnd, const void* filter,
                                                  platform::Dword flags) override {
    // The system only reads the filter; its parameter is not const-qualified.
    return ::RegisterDeviceNotificationW(ToHwnd(hwnd), const_cast<void*>(filter), flags);
  }
  bool unregisterDeviceNotification(platform::Hdevnotify handle) override {
    return ::UnregisterDeviceNotification(handle) != FALSE;
  }

 private:
  static bool unavailable() {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }

  HMODULE m_Wtsapi;
  RegisterSessionFn m_Register;
  UnRegisterSessionFn m_Unregister;
};

}  // namespace

std::unique_ptr<platform::ISystemEvents> CreateSystemEvents() { return std::make_unique<SystemEvents>(); }

}  // namespace tethra::win32
