// The simulated WLAN service's API: handles, registration, properties, status, key, start and
// stop, memory. Every call is recorded; every state change is queued for the WLAN thread.
#include "tethra/sim/wlan/SimWlanService.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "SimWlanCall.h"

namespace tethra::sim {

using platform::Dword;
using platform::Win32Error;

namespace {
constexpr Dword kNegotiatedVersion = 2;
constexpr std::uint32_t kDot11AuthAlgoRsnaPsk = 7;
constexpr std::uint32_t kDot11CipherAlgoCcmp = 4;
constexpr std::uint32_t kValueTypeSetByUser = 2;
constexpr std::uint32_t kReasonInterfaceUnavailable = 12;
}  // namespace

Win32Error SimWlanService::wlanOpenHandle(Dword clientVersion, void*, Dword* negotiatedVersion,
                                          platform::Handle* clientHandle) {
  Call call(*this, "WlanOpenHandle");
  call.arguments("version " + std::to_string(clientVersion));
  TETHRA_SIM_RETURN_FAULT(call)
  if (clientHandle == nullptr || negotiatedVersion == nullptr || clientVersion < 1 || clientVersion > 2) {
    return call.result(platform::kERROR_INVALID_PARAMETER);
  }
  Registration opened;
  opened.client = m_Host.callingClient();
  std::lock_guard lock(m_Mutex);
  const auto handle = reinterpret_cast<platform::Handle>(++m_NextHandle);
  m_Handles.emplace(handle, opened);
  *negotiatedVersion = kNegotiatedVersion;
  *clientHandle = handle;
  call.resultText("0 handle " + HandleText(handle));
  return platform::kERROR_SUCCESS;
}

Win32Error SimWlanService::wlanCloseHandle(platform::Handle clientHandle, void*) {
  Call call(*this, "WlanCloseHandle");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  bool waitForCallback = false;
  bool fromCallback = false;
  bool underCallbackLock = false;
  std::vector<std::string> events;
  // The world is asked outside this service's lock: the world's scheduler takes this lock when
  // it tests the WLAN thread's wait, so the two are never held in the other order. One
  // simulated thread runs at a time, so nothing changes in between.
  bool delivering = false;
  std::thread::id deliveringThread;
  {
    std::lock_guard lock(m_Mutex);
    delivering = m_Delivering;
    deliveringThread = m_DeliveringThread;
  }
  const bool callbackBlockedOnCaller = delivering && deliveringThread != std::this_thread::get_id() &&
                                       m_Host.callbackWaitsForCaller(deliveringThread);
  {
    std::lock_guard lock(m_Mutex);
    const auto it = m_Handles.find(clientHandle);
    if (it == m_Handles.end()) return call.result(platform::kERROR_INVALID_HANDLE);
    // As on Windows: a callback that is running finishes before the handle is gone, so a
    // close from inside the callback waits for itself.
    fromCallback = m_Delivering && m_DeliveringThread == std::this_thread::get_id();
    // The same when the running callback waits for a lock the closing thread holds: the close
    // waits for the callback, the callback for the lock.
    underCallbackLock = m_Delivering && !fromCallback && callbackBlockedOnCaller;
    if (fromCallback) {
      m_Misuses.push_back("WlanCloseHandle called from inside the notification callback: it never returns");
    } else if (underCallbackLock) {
      m_Misuses.push_back(
          "WlanCloseHandle called while holding a lock the running notification callback waits for: it never returns");
    } else {
      const std::uint32_t refs = it->second.startRefs;
      m_Handles.erase(it);
      // What its StartUsing started ends with it, unless others still hold the network.
      releaseStartsLocked(refs);
      waitForCallback = m_Delivering;
    }
    events.swap(m_Events);
  }
  for (std::string& line : events) m_Host.event(std::move(line));
  if (fromCallback) {
    m_Host.event("wlan WlanCloseHandle inside the callback: waits for ever");
    m_Host.waitUntil([] { return false; });
  }
  if (underCallbackLock) {
    m_Host.event("wlan WlanCloseHandle under the lock the running callback waits for: both wait for ever");
    m_Host.waitUntil([] { return false; });
  }
  if (waitForCallback) {
    m_Host.waitUntil([this] {
      std::lock_guard lock(m_Mutex);
      return !m_Delivering;
    });
  }
  return call.result(platform::kERROR_SUCCESS);
}

Win32Error SimWlanService::wlanRegisterNotification(platform::Handle clientHandle, Dword notifSource,
                                                    platform::Bool32 ignoreDuplicate,
                                                    platform::WlanNotificationCallbackFn callback, void* context, void*,
                                                    Dword* prevNotifSource) {
  Call call(*this, "WlanRegisterNotification");
  call.arguments(HandleText(clientHandle) + " source " + std::to_string(notifSource));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  const auto it = m_Handles.find(clientHandle);
  if (it == m_Handles.end()) return call.result(platform::kERROR_INVALID_HANDLE);
  if (notifSource != 0 && callback == nullptr) return call.result(platform::kERROR_INVALID_PARAMETER);
  if (prevNotifSource != nullptr) *prevNotifSource = it->second.source;
  const Client owner = it->second.client;
  const std::uint32_t refs = it->second.startRefs;
  it->second = Registration{};
  if (notifSource != 0) {
    it->second.callback = callback;
    it->second.context = context;
    it->second.source = notifSource;
    it->second.serial = ++m_NextRegistration;  // told only what is raised from now on
  }
  it->second.client = owner;
  it->second.ignoreDuplicate = ignoreDuplicate != 0;
  it->second.startRefs = refs;
  return call.result(platform::kERROR_SUCCESS);
}

Win32Error SimWlanService::wlanHostedNetworkInitSettings(platform::Handle clientHandle, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkInitSettings");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_Mutex);
    if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
    if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);
    if (!m_Configured) {
      // The first use: a readable name made from the host name, and the default peer limit.
      std::string name;
      for (const char16_t ch : m_HostName) name += ch < 0x80 ? static_cast<char>(ch) : '_';
      std::uint32_t hash = 2166136261u;
      for (const char ch : name) hash = (hash ^ static_cast<std::uint8_t>(ch)) * 16777619u;
      char suffix[8];
      std::snprintf(suffix, sizeof suffix, "_%04X", static_cast<unsigned>(hash & 0xFFFFu));
      name = name.substr(0, 32 - 5) + suffix;
      m_Settings = {};
      m_Settings.hostedNetworkSSID.uSSIDLength = static_cast<std::uint32_t>(name.size());
      std::memcpy(m_Settings.hostedNetworkSSID.ucSSID, name.data(), name.size());
      m_Settings.dwMaxNumberOfPeers = 100;
      m_Configured = true;
      m_Events.push_back("wlan settings made for the first use: ssid \"" + name + "\" max-peers 100");
    }
    events.swap(m_Events);
  }
  for (std::string& line : events) m_Host.event(std::move(line));
  return call.result(platform::kERROR_SUCCESS);
}

Win32Error SimWlanService::wlanHostedNetworkQueryProperty(platform::Handle clientHandle, std::uint32_t opCode,
                                                          Dword* dataSize, void** data, std::uint32_t* valueType,
                                                          void*) {
  Call call(*this, "WlanHostedNetworkQueryProperty");
  call.arguments(HandleText(clientHandle) + " opcode " + std::to_string(opCode));
  TETHRA_SIM_RETURN_FAULT(call)
  const std::optional<WlanFault> shape = m_Host.takeFault("wlan-query", std::to_string(opCode));
  std::lock_guard lock(m_Mutex);
  if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
  if (dataSize == nullptr || data == nullptr || valueType == nullptr) {
    return call.result(platform::kERROR_INVALID_PARAMETER);
  }
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);

  std::vector<std::uint8_t> value;
  auto put = [&value](const auto& record) {
    value.resize(sizeof record);
    std::memcpy(value.data(), &record, sizeof record);
  };
  constexpr Win32Error kBadConfiguration{1610};  // ERROR_BAD_CONFIGURATION: nothing configured yet
  switch (opCode) {
    case platform::kWlanHostedNetworkOpcodeConnectionSettings:
      if (!m_Configured) return call.result(kBadConfiguration);
      put(m_Settings);
      break;
    case platform::kWlanHostedNetworkOpcodeSecuritySettings:
      put(platform::WlanHostedNetworkSecuritySettings{kDot11AuthAlgoRsnaPsk, kDot11CipherAlgoCcmp});
      break;
    case platform::kWlanHostedNetworkOpcodeEnable:
      put(platform::Bool32{m_Enabled ? 1 : 0});
      break;
    default:
      return call.result(platform::kERROR_INVALID_PARAMETER);
  }
  if (shape) {  // the scenario's wrong answer: N bytes, or no buffer at all
    if (shape->extra < 0) {
      value.clear();
    } else {
      value.resize(static_cast<std::size_t>(shape->extra), 0);
    }
  }
  *valueType = kValueTypeSetByUser;
  *dataSize = static_cast<Dword>(value.size());
  *data = nullptr;
  if (!value.empty()) {
    *data = allocateLocked(value.size(), "WlanHostedNetworkQueryProperty opcode " + std::to_string(opCode));
    std::memcpy(*data, value.data(), value.size());
  }
  call.resultText("0 size " + std::to_string(value.size()));
  return platform::kERROR_SUCCESS;
}

Win32Error SimWlanService::wlanHostedNetworkSetProperty(platform::Handle clientHandle, std::uint32_t opCode,
                                                        Dword dataSize, void* data, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkSetProperty");
  std::string arguments = HandleText(clientHandle) + " opcode " + std::to_string(opCode) + " size " +
                          std::to_string(dataSize);
  if (opCode == platform::kWlanHostedNetworkOpcodeConnectionSettings && dataSize == 40 && data != nullptr) {
    platform::WlanHostedNetworkConnectionSettings settings;
    std::memcpy(&settings, data, sizeof settings);
    arguments += " ssid-length " + std::to_string(settings.hostedNetworkSSID.uSSIDLength) + " max-peers " +
                 std::to_string(settings.dwMaxNumberOfPeers);
  }
  call.arguments(std::move(arguments));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);
  if (data == nullptr) return call.result(platform::kERROR_INVALID_PARAMETER);

  if (opCode == platform::kWlanHostedNetworkOpcodeConnectionSettings) {
    platform::WlanHostedNetworkConnectionSettings settings;
    if (dataSize != sizeof settings) return call.result(platform::kERROR_INVALID_PARAMETER);
    std::memcpy(&settings, data, sizeof settings);
    const std::uint32_t length = settings.hostedNetworkSSID.uSSIDLength;
    if (length == 0 || length > 32 || settings.dwMaxNumberOfPeers == 0) {
      return call.result(platform::kERROR_INVALID_PARAMETER);
    }
    const bool ssidChanged = length != m_Settings.hostedNetworkSSID.uSSIDLength ||
                             std::memcmp(settings.hostedNetworkSSID.ucSSID, m_Settings.hostedNetworkSSID.ucSSID,
                                         length) != 0;
    const bool peersChanged = settings.dwMaxNumberOfPeers != m_Settings.dwMaxNumberOfPeers;
    std::memset(settings.hostedNetworkSSID.ucSSID + length, 0, 32 - length);
    m_Settings = settings;
    m_Configured = true;
    if (ssidChanged) m_Events.push_back("wlan ssid \"" + ssidForTranscriptLocked() + "\"");
    if (peersChanged) m_Events.push_back("wlan max-peers " + std::to_string(settings.dwMaxNumberOfPeers));
    // Persisting them takes the network out of use: a running one goes idle, and stays so.
    if (m_State == platform::kWlanHostedNetworkActive) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkReasonPropertiesChange);
    }
    return call.result(platform::kERROR_SUCCESS);
  }
  if (opCode == platform::kWlanHostedNetworkOpcodeEnable && dataSize == sizeof(platform::Bool32)) {
    platform::Bool32 enable;
    std::memcpy(&enable, data, sizeof enable);
    if ((enable != 0) != m_Enabled) m_Events.push_back(enable != 0 ? "wlan enabled" : "wlan disabled");
    m_Enabled = enable != 0;
    if (!m_Enabled) m_StartedSinceAdapter = false;  // its virtual adapter goes with it
    if (!m_Enabled && m_State != platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkUnavailable, kReasonInterfaceUnavailable);
    } else if (m_Enabled && m_Capable && m_AdapterPresent && m_State == platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkIdle,
                        platform::kWlanHostedNetworkReasonInterfaceAvailable);
    }
    return call.result(platform::kERROR_SUCCESS);
  }
  // The security settings and the station profile are the service's own.
  if (opCode == platform::kWlanHostedNetworkOpcodeSecuritySettings || opCode == 2) {
    return call.result(platform::kERROR_NOT_SUPPORTED);
  }
  return call.result(platform::kERROR_INVALID_PARAMETER);
}

Win32Error SimWlanService::wlanHostedNetworkQueryStatus(platform::Handle clientHandle,
                                                        platform::WlanHostedNetworkStatus** status, void*) {
  Call call(*this, "WlanHostedNetworkQueryStatus");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
  if (status == nullptr) return call.result(platform::kERROR_INVALID_PARAMETER);
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);

  const std::size_t peers = m_State == platform::kWlanHostedNetworkActive ? m_Peers.size() : 0;
  const std::size_t size = offsetof(platform::WlanHostedNetworkStatus, PeerList) +
                           std::max<std::size_t>(peers, 1) * sizeof(platform::WlanHostedNetworkPeerState);
  auto* out = static_cast<platform::WlanHostedNetworkStatus*>(allocateLocked(size, "WlanHostedNetworkQueryStatus"));
  std::memset(static_cast<void*>(out), 0, size);
  out->HostedNetworkState = m_State;
  // No virtual adapter where the hosted network cannot be used: not capable, disallowed, or the
  // physical adapter disabled.
  if (m_Capable && m_Enabled && m_AdapterPresent) out->IPDeviceID = m_Adapter;
  static constexpr std::uint8_t kBssid[6] = {0x02, 0x5A, 0x1E, 0x00, 0xAD, 0x01};
  if (m_State == platform::kWlanHostedNetworkActive) std::memcpy(out->wlanHostedNetworkBSSID, kBssid, 6);
  out->dot11PhyType = 7;  // HT
  out->ulChannelFrequency = m_State == platform::kWlanHostedNetworkActive ? 2437000 : 0;
  out->dwNumberOfPeers = static_cast<Dword>(peers);
  for (std::size_t i = 0; i < peers; ++i) {
    std::memcpy(out->PeerList[i].PeerMacAddress, m_Peers[i].data(), 6);
    out->PeerList[i].PeerAuthState = platform::kWlanHostedNetworkPeerStateAuthenticated;
  }
  *status = out;
  call.resultText("0 state " + stateName(m_State) + " peers " + std::to_string(peers));
  return platform::kERROR_SUCCESS;
}

Win32Error SimWlanService::wlanHostedNetworkSetSecondaryKey(platform::Handle clientHandle, Dword keyLength,
                                                            std::uint8_t* keyData, platform::Bool32 isPassPhrase,
                                                            platform::Bool32 persistent, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkSetSecondaryKey");
  call.arguments(HandleText(clientHandle) + " length " + std::to_string(keyLength) + " passphrase " +
                 std::to_string(isPassPhrase) + " persistent " + std::to_string(persistent));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);
  if (keyData == nullptr) return call.result(platform::kERROR_INVALID_PARAMETER);
  if (isPassPhrase != 0) {
    // 8 to 63 printable ASCII characters, the length counting the terminating zero.
    if (keyLength < 9 || keyLength > 64 || keyData[keyLength - 1] != 0) {
      return call.result(platform::kERROR_INVALID_PARAMETER);
    }
    if (!std::all_of(keyData, keyData + keyLength - 1, [](std::uint8_t b) { return b >= 32 && b <= 126; })) {
      return call.result(platform::kERROR_INVALID_PARAMETER);
    }
  } else if (keyLength != 32) {
    return call.result(platform::kERROR_INVALID_PARAMETER);
  }
  m_Key.assign(keyData, keyData + keyLength);
  m_KeyIsPassPhrase = isPassPhrase != 0;
  m_KeyPersistent = persistent != 0;
  m_Events.push_back(m_KeyIsPassPhrase ? "wlan key set" : "wlan key set (not a passphrase)");
  return call.result(platform::kERROR_SUCCESS);
}

Win32Error SimWlanService::wlanHostedNetworkQuerySecondaryKey(platform::Handle clientHandle, Dword* keyLength,
                                                              std::uint8_t** keyData, platform::Bool32* isPassPhrase,
                                                              platform::Bool32* persistent, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkQuerySecondaryKey");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (!m_Handles.contains(clientHandle)) return call.result(platform::kERROR_INVALID_HANDLE);
  if (keyLength == nullptr || keyData == nullptr || isPassPhrase == nullptr || persistent == nullptr) {
    return call.result(platform::kERROR_INVALID_PARAMETER);
  }
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);
  *keyLength = static_cast<Dword>(m_Key.size());
  *keyData = nullptr;
  *isPassPhrase = m_Key.empty() ? 0 : (m_KeyIsPassPhrase ? 1 : 0);
  *persistent = m_Key.empty() ? 0 : (m_KeyPersistent ? 1 : 0);
  if (!m_Key.empty()) {
    *keyData = static_cast<std::uint8_t*>(allocateLocked(m_Key.size(), "WlanHostedNetworkQuerySecondaryKey"));
    std::memcpy(*keyData, m_Key.data(), m_Key.size());
  }
  call.resultText("0 length " + std::to_string(m_Key.size()));
  return platform::kERROR_SUCCESS;
}

Win32Error SimWlanService::wlanHostedNetworkStartUsing(platform::Handle clientHandle, std::uint32_t* failReason,
                                                       void*) {
  Call call(*this, "WlanHostedNetworkStartUsing");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  const auto it = m_Handles.find(clientHandle);
  if (it == m_Handles.end()) return call.result(platform::kERROR_INVALID_HANDLE);
  if (!m_Supported) return call.result(platform::kERROR_NOT_SUPPORTED);
  if (!canStartLocked()) {
    if (failReason != nullptr) *failReason = kReasonInterfaceUnavailable;
    return call.result(platform::kERROR_INVALID_STATE);
  }
  if (m_State != platform::kWlanHostedNetworkActive) {
    changeStateLocked(m_State, platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkReasonSuccess);
  }
  ++it->second.startRefs;  // this handle's reference, until StopUsing or the handle goes
  return call.result(platform::kERROR_SUCCESS);
}

std::optional<Win32Error> SimWlanService::stopRefusalLocked(platform::Handle clientHandle) const {
  if (!m_Handles.contains(clientHandle)) return platform::kERROR_INVALID_HANDLE;
  if (!m_Supported) return platform::kERROR_NOT_SUPPORTED;
  if (m_State != platform::kWlanHostedNetworkActive) return platform::kERROR_INVALID_STATE;
  return std::nullopt;
}

Win32Error SimWlanService::wlanHostedNetworkStopUsing(platform::Handle clientHandle, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkStopUsing");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (const auto refused = stopRefusalLocked(clientHandle)) return call.result(*refused);
  const auto it = m_Handles.find(clientHandle);
  // Only the caller's own reference goes; the network runs on while another one, or a forced
  // start, holds it.
  if (it->second.startRefs == 0) {
    m_Events.push_back("wlan StopUsing without a StartUsing of this handle: the network runs on");
    return call.result(platform::kERROR_SUCCESS);
  }
  --it->second.startRefs;
  if (startRefsLocked() == 0 && !m_Forced) {
    changeStateLocked(m_State, platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkReasonUserAction);
  }
  return call.result(platform::kERROR_SUCCESS);
}

Win32Error SimWlanService::wlanHostedNetworkForceStop(platform::Handle clientHandle, std::uint32_t*, void*) {
  Call call(*this, "WlanHostedNetworkForceStop");
  call.arguments(HandleText(clientHandle));
  TETHRA_SIM_RETURN_FAULT(call)
  std::lock_guard lock(m_Mutex);
  if (const auto refused = stopRefusalLocked(clientHandle)) return call.result(*refused);
  changeStateLocked(m_State, platform::kWlanHostedNetworkIdle, platform::kWlanHostedNetworkReasonUserAction);
  return call.result(platform::kERROR_SUCCESS);
}

void* SimWlanService::wlanAllocateMemory(Dword size) {
  Call call(*this, "WlanAllocateMemory");
  call.arguments("size " + std::to_string(size));
  if (const auto injected = call.fault()) {
    if (m_Kernel != nullptr) m_Kernel->setLastError(*injected);
    static_cast<void>(call.result(*injected));  // recorded: the answer is null below
    return nullptr;
  }
  std::lock_guard lock(m_Mutex);
  call.resultText("ok");
  return allocateLocked(size, "WlanAllocateMemory");
}

void SimWlanService::wlanFreeMemory(void* memory) {
  Call call(*this, "WlanFreeMemory");
  call.arguments(memory == nullptr ? "null" : "buffer");
  std::lock_guard lock(m_Mutex);
  if (memory == nullptr) return;
  if (m_Buffers.erase(memory) == 0) {
    ++m_BadFrees;  // never handed out (or freed twice): kept, and counted for the tests
    call.resultText("unknown buffer");
    return;
  }
  std::free(memory);
}

}  // namespace tethra::sim
