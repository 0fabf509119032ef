// wlanapi.dll of the simulated WLAN service: the service of the simulated notebook
// (SimWlanService, the same code the Linux scenarios run) behind the documented wlanapi
// exports, so that tethra.exe runs end to end through its normal run-time binding.
//
// Owner: one service per process, created on the first call of any export and kept until the
// process ends (never destroyed: the process ends with ExitProcess while the notification
// thread may hold the service's lock). Buffers handed out belong to the caller (WlanFreeMemory).
// Threads: the exports may be called from any thread. Notifications are delivered one at a
// time on the DLL's own notification thread, which a call wakes only once the service call
// that queued them has returned. Results are the service's Win32 codes: 0, 6 unknown handle,
// 50 hosted network not supported, 87 bad argument, 5023 wrong state.
//
// The machine, read from the environment at the first call:
//   TETHRA_SIMWLAN_SSID, TETHRA_SIMWLAN_KEY  name and key held (TethraNet, tethra-secret)
//   TETHRA_SIMWLAN_STATE        idle (default), active or unavailable
//   TETHRA_SIMWLAN_SUPPORTED    0: no hosted-network support (default 1)
//   TETHRA_SIMWLAN_STOP_AFTER_MS  N: N ms after the network first becomes active, the service
//                               stops it by itself (active -> idle, reason 17, user action)
//   TETHRA_SIMWLAN_LOG          file that receives every call and event (else OutputDebugString)
// The adapter is {5A1E0001-0000-4000-8000-00000000AD01}; no fault is ever injected.
#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "adapters.h"
#include "tools/common/service_dll.h"
#include "tethra/sim/wlan/SimWlanService.h"
#include "wlan_types.h"

namespace {

namespace platform = tethra::platform;
namespace sim = tethra::sim;
using namespace tethra::win32::wlan;

// Set by the service (under its lock) on the thread whose call queued a notification; the
// export checks it after the call has returned and only then wakes the notification thread.
thread_local bool t_notificationQueued = false;

using tethra::tools::Environment;
using tethra::tools::Narrow;

// What the program registered: its own callback, called from the service's platform-typed one.
struct CallbackTarget {
  WlanNotificationCallback callback;
  PVOID context;
};

void Relay(platform::WlanNotificationData* data, void* raw) {
  const auto* target = static_cast<const CallbackTarget*>(raw);
  target->callback(reinterpret_cast<WLAN_NOTIFICATION_DATA*>(data), target->context);
}

class SimWlanDll final : private sim::IWlanServiceHost {
 public:
  static SimWlanDll& Instance() {
    static SimWlanDll* const dll = new SimWlanDll();  // process lifetime, see the header
    return *dll;
  }

  sim::SimWlanService& service() { return *m_service; }

  // After every export: a notification that call queued may now be delivered.
  void afterCall() {
    if (!t_notificationQueued) return;
    t_notificationQueued = false;
    ::SetEvent(m_wake);
  }

  PVOID keepTarget(HANDLE handle, WlanNotificationCallback callback, PVOID context) {
    auto target = std::make_unique<CallbackTarget>(CallbackTarget{callback, context});
    PVOID raw = target.get();
    std::lock_guard lock(m_targetsMutex);
    // A replaced registration may still be running on the notification thread: kept until
    // its handle is closed.
    m_targets[handle].push_back(std::move(target));
    return raw;
  }

  // A registration the service refused keeps no record.
  void dropTarget(HANDLE handle, PVOID raw) {
    std::lock_guard lock(m_targetsMutex);
    auto it = m_targets.find(handle);
    if (it == m_targets.end()) return;
    std::erase_if(it->second, [raw](const std::unique_ptr<CallbackTarget>& t) { return t.get() == raw; });
    if (it->second.empty()) m_targets.erase(it);
  }

  void forgetTargets(HANDLE handle) {
    std::lock_guard lock(m_targetsMutex);
    m_targets.erase(handle);
  }

 private:
  SimWlanDll() {
    m_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_deliveryEnded = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    sim::SimWlanConfig config;
    if (const auto ssid = Environment(L"TETHRA_SIMWLAN_SSID")) config.ssidText.assign(ssid->begin(), ssid->end());
    if (const auto key = Environment(L"TETHRA_SIMWLAN_KEY")) config.keyText.assign(key->begin(), key->end());
    if (const auto state = Environment(L"TETHRA_SIMWLAN_STATE")) {
      if (*state == L"idle") {
        config.state = platform::kWlanHostedNetworkIdle;
      } else if (*state == L"active") {
        config.state = platform::kWlanHostedNetworkActive;
      } else if (*state == L"unavailable") {
        config.state = platform::kWlanHostedNetworkUnavailable;
      } else {
        write("ignored TETHRA_SIMWLAN_STATE=" + Narrow(*state));
      }
    }
    if (const auto supported = Environment(L"TETHRA_SIMWLAN_SUPPORTED")) config.supported = *supported != L"0";
    if (const auto stop = Environment(L"TETHRA_SIMWLAN_STOP_AFTER_MS")) {
      wchar_t* end = nullptr;
      const unsigned long value = std::wcstoul(stop->c_str(), &end, 10);
      if (end != nullptr && *end == L'\0' && !stop->empty()) {
        m_stopAfterMs = value;
      } else {
        write("ignored TETHRA_SIMWLAN_STOP_AFTER_MS=" + Narrow(*stop));
      }
    }
    sim::IWlanServiceHost& host = *this;
    m_service = std::make_unique<sim::SimWlanService>(host, *m_codePage, nullptr, config);
    write("service ready: state " + sim::SimWlanService::stateName(config.state) + ", ssid \"" +
          Narrow(std::wstring(config.ssidText.begin(), config.ssidText.end())) + "\"" +
          (config.supported ? "" : ", not supported") +
          (m_stopAfterMs ? ", stops by itself " + std::to_string(*m_stopAfterMs) + " ms after it starts" : ""));
    // Started last: it may deliver as soon as it runs.
    const HANDLE thread = ::CreateThread(nullptr, 0, &SimWlanDll::ThreadProc, this, 0, nullptr);
    if (thread != nullptr) ::CloseHandle(thread);
  }

  static DWORD WINAPI ThreadProc(LPVOID raw) {
    static_cast<SimWlanDll*>(raw)->run();
    return 0;
  }

  void run() {
    std::optional<ULONGLONG> stopAt;
    bool stopped = false;
    for (;;) {
      DWORD timeout = INFINITE;
      if (stopAt) {
        const ULONGLONG now = ::GetTickCount64();
        timeout = *stopAt > now ? static_cast<DWORD>(*stopAt - now) : 0;
      }
      ::WaitForSingleObject(m_wake, timeout);
      if (stopAt && ::GetTickCount64() >= *stopAt) {
        stopAt.reset();
        stopped = true;
        if (m_service->state() == platform::kWlanHostedNetworkActive) {
          write("the service stops the hosted network by itself");
          m_service->machineSetState(platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkIdle,
                                     platform::kWlanHostedNetworkReasonUserAction);
        }
      }
      while (m_service->hasPendingNotification()) m_service->deliverNext();
      t_notificationQueued = false;  // this thread delivers its own queue; nothing to wake
      if (m_stopAfterMs && !stopped && !stopAt && m_service->state() == platform::kWlanHostedNetworkActive) {
        stopAt = ::GetTickCount64() + *m_stopAfterMs;
      }
    }
  }

  void write(const std::string& text) {
    std::lock_guard lock(m_logMutex);
    m_log.write(text);
  }

  // --- IWlanServiceHost ---------------------------------------------------------------------------
  void recordCall(std::string_view function, std::string_view arguments, std::string_view result) override {
    write("call " + std::string(function) + "(" + std::string(arguments) + ") -> " + std::string(result));
  }
  std::optional<sim::WlanFault> takeFault(std::string_view, std::string_view) override { return std::nullopt; }
  void event(std::string text) override { write("event " + text); }
  void notificationQueued() override { t_notificationQueued = true; }
  void deliveryEnded() override { ::SetEvent(m_deliveryEnded); }
  void waitUntil(std::function<bool()> ready) override {
    while (!ready()) ::WaitForSingleObject(m_deliveryEnded, 10);
  }

  HANDLE m_wake = nullptr;
  HANDLE m_deliveryEnded = nullptr;
  tethra::tools::ServiceLog m_log{L"TETHRA_SIMWLAN_LOG", "sim wlanapi: "};
  std::mutex m_logMutex;
  std::optional<unsigned long> m_stopAfterMs;
  // The program's own Win32 code-page adapter: the service converts as the program does.
  std::unique_ptr<platform::ICodePage> m_codePage = tethra::win32::CreateCodePage();
  std::unique_ptr<sim::SimWlanService> m_service;
  std::mutex m_targetsMutex;
  std::map<HANDLE, std::vector<std::unique_ptr<CallbackTarget>>> m_targets;
};

platform::Dword* P(DWORD* value) { return reinterpret_cast<platform::Dword*>(value); }
std::uint32_t* P(WLAN_HOSTED_NETWORK_REASON* reason) { return reinterpret_cast<std::uint32_t*>(reason); }

// Runs one service call and lets its notifications go once it has returned. The exports give
// the service's error codes back as the DWORDs of the API.
template <typename Call>
auto Serve(Call call) {
  SimWlanDll& dll = SimWlanDll::Instance();
  const auto result = call(dll.service());
  dll.afterCall();
  if constexpr (std::is_same_v<std::remove_const_t<decltype(result)>, platform::Win32Error>) {
    return static_cast<DWORD>(platform::Raw(result));
  } else {
    return result;
  }
}

}  // namespace

extern "C" {

DWORD WINAPI SimWlanOpenHandle(DWORD clientVersion, PVOID reserved, PDWORD negotiatedVersion, PHANDLE clientHandle) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanOpenHandle(clientVersion, reserved, P(negotiatedVersion), clientHandle);
  });
}

DWORD WINAPI SimWlanCloseHandle(HANDLE clientHandle, PVOID reserved) {
  const DWORD result = Serve([&](sim::SimWlanService& s) { return s.wlanCloseHandle(clientHandle, reserved); });
  if (result == ERROR_SUCCESS) SimWlanDll::Instance().forgetTargets(clientHandle);
  return result;
}

DWORD WINAPI SimWlanRegisterNotification(HANDLE clientHandle, DWORD notifSource, BOOL ignoreDuplicate,
                                         WlanNotificationCallback callback, PVOID context, PVOID reserved,
                                         PDWORD prevNotifSource) {
  SimWlanDll& dll = SimWlanDll::Instance();
  platform::WlanNotificationCallbackFn relay = nullptr;
  PVOID target = context;
  if (callback != nullptr) {
    relay = &Relay;
    target = dll.keepTarget(clientHandle, callback, context);
  }
  const DWORD result = Serve([&](sim::SimWlanService& s) {
    return s.wlanRegisterNotification(clientHandle, notifSource, ignoreDuplicate, relay, target, reserved,
                                      P(prevNotifSource));
  });
  if (result != ERROR_SUCCESS && callback != nullptr) dll.dropTarget(clientHandle, target);
  return result;
}

DWORD WINAPI SimWlanHostedNetworkInitSettings(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                              PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkInitSettings(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQueryProperty(HANDLE clientHandle, WLAN_HOSTED_NETWORK_OPCODE opCode,
                                               PDWORD dataSize, PVOID* data, WLAN_OPCODE_VALUE_TYPE* valueType,
                                               PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQueryProperty(clientHandle, static_cast<std::uint32_t>(opCode), P(dataSize), data,
                                            reinterpret_cast<std::uint32_t*>(valueType), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkSetProperty(HANDLE clientHandle, WLAN_HOSTED_NETWORK_OPCODE opCode, DWORD dataSize,
                                             PVOID data, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkSetProperty(clientHandle, static_cast<std::uint32_t>(opCode), dataSize, data,
                                          P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQueryStatus(HANDLE clientHandle, WLAN_HOSTED_NETWORK_STATUS** status,
                                             PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQueryStatus(clientHandle, reinterpret_cast<platform::WlanHostedNetworkStatus**>(status),
                                          reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkSetSecondaryKey(HANDLE clientHandle, DWORD keyLength, PUCHAR keyData,
                                                 BOOL isPassPhrase, BOOL persistent,
                                                 WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkSetSecondaryKey(clientHandle, keyLength, keyData, isPassPhrase, persistent,
                                              P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkQuerySecondaryKey(HANDLE clientHandle, PDWORD keyLength, PUCHAR* keyData,
                                                   PBOOL isPassPhrase, PBOOL persistent,
                                                   WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkQuerySecondaryKey(clientHandle, P(keyLength), keyData, isPassPhrase, persistent,
                                                P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkStartUsing(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                            PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkStartUsing(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkStopUsing(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                           PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkStopUsing(clientHandle, P(failReason), reserved);
  });
}

DWORD WINAPI SimWlanHostedNetworkForceStop(HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason,
                                           PVOID reserved) {
  return Serve([&](sim::SimWlanService& s) {
    return s.wlanHostedNetworkForceStop(clientHandle, P(failReason), reserved);
  });
}

PVOID WINAPI SimWlanAllocateMemory(DWORD size) {
  return Serve([&](sim::SimWlanService& s) { return s.wlanAllocateMemory(size); });
}

VOID WINAPI SimWlanFreeMemory(PVOID memory) {
  SimWlanDll::Instance().service().wlanFreeMemory(memory);
}

}  // extern "C"

// The exports have exactly the signatures the program binds (and the documentation gives).
static_assert(std::is_same_v<decltype(&SimWlanOpenHandle), PfnWlanOpenHandle>);
static_assert(std::is_same_v<decltype(&SimWlanCloseHandle), PfnWlanCloseHandle>);
static_assert(std::is_same_v<decltype(&SimWlanRegisterNotification), PfnWlanRegisterNotification>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkInitSettings), PfnWlanHostedNetworkInitSettings>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkQueryProperty), PfnWlanHostedNetworkQueryProperty>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkSetProperty), PfnWlanHostedNetworkSetProperty>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkQueryStatus), PfnWlanHostedNetworkQueryStatus>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkSetSecondaryKey), PfnWlanHostedNetworkSetSecondaryKey>);
static_assert(
    std::is_same_v<decltype(&SimWlanHostedNetworkQuerySecondaryKey), PfnWlanHostedNetworkQuerySecondaryKey>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkStartUsing), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkStopUsing), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanHostedNetworkForceStop), PfnWlanHostedNetworkControl>);
static_assert(std::is_same_v<decltype(&SimWlanAllocateMemory), PfnWlanAllocateMemory>);
static_assert(std::is_same_v<decltype(&SimWlanFreeMemory), PfnWlanFreeMemory>);
