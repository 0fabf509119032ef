// CWlanManager: opening the hosted network, name, key, start and stop, adapter GUID, and the
// destruction order (sink wait, WLAN handle, event, lock, stations).
#include "tethra/wlan/WlanManager.h"

#include <cstring>

#include "LockScope.h"
#include "tethra/platform/Trace.h"
#include "tethra/wlan/WlanText.h"

namespace tethra::wlan {

using platform::HResult;

using platform::Dword;
using platform::HResultFromWin32;
using platform::Raw;
using platform::Win32Error;

namespace {
constexpr HResult kInvalidState = HResultFromWin32(platform::kERROR_INVALID_STATE);
constexpr HResult kInvalidData = HResultFromWin32(platform::kERROR_INVALID_DATA);
constexpr Dword kWlanClientVersion = 2;
}  // namespace

CWlanManager::CWlanManager(platform::IWlanApi& wlan, platform::IKernel& kernel, platform::ICodePage& codePage,
                           platform::ITrace& trace) noexcept
    : m_Wlan(wlan),
      m_Kernel(kernel),
      m_CodePage(codePage),
      m_Trace(trace),
      m_Lock(kernel.createCriticalSection()),
      m_SinkIdleEvent(nullptr, platform::KernelHandleCloser{&kernel}),
      m_WlanHandle(nullptr, platform::WlanHandleCloser{&wlan, &kernel}) {}

CWlanManager::~CWlanManager() {
  // Waits for a running sink call; E_FAIL when none was registered, which is no fault here.
  static_cast<void>(RemoveNotificationSink());
  m_WlanHandle.reset();  // also ends the notification registration
  m_SinkIdleEvent.reset();
  m_Lock.reset();
  m_StationList.ReleaseAll();
}

HResult CWlanManager::Init(std::uint32_t maxNumberOfPeers) {
  if (m_Lock == nullptr) return platform::kE_OUTOFMEMORY;
  // Handles are closed only after the lock is given back (these locals outlive it):
  // WlanCloseHandle waits for a running notification callback, and the callback takes this
  // lock. One is an earlier opening's (a short property answer keeps it until the next Init),
  // the other this opening's when one of its calls failed.
  platform::UniqueWlanHandle earlierHandle(nullptr, platform::WlanHandleCloser{&m_Wlan, &m_Kernel});
  platform::UniqueWlanHandle failedHandle(nullptr, platform::WlanHandleCloser{&m_Wlan, &m_Kernel});
  CLockScope lock(m_Lock.get());
  if (m_Initialized) return platform::kS_OK;
  earlierHandle = std::move(m_WlanHandle);
  bool callFailed = false;
  const HResult hr = InitLocked(maxNumberOfPeers, callFailed);
  if (callFailed) failedHandle = std::move(m_WlanHandle);
  platform::TraceLine(m_Trace, "CWlanManager::Init, Ret 0x%08X", Raw(hr));
  return hr;
}

HResult CWlanManager::QueryProperty(std::uint32_t opCode, Dword minimumSize, platform::UniqueWlanMemory& buffer,
                                    bool& callFailed) {
  Dword size = 0;
  std::uint32_t valueType = 0;
  buffer = platform::UniqueWlanMemory(platform::WlanMemoryCloser{&m_Wlan, &m_Kernel});
  const Win32Error error = m_Wlan.wlanHostedNetworkQueryProperty(m_WlanHandle.get(), opCode, &size,
                                                                           buffer.put(), &valueType, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::Init, WlanHostedNetworkQueryProperty(%u) Ret %u size %u", opCode,
                      Raw(error), size);
  if (error != platform::kERROR_SUCCESS) {
    callFailed = true;
    return HResultFromWin32(error);
  }
  // A missing or short answer leaves the handle open until the manager goes.
  return (!buffer || size < minimumSize) ? kInvalidData : platform::kS_OK;
}

HResult CWlanManager::InitLocked(std::uint32_t maxNumberOfPeers, bool& callFailed) {
  platform::IWlanApi& wlan = m_Wlan;
  // A failed call's handle is closed by Init, once its lock is released.
  auto fail = [&callFailed](Win32Error error) {
    callFailed = true;
    return HResultFromWin32(error);
  };

  Dword negotiated = 0;
  platform::Handle handle = nullptr;
  Win32Error error = wlan.wlanOpenHandle(kWlanClientVersion, nullptr, &negotiated, &handle);
  platform::TraceLine(m_Trace, "CWlanManager::Init, WlanOpenHandle Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return fail(error);
  m_WlanHandle = platform::UniqueWlanHandle(handle, platform::WlanHandleCloser{&wlan, &m_Kernel});

  error = wlan.wlanRegisterNotification(handle, platform::kWLAN_NOTIFICATION_SOURCE_HNWK, 1,
                                        &WlanNotificationCallback, this, nullptr, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::Init, WlanRegisterNotification Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return fail(error);

  error = wlan.wlanHostedNetworkInitSettings(handle, nullptr, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::Init, WlanHostedNetworkInitSettings Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return fail(error);

  // Enable and security settings are only checked for presence; their values are not used.
  platform::UniqueWlanMemory enable, connection, security;
  HResult hr = QueryProperty(platform::kWlanHostedNetworkOpcodeEnable, sizeof(platform::Bool32), enable, callFailed);
  if (hr == platform::kS_OK) {
    hr = QueryProperty(platform::kWlanHostedNetworkOpcodeConnectionSettings,
                       sizeof(platform::WlanHostedNetworkConnectionSettings), connection, callFailed);
  }
  if (hr == platform::kS_OK) {
    hr = QueryProperty(platform::kWlanHostedNetworkOpcodeSecuritySettings,
                       sizeof(platform::WlanHostedNetworkSecuritySettings), security, callFailed);
  }
  if (hr != platform::kS_OK) return hr;

  platform::UniqueWlanPtr<platform::WlanHostedNetworkStatus> status(platform::WlanMemoryCloser{&wlan, &m_Kernel});
  error = wlan.wlanHostedNetworkQueryStatus(handle, status.put(), nullptr);
  const platform::WlanHostedNetworkStatus* rawStatus = status.get();
  platform::TraceLine(m_Trace, "CWlanManager::Init, WlanHostedNetworkQueryStatus Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return fail(error);
  if (rawStatus == nullptr) return kInvalidData;

  platform::WlanHostedNetworkConnectionSettings settings;
  std::memcpy(&settings, connection.get(), sizeof settings);
  settings.dwMaxNumberOfPeers = maxNumberOfPeers;
  if (rawStatus->HostedNetworkState == platform::kWlanHostedNetworkActive) {
    // A property written to an active network takes it out of use: a running network is
    // adopted as it runs, and the peer limit waits for the next start the program makes.
    m_PeerLimitPending = true;
    platform::TraceLine(m_Trace, "CWlanManager::Init, the hosted network is active: peer limit %u left for its next start",
                        maxNumberOfPeers);
  } else {
    error = wlan.wlanHostedNetworkSetProperty(handle, platform::kWlanHostedNetworkOpcodeConnectionSettings,
                                              sizeof settings, &settings, nullptr, nullptr);
    platform::TraceLine(m_Trace, "CWlanManager::Init, WlanHostedNetworkSetProperty Ret %u", Raw(error));
    if (error != platform::kERROR_SUCCESS) return fail(error);
  }

  m_ConnectionSettings = settings;
  m_HostedNetworkState = rawStatus->HostedNetworkState;
  if (m_HostedNetworkState == platform::kWlanHostedNetworkActive) {
    for (Dword i = 0; i < rawStatus->dwNumberOfPeers; ++i) StationJoined(rawStatus->PeerList[i].PeerMacAddress);
  }
  m_Initialized = true;
  return platform::kS_OK;
}

HResult CWlanManager::SetHostedNetworkName(const char16_t* name) {
  platform::Dot11Ssid ssid{};
  const Win32Error error = name == nullptr ? platform::kERROR_INVALID_PARAMETER : StringToSsid(m_CodePage, m_Kernel, name, &ssid);
  platform::TraceLine(m_Trace, "CWlanManager::SetHostedNetworkName, StringToSsid Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return HResultFromWin32(error);

  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return kInvalidState;
  const platform::Dot11Ssid kept = m_ConnectionSettings.hostedNetworkSSID;
  m_ConnectionSettings.hostedNetworkSSID = ssid;
  const Win32Error setError = m_Wlan.wlanHostedNetworkSetProperty(
      m_WlanHandle.get(), platform::kWlanHostedNetworkOpcodeConnectionSettings, sizeof m_ConnectionSettings,
      &m_ConnectionSettings, nullptr, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::SetHostedNetworkName, WlanHostedNetworkSetProperty Ret %u",
                      Raw(setError));
  if (setError != platform::kERROR_SUCCESS) {
    m_ConnectionSettings.hostedNetworkSSID = kept;
    return HResultFromWin32(setError);
  }
  m_PeerLimitPending = false;  // the settings written carry it
  return platform::kS_OK;
}

HResult CWlanManager::GetHostedNetworkName(std::u16string& name) {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return kInvalidState;
  char16_t text[256];
  Dword length = 256;
  const Win32Error error = SsidToDisplayName(m_CodePage, m_Kernel, &m_ConnectionSettings.hostedNetworkSSID, text, &length);
  if (error != platform::kERROR_SUCCESS) return HResultFromWin32(error);
  name.assign(text, length - 1);
  return platform::kS_OK;
}

HResult CWlanManager::SetHostedNetworkKey(const char16_t* key) {
  std::uint8_t buffer[256] = {};
  Dword length = sizeof buffer;
  const std::size_t count = key == nullptr ? 0 : std::char_traits<char16_t>::length(key);
  const Win32Error error = ConvertPassPhraseKeyStringToBuffer(m_CodePage, m_Kernel, m_Wlan, key, count, buffer, &length);
  platform::TraceLine(m_Trace, "CWlanManager::SetHostedNetworkKey, Convert Ret %u", Raw(error));
  if (error != platform::kERROR_SUCCESS) return HResultFromWin32(error);
  if (length == 0) return platform::kE_INVALIDARG;
  const Win32Error setError =
      m_Wlan.wlanHostedNetworkSetSecondaryKey(m_WlanHandle.get(), length - 1, buffer, 1, 1, nullptr, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::SetHostedNetworkKey, WlanHostedNetworkSetSecondaryKey Ret %u",
                      Raw(setError));
  return HResultFromWin32(setError);
}

HResult CWlanManager::GetHostedNetworkKey(std::u16string& key) {
  Dword length = 0;
  platform::UniqueWlanPtr<std::uint8_t> owned(platform::WlanMemoryCloser{&m_Wlan, &m_Kernel});
  platform::Bool32 isPassPhrase = 0;
  platform::Bool32 persistent = 0;
  const Win32Error error = m_Wlan.wlanHostedNetworkQuerySecondaryKey(
      m_WlanHandle.get(), &length, owned.put(), &isPassPhrase, &persistent, nullptr, nullptr);
  const std::uint8_t* data = owned.get();
  platform::TraceLine(m_Trace, "CWlanManager::GetHostedNetworkKey, WlanHostedNetworkQuerySecondaryKey Ret %u",
                      Raw(error));
  if (error != platform::kERROR_SUCCESS) return HResultFromWin32(error);

  if (length != 0 && data != nullptr && isPassPhrase != 0) {
    char16_t text[255];
    const int cch = m_CodePage.multiByteToWideChar(platform::kCP_ACP, platform::kMB_ERR_INVALID_CHARS,
                                                             reinterpret_cast<const char*>(data),
                                                             static_cast<int>(length), text, 255);
    if (cch > 0) {
      int end = 0;  // the passphrase's bytes carry its terminating zero
      while (end < cch && text[end] != u'\0') ++end;
      key.assign(text, static_cast<std::size_t>(end));
      m_KeyGenerated = false;
      return platform::kS_OK;
    }
  }
  // No usable passphrase: the service gets a fresh default one.
  const DefaultKey fresh = MakeDefaultKey(m_Kernel);
  const HResult hr = SetHostedNetworkKey(fresh.text);
  if (hr == platform::kS_OK) key = fresh.text;
  m_KeyGenerated = hr == platform::kS_OK;
  return hr;
}

HResult CWlanManager::CallHostedNetworkLocked(HostedNetworkCall call, const char* step) {
  const Win32Error error = (m_Wlan.*call)(m_WlanHandle.get(), nullptr, nullptr);
  platform::TraceLine(m_Trace, "CWlanManager::%s Ret %u", step, Raw(error));
  return HResultFromWin32(error);
}

HResult CWlanManager::StartHostedNetwork() {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return kInvalidState;
  if (m_PeerLimitPending && m_HostedNetworkState != platform::kWlanHostedNetworkActive) {
    const Win32Error error = m_Wlan.wlanHostedNetworkSetProperty(
        m_WlanHandle.get(), platform::kWlanHostedNetworkOpcodeConnectionSettings, sizeof m_ConnectionSettings,
        &m_ConnectionSettings, nullptr, nullptr);
    platform::TraceLine(m_Trace, "CWlanManager::StartHostedNetwork, WlanHostedNetworkSetProperty Ret %u", Raw(error));
    if (error != platform::kERROR_SUCCESS) return HResultFromWin32(error);
    m_PeerLimitPending = false;
  }
  return CallHostedNetworkLocked(&platform::IWlanApi::wlanHostedNetworkStartUsing,
                                 "StartHostedNetwork, WlanHostedNetworkStartUsing");
}

HResult CWlanManager::StopHostedNetwork() {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized || m_HostedNetworkState != platform::kWlanHostedNetworkActive) return kInvalidState;
  return CallHostedNetworkLocked(&platform::IWlanApi::wlanHostedNetworkStopUsing,
                                 "StopHostedNetwork, WlanHostedNetworkStopUsing");
}

HResult CWlanManager::ForceStopHostedNetwork() {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized || m_HostedNetworkState != platform::kWlanHostedNetworkActive) return kInvalidState;
  return CallHostedNetworkLocked(&platform::IWlanApi::wlanHostedNetworkForceStop,
                                 "ForceStopHostedNetwork, WlanHostedNetworkForceStop");
}

HResult CWlanManager::GetHostedNetworkInterfaceGuid(platform::Guid& guid) {
  platform::UniqueWlanPtr<platform::WlanHostedNetworkStatus> owned(platform::WlanMemoryCloser{&m_Wlan, &m_Kernel});
  const Win32Error error = m_Wlan.wlanHostedNetworkQueryStatus(m_WlanHandle.get(), owned.put(), nullptr);
  const platform::WlanHostedNetworkStatus* status = owned.get();
  platform::TraceLine(m_Trace,
                      "CWlanManager::GetHostedNetworkInterfaceGuid, WlanHostedNetworkQueryStatus Ret %u", Raw(error));
  if (error == platform::kERROR_SUCCESS && status != nullptr) guid = status->IPDeviceID;
  return platform::kS_OK;
}

HResult CWlanManager::IsHostedNetworkStarted(bool& started) {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return kInvalidState;
  started = m_HostedNetworkState == platform::kWlanHostedNetworkActive;
  return platform::kS_OK;
}

HResult CWlanManager::IsHostedNetworkAvailable(bool& available) {
  CLockScope lock(m_Lock.get());
  if (!m_Initialized) return kInvalidState;
  available = m_HostedNetworkState != platform::kWlanHostedNetworkUnavailable;
  return platform::kS_OK;
}

}  // namespace tethra::wlan
