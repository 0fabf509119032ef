// The simulated WLAN service's own side: its initial state, the notification queue and its
// delivery on the WLAN thread, the machine's timeline actions, and the inspection used by the
// expectations.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tethra/sim/Text.h"
#include "tethra/sim/wlan/SimWlanService.h"

namespace tethra::sim {

using platform::Dword;

namespace {
constexpr std::uint32_t kReasonInterfaceUnavailable = 12;
constexpr std::uint32_t kReasonPeerArrived = 20;
constexpr std::uint32_t kReasonPeerDeparted = 21;
constexpr std::uint8_t kBinaryKeyByte = 0x5A;

}  // namespace

SimWlanService::SimWlanService(IWlanServiceHost& host, platform::ICodePage& codePage, platform::IKernel* kernel,
                               const SimWlanConfig& config)
    : m_Host(host),
      m_CodePage(codePage),
      m_Kernel(kernel),
      m_Supported(config.supported),
      m_Capable(config.capable),
      m_ReportsBeforeReturn(config.reportsBeforeReturn),
      m_Enabled(config.allowed),
      m_Configured(!config.firstUse),
      m_HostName(config.hostName),
      m_State(config.capable && config.allowed ? config.state : platform::kWlanHostedNetworkUnavailable),
      m_Adapter(config.adapter) {
  std::vector<std::uint8_t> ssid;
  if (config.ssidBytes) {
    ssid = *config.ssidBytes;
  } else if (!config.ssidText.empty()) {
    const int length = static_cast<int>(config.ssidText.size());
    const int need =
        m_CodePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.ssidText.data(), length, nullptr, 0, nullptr, nullptr);
    ssid.resize(static_cast<std::size_t>(std::max(need, 0)));
    const int n = ssid.empty() ? 0
                               : m_CodePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.ssidText.data(), length,
                                                                reinterpret_cast<char*>(ssid.data()), need, nullptr,
                                                                nullptr);
    ssid.resize(static_cast<std::size_t>(std::max(n, 0)));
  }
  // The service holds at most 32 bytes of a name, and none at all when it was given none.
  ssid.resize(std::min<std::size_t>(ssid.size(), sizeof m_Settings.hostedNetworkSSID.ucSSID));
  m_Settings.hostedNetworkSSID.uSSIDLength = static_cast<std::uint32_t>(ssid.size());
  if (!ssid.empty()) std::memcpy(m_Settings.hostedNetworkSSID.ucSSID, ssid.data(), ssid.size());
  m_Settings.dwMaxNumberOfPeers = config.maxPeers;

  if (config.keyKind == SimWlanConfig::KeyKind::Text) {
    char bytes[256];
    const int n = m_CodePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.keyText.data(),
                                                 static_cast<int>(config.keyText.size()), bytes, sizeof bytes - 1,
                                                 nullptr, nullptr);
    m_Key.assign(bytes, bytes + std::max(n, 0));
    m_Key.push_back(0);
    m_KeyIsPassPhrase = true;
  } else if (config.keyKind == SimWlanConfig::KeyKind::NotPassPhrase) {
    m_Key.assign(32, kBinaryKeyByte);
    m_KeyIsPassPhrase = false;
  }
  if (m_State == platform::kWlanHostedNetworkActive) m_Peers = config.peers;
  // A network found running was started by someone else: no handle of a program holds it.
  m_Forced = m_State == platform::kWlanHostedNetworkActive;
  m_StartedSinceAdapter = m_State == platform::kWlanHostedNetworkActive;
  if (!m_Configured) {
    // Nothing was ever configured: no name, no peer limit, no key of the user's.
    m_Settings = {};
    m_Key.clear();
  }
}

SimWlanService::~SimWlanService() {
  for (const auto& [buffer, origin] : m_Buffers) std::free(buffer);
}

void* SimWlanService::allocateLocked(std::size_t size, std::string origin) {
  void* buffer = std::calloc(std::max<std::size_t>(size, 1), 1);
  if (buffer == nullptr) std::abort();  // the simulation itself is out of memory
  m_Buffers.emplace(buffer, std::move(origin));
  return buffer;
}

void SimWlanService::queueLocked(Dword code, Dword size, const void* data, std::size_t dataBytes) {
  Pending pending;
  // Addressed to the registrations of this moment: one made later (a new instance's) was not
  // there when it happened, and one undone before delivery is told nothing.
  for (const auto& [handle, registration] : m_Handles) {
    if (registration.callback != nullptr && (registration.source & platform::kWLAN_NOTIFICATION_SOURCE_HNWK) != 0) {
      pending.addressees.push_back(registration.serial);
    }
  }
  if (pending.addressees.empty()) return;  // nobody registered: told to nobody
  pending.code = code;
  pending.size = size;
  if (size != 0) {
    // At least the record's real size, so a report with a wrong size is still readable.
    pending.data.assign(std::max<std::size_t>({size, dataBytes, 1}), 0);
    if (data != nullptr) std::memcpy(pending.data.data(), data, dataBytes);
  }
  m_Pending.push_back(std::move(pending));
  m_Host.notificationQueued();
}

void SimWlanService::changeStateLocked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason) {
  m_State = newState;
  if (newState == platform::kWlanHostedNetworkActive) m_StartedSinceAdapter = true;
  if (newState != platform::kWlanHostedNetworkActive) {
    m_Peers.clear();
    dropStartsLocked();
  }
  const platform::WlanHostedNetworkStateChange change{oldState, newState, reason};
  queueLocked(platform::kWlanHostedNetworkStateChangeCode, sizeof change, &change, sizeof change);
  m_Events.push_back("wlan state " + stateName(oldState) + " -> " + stateName(newState) + " (reason " +
                     std::to_string(reason) + ")");
}

void SimWlanService::peerChangeLocked(const Mac& mac, bool joined) {
  platform::WlanHostedNetworkDataPeerStateChange change{};
  std::memcpy(change.OldState.PeerMacAddress, mac.data(), 6);
  std::memcpy(change.NewState.PeerMacAddress, mac.data(), 6);
  change.OldState.PeerAuthState =
      joined ? platform::kWlanHostedNetworkPeerStateInvalid : platform::kWlanHostedNetworkPeerStateAuthenticated;
  change.NewState.PeerAuthState =
      joined ? platform::kWlanHostedNetworkPeerStateAuthenticated : platform::kWlanHostedNetworkPeerStateInvalid;
  change.PeerStateChangeReason = joined ? kReasonPeerArrived : kReasonPeerDeparted;
  queueLocked(platform::kWlanHostedNetworkPeerStateChangeCode, sizeof change, &change, sizeof change);
  m_Events.push_back(std::string("wlan station ") + (joined ? "join " : "leave ") + macText(mac));
}

bool SimWlanService::canStartLocked() const {
  return m_Supported && m_Capable && m_Enabled && m_AdapterPresent &&
         m_State != platform::kWlanHostedNetworkUnavailable;
}

void SimWlanService::dropStartsLocked() {
  m_Forced = false;
  for (auto& [handle, registration] : m_Handles) registration.startRefs = 0;
}

std::uint32_t SimWlanService::startRefsLocked() const {
  std::uint32_t refs = 0;
  for (const auto& [handle, registration] : m_Handles) refs += registration.startRefs;
  return refs;
}

void SimWlanService::releaseStartsLocked(std::uint32_t refs) {
  if (refs == 0 || m_State != platform::kWlanHostedNetworkActive) return;
  if (startRefsLocked() == 0 && !m_Forced) {
    constexpr std::uint32_t kReasonClientAbort = 18;
    changeStateLocked(m_State, platform::kWlanHostedNetworkIdle, kReasonClientAbort);
  }
}

bool SimWlanService::hasPendingNotification() const {
  std::lock_guard lock(m_Mutex);
  return !m_Pending.empty();
}

bool SimWlanService::addressedLocked(const Pending& pending, const Registration& registration) {
  return registration.callback != nullptr && (registration.source & platform::kWLAN_NOTIFICATION_SOURCE_HNWK) != 0 &&
         std::find(pending.addressees.begin(), pending.addressees.end(), registration.serial) !=
             pending.addressees.end();
}

bool SimWlanService::awaitedLocked(const Pending& pending, std::optional<Client> client) const {
  for (const auto& [handle, registration] : m_Handles) {
    if (!addressedLocked(pending, registration)) continue;
    if (client && registration.client != *client) continue;
    if (std::find(pending.served.begin(), pending.served.end(), registration.client) == pending.served.end()) {
      return true;
    }
  }
  return false;
}

bool SimWlanService::hasPendingNotificationFor(Client client) const {
  std::lock_guard lock(m_Mutex);
  if (m_Pending.empty()) return false;
  return awaitedLocked(m_Pending.front(), client) || !awaitedLocked(m_Pending.front(), std::nullopt);
}

void SimWlanService::deliverNext(std::optional<Client> only) {
  Pending pending;
  std::vector<Registration> receivers;
  std::vector<std::string> events;
  platform::Guid adapter{};
  {
    std::lock_guard lock(m_Mutex);
    if (m_Pending.empty()) return;
    Pending& front = m_Pending.front();
    // What a registration that asked to ignore duplicates was told last, to compare.
    std::vector<std::uint8_t> told(sizeof front.code);
    std::memcpy(told.data(), &front.code, sizeof front.code);
    told.insert(told.end(), front.data.begin(), front.data.end());
    for (auto& [handle, registration] : m_Handles) {
      if (!addressedLocked(front, registration)) continue;
      if (only && registration.client != *only) continue;
      if (std::find(front.served.begin(), front.served.end(), registration.client) != front.served.end()) continue;
      if (registration.ignoreDuplicate && registration.last == told) {
        m_Events.push_back("wlan report not told again (identical to the last)");
        continue;
      }
      registration.last = told;
      receivers.push_back(registration);
    }
    if (only) front.served.push_back(*only);
    if (only && awaitedLocked(front, std::nullopt)) {
      pending = front;  // other clients still wait for it
    } else {
      pending = std::move(front);
      m_Pending.pop_front();
    }
    if (receivers.empty()) {
      events.swap(m_Events);
    } else {
      m_Delivering = true;
      m_DeliveringThread = std::this_thread::get_id();
      m_DeliveringClient = only.value_or(0);
      adapter = m_Adapter;
    }
  }
  for (std::string& line : events) m_Host.event(std::move(line));
  if (receivers.empty()) return;
  for (const Registration& receiver : receivers) {
    platform::WlanNotificationData data{platform::kWLAN_NOTIFICATION_SOURCE_HNWK, pending.code, adapter, pending.size,
                                        pending.data.empty() ? nullptr : pending.data.data()};
    receiver.callback(&data, receiver.context);
  }
  {
    std::lock_guard lock(m_Mutex);
    m_Delivering = false;
  }
  m_Host.deliveryEnded();
}

void SimWlanService::forgetClient(Client client) {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_Mutex);
    std::uint32_t refs = 0;
    for (const auto& [handle, registration] : m_Handles) {
      if (registration.client == client) refs += registration.startRefs;
    }
    std::erase_if(m_Handles, [client](const auto& entry) { return entry.second.client == client; });
    if (m_Delivering && m_DeliveringClient == client) m_Delivering = false;
    // What its StartUsing started ends with the process, unless others still hold the network.
    releaseStartsLocked(refs);
    events.swap(m_Events);
  }
  for (std::string& line : events) m_Host.event(std::move(line));
}

namespace {
template <typename Fn>
void WithEvents(std::mutex& mutex, std::vector<std::string>& events, IWlanServiceHost& host, Fn fn) {
  std::vector<std::string> lines;
  {
    std::lock_guard lock(mutex);
    fn();
    lines.swap(events);
  }
  for (std::string& line : lines) host.event(std::move(line));
}
}  // namespace

void SimWlanService::machineSetState(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason) {
  WithEvents(m_Mutex, m_Events, m_Host, [&] { changeStateLocked(oldState, newState, reason); });
}

bool SimWlanService::machineSetStateChecked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason) {
  bool held = false;
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    held = m_State == oldState;
    if (held) changeStateLocked(oldState, newState, reason);
  });
  return held;
}

void SimWlanService::machineSleep() {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    if (m_State != platform::kWlanHostedNetworkActive) return;
    // Stopped by the sleep, told to nobody, and not started again on resume.
    m_State = platform::kWlanHostedNetworkIdle;
    m_Peers.clear();
    dropStartsLocked();
    m_Events.push_back("wlan state active -> idle (the machine sleeps; nobody is told)");
  });
}

void SimWlanService::machineRadioOff() {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    constexpr std::uint32_t kRadioOff = 2;
    const std::uint32_t radio[2] = {kRadioOff, kRadioOff};  // software and hardware radio state
    queueLocked(platform::kWlanHostedNetworkRadioStateChangeCode, sizeof radio, radio, sizeof radio);
    m_Events.push_back("wlan radio off");
    if (m_State != platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkUnavailable, kReasonInterfaceUnavailable);
    }
  });
}

void SimWlanService::machineAdapterDisabled() {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    m_AdapterPresent = false;
    m_StartedSinceAdapter = false;
    m_Events.push_back("wlan adapter disabled: the virtual adapter is gone");
    if (m_State != platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkUnavailable, kReasonInterfaceUnavailable);
    }
  });
}

std::vector<std::string> SimWlanService::misuses() const {
  std::lock_guard lock(m_Mutex);
  return m_Misuses;
}

void SimWlanService::machineNotifyRaw(Dword code, Dword size) {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    if (code == platform::kWlanHostedNetworkStateChangeCode) {
      const platform::WlanHostedNetworkStateChange change{m_State, m_State, platform::kWlanHostedNetworkReasonSuccess};
      queueLocked(code, size, &change, sizeof change);
    } else {
      queueLocked(code, size, nullptr, sizeof(platform::WlanHostedNetworkDataPeerStateChange));
    }
    m_Events.push_back("wlan notify-raw " + std::to_string(code) + " size " + std::to_string(size));
  });
}

void SimWlanService::machineStationJoin(const Mac& mac) {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    m_Peers.push_back(mac);
    peerChangeLocked(mac, true);
  });
}

void SimWlanService::machineStationLeave(const Mac& mac) {
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    const auto it = std::find(m_Peers.begin(), m_Peers.end(), mac);
    if (it != m_Peers.end()) m_Peers.erase(it);
    peerChangeLocked(mac, false);
  });
}

bool SimWlanService::restart() {
  bool started = false;
  WithEvents(m_Mutex, m_Events, m_Host, [&] {
    if (m_State == platform::kWlanHostedNetworkActive) {
      m_Forced = true;  // running already: the forced start holds it from now on
      started = true;
      return;
    }
    if (canStartLocked()) {
      changeStateLocked(m_State, platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkReasonSuccess);
      m_Forced = true;
      started = true;
    }
  });
  return started;
}

std::uint32_t SimWlanService::state() const {
  std::lock_guard lock(m_Mutex);
  return m_State;
}

bool SimWlanService::virtualAdapterPresent() const {
  std::lock_guard lock(m_Mutex);
  return m_Supported && m_Capable && m_Enabled && m_AdapterPresent && m_Configured;
}

bool SimWlanService::startedSinceAdapterPresent() const {
  std::lock_guard lock(m_Mutex);
  return m_StartedSinceAdapter;
}

std::vector<std::uint8_t> SimWlanService::ssidBytes() const {
  std::lock_guard lock(m_Mutex);
  return {m_Settings.hostedNetworkSSID.ucSSID,
          m_Settings.hostedNetworkSSID.ucSSID + std::min<std::uint32_t>(m_Settings.hostedNetworkSSID.uSSIDLength, 32)};
}

std::u16string SimWlanService::decodeLocked(const std::uint8_t* bytes, std::size_t count) const {
  if (count == 0) return {};
  char16_t text[256];
  const int n = m_CodePage.multiByteToWideChar(platform::kCP_ACP, 0, reinterpret_cast<const char*>(bytes),
                                               static_cast<int>(count), text, 256);
  return std::u16string(text, static_cast<std::size_t>(std::max(n, 0)));
}

std::u16string SimWlanService::ssidText() const {
  std::lock_guard lock(m_Mutex);
  return decodeLocked(m_Settings.hostedNetworkSSID.ucSSID, m_Settings.hostedNetworkSSID.uSSIDLength);
}

std::string SimWlanService::ssidForTranscriptLocked() const {
  std::string out;
  out += text::Utf16ToUtf8(decodeLocked(m_Settings.hostedNetworkSSID.ucSSID, m_Settings.hostedNetworkSSID.uSSIDLength));
  return out;
}

std::optional<std::u16string> SimWlanService::keyText() const {
  std::lock_guard lock(m_Mutex);
  if (m_Key.empty() || !m_KeyIsPassPhrase) return std::nullopt;
  std::u16string text = decodeLocked(m_Key.data(), m_Key.size());
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

bool SimWlanService::hasKey() const {
  std::lock_guard lock(m_Mutex);
  return !m_Key.empty();
}

bool SimWlanService::keyIsPassPhrase() const {
  std::lock_guard lock(m_Mutex);
  return !m_Key.empty() && m_KeyIsPassPhrase;
}

bool SimWlanService::keyPersistent() const {
  std::lock_guard lock(m_Mutex);
  return m_KeyPersistent;
}

std::uint32_t SimWlanService::maxPeers() const {
  std::lock_guard lock(m_Mutex);
  return m_Settings.dwMaxNumberOfPeers;
}

std::vector<Mac> SimWlanService::peers() const {
  std::lock_guard lock(m_Mutex);
  return m_Peers;
}

std::uint64_t SimWlanService::callCount(std::string_view function) const {
  std::lock_guard lock(m_Mutex);
  return m_Calls.of(function);
}

std::size_t SimWlanService::outstandingBuffers() const {
  std::lock_guard lock(m_Mutex);
  return m_Buffers.size();
}

std::string SimWlanService::leftOverBuffersText() const {
  std::lock_guard lock(m_Mutex);
  if (m_Buffers.empty() && m_BadFrees == 0) return {};
  // By the call that handed each one out, in the order of their names (addresses vary).
  std::map<std::string, std::size_t> byOrigin;
  for (const auto& [buffer, origin] : m_Buffers) ++byOrigin[origin];
  std::string text;
  if (!m_Buffers.empty()) {
    text = std::to_string(m_Buffers.size()) + " not freed with WlanFreeMemory (";
    const char* separator = "";
    for (const auto& [origin, count] : byOrigin) {
      text += separator + std::to_string(count) + " from " + origin;
      separator = ", ";
    }
    text += ")";
  }
  if (m_BadFrees != 0) {
    if (!text.empty()) text += "; ";
    text += std::to_string(m_BadFrees) + " WlanFreeMemory of a buffer never handed out";
  }
  return text;
}

std::size_t SimWlanService::badFrees() const {
  std::lock_guard lock(m_Mutex);
  return m_BadFrees;
}

bool SimWlanService::notificationsRegistered() const {
  std::lock_guard lock(m_Mutex);
  for (const auto& [handle, registration] : m_Handles) {
    if (registration.callback != nullptr) return true;
  }
  return false;
}

std::string SimWlanService::stateName(std::uint32_t state) {
  switch (state) {
    case platform::kWlanHostedNetworkUnavailable:
      return "unavailable";
    case platform::kWlanHostedNetworkIdle:
      return "idle";
    case platform::kWlanHostedNetworkActive:
      return "active";
    default:
      return std::to_string(state);
  }
}

std::string SimWlanService::macText(const Mac& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  return text;
}

}  // namespace tethra::sim
