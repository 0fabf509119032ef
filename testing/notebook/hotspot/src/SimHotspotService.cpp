// The simulated mobile hotspot: tethering managers by profile, their state and configuration,
// and the network status notification. Every call is recorded; operations end and network
// changes are told on the hotspot thread, one at a time, after the causing call has returned.
// What the system refuses is refused here the same way (docs/hotspot-contract.md).
#include "tethra/sim/hotspot/SimHotspotService.h"

#include <algorithm>
#include <utility>

#include "tethra/sim/Text.h"

namespace tethra::sim {

using platform::HResult;
using platform::TetheringState;
using platform::TetheringStatus;

namespace {

struct StatusName {
  TetheringStatus status;
  std::string_view name;
};
constexpr StatusName kStatusNames[] = {
    {TetheringStatus::Success, "success"},
    {TetheringStatus::Unknown, "unknown"},
    {TetheringStatus::MobileBroadbandDeviceOff, "mobile-broadband-off"},
    {TetheringStatus::WiFiDeviceOff, "wifi-off"},
    {TetheringStatus::EntitlementCheckTimeout, "entitlement-timeout"},
    {TetheringStatus::EntitlementCheckFailure, "entitlement-failed"},
    {TetheringStatus::OperationInProgress, "in-progress"},
    {TetheringStatus::BluetoothDeviceOff, "bluetooth-off"},
    {TetheringStatus::NetworkLimitedConnectivity, "limited-connectivity"},
    {TetheringStatus::AlreadyOn, "already-on"},
    {TetheringStatus::RadioRestriction, "radio-restriction"},
    {TetheringStatus::BandInterference, "band-interference"},
};

// S_OK is written "0" in the hotspot's records.
std::string HResultText(HResult hr) { return hr == platform::kS_OK ? "0" : StatusText(hr); }

// Built in place: GCC 12 at -O3 (the MinGW-w64 Release build) reports a bogus -Wrestrict on
// "\"" + text + "\"".
std::string Quoted(const std::u16string& text) {
  std::string quoted = "\"";
  quoted += text::Utf16ToUtf8(text);
  quoted += '"';
  return quoted;
}

std::string ConfigText(const platform::AccessPointConfig& config) {
  std::string text = "ssid ";
  text += Quoted(config.ssid);
  text += " key ";
  text += Quoted(config.passphrase);
  return text;
}

// The access point configuration's documented limits: a name of 1 to 32 characters and a
// passphrase of 8 to 63, neither beginning nor ending with a space.
bool WithinLimits(const std::u16string& text, std::size_t least, std::size_t most) {
  return text.size() >= least && text.size() <= most && text.front() != u' ' && text.back() != u' ';
}
bool ConfigAccepted(const platform::AccessPointConfig& config) {
  const bool printable = std::all_of(config.passphrase.begin(), config.passphrase.end(),
                                     [](char16_t ch) { return ch >= 0x20 && ch <= 0x7E; });
  return WithinLimits(config.ssid, 1, 32) && WithinLimits(config.passphrase, 8, 63) && printable;
}

// What the system answers to an operation begun while another is in flight.
constexpr HResult kBusy{0x800700AAu};  // HRESULT_FROM_WIN32(ERROR_BUSY), for a configuration

}  // namespace

SimProfile ProfileOfConnection(const platform::Guid& id, const std::u16string& name, SimConnectionKind kind) {
  switch (kind) {
    case SimConnectionKind::Lan:
      return {id, u"Network"};
    case SimConnectionKind::Wlan:
      return {id, u"HomeWiFi"};
    case SimConnectionKind::Wwan:
      return {id, u"Cellular"};
    case SimConnectionKind::Ras:
      break;
  }
  platform::Guid tunnel = id;  // the tunnel's own adapter: another id
  tunnel.Data1 ^= 0x7E57u;
  return {tunnel, name};
}

std::optional<TetheringStatus> TetheringStatusNamed(std::string_view name) {
  for (const StatusName& entry : kStatusNames) {
    if (entry.name == name) return entry.status;
  }
  return std::nullopt;
}

std::string TetheringStatusName(TetheringStatus status) {
  for (const StatusName& entry : kStatusNames) {
    if (entry.status == status) return std::string(entry.name);
  }
  return std::to_string(static_cast<int>(status));
}

HotspotFault HotspotFaultOf(std::int64_t code, std::int64_t extra) {
  HotspotFault fault;
  if (extra == kHotspotFaultHangs) {
    fault.hangs = true;
  } else if (extra == kHotspotFaultLate || extra == kHotspotFaultLateIgnoringCancel) {
    fault.lateMs = static_cast<std::uint32_t>(code);
    fault.ignoresCancel = extra == kHotspotFaultLateIgnoringCancel;
  } else if (extra == kHotspotFaultStatus) {
    fault.status = static_cast<TetheringStatus>(code);
  } else {
    fault.result = FaultStatus<HResult>(code);
  }
  return fault;
}

std::string TetheringStateName(TetheringState state) {
  switch (state) {
    case TetheringState::On:
      return "on";
    case TetheringState::Off:
      return "off";
    case TetheringState::InTransition:
      return "in-transition";
    case TetheringState::Unknown:
      break;
  }
  return "unknown";
}

// One operation's handle: a cancel goes to the service, which knows whether it can still take.
class SimHotspotService::Operation final : public platform::ITetheringOperation {
 public:
  Operation(SimHotspotService& service, std::uint64_t id) : m_service(service), m_id(id) {}
  void cancel() override { m_service.cancel(m_id); }

 private:
  SimHotspotService& m_service;
  std::uint64_t m_id;
};

// One connection profile's tethering manager; all of them share the machine's one hotspot.
class SimHotspotService::Manager final : public platform::ITetheringManager {
 public:
  explicit Manager(SimHotspotService& service) : m_service(service) {}
  ~Manager() override {
    std::lock_guard lock(m_service.m_mutex);
    --m_service.m_managers;
  }

  HResult operationalState(TetheringState* state) override {
    if (state == nullptr) return platform::kE_INVALIDARG;
    return m_service.query("state", "", [&] { *state = m_service.m_state; });
  }
  HResult clientCount(std::uint32_t* count) override {
    if (count == nullptr) return platform::kE_INVALIDARG;
    return m_service.query("clients", "", [&] { *count = m_service.m_clients; });
  }
  HResult currentConfiguration(platform::AccessPointConfig* config) override {
    if (config == nullptr) return platform::kE_INVALIDARG;
    return m_service.query("configuration", "", [&] { *config = m_service.m_config; });
  }
  HResult configure(const platform::AccessPointConfig& config, std::shared_ptr<platform::ITetheringCompletion> done,
                    std::unique_ptr<platform::ITetheringOperation>* operation) override {
    if (!ConfigAccepted(config)) return refuse("configure", config);
    return m_service.begin("configure", ConfigText(config), std::move(done), operation, [this, config] {
      m_service.m_config = config;
      m_service.m_events.push_back("hotspot configured: " + ConfigText(config));
    });
  }
  HResult start(std::shared_ptr<platform::ITetheringCompletion> done,
                std::unique_ptr<platform::ITetheringOperation>* operation) override {
    return m_service.begin("start", "", std::move(done), operation, [this] {
      m_service.m_sessionConfig.reset();
      m_service.setStateLocked(TetheringState::On);
    });
  }
  HResult startWithSessionConfiguration(const platform::AccessPointConfig& config,
                                        std::shared_ptr<platform::ITetheringCompletion> done,
                                        std::unique_ptr<platform::ITetheringOperation>* operation) override {
    if (!m_service.m_sessionStart) {
      std::lock_guard lock(m_service.m_mutex);
      m_service.recordLocked("session-start", ConfigText(config), platform::kHotspotNoSessionStart);
      return platform::kHotspotNoSessionStart;
    }
    if (!ConfigAccepted(config)) return refuse("session-start", config);
    return m_service.begin("session-start", ConfigText(config), std::move(done), operation, [this, config] {
      m_service.m_sessionConfig = config;
      m_service.m_events.push_back("hotspot runs this session as " + ConfigText(config));
      m_service.setStateLocked(TetheringState::On);
    });
  }
  HResult stop(std::shared_ptr<platform::ITetheringCompletion> done,
               std::unique_ptr<platform::ITetheringOperation>* operation) override {
    return m_service.begin("stop", "", std::move(done), operation, [this] {
      m_service.m_sessionConfig.reset();
      m_service.setStateLocked(TetheringState::Off);
    });
  }

 private:
  HResult refuse(std::string_view operation, const platform::AccessPointConfig& config) {
    std::lock_guard lock(m_service.m_mutex);
    m_service.recordLocked(operation, ConfigText(config), platform::kE_INVALIDARG);
    return platform::kE_INVALIDARG;
  }

  SimHotspotService& m_service;
};

SimHotspotService::SimHotspotService(IHotspotServiceHost& host, const SimHotspotConfig& config,
                                     std::vector<SimProfile> profiles)
    : m_host(host),
      m_present(config.present),
      m_profilesListed(config.profiles),
      m_sessionStart(config.sessionStart),
      m_profiles(std::move(profiles)),
      m_initialState(config.state),
      m_state(config.state),
      m_config(config.config),
      m_clients(config.clients),
      m_maxClients(config.maxClients) {}

SimHotspotService::~SimHotspotService() = default;

void SimHotspotService::recordLocked(std::string_view operation, std::string_view arguments, HResult result) {
  m_calls.count(operation);
  m_host.recordCall(operation, arguments, HResultText(result));
}

std::optional<HResult> SimHotspotService::refusalLocked(std::string_view operation) {
  if (const auto fault = m_host.takeFault(operation)) return fault->result;
  if (!m_present) return platform::kHotspotClassNotRegistered;
  return std::nullopt;
}

void SimHotspotService::flushEvents() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_mutex);
    events.swap(m_events);
  }
  for (std::string& line : events) m_host.event(std::move(line));
}

HResult SimHotspotService::createManager(const platform::ProfileSelector& profile,
                                         std::unique_ptr<platform::ITetheringManager>* manager) {
  std::lock_guard lock(m_mutex);
  const bool byAdapter = !profile.adapterId.isZero();
  const auto matches = [&](const SimProfile& p) {
    return byAdapter ? p.adapterId == profile.adapterId : p.name == profile.profileName;
  };
  HResult hr = platform::kS_OK;
  if (const auto refused = refusalLocked("create")) {
    hr = *refused;
  } else if (manager == nullptr) {
    hr = platform::kE_INVALIDARG;
  } else if (!m_profilesListed || std::none_of(m_profiles.begin(), m_profiles.end(), matches)) {
    hr = platform::kHotspotNoProfile;
  } else {
    *manager = std::make_unique<Manager>(*this);
    ++m_managers;
  }
  recordLocked("create",
               byAdapter ? "adapter " + text::FormatGuid(profile.adapterId) : "profile " + Quoted(profile.profileName),
               hr);
  return hr;
}

HResult SimHotspotService::subscribeNetworkChanges(platform::INetworkChangeObserver& observer, std::int64_t* token) {
  std::lock_guard lock(m_mutex);
  HResult hr = platform::kS_OK;
  if (const auto refused = refusalLocked("subscribe")) {
    hr = *refused;
  } else if (token == nullptr) {
    hr = platform::kE_INVALIDARG;
  } else {
    *token = m_nextToken++;
    m_observers.emplace(*token, Observer{&observer, m_host.callingClient()});
  }
  recordLocked("subscribe", "", hr);
  return hr;
}

void SimHotspotService::unsubscribeNetworkChanges(std::int64_t token) {
  // Under the lock that deliveries hold: a change being told finishes first.
  std::lock_guard lock(m_mutex);
  m_observers.erase(token);
  recordLocked("unsubscribe", "token " + std::to_string(token), platform::kS_OK);
}

HResult SimHotspotService::query(std::string_view operation, std::string_view arguments,
                                 const std::function<void()>& read) {
  std::lock_guard lock(m_mutex);
  HResult hr = platform::kS_OK;
  if (const auto fault = m_host.takeFault(operation)) {
    hr = fault->result;
  } else {
    read();
  }
  recordLocked(operation, arguments, hr);
  return hr;
}

bool SimHotspotService::inFlightLocked() const {
  return !m_hung.empty() ||
         std::any_of(m_pending.begin(), m_pending.end(), [](const Delivery& d) { return d.completion != nullptr; });
}

HResult SimHotspotService::begin(std::string_view operation, std::string arguments,
                                 std::shared_ptr<platform::ITetheringCompletion> done,
                                 std::unique_ptr<platform::ITetheringOperation>* handle, std::function<void()> effect) {
  {
    std::lock_guard lock(m_mutex);
    if (done == nullptr || handle == nullptr) {
      recordLocked(operation, arguments, platform::kE_INVALIDARG);
      return platform::kE_INVALIDARG;
    }
    Delivery delivery;
    delivery.id = m_nextOperation++;
    delivery.completion = std::move(done);
    delivery.operation = std::string(operation);
    if (inFlightLocked()) {
      // The system turns it away; the program should never have asked.
      m_violations.push_back(std::string(operation) + " begun while another operation was in flight");
      if (operation == "configure") {
        delivery.result = kBusy;
      } else {
        delivery.status = TetheringStatus::OperationInProgress;
      }
      m_pending.push_back(std::move(delivery));
    } else {
      const std::optional<HotspotFault> fault = m_host.takeFault(operation);
      if (fault && fault->hangs) {
        m_hung.push_back(std::move(delivery));  // never completes, as a stuck system
        m_events.push_back("hotspot " + std::string(operation) + " never completes");
      } else {
        if (fault) {
          delivery.result = fault->result;
          delivery.status = fault->status;
          if (fault->lateMs > 0) {
            delivery.dueMs = m_host.nowMs() + fault->lateMs;
            delivery.ignoresCancel = fault->ignoresCancel;
            m_events.push_back("hotspot " + std::string(operation) + " ends in " + std::to_string(fault->lateMs) +
                               " ms");
          }
        }
        // Only an operation that ends well changes anything.
        if (delivery.result == platform::kS_OK && delivery.status == TetheringStatus::Success) {
          delivery.effect = std::move(effect);
        }
        m_pending.push_back(std::move(delivery));
      }
    }
    *handle = std::make_unique<Operation>(*this, m_nextOperation - 1);
    recordLocked(operation, arguments, platform::kS_OK);
  }
  flushEvents();
  m_host.deliveryQueued();
  return platform::kS_OK;
}

void SimHotspotService::cancel(std::uint64_t id) {
  {
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_pending.begin(), m_pending.end(), [id](const Delivery& d) { return d.id == id; });
    std::string outcome = "nothing to cancel";
    // An operation that has ended (due at once, or its time come) or ignores a cancel ends as
    // it would have; one still under way ends now, as cancelled, with no effect.
    if (it != m_pending.end() && !dueLocked(*it) && !it->ignoresCancel) {
      it->dueMs = 0;
      it->result = platform::kHotspotCancelled;
      it->effect = nullptr;
      outcome = "cancelled";
    } else if (it != m_pending.end() && it->ignoresCancel) {
      outcome = "goes on";
    }
    recordLocked("cancel", "operation " + std::to_string(id), platform::kS_OK);
    m_events.push_back("hotspot cancel: " + outcome);
  }
  flushEvents();
  m_host.deliveryQueued();
}

bool SimHotspotService::dueLocked(const Delivery& delivery) const {
  return delivery.dueMs == 0 || delivery.dueMs <= m_host.nowMs();
}

void SimHotspotService::applyDueTransitionLocked() {
  if (m_transitionOffAt && *m_transitionOffAt <= m_host.nowMs()) {
    m_transitionOffAt.reset();
    m_events.push_back("hotspot transition ended");
    setStateLocked(TetheringState::Off, false);  // nobody is told
  }
}

void SimHotspotService::setStateLocked(TetheringState state, bool told) {
  if (m_state == state) return;
  m_state = state;
  m_events.push_back("hotspot state " + TetheringStateName(state));
  if (told) queueChangeLocked();
}

void SimHotspotService::queueChangeLocked() { m_pending.push_back(Delivery{}); }

bool SimHotspotService::hasPendingDelivery() const {
  std::lock_guard lock(m_mutex);
  if (m_transitionOffAt && *m_transitionOffAt <= m_host.nowMs()) return true;
  return std::any_of(m_pending.begin(), m_pending.end(), [this](const Delivery& d) { return dueLocked(d); });
}

std::optional<std::uint64_t> SimHotspotService::nextDueMs() const {
  std::lock_guard lock(m_mutex);
  std::optional<std::uint64_t> next = m_transitionOffAt;
  for (const Delivery& d : m_pending) {
    if (d.dueMs != 0 && (!next || d.dueMs < *next)) next = d.dueMs;
  }
  return next;
}

void SimHotspotService::deliverNext() {
  std::unique_lock lock(m_mutex);
  applyDueTransitionLocked();
  const auto it = std::find_if(m_pending.begin(), m_pending.end(), [this](const Delivery& d) { return dueLocked(d); });
  if (it == m_pending.end()) {
    lock.unlock();
    flushEvents();
    return;
  }
  Delivery delivery = std::move(*it);
  m_pending.erase(it);
  if (delivery.completion == nullptr) {
    // Observers are told under the lock, so that an unsubscribe waits for them.
    for (const auto& [token, entry] : m_observers) entry.observer->networkStatusChanged();
    lock.unlock();
    flushEvents();
    return;
  }
  if (delivery.effect) delivery.effect();
  std::string outcome = delivery.result != platform::kS_OK ? HResultText(delivery.result)
                                                           : TetheringStatusName(delivery.status);
  m_events.push_back("hotspot " + delivery.operation + " completed: " + outcome);
  lock.unlock();
  flushEvents();
  delivery.completion->completed(delivery.result, delivery.status);
  if (hasPendingDelivery()) m_host.deliveryQueued();
}

void SimHotspotService::settleAfterExit() {
  {
    std::lock_guard lock(m_mutex);
    // In the order they would have ended; nobody is left to be told.
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const Delivery& a, const Delivery& b) { return a.dueMs < b.dueMs; });
    for (Delivery& delivery : m_pending) {
      if (delivery.completion == nullptr) continue;
      if (delivery.effect) delivery.effect();
      m_events.push_back("hotspot " + delivery.operation + " ended after the program: " +
                         (delivery.effect ? "done" : "nothing done"));
    }
    m_pending.clear();
    if (m_transitionOffAt) {
      m_transitionOffAt.reset();
      setStateLocked(TetheringState::Off, false);
    }
    m_observers.clear();
  }
  flushEvents();
}

void SimHotspotService::forgetClient(std::uintptr_t client) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_observers, [client](const auto& entry) { return entry.second.client == client; });
}

void SimHotspotService::machineTurnOff() {
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back("hotspot turned off by someone else");
    m_sessionConfig.reset();
    m_transitionOffAt.reset();
    setStateLocked(TetheringState::Off);
  }
  flushEvents();
  m_host.deliveryQueued();
}

void SimHotspotService::machineTransitionThenOff(std::uint32_t ms) {
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back("hotspot in transition for " + std::to_string(ms) + " ms");
    setStateLocked(TetheringState::InTransition);
    m_transitionOffAt = m_host.nowMs() + ms;
  }
  flushEvents();
  m_host.deliveryQueued();
}

void SimHotspotService::machineNetworkChange() {
  {
    std::lock_guard lock(m_mutex);
    queueChangeLocked();
  }
  m_host.event("network status changed");
  m_host.deliveryQueued();
}

void SimHotspotService::machineClientJoin() {
  {
    std::lock_guard lock(m_mutex);
    if (m_clients < m_maxClients) ++m_clients;
    queueChangeLocked();
  }
  m_host.event("hotspot client joined");
  m_host.deliveryQueued();
}

void SimHotspotService::machineClientLeave() {
  {
    std::lock_guard lock(m_mutex);
    if (m_clients > 0) --m_clients;
    queueChangeLocked();
  }
  m_host.event("hotspot client left");
  m_host.deliveryQueued();
}

TetheringState SimHotspotService::state() const {
  std::lock_guard lock(m_mutex);
  return m_state;
}

platform::AccessPointConfig SimHotspotService::config() const {
  std::lock_guard lock(m_mutex);
  return m_config;
}

std::uint32_t SimHotspotService::clients() const {
  std::lock_guard lock(m_mutex);
  return m_clients;
}

std::uint64_t SimHotspotService::callCount(std::string_view operation) const {
  std::lock_guard lock(m_mutex);
  return m_calls.of(operation);
}

std::size_t SimHotspotService::subscriptions() const {
  std::lock_guard lock(m_mutex);
  return m_observers.size();
}

std::size_t SimHotspotService::managersAlive() const {
  std::lock_guard lock(m_mutex);
  return m_managers;
}

std::vector<std::string> SimHotspotService::violations() const {
  std::lock_guard lock(m_mutex);
  return m_violations;
}

}  // namespace tethra::sim
