// One RAII owner for every kind of platform handle (kernel handles, registry keys, the WLAN
// client handle and typed WLAN buffers, SIDs, device-notification registrations, COM task
// memory). The closer is a small callable that knows the platform area to give the handle back
// to; a moved-from owner holds nothing. put() hands a call that returns a handle through a
// pointer the owner's own (emptied) slot. Closers return nothing, so an owner reports no codes;
// a caller that needs the close's result takes the handle out with release() and closes it.
// Owners are not thread-safe: one thread at a time, and the thread the area requires for its
// close (device notifications: the window's thread).
//
// The thread's last error: KernelHandleCloser reads it before closeHandle and sets it back
// afterwards, so an error path that closes a handle can still report the error it met. No other
// closer does that: RegKeyCloser (regCloseKey), WlanHandleCloser (wlanCloseHandle),
// WlanMemoryCloser (wlanFreeMemory), SidCloser (freeSid), DeviceNotificationCloser
// (unregisterDeviceNotification) and TaskMemCloser (coTaskMemFree) leave it to whatever the
// call they make does, so read the last error before such an owner closes.
#pragma once

#include <utility>

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Registry.h"
#include "tethra/platform/Security.h"
#include "tethra/platform/Sharing.h"
#include "tethra/platform/SystemEvents.h"
#include "tethra/platform/WlanApi.h"

namespace tethra::platform {

template <typename T, typename Closer, T Invalid = T{}>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(Closer closer) : m_Closer(std::move(closer)) {}
  UniqueResource(T value, Closer closer) : m_Value(value), m_Closer(std::move(closer)) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept
      : m_Value(std::exchange(other.m_Value, Invalid)), m_Closer(std::move(other.m_Closer)) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset();
      m_Value = std::exchange(other.m_Value, Invalid);
      m_Closer = std::move(other.m_Closer);
    }
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const { return m_Value; }
  explicit operator bool() const { return m_Value != Invalid; }
  T release() { return std::exchange(m_Value, Invalid); }
  // Closes what is held and returns the empty slot, for a call's out parameter.
  T* put() {
    reset();
    return &m_Value;
  }
  void reset() {
    if (m_Value != Invalid) m_Closer(std::exchange(m_Value, Invalid));
  }

 private:
  T m_Value = Invalid;
  Closer m_Closer{};
};

struct KernelHandleCloser {
  IKernel* kernel = nullptr;
  void operator()(Handle h) const {
    const Win32Error saved = kernel->getLastError();
    kernel->closeHandle(h);
    kernel->setLastError(saved);
  }
};
using UniqueKernelHandle = UniqueResource<Handle, KernelHandleCloser>;

struct RegKeyCloser {
  IRegistry* registry = nullptr;
  void operator()(Hkey k) const { registry->regCloseKey(k); }
};
using UniqueRegKey = UniqueResource<Hkey, RegKeyCloser>;

struct WlanHandleCloser {
  IWlanApi* wlan = nullptr;
  void operator()(Handle h) const { wlan->wlanCloseHandle(h, nullptr); }
};
using UniqueWlanHandle = UniqueResource<Handle, WlanHandleCloser>;

struct WlanMemoryCloser {
  IWlanApi* wlan = nullptr;
  void operator()(void* p) const { wlan->wlanFreeMemory(p); }
};
// A buffer the WLAN service allocated, seen as the record it holds.
template <typename T>
using UniqueWlanPtr = UniqueResource<T*, WlanMemoryCloser>;
using UniqueWlanMemory = UniqueWlanPtr<void>;

struct SidCloser {
  ISecurity* security = nullptr;
  void operator()(Psid sid) const { security->freeSid(sid); }
};
using UniqueSid = UniqueResource<Psid, SidCloser>;

struct DeviceNotificationCloser {
  ISystemEvents* systemEvents = nullptr;
  void operator()(Hdevnotify registration) const { systemEvents->unregisterDeviceNotification(registration); }
};
using UniqueDeviceNotification = UniqueResource<Hdevnotify, DeviceNotificationCloser>;

struct TaskMemCloser {
  ISharing* sharing = nullptr;
  void operator()(void* memory) const { sharing->coTaskMemFree(memory); }
};
// Memory a COM call allocated for the caller (a string from stringFromClsid, ...).
template <typename T>
using UniqueTaskMemPtr = UniqueResource<T*, TaskMemCloser>;

}  // namespace tethra::platform
