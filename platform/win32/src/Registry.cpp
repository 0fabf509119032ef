// IRegistry on the advapi32 registry functions, call for call.
// Owner: keys returned through `result` belong to the caller (regCloseKey). Any thread may call.
// Results: the Win32 error code of the Reg* function (ERROR_SUCCESS = 0), unchanged.
#include "tethra/win32/Adapters.h"
#include "tethra/platform/Registry.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

static_assert(platform::kKEY_QUERY_VALUE == KEY_QUERY_VALUE && platform::kKEY_SET_VALUE == KEY_SET_VALUE &&
              platform::kKEY_READ == KEY_READ && platform::kKEY_WRITE == KEY_WRITE &&
              platform::kKEY_WOW64_32KEY == KEY_WOW64_32KEY && platform::kKEY_WOW64_64KEY == KEY_WOW64_64KEY);
static_assert(platform::kREG_NONE == REG_NONE && platform::kREG_SZ == REG_SZ &&
              platform::kREG_BINARY == REG_BINARY && platform::kREG_DWORD == REG_DWORD);
static_assert(platform::kREG_OPTION_NON_VOLATILE == REG_OPTION_NON_VOLATILE &&
              platform::kREG_CREATED_NEW_KEY == REG_CREATED_NEW_KEY &&
              platform::kREG_OPENED_EXISTING_KEY == REG_OPENED_EXISTING_KEY &&
              platform::kREG_NOTIFY_CHANGE_LAST_SET == REG_NOTIFY_CHANGE_LAST_SET);
static_assert(platform::kRRF_RT_REG_DWORD == RRF_RT_REG_DWORD && platform::kRRF_RT_REG_BINARY == RRF_RT_REG_BINARY &&
              platform::kRRF_RT_DWORD == RRF_RT_DWORD);

// Predefined roots are 32-bit values that Windows sign-extends to pointer width
// (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 on x64); a root written zero-extended, as the
// boundary's kHKEY_LOCAL_MACHINE is, gets the same extension here. Opened keys pass unchanged.
HKEY ToHkey(platform::Hkey key) {
  auto value = reinterpret_cast<std::uintptr_t>(key);
  if ((value >> 32) == 0 && (value & 0xF0000000u) == 0x80000000u) {
    value = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
  }
  return reinterpret_cast<HKEY>(value);
}

platform::Hkey FromHkey(HKEY key) { return reinterpret_cast<platform::Hkey>(key); }

class Registry final : public platform::IRegistry {
 public:
  platform::Win32Error regCreateKeyEx(platform::Hkey root, const char16_t* subKey, platform::Dword options,
                                      platform::Dword samDesired, platform::Hkey* result,
                                      platform::Dword* disposition) override {
    HKEY key = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(ToHkey(root), W(subKey), 0, nullptr, options, samDesired, nullptr,
                                             &key, D(disposition));
    if (result != nullptr) *result = FromHkey(key);
    return StatusToError(status);
  }

  platform::Win32Error regOpenKeyEx(platform::Hkey root, const char16_t* subKey, platform::Dword options,
                                    platform::Dword samDesired, platform::Hkey* result) override {
    HKEY key = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(ToHkey(root), W(subKey), options, samDesired, &key);
    if (result != nullptr) *result = FromHkey(key);
    return StatusToError(status);
  }

  platform::Win32Error regCloseKey(platform::Hkey key) override { return StatusToError(::RegCloseKey(ToHkey(key))); }

  platform::Win32Error regQueryValueEx(platform::Hkey key, const char16_t* valueName, platform::Dword* type,
                                       std::uint8_t* data, platform::Dword* cbData) override {
    return StatusToError(::RegQueryValueExW(ToHkey(key), W(valueName), nullptr, D(type), data, D(cbData)));
  }

  platform::Win32Error regSetValueEx(platform::Hkey key, const char16_t* valueName, platform::Dword type,
                                     const std::uint8_t* data, platform::Dword cbData) override {
    return StatusToError(::RegSetValueExW(ToHkey(key), W(valueName), 0, type, data, cbData));
  }

  platform::Win32Error regGetValue(platform::Hkey key, const char16_t* subKey, const char16_t* valueName,
                                   platform::Dword flags, platform::Dword* type, void* data,
                                   platform::Dword* cbData) override {
    return StatusToError(::RegGetValueW(ToHkey(key), W(subKey), W(valueName), flags, D(type), data, D(cbData)));
  }

  platform::Win32Error regNotifyChangeKeyValue(platform::Hkey key, bool watchSubtree, platform::Dword filter,
                                               platform::Handle event, bool asynchronous) override {
    return StatusToError(::RegNotifyChangeKeyValue(ToHkey(key), watchSubtree ? TRUE : FALSE, filter, event,
                                                   asynchronous ? TRUE : FALSE));
  }
};

}  // namespace

std::unique_ptr<platform::IRegistry> CreateRegistry() { return std::make_unique<Registry>(); }

}  // namespace tethra::win32
