// The simulated mobile hotspot: the tethering manager of each connection profile, its
// operational state, persistent access point configuration and clients, and the network status
// notification, behind the program's IMobileHotspot. It follows docs/hotspot-contract.md and
// refuses what the system cannot do: a configuration outside the documented limits, an
// operation begun while another of the same program is in flight, a manager or operation used
// on another thread than the one that made the manager, an operation closed (IAsyncInfo::Close)
// before it ended or released after its end without being closed (each a violation of the
// program's), a configuration ended with a tethering result. Like the WLAN service it does not depend on the
// World: a host (IHotspotServiceHost) records its calls, hands out faults, tells the time,
// shows transcript events and runs the thread that completes operations.
//
// Threads: API calls from any program thread; machine actions from the machine; deliverNext
// only from the host's hotspot thread. An operation's completion and every network status
// notification are queued by the call or action that causes them and delivered one at a time
// by deliverNext, after that call has returned (a late operation once its time has come).
// Results: S_OK, kHotspotClassNotRegistered (`hotspot absent`), kHotspotNoProfile,
// kHotspotNoSessionStart, kHotspotLacksField, E_INVALIDARG, or the status of a `fault hotspot`
// rule.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tethra/platform/Hotspot.h"
#include "tethra/sim/ServiceCalls.h"

namespace tethra::sim {

// One connection profile as the system lists it: its network adapter's id (zero for none) and
// its name.
struct SimProfile {
  platform::Guid adapterId{};
  std::u16string name;
};

// The kinds of connection a switch shares, as the system lists their profiles.
enum class SimConnectionKind { Lan, Wlan, Wwan, Ras };

// The profile the system lists for a connection that the sharing service knows by `id` and
// `name`: a LAN, Wi-Fi or mobile broadband connection's profile has the connection's adapter
// (whose id is the connection's) and a name of the network's (not the connection's); a dial-up
// or VPN connection's profile has a tunnel adapter of its own and the connection's name.
SimProfile ProfileOfConnection(const platform::Guid& id, const std::u16string& name, SimConnectionKind kind);

// What a configuration may hold (a configure refuses anything else with E_INVALIDARG): a name
// of 1 to 32 characters, a passphrase of 8 to 63 printable ASCII characters, neither beginning
// nor ending with a space. The user's configuration at the start is held to the same.
bool HotspotSsidAccepted(const std::u16string& ssid);
bool HotspotPassphraseAccepted(const std::u16string& passphrase);

// Every operation the service answers, by the name its calls are counted and faulted under
// (`fault hotspot OPERATION ...`, `expect hotspot calls OPERATION N`).
// `timeout` reads the NoConnections timeout setting, `set-timeout` changes it.
inline constexpr std::array<std::string_view, 14> kSimHotspotOperations = {
    "create", "subscribe", "unsubscribe", "state",   "clients", "configuration", "configure",
    "start",  "session-start", "stop",    "cancel",  "close",   "timeout",       "set-timeout",
};

// The NoConnections timeout: the hotspot turns itself off this long after the last client has gone.
inline constexpr std::uint64_t kNoConnectionsTimeoutMs = 5 * 60 * 1000;

// What a scenario says about the machine's mobile hotspot (defaults: it works and is off).
struct SimHotspotConfig {
  bool present = true;  // `hotspot absent`: no tethering manager on this system
  bool profiles = true;  // `hotspot profile none`: no connection has a profile
  bool sessionStart = false;  // `hotspot session-start yes`: the start with a per-session configuration
  platform::TetheringState state = platform::TetheringState::Off;
  // Band and authentication kind: unset where the system lacks them (`hotspot band absent`,
  // `hotspot authentication absent`). By default a system of Windows 10 2004 to Windows 11
  // 23H2: a band, no authentication kind.
  platform::AccessPointConfig config{u"TethraHotspot", u"hotspot-secret", platform::TetheringBand::Auto};
  std::uint32_t clients = 0;
  std::uint32_t maxClients = 8;
  // The user's NoConnections timeout setting (on, as Windows ships it); nothing: a system
  // without it (`hotspot no-connections-timeout absent`).
  std::optional<bool> noConnectionsTimeout = true;
};

// A planted failure. For the operations (`configure`, `start`, `session-start`, `stop`): the
// call works and the operation ends with `status` (a tethering result; never for `configure`)
// or `result` (an error), never ends (`hangs`), or ends well only `lateMs` after the call, when
// the program may have stopped waiting (a cancel before then takes, unless `ignoresCancel`).
// For the other operations: the call itself fails with `result`.
struct HotspotFault {
  platform::HResult result = platform::kS_OK;
  platform::TetheringStatus status = platform::TetheringStatus::Success;
  bool hangs = false;
  std::uint32_t lateMs = 0;
  bool ignoresCancel = false;
};

// The fault a `fault hotspot OPERATION RESULT` rule plants, from the rule's code and extra:
// extra kHotspotFaultHangs for `hangs`, kHotspotFaultStatus when the code is a tethering result,
// kHotspotFaultLate (code: the milliseconds) for `late MS`, kHotspotFaultLateIgnoringCancel for
// `late MS ignores-cancel`, otherwise the code is an HRESULT.
inline constexpr std::int64_t kHotspotFaultHResult = -1;
inline constexpr std::int64_t kHotspotFaultStatus = 1;
inline constexpr std::int64_t kHotspotFaultHangs = 2;
inline constexpr std::int64_t kHotspotFaultLate = 3;
inline constexpr std::int64_t kHotspotFaultLateIgnoringCancel = 4;
HotspotFault HotspotFaultOf(std::int64_t code, std::int64_t extra);

// The texts a scenario writes for the tethering results, `wifi-off` for WiFiDeviceOff and so on.
std::optional<platform::TetheringStatus> TetheringStatusNamed(std::string_view name);
std::string TetheringStatusName(platform::TetheringStatus status);
std::string TetheringStateName(platform::TetheringState state);
// `auto`, `2.4ghz`, `5ghz`, `6ghz`; `wpa2`, `wpa3-transition`, `wpa3`.
std::optional<platform::TetheringBand> TetheringBandNamed(std::string_view name);
std::string TetheringBandName(platform::TetheringBand band);
std::optional<platform::TetheringAuthentication> TetheringAuthenticationNamed(std::string_view name);
std::string TetheringAuthenticationName(platform::TetheringAuthentication kind);

// Calls are recorded under the operation's name; observers belong to the calling client.
class IHotspotServiceHost : public IServiceHost {
 public:
  virtual std::optional<HotspotFault> takeFault(std::string_view operation) = 0;
  // Something was queued for the hotspot thread: wake it.
  virtual void deliveryQueued() = 0;
  // The host's clock in milliseconds (virtual time in the simulator), for late operations.
  virtual std::uint64_t nowMs() = 0;
};

class SimHotspotService final : public platform::IMobileHotspot {
 public:
  // `profiles`: the connection profiles the system lists (one per connection the machine knows).
  SimHotspotService(IHotspotServiceHost& host, const SimHotspotConfig& config, std::vector<SimProfile> profiles);
  SimHotspotService(const SimHotspotService&) = delete;
  SimHotspotService& operator=(const SimHotspotService&) = delete;
  ~SimHotspotService() override;

  // --- IMobileHotspot ---------------------------------------------------------------------------
  platform::HResult createManager(const platform::ProfileSelector& profile,
                                  std::unique_ptr<platform::ITetheringManager>* manager) override;
  platform::HResult subscribeNetworkChanges(platform::INetworkChangeObserver& observer,
                                            std::int64_t* token) override;
  void unsubscribeNetworkChanges(std::int64_t token) override;
  platform::HResult noConnectionsTimeoutEnabled(bool* enabled) override;
  platform::HResult setNoConnectionsTimeout(bool enabled, std::shared_ptr<platform::ITetheringCompletion> done,
                                            std::unique_ptr<platform::ITetheringOperation>* operation) override;

  // --- What the Windows runtime shows besides (the planted activation library) ------------------
  // The connection profiles the system lists; without profiles (`hotspot profile none`)
  // createManager refuses each of them.
  const std::vector<SimProfile>& profiles() const { return m_Profiles; }
  bool sessionStartOffered() const { return m_SessionStart; }

  // --- Hotspot thread ---------------------------------------------------------------------------
  // Something is due now: a completion, a network status change, a late operation whose time
  // has come, or the end of a transition.
  bool hasPendingDelivery() const;
  // When the next late operation or transition is due (host's clock), if any.
  std::optional<std::uint64_t> nextDueMs() const;
  void deliverNext();
  // Drops the observers of a client whose process has ended, as the system does.
  void forgetClient(std::uintptr_t client);
  // The program's process has ended: what it left pending runs to its end as the system's
  // would (a late operation not cancelled takes effect; a hung one never does), with no
  // completion to tell.
  void settleAfterExit();

  // --- Machine actions (timeline) ---------------------------------------------------------------
  // Someone else turns the hotspot off, told by the network status notification or not (no
  // page promises it: the scenario says which).
  void machineTurnOff(bool told);
  void machineNetworkChange();  // a network status change that leaves the hotspot as it is
  void machineClientJoin();
  void machineClientLeave();
  // The hotspot goes into transition (told or not), then `ms` later is off, with no change told.
  void machineTransitionThenOff(std::uint32_t ms, bool told);

  // --- Inspection (expectations) ----------------------------------------------------------------
  platform::TetheringState state() const;
  platform::AccessPointConfig config() const;
  std::uint32_t clients() const;
  // The NoConnections timeout setting; nothing where the system lacks it.
  std::optional<bool> noConnectionsTimeout() const;
  std::uint64_t callCount(std::string_view operation) const;
  std::size_t subscriptions() const;
  std::size_t managersAlive() const;
  // What the program did that the system does not allow (an operation begun while another was in
  // flight, a call on the wrong thread, a Close missed or too early) or that the user would not
  // (a configuration that changed the user's band or authentication kind), one line each;
  // checked after every scenario.
  std::vector<std::string> violations() const;
  // The hotspot is on because the system refused the last stop asked (and nothing started it
  // since), or a stop asked never ends: the end check excuses it, as the sharing check excuses
  // a refused switch-off.
  bool stopRefused() const;
  // An operation of the program's was still in flight when its process ended: what it kept the
  // program from asking (the user's settings back) the end check does not hold against it.
  bool leftInFlight() const;
  // The state when the service was made: the hotspot must be off at the end unless it was on.
  platform::TetheringState initialState() const { return m_InitialState; }
  // Whether the system's configuration has a band / an authentication kind.
  bool hasBand() const { return m_HasBand; }
  bool hasAuthentication() const { return m_HasAuthentication; }

 private:
  class Manager;
  class Operation;
  // One thing for the hotspot thread to tell: an operation's end (completion set) or a network
  // status change (no completion).
  struct Delivery {
    std::uint64_t id = 0;
    std::shared_ptr<platform::ITetheringCompletion> completion;
    std::string operation;
    platform::HResult result = platform::kS_OK;
    platform::TetheringStatus status = platform::TetheringStatus::Success;
    std::function<void()> effect;  // applied just before the completion runs
    std::uint64_t dueMs = 0;  // 0: at once
    bool ignoresCancel = false;
    std::uintptr_t client = 0;  // the program process that began it
  };

  // Manager operations, under the lock.
  platform::HResult query(std::string_view operation, std::string_view arguments,
                          const std::function<void()>& read);
  platform::HResult begin(std::string_view operation, std::string arguments,
                          std::shared_ptr<platform::ITetheringCompletion> done,
                          std::unique_ptr<platform::ITetheringOperation>* handle, std::function<void()> effect);
  void cancel(std::uint64_t id);
  // Whether an operation is in flight, and (`own`) one of `client`'s.
  bool inFlightLocked(std::uintptr_t client, bool& own) const;
  // A violation, unless it is recorded already.
  void violation(std::string text);
  void checkThread(std::thread::id owner, std::string_view operation);
  // The operation's handle: Close (false when too early) and its release.
  bool closeOperation(std::uint64_t id, const std::string& name);
  void operationReleased(std::uint64_t id, const std::string& name, bool closed);
  bool dueLocked(const Delivery& delivery) const;
  void applyDueTransitionLocked();
  // The NoConnections timer: running while the setting is on, the hotspot on and no client
  // connected; stopped otherwise.
  void rearmIdleTimerLocked();
  void setStateLocked(platform::TetheringState state, bool told = true);
  void queueChangeLocked();
  void recordLocked(std::string_view operation, std::string_view arguments, platform::HResult result);
  // What refuses a manager's creation or a subscription first: a planted fault, or no tethering
  // manager on this system.
  std::optional<platform::HResult> refusalLocked(std::string_view operation);
  void flushEvents();

  IHotspotServiceHost& m_Host;
  mutable std::recursive_mutex m_Mutex;
  const bool m_Present;
  const bool m_ProfilesListed;
  const bool m_SessionStart;
  const bool m_HasBand;
  const bool m_HasAuthentication;
  const std::vector<SimProfile> m_Profiles;
  const platform::TetheringState m_InitialState;
  platform::TetheringState m_State;
  const platform::AccessPointConfig m_UsersConfig;  // as the user had it before the program
  platform::AccessPointConfig m_Config;  // persistent
  std::optional<platform::AccessPointConfig> m_SessionConfig;  // while a per-session start runs
  std::uint32_t m_Clients;
  std::uint32_t m_MaxClients;
  std::optional<std::uint64_t> m_TransitionOffAt;
  std::optional<bool> m_TimeoutSetting;  // nothing: the system lacks it
  std::optional<std::uint64_t> m_IdleOffAt;  // when the NoConnections timeout turns it off

  struct Observer {
    platform::INetworkChangeObserver* observer = nullptr;
    std::uintptr_t client = 0;
  };
  std::map<std::int64_t, Observer> m_Observers;
  std::int64_t m_NextToken = 1;
  std::uint64_t m_NextOperation = 1;
  std::deque<Delivery> m_Pending;
  std::vector<Delivery> m_Hung;  // operations that never end (and ignore a cancel)
  std::set<std::uint64_t> m_Open;  // operations begun and not ended
  bool m_StopRefused = false;
  bool m_LeftInFlight = false;
  CallCounts m_Calls;
  std::size_t m_Managers = 0;
  std::vector<std::string> m_Violations;
  std::vector<std::string> m_Events;  // shown once the lock is left
};

}  // namespace tethra::sim
