// The simulated mobile hotspot: tethering managers by profile, their state and configuration,
// and the network status notification. Every call is recorded; operations end and network
// changes are told on the hotspot thread, one at a time, after the causing call has returned.
#include "tethra/sim/hotspot/SimHotspotService.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "tethra/sim/text.h"

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
};

std::string HResultText(HResult hr) {
  if (hr == platform::kS_OK) return "0";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(platform::Raw(hr)));
  return text;
}

// Built in place: GCC 12 at -O3 (the MinGW-w64 Release build) reports a bogus -Wrestrict on
// "\"" + text + "\"".
std::string Quoted(const std::u16string& text) {
  std::string quoted = "\"";
  quoted += text::Utf16ToUtf8(text);
  quoted += '"';
  return quoted;
}

}  // namespace

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
  } else if (extra == kHotspotFaultStatus) {
    fault.status = static_cast<TetheringStatus>(code);
  } else {
    fault.result = HResult{static_cast<std::uint32_t>(code)};
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
  HResult configure(const platform::AccessPointConfig& config,
                    std::shared_ptr<platform::ITetheringCompletion> done) override {
    return m_service.begin("configure", "ssid " + Quoted(config.ssid) + " key " + Quoted(config.passphrase),
                           std::move(done), [this, config] {
                             m_service.m_config = config;
                             m_service.m_events.push_back("hotspot configured: ssid " + Quoted(config.ssid) +
                                                          " key " + Quoted(config.passphrase));
                           });
  }
  HResult start(std::shared_ptr<platform::ITetheringCompletion> done) override {
    return m_service.begin("start", "", std::move(done), [this] { m_service.setStateLocked(TetheringState::On); });
  }
  HResult stop(std::shared_ptr<platform::ITetheringCompletion> done) override {
    return m_service.begin("stop", "", std::move(done), [this] { m_service.setStateLocked(TetheringState::Off); });
  }

 private:
  SimHotspotService& m_service;
};

SimHotspotService::SimHotspotService(IHotspotServiceHost& host, const SimHotspotConfig& config,
                                     std::vector<platform::Guid> adapters)
    : m_host(host),
      m_present(config.present),
      m_profiles(config.profiles),
      m_adapters(std::move(adapters)),
      m_state(config.state),
      m_config(config.config),
      m_clients(config.clients),
      m_maxClients(config.maxClients) {}

SimHotspotService::~SimHotspotService() = default;

void SimHotspotService::recordLocked(std::string_view operation, std::string_view arguments, HResult result) {
  ++m_calls[std::string(operation)];
  m_host.recordCall(operation, arguments, HResultText(result));
}

HResult SimHotspotService::createManager(const platform::Guid& adapterId,
                                         std::unique_ptr<platform::ITetheringManager>* manager) {
  std::lock_guard lock(m_mutex);
  HResult hr = platform::kS_OK;
  if (const auto fault = m_host.takeFault("create")) {
    hr = fault->result;
  } else if (!m_present) {
    hr = platform::kHotspotClassNotRegistered;
  } else if (manager == nullptr) {
    hr = platform::kE_INVALIDARG;
  } else if (!m_profiles || std::find(m_adapters.begin(), m_adapters.end(), adapterId) == m_adapters.end()) {
    hr = platform::kHotspotNoProfile;
  } else {
    *manager = std::make_unique<Manager>(*this);
    ++m_managers;
  }
  recordLocked("create", "adapter " + text::FormatGuid(adapterId), hr);
  return hr;
}

HResult SimHotspotService::subscribeNetworkChanges(platform::INetworkChangeObserver& observer, std::int64_t* token) {
  std::lock_guard lock(m_mutex);
  HResult hr = platform::kS_OK;
  if (const auto fault = m_host.takeFault("subscribe")) {
    hr = fault->result;
  } else if (!m_present) {
    hr = platform::kHotspotClassNotRegistered;
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

HResult SimHotspotService::begin(std::string_view operation, std::string arguments,
                                 std::shared_ptr<platform::ITetheringCompletion> done, std::function<void()> effect) {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_mutex);
    if (done == nullptr) {
      recordLocked(operation, arguments, platform::kE_INVALIDARG);
      return platform::kE_INVALIDARG;
    }
    Delivery delivery;
    delivery.completion = std::move(done);
    delivery.operation = std::string(operation);
    const std::optional<HotspotFault> fault = m_host.takeFault(operation);
    if (fault && fault->hangs) {
      m_hung.push_back(std::move(delivery.completion));  // never completes, as a stuck system
      m_events.push_back("hotspot " + std::string(operation) + " never completes");
    } else {
      if (fault) {
        delivery.result = fault->result;
        delivery.status = fault->status;
      }
      // Only an operation that ends well changes anything.
      if (delivery.result == platform::kS_OK && delivery.status == TetheringStatus::Success) {
        delivery.effect = std::move(effect);
      }
      m_pending.push_back(std::move(delivery));
    }
    recordLocked(operation, arguments, platform::kS_OK);
    events.swap(m_events);
  }
  for (std::string& line : events) m_host.event(std::move(line));
  m_host.deliveryQueued();
  return platform::kS_OK;
}

void SimHotspotService::setStateLocked(TetheringState state) {
  if (m_state == state) return;
  m_state = state;
  m_events.push_back("hotspot state " + TetheringStateName(state));
  queueChangeLocked();
}

void SimHotspotService::queueChangeLocked() { m_pending.push_back(Delivery{}); }

bool SimHotspotService::hasPendingDelivery() const {
  std::lock_guard lock(m_mutex);
  return !m_pending.empty();
}

void SimHotspotService::deliverNext() {
  std::unique_lock lock(m_mutex);
  if (m_pending.empty()) return;
  Delivery delivery = std::move(m_pending.front());
  m_pending.pop_front();
  if (delivery.completion == nullptr) {
    // Observers are told under the lock, so that an unsubscribe waits for them.
    for (const auto& [token, entry] : m_observers) entry.observer->networkStatusChanged();
    return;
  }
  if (delivery.effect) delivery.effect();
  std::vector<std::string> events;
  events.swap(m_events);
  std::string outcome = delivery.result != platform::kS_OK ? HResultText(delivery.result)
                                                           : TetheringStatusName(delivery.status);
  events.push_back("hotspot " + delivery.operation + " completed: " + outcome);
  lock.unlock();
  for (std::string& line : events) m_host.event(std::move(line));
  delivery.completion->completed(delivery.result, delivery.status);
  if (hasPendingDelivery()) m_host.deliveryQueued();
}

void SimHotspotService::forgetClient(std::uintptr_t client) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_observers, [client](const auto& entry) { return entry.second.client == client; });
}

void SimHotspotService::machineTurnOff() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back("hotspot turned off by someone else");
    setStateLocked(TetheringState::Off);
    events.swap(m_events);
  }
  for (std::string& line : events) m_host.event(std::move(line));
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
  const auto it = m_calls.find(operation);
  return it == m_calls.end() ? 0 : it->second;
}

std::size_t SimHotspotService::subscriptions() const {
  std::lock_guard lock(m_mutex);
  return m_observers.size();
}

std::size_t SimHotspotService::managersAlive() const {
  std::lock_guard lock(m_mutex);
  return m_managers;
}

}  // namespace tethra::sim
