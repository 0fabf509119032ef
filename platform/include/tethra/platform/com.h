// COM initialisation of the calling thread (CoInitializeEx/CoInitialize/CoUninitialize).
// Results as the platform gives them: S_OK, S_FALSE when the thread was already initialised in
// the same apartment, RPC_E_CHANGED_MODE (0x80010106) for another apartment. Calling thread only.
#pragma once

#include "tethra/platform/types.h"

namespace tethra::platform {

constexpr Dword kCOINIT_MULTITHREADED = 0x0;
constexpr Dword kCOINIT_APARTMENTTHREADED = 0x2;
inline constexpr HResult kRPC_E_CHANGED_MODE{0x80010106u};

class IComRuntime {
 public:
  virtual ~IComRuntime() = default;
  virtual HResult coInitializeEx(Dword coInit) = 0;
  virtual HResult coInitialize() = 0;  // single-threaded apartment
  virtual void coUninitialize() = 0;
};

}  // namespace tethra::platform
