// COM initialisation of the calling thread (CoInitializeEx/CoInitialize/CoUninitialize) and of
// the process's security (CoInitializeSecurity). Results as the platform gives them: S_OK,
// S_FALSE when the thread was already initialised in the same apartment, RPC_E_CHANGED_MODE
// (0x80010106) for another apartment; CoInitializeSecurity S_OK, RPC_E_TOO_LATE (0x80010119)
// once the process's security is set (by an earlier call, or by COM itself at the first
// marshalling), E_INVALIDARG, RPC_E_NO_GOOD_SECURITY_PACKAGES, E_OUT_OF_MEMORY. Calling thread
// only. ComApartment owns one successful initialisation and undoes it on the same thread.
#pragma once

#include "tethra/platform/Types.h"

namespace tethra::platform {

constexpr Dword kCOINIT_MULTITHREADED = 0x0;
constexpr Dword kCOINIT_APARTMENTTHREADED = 0x2;
inline constexpr HResult kRPC_E_CHANGED_MODE{0x80010106u};
inline constexpr HResult kRPC_E_TOO_LATE{0x80010119u};
constexpr Dword kRPC_C_AUTHN_LEVEL_PKT = 4;
constexpr Dword kRPC_C_IMP_LEVEL_IMPERSONATE = 3;
constexpr Dword kEOAC_NONE = 0;

class IComRuntime {
 public:
  virtual ~IComRuntime() = default;
  virtual HResult coInitializeEx(Dword coInit) = 0;
  virtual HResult coInitialize() = 0;  // single-threaded apartment
  virtual void coUninitialize() = 0;
  // CoInitializeSecurity with no security descriptor, COM's choice of authentication services
  // (-1, none listed) and no authentication list: sets the process's default levels. Once per
  // process, after the calling thread's initialisation.
  virtual HResult coInitializeSecurity(Dword authnLevel, Dword impLevel, Dword capabilities) = 0;
};

// Pairs one initialisation of the calling thread with exactly one coUninitialize when it goes
// out of scope. Every success counts (S_FALSE too: the platform counts nested calls); a failed
// call leaves nothing to undo. Declare it before the COM pointers it must outlive. Neither
// copied nor moved: it belongs to the thread and the scope that made it.
class ComApartment {
 public:
  // `initResult` is what coInitialize or coInitializeEx on `com` returned on this thread.
  ComApartment(IComRuntime* com, HResult initResult) noexcept
      : m_Com(Succeeded(initResult) ? com : nullptr), m_Result(initResult) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (m_Com != nullptr) m_Com->coUninitialize();
  }
  HResult result() const noexcept { return m_Result; }

 private:
  IComRuntime* m_Com;
  HResult m_Result;
};

}  // namespace tethra::platform
