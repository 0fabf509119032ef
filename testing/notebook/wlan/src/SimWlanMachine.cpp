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
    : m_host(host),
      m_codePage(codePage),
      m_kernel(kernel),
      m_supported(config.supported),
      m_capable(config.capable),
      m_reportsBeforeReturn(config.reportsBeforeReturn),
      m_enabled(config.allowed),
      m_configured(!config.firstUse),
      m_hostName(config.hostName),
      m_state(config.capable && config.allowed ? config.state : platform::kWlanHostedNetworkUnavailable),
      m_adapter(config.adapter) {
  std::vector<std::uint8_t> ssid;
  if (config.ssidBytes) {
    ssid = *config.ssidBytes;
  } else if (!config.ssidText.empty()) {
    const int length = static_cast<int>(config.ssidText.size());
    const int need =
        m_codePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.ssidText.data(), length, nullptr, 0, nullptr, nullptr);
    ssid.resize(static_cast<std::size_t>(std::max(need, 0)));
    const int n = ssid.empty() ? 0
                               : m_codePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.ssidText.data(), length,
                                                                reinterpret_cast<char*>(ssid.data()), need, nullptr,
                                                                nullptr);
    ssid.resize(static_cast<std::size_t>(std::max(n, 0)));
  }
  // The service holds at most 32 bytes of a name, and none at all when it was given none.
  ssid.resize(std::min<std::size_t>(ssid.size(), sizeof m_settings.hostedNetworkSSID.ucSSID));
  m_settings.hostedNetworkSSID.uSSIDLength = static_cast<std::uint32_t>(ssid.size());
  if (!ssid.empty()) std::memcpy(m_settings.hostedNetworkSSID.ucSSID, ssid.data(), ssid.size());
  m_settings.dwMaxNumberOfPeers = config.maxPeers;

  if (config.keyKind == SimWlanConfig::KeyKind::Text) {
    char bytes[256];
    const int n = m_codePage.wideCharToMultiByte(platform::kCP_ACP, 0, config.keyText.data(),
                                                 static_cast<int>(config.keyText.size()), bytes, sizeof bytes - 1,
                                                 nullptr, nullptr);
    m_key.assign(bytes, bytes + std::max(n, 0));
    m_key.push_back(0);
    m_keyIsPassPhrase = true;
  } else if (config.keyKind == SimWlanConfig::KeyKind::NotPassPhrase) {
    m_key.assign(32, kBinaryKeyByte);
    m_keyIsPassPhrase = false;
  }
  if (m_state == platform::kWlanHostedNetworkActive) m_peers = config.peers;
  // A network found running was started by someone else: no handle of a program holds it.
  m_forced = m_state == platform::kWlanHostedNetworkActive;
  if (!m_configured) {
    // Nothing was ever configured: no name, no peer limit, no key of the user's.
    m_settings = {};
    m_key.clear();
  }
}

SimWlanService::~SimWlanService() {
  for (const auto& [buffer, origin] : m_buffers) std::free(buffer);
}

void* SimWlanService::allocateLocked(std::size_t size, std::string origin) {
  void* buffer = std::calloc(std::max<std::size_t>(size, 1), 1);
  if (buffer == nullptr) std::abort();  // the simulation itself is out of memory
  m_buffers.emplace(buffer, std::move(origin));
  return buffer;
}

void SimWlanService::queueLocked(Dword code, Dword size, const void* data, std::size_t dataBytes) {
  Pending pending;
  pending.code = code;
  pending.size = size;
  if (size != 0) {
    // At least the record's real size, so a report with a wrong size is still readable.
    pending.data.assign(std::max<std::size_t>({size, dataBytes, 1}), 0);
    if (data != nullptr) std::memcpy(pending.data.data(), data, dataBytes);
  }
  m_pending.push_back(std::move(pending));
  m_host.notificationQueued();
}

void SimWlanService::changeStateLocked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason) {
  m_state = newState;
  if (newState != platform::kWlanHostedNetworkActive) {
    m_peers.clear();
    dropStartsLocked();
  }
  const platform::WlanHostedNetworkStateChange change{oldState, newState, reason};
  queueLocked(platform::kWlanHostedNetworkStateChangeCode, sizeof change, &change, sizeof change);
  m_events.push_back("wlan state " + stateName(oldState) + " -> " + stateName(newState) + " (reason " +
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
  m_events.push_back(std::string("wlan station ") + (joined ? "join " : "leave ") + macText(mac));
}

bool SimWlanService::canStartLocked() const {
  return m_supported && m_capable && m_enabled && m_adapterPresent &&
         m_state != platform::kWlanHostedNetworkUnavailable;
}

void SimWlanService::dropStartsLocked() {
  m_forced = false;
  for (auto& [handle, registration] : m_handles) registration.startRefs = 0;
}

std::uint32_t SimWlanService::startRefsLocked() const {
  std::uint32_t refs = 0;
  for (const auto& [handle, registration] : m_handles) refs += registration.startRefs;
  return refs;
}

void SimWlanService::releaseStartsLocked(std::uint32_t refs) {
  if (refs == 0 || m_state != platform::kWlanHostedNetworkActive) return;
  if (startRefsLocked() == 0 && !m_forced) {
    constexpr std::uint32_t kReasonClientAbort = 18;
    changeStateLocked(m_state, platform::kWlanHostedNetworkIdle, kReasonClientAbort);
  }
}

bool SimWlanService::hasPendingNotification() const {
  std::lock_guard lock(m_mutex);
  return !m_pending.empty();
}

bool SimWlanService::awaitedLocked(const Pending& pending, std::optional<Client> client) const {
  for (const auto& [handle, registration] : m_handles) {
    if (registration.callback == nullptr || (registration.source & platform::kWLAN_NOTIFICATION_SOURCE_HNWK) == 0) {
      continue;
    }
    if (client && registration.client != *client) continue;
    if (std::find(pending.served.begin(), pending.served.end(), registration.client) == pending.served.end()) {
      return true;
    }
  }
  return false;
}

bool SimWlanService::hasPendingNotificationFor(Client client) const {
  std::lock_guard lock(m_mutex);
  if (m_pending.empty()) return false;
  return awaitedLocked(m_pending.front(), client) || !awaitedLocked(m_pending.front(), std::nullopt);
}

void SimWlanService::deliverNext(std::optional<Client> only) {
  Pending pending;
  std::vector<Registration> receivers;
  std::vector<std::string> events;
  platform::Guid adapter{};
  {
    std::lock_guard lock(m_mutex);
    if (m_pending.empty()) return;
    Pending& front = m_pending.front();
    // What a registration that asked to ignore duplicates was told last, to compare.
    std::vector<std::uint8_t> told(sizeof front.code);
    std::memcpy(told.data(), &front.code, sizeof front.code);
    told.insert(told.end(), front.data.begin(), front.data.end());
    for (auto& [handle, registration] : m_handles) {
      if (registration.callback == nullptr || (registration.source & platform::kWLAN_NOTIFICATION_SOURCE_HNWK) == 0) {
        continue;
      }
      if (only && registration.client != *only) continue;
      if (std::find(front.served.begin(), front.served.end(), registration.client) != front.served.end()) continue;
      if (registration.ignoreDuplicate && registration.last == told) {
        m_events.push_back("wlan report not told again (identical to the last)");
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
      m_pending.pop_front();
    }
    if (receivers.empty()) {
      events.swap(m_events);
    } else {
      m_delivering = true;
      m_deliveringThread = std::this_thread::get_id();
      m_deliveringClient = only.value_or(0);
      adapter = m_adapter;
    }
  }
  for (std::string& line : events) m_host.event(std::move(line));
  if (receivers.empty()) return;
  for (const Registration& receiver : receivers) {
    platform::WlanNotificationData data{platform::kWLAN_NOTIFICATION_SOURCE_HNWK, pending.code, adapter, pending.size,
                                        pending.data.empty() ? nullptr : pending.data.data()};
    receiver.callback(&data, receiver.context);
  }
  {
    std::lock_guard lock(m_mutex);
    m_delivering = false;
  }
  m_host.deliveryEnded();
}

void SimWlanService::forgetClient(Client client) {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_mutex);
    std::uint32_t refs = 0;
    for (const auto& [handle, registration] : m_handles) {
      if (registration.client == client) refs += registration.startRefs;
    }
    std::erase_if(m_handles, [client](const auto& entry) { return entry.second.client == client; });
    if (m_delivering && m_deliveringClient == client) m_delivering = false;
    // What its StartUsing started ends with the process, unless others still hold the network.
    releaseStartsLocked(refs);
    events.swap(m_events);
  }
  for (std::string& line : events) m_host.event(std::move(line));
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
  WithEvents(m_mutex, m_events, m_host, [&] { changeStateLocked(oldState, newState, reason); });
}

bool SimWlanService::machineSetStateChecked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason) {
  bool held = false;
  WithEvents(m_mutex, m_events, m_host, [&] {
    held = m_state == oldState;
    if (held) changeStateLocked(oldState, newState, reason);
  });
  return held;
}

void SimWlanService::machineSleep() {
  WithEvents(m_mutex, m_events, m_host, [&] {
    if (m_state != platform::kWlanHostedNetworkActive) return;
    // Stopped by the sleep, told to nobody, and not started again on resume.
    m_state = platform::kWlanHostedNetworkIdle;
    m_peers.clear();
    dropStartsLocked();
    m_events.push_back("wlan state active -> idle (the machine sleeps; nobody is told)");
  });
}

void SimWlanService::machineRadioOff() {
  WithEvents(m_mutex, m_events, m_host, [&] {
    constexpr std::uint32_t kRadioOff = 2;
    const std::uint32_t radio[2] = {kRadioOff, kRadioOff};  // software and hardware radio state
    queueLocked(platform::kWlanHostedNetworkRadioStateChangeCode, sizeof radio, radio, sizeof radio);
    m_events.push_back("wlan radio off");
    if (m_state != platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_state, platform::kWlanHostedNetworkUnavailable, kReasonInterfaceUnavailable);
    }
  });
}

void SimWlanService::machineAdapterDisabled() {
  WithEvents(m_mutex, m_events, m_host, [&] {
    m_adapterPresent = false;
    m_events.push_back("wlan adapter disabled: the virtual adapter is gone");
    if (m_state != platform::kWlanHostedNetworkUnavailable) {
      changeStateLocked(m_state, platform::kWlanHostedNetworkUnavailable, kReasonInterfaceUnavailable);
    }
  });
}

std::vector<std::string> SimWlanService::misuses() const {
  std::lock_guard lock(m_mutex);
  return m_misuses;
}

void SimWlanService::machineNotifyRaw(Dword code, Dword size) {
  WithEvents(m_mutex, m_events, m_host, [&] {
    if (code == platform::kWlanHostedNetworkStateChangeCode) {
      const platform::WlanHostedNetworkStateChange change{m_state, m_state, platform::kWlanHostedNetworkReasonSuccess};
      queueLocked(code, size, &change, sizeof change);
    } else {
      queueLocked(code, size, nullptr, sizeof(platform::WlanHostedNetworkDataPeerStateChange));
    }
    m_events.push_back("wlan notify-raw " + std::to_string(code) + " size " + std::to_string(size));
  });
}

void SimWlanService::machineStationJoin(const Mac& mac) {
  WithEvents(m_mutex, m_events, m_host, [&] {
    m_peers.push_back(mac);
    peerChangeLocked(mac, true);
  });
}

void SimWlanService::machineStationLeave(const Mac& mac) {
  WithEvents(m_mutex, m_events, m_host, [&] {
    const auto it = std::find(m_peers.begin(), m_peers.end(), mac);
    if (it != m_peers.end()) m_peers.erase(it);
    peerChangeLocked(mac, false);
  });
}

bool SimWlanService::restart() {
  bool started = false;
  WithEvents(m_mutex, m_events, m_host, [&] {
    if (m_state == platform::kWlanHostedNetworkActive) {
      m_forced = true;  // running already: the forced start holds it from now on
      started = true;
      return;
    }
    if (canStartLocked()) {
      changeStateLocked(m_state, platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkReasonSuccess);
      m_forced = true;
      started = true;
    }
  });
  return started;
}

std::uint32_t SimWlanService::state() const {
  std::lock_guard lock(m_mutex);
  return m_state;
}

std::vector<std::uint8_t> SimWlanService::ssidBytes() const {
  std::lock_guard lock(m_mutex);
  return {m_settings.hostedNetworkSSID.ucSSID,
          m_settings.hostedNetworkSSID.ucSSID + std::min<std::uint32_t>(m_settings.hostedNetworkSSID.uSSIDLength, 32)};
}

std::u16string SimWlanService::decodeLocked(const std::uint8_t* bytes, std::size_t count) const {
  if (count == 0) return {};
  char16_t text[256];
  const int n = m_codePage.multiByteToWideChar(platform::kCP_ACP, 0, reinterpret_cast<const char*>(bytes),
                                               static_cast<int>(count), text, 256);
  return std::u16string(text, static_cast<std::size_t>(std::max(n, 0)));
}

std::u16string SimWlanService::ssidText() const {
  std::lock_guard lock(m_mutex);
  return decodeLocked(m_settings.hostedNetworkSSID.ucSSID, m_settings.hostedNetworkSSID.uSSIDLength);
}

std::string SimWlanService::ssidForTranscriptLocked() const {
  std::string out;
  out += text::Utf16ToUtf8(decodeLocked(m_settings.hostedNetworkSSID.ucSSID, m_settings.hostedNetworkSSID.uSSIDLength));
  return out;
}

std::optional<std::u16string> SimWlanService::keyText() const {
  std::lock_guard lock(m_mutex);
  if (m_key.empty() || !m_keyIsPassPhrase) return std::nullopt;
  std::u16string text = decodeLocked(m_key.data(), m_key.size());
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

bool SimWlanService::hasKey() const {
  std::lock_guard lock(m_mutex);
  return !m_key.empty();
}

bool SimWlanService::keyIsPassPhrase() const {
  std::lock_guard lock(m_mutex);
  return !m_key.empty() && m_keyIsPassPhrase;
}

bool SimWlanService::keyPersistent() const {
  std::lock_guard lock(m_mutex);
  return m_keyPersistent;
}

std::uint32_t SimWlanService::maxPeers() const {
  std::lock_guard lock(m_mutex);
  return m_settings.dwMaxNumberOfPeers;
}

std::vector<Mac> SimWlanService::peers() const {
  std::lock_guard lock(m_mutex);
  return m_peers;
}

std::uint64_t SimWlanService::callCount(std::string_view function) const {
  std::lock_guard lock(m_mutex);
  return m_calls.of(function);
}

std::size_t SimWlanService::outstandingBuffers() const {
  std::lock_guard lock(m_mutex);
  return m_buffers.size();
}

std::string SimWlanService::leftOverBuffersText() const {
  std::lock_guard lock(m_mutex);
  if (m_buffers.empty() && m_badFrees == 0) return {};
  // By the call that handed each one out, in the order of their names (addresses vary).
  std::map<std::string, std::size_t> byOrigin;
  for (const auto& [buffer, origin] : m_buffers) ++byOrigin[origin];
  std::string text;
  if (!m_buffers.empty()) {
    text = std::to_string(m_buffers.size()) + " not freed with WlanFreeMemory (";
    const char* separator = "";
    for (const auto& [origin, count] : byOrigin) {
      text += separator + std::to_string(count) + " from " + origin;
      separator = ", ";
    }
    text += ")";
  }
  if (m_badFrees != 0) {
    if (!text.empty()) text += "; ";
    text += std::to_string(m_badFrees) + " WlanFreeMemory of a buffer never handed out";
  }
  return text;
}

std::size_t SimWlanService::badFrees() const {
  std::lock_guard lock(m_mutex);
  return m_badFrees;
}

bool SimWlanService::notificationsRegistered() const {
  std::lock_guard lock(m_mutex);
  for (const auto& [handle, registration] : m_handles) {
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
