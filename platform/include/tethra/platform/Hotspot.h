// The system's mobile hotspot: the tethering manager made for one connection profile (the
// public side; Wi-Fi is always the private side), and the network status notification that
// tells when its state may have changed. It is the second way of running the access point, for
// a Wi-Fi driver without a hosted network. docs/hotspot-contract.md says what the system
// promises for each call and where it says so.
//
// Owner: the program owns the tethering manager it gets from createManager (unique_ptr), each
// operation handle it gets from an operation, and each completion it hands to one (shared with
// the platform until the completion has run). The manager and its operations are used only on
// the thread that made the manager; the subscription calls on any program thread. Results are
// HRESULTs: a failure of the call itself; the outcome of an operation comes to its completion,
// once, on a thread of the system's own, never before the call that began it has returned.
// After unsubscribeNetworkChanges returns, no call of that observer runs or will run.
//
// What the system keeps after the process has ended: the hotspot's state (a started hotspot
// stays on) and its persistent configuration. An operation still pending when the process ends
// runs to its end all the same.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "tethra/platform/Types.h"

namespace tethra::platform {

// TetheringOperationStatus: how a start or a stop ended.
enum class TetheringStatus : std::int32_t {
  Success = 0,
  Unknown = 1,
  MobileBroadbandDeviceOff = 2,
  WiFiDeviceOff = 3,
  EntitlementCheckTimeout = 4,
  EntitlementCheckFailure = 5,
  OperationInProgress = 6,
  BluetoothDeviceOff = 7,
  NetworkLimitedConnectivity = 8,
  AlreadyOn = 9,  // only from the start with a per-session configuration
  RadioRestriction = 10,
  BandInterference = 11,
};

// TetheringOperationalState.
enum class TetheringState : std::int32_t { Unknown = 0, On = 1, Off = 2, InTransition = 3 };

// TetheringWiFiBand (Windows 10 2004 on, UniversalApiContract 10).
enum class TetheringBand : std::int32_t { Auto = 0, TwoPointFourGigahertz = 1, FiveGigahertz = 2, SixGigahertz = 3 };
// TetheringWiFiAuthenticationKind (Windows 11 24H2 on, UniversalApiContract 19).
enum class TetheringAuthentication : std::int32_t { Wpa2 = 0, Wpa3TransitionMode = 1, Wpa3 = 2 };

// The access point's configuration: name and passphrase always; band and authentication kind
// only where the system has them (read: nothing where it lacks them; written: only those set).
struct AccessPointConfig {
  AccessPointConfig() = default;
  AccessPointConfig(std::u16string name, std::u16string key, std::optional<TetheringBand> wifiBand = std::nullopt,
                    std::optional<TetheringAuthentication> kind = std::nullopt)
      : ssid(std::move(name)), passphrase(std::move(key)), band(wifiBand), authentication(kind) {}
  std::u16string ssid;
  std::u16string passphrase;
  std::optional<TetheringBand> band;
  std::optional<TetheringAuthentication> authentication;
  bool operator==(const AccessPointConfig&) const = default;
};

// The connection profile whose connection the hotspot shares: by the id of its network adapter
// (a LAN, Wi-Fi or mobile broadband connection, whose sharing id is its adapter's), or, when
// adapterId is zero, by the profile's name (a dial-up or VPN connection, whose sharing id is
// its phone-book entry's and whose profile carries the connection's name).
struct ProfileSelector {
  Guid adapterId{};
  std::u16string profileName;
};

// HRESULT_FROM_WIN32(ERROR_NOT_FOUND): no connection profile matches the selector.
inline constexpr HResult kHotspotNoProfile{0x80070490u};
// REGDB_E_CLASSNOTREG: the system has no tethering manager (before Windows 10).
inline constexpr HResult kHotspotClassNotRegistered{0x80040154u};
// E_NOINTERFACE: the system offers no start with a per-session configuration (before the
// Windows 11 release that added it).
inline constexpr HResult kHotspotNoSessionStart{0x80004002u};
// E_NOINTERFACE: the system's access point configuration has no band (before Windows 10 2004)
// or no authentication kind (before Windows 11 24H2), and one was set.
inline constexpr HResult kHotspotLacksField{0x80004002u};
// E_NOINTERFACE: the system has no NoConnections timeout setting to read or change (before
// Windows 10 2004).
inline constexpr HResult kHotspotNoTimeoutSetting{0x80004002u};
// HRESULT_FROM_WIN32(ERROR_CANCELLED): an operation that a cancel stopped before it ended.
inline constexpr HResult kHotspotCancelled{0x800704C7u};

class ITetheringCompletion {
 public:
  virtual ~ITetheringCompletion() = default;
  // `result`: S_OK, or the error the operation ended with (kHotspotCancelled when a cancel
  // took); `status`: a start's or stop's tethering result. A configuration is an action
  // without a result: its status is always Success.
  virtual void completed(HResult result, TetheringStatus status) = 0;
};

// One operation under way (IAsyncInfo). Dropping the handle does not cancel it.
class ITetheringOperation {
 public:
  virtual ~ITetheringOperation() = default;
  // A request: an operation that has not ended yet may end as cancelled, or end as it would
  // have; its completion comes once either way. Does nothing once it has ended.
  virtual void cancel() = 0;
  // IAsyncInfo::Close: the program has taken the outcome and is done with the operation. Only
  // once its completion has run, and before the handle is dropped; nothing after it.
  virtual void close() = 0;
};

class INetworkChangeObserver {
 public:
  virtual ~INetworkChangeObserver() = default;
  virtual void networkStatusChanged() = 0;
};

class ITetheringManager {
 public:
  virtual ~ITetheringManager() = default;
  virtual HResult operationalState(TetheringState* state) = 0;
  virtual HResult clientCount(std::uint32_t* count) = 0;
  // The persistent configuration (what the system's settings show), with band and
  // authentication kind where the system has them.
  virtual HResult currentConfiguration(AccessPointConfig* config) = 0;
  // Each operation: the call's own failure, or S_OK with *operation set and `done` to come.
  // configure replaces the persistent configuration; a name of 1 to 32 characters and a
  // passphrase of 8 to 63 printable ASCII characters, neither beginning nor ending with a space,
  // or the call fails with E_INVALIDARG. A band or authentication kind set where the system
  // lacks it fails the call with kHotspotLacksField; one left unset may not stay as it was (no page
  // says), so a caller that wants it kept sets it.
  virtual HResult configure(const AccessPointConfig& config, std::shared_ptr<ITetheringCompletion> done,
                            std::unique_ptr<ITetheringOperation>* operation) = 0;
  // Starts with the persistent configuration.
  virtual HResult start(std::shared_ptr<ITetheringCompletion> done,
                        std::unique_ptr<ITetheringOperation>* operation) = 0;
  // Starts with `config` for this session only; the persistent configuration stays as it is.
  // kHotspotNoSessionStart where the system does not offer it.
  virtual HResult startWithSessionConfiguration(const AccessPointConfig& config,
                                                std::shared_ptr<ITetheringCompletion> done,
                                                std::unique_ptr<ITetheringOperation>* operation) = 0;
  virtual HResult stop(std::shared_ptr<ITetheringCompletion> done,
                       std::unique_ptr<ITetheringOperation>* operation) = 0;
};

class IMobileHotspot {
 public:
  virtual ~IMobileHotspot() = default;
  // The tethering manager for the profile `profile` selects, with Wi-Fi as the private side:
  // kHotspotClassNotRegistered (or the runtime's own failure) without one on this system,
  // kHotspotNoProfile when no profile matches.
  virtual HResult createManager(const ProfileSelector& profile, std::unique_ptr<ITetheringManager>* manager) = 0;
  virtual HResult subscribeNetworkChanges(INetworkChangeObserver& observer, std::int64_t* token) = 0;
  virtual void unsubscribeNetworkChanges(std::int64_t token) = 0;
  // The user's NoConnections timeout, a setting of the system's (not of one manager): while on,
  // the hotspot turns itself off five minutes after the last client has gone. Both answer
  // kHotspotNoTimeoutSetting where the system lacks it. The change is an operation like a
  // configuration (an action: its status is always Success).
  virtual HResult noConnectionsTimeoutEnabled(bool* enabled) = 0;
  virtual HResult setNoConnectionsTimeout(bool enabled, std::shared_ptr<ITetheringCompletion> done,
                                          std::unique_ptr<ITetheringOperation>* operation) = 0;
};

}  // namespace tethra::platform
