// IWlanApi on wlanapi.dll, bound at run time. The library comes from the system directory only
// and every function is resolved by name into one table when the adapter is created (on the
// main thread, before any other thread runs); afterwards the table is read-only and any thread
// may call. Not linking against wlanapi keeps the program loadable where the library or its
// hosted-network functions are missing: the calls concerned then return ERROR_MOD_NOT_FOUND
// (the load's own error) or ERROR_PROC_NOT_FOUND, which the program reports as a failed start.
// Owner: buffers the service returns belong to the caller (wlanFreeMemory); the notification
// thunk records below belong to this adapter and live until their client handle is closed.
#include <memory>
#include <unordered_map>
#include <vector>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/SystemLibrary.h"
#include "tethra/win32/WlanTypes.h"

namespace tethra::win32 {
namespace {

using namespace tethra::win32::wlan;

struct WlanFunctions {
  PfnWlanOpenHandle openHandle = nullptr;
  PfnWlanCloseHandle closeHandle = nullptr;
  PfnWlanRegisterNotification registerNotification = nullptr;
  PfnWlanHostedNetworkInitSettings initSettings = nullptr;
  PfnWlanHostedNetworkQueryProperty queryProperty = nullptr;
  PfnWlanHostedNetworkSetProperty setProperty = nullptr;
  PfnWlanHostedNetworkQueryStatus queryStatus = nullptr;
  PfnWlanHostedNetworkSetSecondaryKey setSecondaryKey = nullptr;
  PfnWlanHostedNetworkQuerySecondaryKey querySecondaryKey = nullptr;
  PfnWlanHostedNetworkControl startUsing = nullptr;
  PfnWlanHostedNetworkControl stopUsing = nullptr;
  PfnWlanHostedNetworkControl forceStop = nullptr;
  PfnWlanAllocateMemory allocateMemory = nullptr;
  PfnWlanFreeMemory freeMemory = nullptr;
};

// What the service calls on its own thread: the portable callback and its context.
struct NotificationTarget {
  platform::WlanNotificationCallbackFn callback;
  void* context;
};

VOID WINAPI NotificationThunk(WLAN_NOTIFICATION_DATA* data, PVOID raw) {
  const auto* target = static_cast<const NotificationTarget*>(raw);
  target->callback(reinterpret_cast<platform::WlanNotificationData*>(data), target->context);
}

WLAN_HOSTED_NETWORK_REASON* Reason(std::uint32_t* failReason) {
  return reinterpret_cast<WLAN_HOSTED_NETWORK_REASON*>(failReason);
}

class WlanApi final : public platform::IWlanApi {
 public:
  WlanApi() {
    m_Module = LoadSystemLibrary(u"wlanapi.dll");
    if (m_Module == nullptr) {
      m_MissingError = LastLoadError();
      return;
    }
    // The module stays loaded for the life of the process: the service may call back into it.
    Resolve(m_Module, "WlanOpenHandle", m_Fn.openHandle);
    Resolve(m_Module, "WlanCloseHandle", m_Fn.closeHandle);
    Resolve(m_Module, "WlanRegisterNotification", m_Fn.registerNotification);
    Resolve(m_Module, "WlanHostedNetworkInitSettings", m_Fn.initSettings);
    Resolve(m_Module, "WlanHostedNetworkQueryProperty", m_Fn.queryProperty);
    Resolve(m_Module, "WlanHostedNetworkSetProperty", m_Fn.setProperty);
    Resolve(m_Module, "WlanHostedNetworkQueryStatus", m_Fn.queryStatus);
    Resolve(m_Module, "WlanHostedNetworkSetSecondaryKey", m_Fn.setSecondaryKey);
    Resolve(m_Module, "WlanHostedNetworkQuerySecondaryKey", m_Fn.querySecondaryKey);
    Resolve(m_Module, "WlanHostedNetworkStartUsing", m_Fn.startUsing);
    Resolve(m_Module, "WlanHostedNetworkStopUsing", m_Fn.stopUsing);
    Resolve(m_Module, "WlanHostedNetworkForceStop", m_Fn.forceStop);
    Resolve(m_Module, "WlanAllocateMemory", m_Fn.allocateMemory);
    Resolve(m_Module, "WlanFreeMemory", m_Fn.freeMemory);
  }
  WlanApi(const WlanApi&) = delete;
  WlanApi& operator=(const WlanApi&) = delete;

  platform::Win32Error wlanOpenHandle(platform::Dword clientVersion, void* reserved, platform::Dword* negotiatedVersion,
                                      platform::Handle* clientHandle) override {
    if (m_Fn.openHandle == nullptr) return ToError(missing());
    return ToError(m_Fn.openHandle(clientVersion, reserved, D(negotiatedVersion), clientHandle));
  }

  platform::Win32Error wlanCloseHandle(platform::Handle clientHandle, void* reserved) override {
    if (m_Fn.closeHandle == nullptr) return ToError(missing());
    // Returns only after a running notification call has finished, so the handle's thunk
    // records can go afterwards.
    const DWORD result = m_Fn.closeHandle(clientHandle, reserved);
    if (result == ERROR_SUCCESS) forgetTargets(clientHandle);
    return ToError(result);
  }

  platform::Win32Error wlanRegisterNotification(platform::Handle clientHandle, platform::Dword notifSource,
                                                platform::Bool32 ignoreDuplicate,
                                                platform::WlanNotificationCallbackFn callback, void* context,
                                                void* reserved, platform::Dword* prevNotifSource) override {
    if (m_Fn.registerNotification == nullptr) return ToError(missing());
    if (callback == nullptr) {
      return ToError(m_Fn.registerNotification(clientHandle, notifSource, ignoreDuplicate, nullptr, context, reserved,
                                               D(prevNotifSource)));
    }
    auto target = std::make_unique<NotificationTarget>(NotificationTarget{callback, context});
    const DWORD result = m_Fn.registerNotification(clientHandle, notifSource, ignoreDuplicate, &NotificationThunk,
                                                   target.get(), reserved, D(prevNotifSource));
    // A record replaced by a later registration may still be in use by a running call: all of
    // a handle's records are kept until the handle is closed.
    if (result == ERROR_SUCCESS) keepTarget(clientHandle, std::move(target));
    return ToError(result);
  }

  platform::Win32Error wlanHostedNetworkInitSettings(platform::Handle clientHandle, std::uint32_t* failReason,
                                                     void* reserved) override {
    if (m_Fn.initSettings == nullptr) return ToError(missing());
    return ToError(m_Fn.initSettings(clientHandle, Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkQueryProperty(platform::Handle clientHandle, std::uint32_t opCode,
                                                      platform::Dword* dataSize, void** data, std::uint32_t* valueType,
                                                      void* reserved) override {
    if (m_Fn.queryProperty == nullptr) return ToError(missing());
    return ToError(m_Fn.queryProperty(clientHandle, static_cast<WLAN_HOSTED_NETWORK_OPCODE>(opCode), D(dataSize), data,
                                      reinterpret_cast<WLAN_OPCODE_VALUE_TYPE*>(valueType), reserved));
  }

  platform::Win32Error wlanHostedNetworkSetProperty(platform::Handle clientHandle, std::uint32_t opCode,
                                                    platform::Dword dataSize, void* data, std::uint32_t* failReason,
                                                    void* reserved) override {
    if (m_Fn.setProperty == nullptr) return ToError(missing());
    return ToError(m_Fn.setProperty(clientHandle, static_cast<WLAN_HOSTED_NETWORK_OPCODE>(opCode), dataSize, data,
                                    Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkQueryStatus(platform::Handle clientHandle,
                                                    platform::WlanHostedNetworkStatus** status,
                                                    void* reserved) override {
    if (m_Fn.queryStatus == nullptr) return ToError(missing());
    return ToError(m_Fn.queryStatus(clientHandle, reinterpret_cast<WLAN_HOSTED_NETWORK_STATUS**>(status), reserved));
  }

  platform::Win32Error wlanHostedNetworkSetSecondaryKey(platform::Handle clientHandle, platform::Dword keyLength,
                                                        std::uint8_t* keyData, platform::Bool32 isPassPhrase,
                                                        platform::Bool32 persistent, std::uint32_t* failReason,
                                                        void* reserved) override {
    if (m_Fn.setSecondaryKey == nullptr) return ToError(missing());
    return ToError(
        m_Fn.setSecondaryKey(clientHandle, keyLength, keyData, isPassPhrase, persistent, Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkQuerySecondaryKey(platform::Handle clientHandle, platform::Dword* keyLength,
                                                          std::uint8_t** keyData, platform::Bool32* isPassPhrase,
                                                          platform::Bool32* persistent, std::uint32_t* failReason,
                                                          void* reserved) override {
    if (m_Fn.querySecondaryKey == nullptr) return ToError(missing());
    return ToError(m_Fn.querySecondaryKey(clientHandle, D(keyLength), keyData, isPassPhrase, persistent,
                                          Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkStartUsing(platform::Handle clientHandle, std::uint32_t* failReason,
                                                   void* reserved) override {
    if (m_Fn.startUsing == nullptr) return ToError(missing());
    return ToError(m_Fn.startUsing(clientHandle, Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkStopUsing(platform::Handle clientHandle, std::uint32_t* failReason,
                                                  void* reserved) override {
    if (m_Fn.stopUsing == nullptr) return ToError(missing());
    return ToError(m_Fn.stopUsing(clientHandle, Reason(failReason), reserved));
  }

  platform::Win32Error wlanHostedNetworkForceStop(platform::Handle clientHandle, std::uint32_t* failReason,
                                                  void* reserved) override {
    if (m_Fn.forceStop == nullptr) return ToError(missing());
    return ToError(m_Fn.forceStop(clientHandle, Reason(failReason), reserved));
  }

  void* wlanAllocateMemory(platform::Dword size) override {
    if (m_Fn.allocateMemory == nullptr) {
      ::SetLastError(missing());
      return nullptr;
    }
    return m_Fn.allocateMemory(size);
  }

  void wlanFreeMemory(void* memory) override {
    if (m_Fn.freeMemory != nullptr) m_Fn.freeMemory(memory);
  }

 private:
  // The error of a call whose function is not there: the library's load error, or a missing export.
  DWORD missing() const { return m_Module == nullptr ? m_MissingError : ERROR_PROC_NOT_FOUND; }

  void keepTarget(HANDLE clientHandle, std::unique_ptr<NotificationTarget> target) {
    ::AcquireSRWLockExclusive(&m_TargetsLock);
    m_Targets[clientHandle].push_back(std::move(target));
    ::ReleaseSRWLockExclusive(&m_TargetsLock);
  }

  void forgetTargets(HANDLE clientHandle) {
    ::AcquireSRWLockExclusive(&m_TargetsLock);
    m_Targets.erase(clientHandle);
    ::ReleaseSRWLockExclusive(&m_TargetsLock);
  }

  HMODULE m_Module = nullptr;
  DWORD m_MissingError = ERROR_MOD_NOT_FOUND;
  WlanFunctions m_Fn;
  SRWLOCK m_TargetsLock = SRWLOCK_INIT;
  std::unordered_map<HANDLE, std::vector<std::unique_ptr<NotificationTarget>>> m_Targets;
};

}  // namespace

std::unique_ptr<platform::IWlanApi> CreateWlanApi() { return std::make_unique<WlanApi>(); }

}  // namespace tethra::win32
