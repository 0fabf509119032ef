// The simulated mobile hotspot: tethering managers by profile, their state and configuration,
// and the network status notification. Every call is recorded; operations end and network
// changes are told on the hotspot thread, one at a time, after the causing call has returned.
// What the system refuses is refused here the same way (docs/hotspot-contract.md).
#include "tethra/sim/hotspot/SimHotspotService.h"

#include <algorithm>
#include <thread>
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

struct BandName {
  platform::TetheringBand band;
  std::string_view name;
};
constexpr BandName kBandNames[] = {
    {platform::TetheringBand::Auto, "auto"},
    {platform::TetheringBand::TwoPointFourGigahertz, "2.4ghz"},
    {platform::TetheringBand::FiveGigahertz, "5ghz"},
    {platform::TetheringBand::SixGigahertz, "6ghz"},
};
struct AuthenticationName {
  platform::TetheringAuthentication kind;
  std::string_view name;
};
constexpr AuthenticationName kAuthenticationNames[] = {
    {platform::TetheringAuthentication::Wpa2, "wpa2"},
    {platform::TetheringAuthentication::Wpa3TransitionMode, "wpa3-transition"},
    {platform::TetheringAuthentication::Wpa3, "wpa3"},
};

std::string ConfigText(const platform::AccessPointConfig& config) {
  std::string text = "ssid ";
  text += Quoted(config.ssid);
  text += " key ";
  text += Quoted(config.passphrase);
  if (config.band) text += " band " + TetheringBandName(*config.band);
  if (config.authentication) text += " authentication " + TetheringAuthenticationName(*config.authentication);
  return text;
}

// The access point configuration's documented limits: a name of 1 to 32 characters and a
// passphrase of 8 to 63, neither beginning nor ending with a space.
bool WithinLimits(const std::u16string& text, std::size_t least, std::size_t most) {
  return text.size() >= least && text.size() <= most && text.front() != u' ' && text.back() != u' ';
}
bool ConfigAccepted(const platform::AccessPointConfig& config) {
  return HotspotSsidAccepted(config.ssid) && HotspotPassphraseAccepted(config.passphrase);
}

// What the system answers to an operation begun while another is in flight.
constexpr HResult kBusy{0x800700AAu};  // HRESULT_FROM_WIN32(ERROR_BUSY), for a configuration

}  // namespace

bool HotspotSsidAccepted(const std::u16string& ssid) { return WithinLimits(ssid, 1, 32); }

bool HotspotPassphraseAccepted(const std::u16string& passphrase) {
  const bool printable =
      std::all_of(passphrase.begin(), passphrase.end(), [](char16_t ch) { return ch >= 0x20 && ch <= 0x7E; });
  return WithinLimits(passphrase, 8, 63) && printable;
}

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

std::optional<platform::TetheringBand> TetheringBandNamed(std::string_view name) {
  for (const BandName& entry : kBandNames) {
    if (entry.name == name) return entry.band;
  }
  return std::nullopt;
}

std::string TetheringBandName(platform::TetheringBand band) {
  for (const BandName& entry : kBandNames) {
    if (entry.band == band) return std::string(entry.name);
  }
  return std::to_string(static_cast<int>(band));
}

std::optional<platform::TetheringAuthentication> TetheringAuthenticationNamed(std::string_view name) {
  for (const AuthenticationName& entry : kAuthenticationNames) {
    if (entry.name == name) return entry.kind;
  }
  return std::nullopt;
}

std::string TetheringAuthenticationName(platform::TetheringAuthentication kind) {
  for (const AuthenticationName& entry : kAuthenticationNames) {
    if (entry.kind == kind) return std::string(entry.name);
  }
  return std::to_string(static_cast<int>(kind));
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

// One operation's handle (its IAsyncInfo): a cancel goes to the service, which knows whether
// it can still take; Close is owed once the operation has ended, before the last release.
class SimHotspotService::Operation final : public platform::ITetheringOperation {
 public:
  Operation(SimHotspotService& service, std::uint64_t id, std::string name, std::thread::id owner)
      : m_Service(service), m_Id(id), m_Name(std::move(name)), m_Owner(owner) {}
  ~Operation() override { m_Service.operationReleased(m_Id, m_Name, m_Closed); }
  void cancel() override {
    m_Service.checkThread(m_Owner, "cancel");
    m_Service.cancel(m_Id);
  }
  void close() override {
    m_Service.checkThread(m_Owner, "close");
    if (m_Closed) {
      m_Service.violation("IAsyncInfo::Close of the " + m_Name + " called twice");
      return;
    }
    m_Closed = m_Service.closeOperation(m_Id, m_Name);
  }

 private:
  SimHotspotService& m_Service;
  const std::uint64_t m_Id;
  const std::string m_Name;
  const std::thread::id m_Owner;  // the thread of the manager that began it
  bool m_Closed = false;
};

// One connection profile's tethering manager; all of them share the machine's one hotspot. It
// is used on the thread that made it and no other (docs/hotspot-contract.md, threading).
class SimHotspotService::Manager final : public platform::ITetheringManager {
 public:
  explicit Manager(SimHotspotService& service) : m_Service(service), m_Owner(std::this_thread::get_id()) {}
  ~Manager() override {
    std::lock_guard lock(m_Service.m_Mutex);
    --m_Service.m_Managers;
  }

  HResult operationalState(TetheringState* state) override {
    if (state == nullptr) return platform::kE_INVALIDARG;
    m_Service.checkThread(m_Owner, "state");
    return m_Service.query("state", "", [&] { *state = m_Service.m_State; });
  }
  HResult clientCount(std::uint32_t* count) override {
    if (count == nullptr) return platform::kE_INVALIDARG;
    m_Service.checkThread(m_Owner, "clients");
    return m_Service.query("clients", "", [&] { *count = m_Service.m_Clients; });
  }
  HResult currentConfiguration(platform::AccessPointConfig* config) override {
    if (config == nullptr) return platform::kE_INVALIDARG;
    m_Service.checkThread(m_Owner, "configuration");
    return m_Service.query("configuration", "", [&] { *config = m_Service.m_Config; });
  }
  HResult configure(const platform::AccessPointConfig& config, std::shared_ptr<platform::ITetheringCompletion> done,
                    std::unique_ptr<platform::ITetheringOperation>* operation) override {
    m_Service.checkThread(m_Owner, "configure");
    if (!ConfigAccepted(config)) return refuse("configure", config);
    if (lacksField(config)) return refuse("configure", config, platform::kHotspotLacksField);
    // No page says what a configuration does to a field it is not given: here it is not kept
    // but takes the first value the enumeration lists, so that only a caller that sets the
    // user's band and authentication kind keeps them.
    platform::AccessPointConfig stored = config;
    if (m_Service.m_HasBand && !stored.band) stored.band = platform::TetheringBand::Auto;
    if (m_Service.m_HasAuthentication && !stored.authentication) {
      stored.authentication = platform::TetheringAuthentication::Wpa2;
    }
    return m_Service.begin("configure", ConfigText(config), std::move(done), operation, [this, stored] {
      // The program has no reason to change what the user chose beyond name and passphrase.
      if (stored.band != m_Service.m_UsersConfig.band ||
          stored.authentication != m_Service.m_UsersConfig.authentication) {
        m_Service.m_Violations.push_back("configure changed the user's band or authentication kind: " +
                                         ConfigText(stored));
      }
      m_Service.m_Config = stored;
      m_Service.m_Events.push_back("hotspot configured: " + ConfigText(stored));
    });
  }
  HResult start(std::shared_ptr<platform::ITetheringCompletion> done,
                std::unique_ptr<platform::ITetheringOperation>* operation) override {
    m_Service.checkThread(m_Owner, "start");
    return m_Service.begin("start", "", std::move(done), operation, [this] {
      m_Service.m_SessionConfig.reset();
      m_Service.setStateLocked(TetheringState::On);
    });
  }
  HResult startWithSessionConfiguration(const platform::AccessPointConfig& config,
                                        std::shared_ptr<platform::ITetheringCompletion> done,
                                        std::unique_ptr<platform::ITetheringOperation>* operation) override {
    m_Service.checkThread(m_Owner, "session-start");
    if (!m_Service.m_SessionStart) {
      std::lock_guard lock(m_Service.m_Mutex);
      m_Service.recordLocked("session-start", ConfigText(config), platform::kHotspotNoSessionStart);
      return platform::kHotspotNoSessionStart;
    }
    if (!ConfigAccepted(config)) return refuse("session-start", config);
    if (lacksField(config)) return refuse("session-start", config, platform::kHotspotLacksField);
    return m_Service.begin("session-start", ConfigText(config), std::move(done), operation, [this, config] {
      m_Service.m_SessionConfig = config;
      m_Service.m_Events.push_back("hotspot runs this session as " + ConfigText(config));
      m_Service.setStateLocked(TetheringState::On);
    });
  }
  HResult stop(std::shared_ptr<platform::ITetheringCompletion> done,
               std::unique_ptr<platform::ITetheringOperation>* operation) override {
    m_Service.checkThread(m_Owner, "stop");
    return m_Service.begin("stop", "", std::move(done), operation, [this] {
      m_Service.m_SessionConfig.reset();
      m_Service.setStateLocked(TetheringState::Off);
    });
  }

 private:
  HResult refuse(std::string_view operation, const platform::AccessPointConfig& config,
                 HResult why = platform::kE_INVALIDARG) {
    std::lock_guard lock(m_Service.m_Mutex);
    m_Service.recordLocked(operation, ConfigText(config), why);
    return why;
  }
  // A band or authentication kind where the system's configuration has none to set.
  bool lacksField(const platform::AccessPointConfig& config) const {
    return (config.band && !m_Service.m_HasBand) || (config.authentication && !m_Service.m_HasAuthentication);
  }

  SimHotspotService& m_Service;
  const std::thread::id m_Owner;
};

SimHotspotService::SimHotspotService(IHotspotServiceHost& host, const SimHotspotConfig& config,
                                     std::vector<SimProfile> profiles)
    : m_Host(host),
      m_Present(config.present),
      m_ProfilesListed(config.profiles),
      m_SessionStart(config.sessionStart),
      m_HasBand(config.config.band.has_value()),
      m_HasAuthentication(config.config.authentication.has_value()),
      m_Profiles(std::move(profiles)),
      m_InitialState(config.state),
      m_State(config.state),
      m_UsersConfig(config.config),
      m_Config(config.config),
      m_Clients(config.clients),
      m_MaxClients(config.maxClients),
      m_TimeoutSetting(config.noConnectionsTimeout) {
  std::lock_guard lock(m_Mutex);
  rearmIdleTimerLocked();
}

SimHotspotService::~SimHotspotService() = default;

void SimHotspotService::recordLocked(std::string_view operation, std::string_view arguments, HResult result) {
  m_Calls.count(operation);
  m_Host.recordCall(operation, arguments, HResultText(result));
}

std::optional<HResult> SimHotspotService::refusalLocked(std::string_view operation) {
  if (const auto fault = m_Host.takeFault(operation)) return fault->result;
  if (!m_Present) return platform::kHotspotClassNotRegistered;
  return std::nullopt;
}

void SimHotspotService::flushEvents() {
  std::vector<std::string> events;
  {
    std::lock_guard lock(m_Mutex);
    events.swap(m_Events);
  }
  for (std::string& line : events) m_Host.event(std::move(line));
}

HResult SimHotspotService::createManager(const platform::ProfileSelector& profile,
                                         std::unique_ptr<platform::ITetheringManager>* manager) {
  std::lock_guard lock(m_Mutex);
  const bool byAdapter = !profile.adapterId.isZero();
  const auto matches = [&](const SimProfile& p) {
    return byAdapter ? p.adapterId == profile.adapterId : p.name == profile.profileName;
  };
  HResult hr = platform::kS_OK;
  if (const auto refused = refusalLocked("create")) {
    hr = *refused;
  } else if (manager == nullptr) {
    hr = platform::kE_INVALIDARG;
  } else if (!m_ProfilesListed || std::none_of(m_Profiles.begin(), m_Profiles.end(), matches)) {
    hr = platform::kHotspotNoProfile;
  } else {
    *manager = std::make_unique<Manager>(*this);
    ++m_Managers;
  }
  recordLocked("create",
               byAdapter ? "adapter " + text::FormatGuid(profile.adapterId) : "profile " + Quoted(profile.profileName),
               hr);
  return hr;
}

HResult SimHotspotService::subscribeNetworkChanges(platform::INetworkChangeObserver& observer, std::int64_t* token) {
  std::lock_guard lock(m_Mutex);
  HResult hr = platform::kS_OK;
  if (const auto refused = refusalLocked("subscribe")) {
    hr = *refused;
  } else if (token == nullptr) {
    hr = platform::kE_INVALIDARG;
  } else {
    *token = m_NextToken++;
    m_Observers.emplace(*token, Observer{&observer, m_Host.callingClient()});
  }
  recordLocked("subscribe", "", hr);
  return hr;
}

void SimHotspotService::unsubscribeNetworkChanges(std::int64_t token) {
  // Under the lock that deliveries hold: a change being told finishes first.
  std::lock_guard lock(m_Mutex);
  m_Observers.erase(token);
  recordLocked("unsubscribe", "token " + std::to_string(token), platform::kS_OK);
}

HResult SimHotspotService::noConnectionsTimeoutEnabled(bool* enabled) {
  if (enabled == nullptr) return platform::kE_INVALIDARG;
  {
    std::lock_guard lock(m_Mutex);
    if (!m_TimeoutSetting) {
      recordLocked("timeout", "", platform::kHotspotNoTimeoutSetting);
      return platform::kHotspotNoTimeoutSetting;
    }
  }
  return query("timeout", "", [&] { *enabled = *m_TimeoutSetting; });
}

HResult SimHotspotService::setNoConnectionsTimeout(bool enabled, std::shared_ptr<platform::ITetheringCompletion> done,
                                                   std::unique_ptr<platform::ITetheringOperation>* operation) {
  const std::string arguments = enabled ? "on" : "off";
  {
    std::lock_guard lock(m_Mutex);
    if (!m_TimeoutSetting) {
      recordLocked("set-timeout", arguments, platform::kHotspotNoTimeoutSetting);
      return platform::kHotspotNoTimeoutSetting;
    }
  }
  return begin("set-timeout", arguments, std::move(done), operation, [this, enabled] {
    m_TimeoutSetting = enabled;
    m_Events.push_back(std::string("hotspot NoConnections timeout ") + (enabled ? "on" : "off"));
    rearmIdleTimerLocked();
  });
}

void SimHotspotService::rearmIdleTimerLocked() {
  const bool idle = m_TimeoutSetting.value_or(false) && m_State == TetheringState::On && m_Clients == 0;
  if (!idle) {
    m_IdleOffAt.reset();
  } else if (!m_IdleOffAt) {
    m_IdleOffAt = m_Host.nowMs() + kNoConnectionsTimeoutMs;
  }
}

HResult SimHotspotService::query(std::string_view operation, std::string_view arguments,
                                 const std::function<void()>& read) {
  std::lock_guard lock(m_Mutex);
  HResult hr = platform::kS_OK;
  if (const auto fault = m_Host.takeFault(operation)) {
    hr = fault->result;
  } else {
    read();
  }
  recordLocked(operation, arguments, hr);
  return hr;
}

bool SimHotspotService::inFlightLocked(std::uintptr_t client, bool& own) const {
  bool any = false;
  own = false;
  const auto look = [&](const Delivery& d) {
    if (d.completion == nullptr) return;
    any = true;
    own = own || d.client == client;
  };
  std::for_each(m_Hung.begin(), m_Hung.end(), look);
  std::for_each(m_Pending.begin(), m_Pending.end(), look);
  return any;
}

void SimHotspotService::checkThread(std::thread::id owner, std::string_view operation) {
  if (std::this_thread::get_id() == owner) return;
  violation("tethering manager called from another thread than the one that made it (" + std::string(operation) +
            ")");
}

void SimHotspotService::violation(std::string text) {
  std::lock_guard lock(m_Mutex);
  if (std::find(m_Violations.begin(), m_Violations.end(), text) == m_Violations.end()) {
    m_Violations.push_back(std::move(text));
  }
}

bool SimHotspotService::closeOperation(std::uint64_t id, const std::string& name) {
  std::lock_guard lock(m_Mutex);
  recordLocked("close", "operation " + std::to_string(id), platform::kS_OK);
  if (m_Open.count(id) != 0) {
    // "You may not call Close before the asynchronous action or operation has completed."
    m_Violations.push_back("IAsyncInfo::Close of the " + name + " before it ended");
    return false;
  }
  return true;
}

void SimHotspotService::operationReleased(std::uint64_t id, const std::string& name, bool closed) {
  std::lock_guard lock(m_Mutex);
  // One still under way cannot be closed yet; once it has ended, Close comes before the release.
  if (closed || m_Open.count(id) != 0) return;
  m_Violations.push_back("the " + name + "'s last reference released without IAsyncInfo::Close");
}

HResult SimHotspotService::begin(std::string_view operation, std::string arguments,
                                 std::shared_ptr<platform::ITetheringCompletion> done,
                                 std::unique_ptr<platform::ITetheringOperation>* handle, std::function<void()> effect) {
  {
    std::lock_guard lock(m_Mutex);
    if (done == nullptr || handle == nullptr) {
      recordLocked(operation, arguments, platform::kE_INVALIDARG);
      return platform::kE_INVALIDARG;
    }
    Delivery delivery;
    delivery.id = m_NextOperation++;
    delivery.completion = std::move(done);
    delivery.operation = std::string(operation);
    delivery.client = m_Host.callingClient();
    m_Open.insert(delivery.id);
    if (bool own = false; inFlightLocked(delivery.client, own)) {
      // The system turns it away. The program should never have asked while an operation of
      // its own was in flight; one that an ended instance left running it could not know of.
      if (own) {
        m_Violations.push_back(std::string(operation) + " begun while another operation was in flight");
      }
      if (operation == "configure" || operation == "set-timeout") {
        delivery.result = kBusy;
      } else {
        delivery.status = TetheringStatus::OperationInProgress;
      }
      m_Pending.push_back(std::move(delivery));
    } else {
      const std::optional<HotspotFault> fault = m_Host.takeFault(operation);
      if (fault && fault->hangs) {
        m_Hung.push_back(std::move(delivery));  // never completes, as a stuck system
        m_Events.push_back("hotspot " + std::string(operation) + " never completes");
      } else {
        if (fault) {
          delivery.result = fault->result;
          delivery.status = fault->status;
          if (fault->lateMs > 0) {
            delivery.dueMs = m_Host.nowMs() + fault->lateMs;
            delivery.ignoresCancel = fault->ignoresCancel;
            m_Events.push_back("hotspot " + std::string(operation) + " ends in " + std::to_string(fault->lateMs) +
                               " ms");
          }
        }
        // Only an operation that ends well changes anything.
        if (delivery.result == platform::kS_OK && delivery.status == TetheringStatus::Success) {
          delivery.effect = std::move(effect);
        }
        m_Pending.push_back(std::move(delivery));
      }
    }
    *handle = std::make_unique<Operation>(*this, m_NextOperation - 1, std::string(operation),
                                          std::this_thread::get_id());
    recordLocked(operation, arguments, platform::kS_OK);
  }
  flushEvents();
  m_Host.deliveryQueued();
  return platform::kS_OK;
}

void SimHotspotService::cancel(std::uint64_t id) {
  {
    std::lock_guard lock(m_Mutex);
    const auto it = std::find_if(m_Pending.begin(), m_Pending.end(), [id](const Delivery& d) { return d.id == id; });
    std::string outcome = "nothing to cancel";
    // An operation that has ended (due at once, or its time come) or ignores a cancel ends as
    // it would have; one still under way ends now, as cancelled, with no effect.
    if (it != m_Pending.end() && !dueLocked(*it) && !it->ignoresCancel) {
      it->dueMs = 0;
      it->result = platform::kHotspotCancelled;
      it->effect = nullptr;
      outcome = "cancelled";
    } else if (it != m_Pending.end() && it->ignoresCancel) {
      outcome = "goes on";
    }
    recordLocked("cancel", "operation " + std::to_string(id), platform::kS_OK);
    m_Events.push_back("hotspot cancel: " + outcome);
  }
  flushEvents();
  m_Host.deliveryQueued();
}

bool SimHotspotService::dueLocked(const Delivery& delivery) const {
  return delivery.dueMs == 0 || delivery.dueMs <= m_Host.nowMs();
}

void SimHotspotService::applyDueTransitionLocked() {
  if (m_TransitionOffAt && *m_TransitionOffAt <= m_Host.nowMs()) {
    m_TransitionOffAt.reset();
    m_Events.push_back("hotspot transition ended");
    setStateLocked(TetheringState::Off, false);  // nobody is told
  }
  if (m_IdleOffAt && *m_IdleOffAt <= m_Host.nowMs()) {
    m_IdleOffAt.reset();
    m_SessionConfig.reset();
    m_Events.push_back("hotspot off: no client for five minutes (NoConnections timeout)");
    setStateLocked(TetheringState::Off, false);  // no page promises a notification
  }
}

void SimHotspotService::setStateLocked(TetheringState state, bool told) {
  // A state set since the transition began is the newer one: the transition is over.
  if (state != TetheringState::InTransition) m_TransitionOffAt.reset();
  if (state == TetheringState::On) m_StopRefused = false;
  if (m_State == state) return;
  m_State = state;
  m_Events.push_back("hotspot state " + TetheringStateName(state));
  rearmIdleTimerLocked();
  if (told) queueChangeLocked();
}

void SimHotspotService::queueChangeLocked() { m_Pending.push_back(Delivery{}); }

bool SimHotspotService::hasPendingDelivery() const {
  std::lock_guard lock(m_Mutex);
  if (m_TransitionOffAt && *m_TransitionOffAt <= m_Host.nowMs()) return true;
  if (m_IdleOffAt && *m_IdleOffAt <= m_Host.nowMs()) return true;
  return std::any_of(m_Pending.begin(), m_Pending.end(), [this](const Delivery& d) { return dueLocked(d); });
}

std::optional<std::uint64_t> SimHotspotService::nextDueMs() const {
  std::lock_guard lock(m_Mutex);
  std::optional<std::uint64_t> next = m_TransitionOffAt;
  if (m_IdleOffAt && (!next || *m_IdleOffAt < *next)) next = m_IdleOffAt;
  for (const Delivery& d : m_Pending) {
    if (d.dueMs != 0 && (!next || d.dueMs < *next)) next = d.dueMs;
  }
  return next;
}

void SimHotspotService::deliverNext() {
  std::unique_lock lock(m_Mutex);
  applyDueTransitionLocked();
  const auto it = std::find_if(m_Pending.begin(), m_Pending.end(), [this](const Delivery& d) { return dueLocked(d); });
  if (it == m_Pending.end()) {
    lock.unlock();
    flushEvents();
    return;
  }
  Delivery delivery = std::move(*it);
  m_Pending.erase(it);
  if (delivery.completion == nullptr) {
    // Observers are told under the lock, so that an unsubscribe waits for them.
    for (const auto& [token, entry] : m_Observers) entry.observer->networkStatusChanged();
    lock.unlock();
    flushEvents();
    return;
  }
  if (delivery.effect) delivery.effect();
  m_Open.erase(delivery.id);
  if (delivery.operation == "stop") {
    m_StopRefused = delivery.result != platform::kS_OK ? delivery.result != platform::kHotspotCancelled
                                                      : delivery.status != TetheringStatus::Success;
  }
  std::string outcome = delivery.result != platform::kS_OK ? HResultText(delivery.result)
                                                           : TetheringStatusName(delivery.status);
  m_Events.push_back("hotspot " + delivery.operation + " completed: " + outcome);
  lock.unlock();
  flushEvents();
  delivery.completion->completed(delivery.result, delivery.status);
  if (hasPendingDelivery()) m_Host.deliveryQueued();
}

void SimHotspotService::settleAfterExit() {
  std::deque<Delivery> settled;  // their completions go once the lock is left
  {
    std::lock_guard lock(m_Mutex);
    // In the order they would have ended; nobody is left to be told.
    std::stable_sort(m_Pending.begin(), m_Pending.end(),
                     [](const Delivery& a, const Delivery& b) { return a.dueMs < b.dueMs; });
    if (!m_Hung.empty()) m_LeftInFlight = true;
    for (Delivery& delivery : m_Pending) {
      if (delivery.completion == nullptr) continue;
      m_LeftInFlight = true;
      if (delivery.effect) delivery.effect();
      m_Events.push_back("hotspot " + delivery.operation + " ended after the program: " +
                         (delivery.effect ? "done" : "nothing done"));
    }
    settled.swap(m_Pending);  // still open: nobody is left to close them
    if (m_TransitionOffAt) {
      m_TransitionOffAt.reset();
      setStateLocked(TetheringState::Off, false);
    }
    m_Observers.clear();
  }
  flushEvents();
}

void SimHotspotService::forgetClient(std::uintptr_t client) {
  std::lock_guard lock(m_Mutex);
  std::erase_if(m_Observers, [client](const auto& entry) { return entry.second.client == client; });
}

void SimHotspotService::machineTurnOff(bool told) {
  {
    std::lock_guard lock(m_Mutex);
    m_Events.push_back(std::string("hotspot turned off by someone else") + (told ? "" : " (untold)"));
    m_SessionConfig.reset();
    m_TransitionOffAt.reset();
    setStateLocked(TetheringState::Off, told);
  }
  flushEvents();
  m_Host.deliveryQueued();
}

void SimHotspotService::machineTransitionThenOff(std::uint32_t ms, bool told) {
  {
    std::lock_guard lock(m_Mutex);
    m_Events.push_back("hotspot in transition for " + std::to_string(ms) + " ms" + (told ? "" : " (untold)"));
    setStateLocked(TetheringState::InTransition, told);
    m_TransitionOffAt = m_Host.nowMs() + ms;
  }
  flushEvents();
  m_Host.deliveryQueued();
}

void SimHotspotService::machineNetworkChange() {
  {
    std::lock_guard lock(m_Mutex);
    queueChangeLocked();
  }
  m_Host.event("network status changed");
  m_Host.deliveryQueued();
}

void SimHotspotService::machineClientJoin() {
  {
    std::lock_guard lock(m_Mutex);
    if (m_Clients < m_MaxClients) ++m_Clients;
    rearmIdleTimerLocked();
    queueChangeLocked();
  }
  m_Host.event("hotspot client joined");
  m_Host.deliveryQueued();
}

void SimHotspotService::machineClientLeave() {
  {
    std::lock_guard lock(m_Mutex);
    if (m_Clients > 0) --m_Clients;
    rearmIdleTimerLocked();
    queueChangeLocked();
  }
  m_Host.event("hotspot client left");
  m_Host.deliveryQueued();
}

TetheringState SimHotspotService::state() const {
  std::lock_guard lock(m_Mutex);
  return m_State;
}

platform::AccessPointConfig SimHotspotService::config() const {
  std::lock_guard lock(m_Mutex);
  return m_Config;
}

std::uint32_t SimHotspotService::clients() const {
  std::lock_guard lock(m_Mutex);
  return m_Clients;
}

std::optional<bool> SimHotspotService::noConnectionsTimeout() const {
  std::lock_guard lock(m_Mutex);
  return m_TimeoutSetting;
}

std::uint64_t SimHotspotService::callCount(std::string_view operation) const {
  std::lock_guard lock(m_Mutex);
  return m_Calls.of(operation);
}

std::size_t SimHotspotService::subscriptions() const {
  std::lock_guard lock(m_Mutex);
  return m_Observers.size();
}

std::size_t SimHotspotService::managersAlive() const {
  std::lock_guard lock(m_Mutex);
  return m_Managers;
}

bool SimHotspotService::leftInFlight() const {
  std::lock_guard lock(m_Mutex);
  return m_LeftInFlight;
}

bool SimHotspotService::stopRefused() const {
  std::lock_guard lock(m_Mutex);
  // A stop that never ends is the system's refusal too: the program asked, nothing came of it.
  const bool stuck =
      std::any_of(m_Hung.begin(), m_Hung.end(), [](const Delivery& d) { return d.operation == "stop"; });
  return (m_StopRefused || stuck) && m_State == TetheringState::On;
}

std::vector<std::string> SimHotspotService::violations() const {
  std::lock_guard lock(m_Mutex);
  return m_Violations;
}

}  // namespace tethra::sim
