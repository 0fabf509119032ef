// One RAII owner for every kind of platform handle (kernel handles, registry keys, the WLAN
// client handle and typed WLAN buffers, SIDs, device-notification registrations, COM task
// memory). The closer is a small callable that knows the platform area to give the handle back
// to; a moved-from owner holds nothing. put() hands a call that returns a handle through a
// pointer the owner's own (emptied) slot. Closers return nothing, so an owner reports no codes;
// a caller that needs the close's result takes the handle out with release() and closes it.
// Owners are not thread-safe: one thread at a time, and the thread the area requires for its
// close (device notifications: the window's thread).
//
// The thread's last error: every closer reads it (IKernel::getLastError) before it gives the
// handle back and sets it back afterwards, so an error path that closes a handle can still
// report the error it met. A closer therefore names the kernel besides its area
// (RegKeyCloser{&registry, &kernel}); the kernel's own closer needs only the kernel.
#pragma once

#include <type_traits>
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

// What every closer does around its close, in one copy (an owner's end is then a single call):
// reads the calling thread's last error, gives the handle back, sets the error back.
[[gnu::noinline]] inline void CloseKeepingLastError(IKernel& lastError, void (*close)(void* area, void* value),
                                                    void* area, void* value) {
  const Win32Error saved = lastError.getLastError();
  close(area, value);
  lastError.setLastError(saved);
}

// Gives a handle back to `Area` with `Close`, keeping the calling thread's last error as it
// was: a close during cleanup never changes the error the caller is about to read, and a close
// that fails has nothing left to do with its own.
template <typename Area, typename T, void (*Close)(Area&, T)>
struct AreaCloser {
  static_assert(std::is_pointer_v<T>, "a handle is pointer-sized");
  Area* area = nullptr;
  IKernel* kernel = nullptr;  // whose last error is kept; the kernel's own closer uses `area`

  void operator()(T value) const { CloseKeepingLastError(LastErrorArea(), &CloseThunk, area, value); }

 private:
  IKernel& LastErrorArea() const {
    if constexpr (std::is_same_v<Area, IKernel>) {
      return *area;
    } else {
      return *kernel;
    }
  }
  static void CloseThunk(void* owner, void* value) { Close(*static_cast<Area*>(owner), static_cast<T>(value)); }
};

// What each owner gives its handle back with. A failed close is dropped: the handle is gone
// either way and the owner has no one to report to.
namespace closers {
inline void KernelHandle(IKernel& kernel, Handle h) { kernel.closeHandle(h); }
inline void RegKey(IRegistry& registry, Hkey k) {
  static_cast<void>(registry.regCloseKey(k));  // best effort: the key is given up either way
}
inline void WlanHandle(IWlanApi& wlan, Handle h) {
  static_cast<void>(wlan.wlanCloseHandle(h, nullptr));  // best effort: the handle is given up either way
}
inline void WlanMemory(IWlanApi& wlan, void* p) { wlan.wlanFreeMemory(p); }
inline void Sid(ISecurity& security, Psid sid) { security.freeSid(sid); }
inline void DeviceNotification(ISystemEvents& events, Hdevnotify registration) {
  events.unregisterDeviceNotification(registration);
}
inline void TaskMem(ISharing& sharing, void* memory) { sharing.coTaskMemFree(memory); }
}  // namespace closers

// One closer a kind of handle, and its owner.
using KernelHandleCloser = AreaCloser<IKernel, Handle, &closers::KernelHandle>;
using RegKeyCloser = AreaCloser<IRegistry, Hkey, &closers::RegKey>;
using WlanHandleCloser = AreaCloser<IWlanApi, Handle, &closers::WlanHandle>;
using WlanMemoryCloser = AreaCloser<IWlanApi, void*, &closers::WlanMemory>;
using SidCloser = AreaCloser<ISecurity, Psid, &closers::Sid>;
using DeviceNotificationCloser = AreaCloser<ISystemEvents, Hdevnotify, &closers::DeviceNotification>;
using TaskMemCloser = AreaCloser<ISharing, void*, &closers::TaskMem>;

using UniqueKernelHandle = UniqueResource<Handle, KernelHandleCloser>;
using UniqueRegKey = UniqueResource<Hkey, RegKeyCloser>;
using UniqueWlanHandle = UniqueResource<Handle, WlanHandleCloser>;
using UniqueSid = UniqueResource<Psid, SidCloser>;
using UniqueDeviceNotification = UniqueResource<Hdevnotify, DeviceNotificationCloser>;
// A buffer the WLAN service allocated, seen as the record it holds.
template <typename T>
using UniqueWlanPtr = UniqueResource<T*, WlanMemoryCloser>;
using UniqueWlanMemory = UniqueWlanPtr<void>;
// Memory a COM call allocated for the caller (a string from stringFromClsid, ...).
template <typename T>
using UniqueTaskMemPtr = UniqueResource<T*, TaskMemCloser>;

}  // namespace tethra::platform
