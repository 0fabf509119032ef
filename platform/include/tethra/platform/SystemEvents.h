// System notifications delivered to a window: session changes (kWM_WTSSESSION_CHANGE),
// device-interface arrival and removal (kWM_DEVICECHANGE). Power broadcasts
// (kWM_POWERBROADCAST) reach every top-level window without registration.
//
// Owner: the registration handle returned by registerDeviceNotification is released with
// unregisterDeviceNotification. Call from the window's own thread.
#pragma once

#include <cstddef>

#include "tethra/platform/Types.h"

namespace tethra::platform {

constexpr Dword kNOTIFY_FOR_THIS_SESSION = 0;

constexpr WParam kPBT_APMSUSPEND = 4;
constexpr WParam kPBT_APMRESUMESUSPEND = 7;
constexpr WParam kPBT_APMRESUMEAUTOMATIC = 0x12;

constexpr WParam kWTS_CONSOLE_CONNECT = 1;
constexpr WParam kWTS_CONSOLE_DISCONNECT = 2;
constexpr WParam kWTS_REMOTE_CONNECT = 3;
constexpr WParam kWTS_REMOTE_DISCONNECT = 4;
constexpr WParam kWTS_SESSION_LOGON = 5;
constexpr WParam kWTS_SESSION_LOGOFF = 6;
constexpr WParam kWTS_SESSION_LOCK = 7;
constexpr WParam kWTS_SESSION_UNLOCK = 8;

constexpr WParam kDBT_DEVICEARRIVAL = 0x8000;
constexpr WParam kDBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr Dword kDBT_DEVTYP_DEVICEINTERFACE = 5;
constexpr Dword kDEVICE_NOTIFY_WINDOW_HANDLE = 0;
constexpr Dword kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES = 4;

// DEV_BROADCAST_DEVICEINTERFACE_W: the name (NUL-terminated UTF-16) starts at byte 28.
struct DevBroadcastDeviceInterface {
  Dword dbcc_size;
  Dword dbcc_devicetype;
  Dword dbcc_reserved;
  Guid dbcc_classguid;
  char16_t dbcc_name[1];
};
static_assert(offsetof(DevBroadcastDeviceInterface, dbcc_name) == 28);

class ISystemEvents {
 public:
  virtual ~ISystemEvents() = default;
  virtual bool wtsRegisterSessionNotification(Hwnd hwnd, Dword flags) = 0;
  virtual bool wtsUnRegisterSessionNotification(Hwnd hwnd) = 0;
  // `filter` points to a 32-byte DEV_BROADCAST_DEVICEINTERFACE record.
  virtual Hdevnotify registerDeviceNotification(Hwnd hwnd, const void* filter, Dword flags) = 0;
  virtual bool unregisterDeviceNotification(Hdevnotify handle) = 0;
};

}  // namespace tethra::platform
