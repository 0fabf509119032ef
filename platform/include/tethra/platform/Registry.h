// Registry: HKEY_LOCAL_MACHINE with the 32-bit and the native view (chosen per call by
// kKEY_WOW64_32KEY in the access mask, as on 64-bit Windows).
//
// Owner: the caller closes every key it opened or created (regCloseKey). Any thread may call.
// Results are Win32 error codes (kERROR_SUCCESS = 0), as the Reg* functions return them.
#pragma once

#include "tethra/platform/Types.h"

namespace tethra::platform {

// Predefined roots are sign-extended 32-bit values, as HKEY_LOCAL_MACHINE is on 64-bit Windows.
inline Hkey const kHKEY_LOCAL_MACHINE =
    reinterpret_cast<Hkey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

constexpr Dword kKEY_QUERY_VALUE = 0x0001;
constexpr Dword kKEY_SET_VALUE = 0x0002;
constexpr Dword kKEY_READ = 0x20019;
constexpr Dword kKEY_WRITE = 0x20006;
constexpr Dword kKEY_WOW64_32KEY = 0x0200;
constexpr Dword kKEY_WOW64_64KEY = 0x0100;

constexpr Dword kREG_NONE = 0;
constexpr Dword kREG_SZ = 1;
constexpr Dword kREG_BINARY = 3;
constexpr Dword kREG_DWORD = 4;

constexpr Dword kREG_OPTION_NON_VOLATILE = 0;
constexpr Dword kREG_CREATED_NEW_KEY = 1;
constexpr Dword kREG_OPENED_EXISTING_KEY = 2;
constexpr Dword kREG_NOTIFY_CHANGE_LAST_SET = 4;

// RegGetValueW flags: restrict to 32-bit values (REG_DWORD, or REG_BINARY of 4 bytes).
constexpr Dword kRRF_RT_REG_DWORD = 0x10;
constexpr Dword kRRF_RT_REG_BINARY = 0x08;
constexpr Dword kRRF_RT_DWORD = 0x18;

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  virtual Win32Error regCreateKeyEx(Hkey root, const char16_t* subKey, Dword options, Dword samDesired, Hkey* result,
                                    Dword* disposition) = 0;
  virtual Win32Error regOpenKeyEx(Hkey root, const char16_t* subKey, Dword options, Dword samDesired, Hkey* result) = 0;
  virtual Win32Error regCloseKey(Hkey key) = 0;
  // data may be null to ask for the size only; *cbData is in and out (bytes).
  virtual Win32Error regQueryValueEx(Hkey key, const char16_t* valueName, Dword* type, std::uint8_t* data,
                                     Dword* cbData) = 0;
  virtual Win32Error regSetValueEx(Hkey key, const char16_t* valueName, Dword type, const std::uint8_t* data,
                                   Dword cbData) = 0;
  // Reads a value of subKey (may be null) with the type restriction of `flags` (kRRF_RT_*).
  virtual Win32Error regGetValue(Hkey key, const char16_t* subKey, const char16_t* valueName, Dword flags, Dword* type,
                                 void* data, Dword* cbData) = 0;
  // Arms one notification: `event` is signalled once, for the first change after this call.
  virtual Win32Error regNotifyChangeKeyValue(Hkey key, bool watchSubtree, Dword filter, Handle event,
                                             bool asynchronous) = 0;
};

}  // namespace tethra::platform
