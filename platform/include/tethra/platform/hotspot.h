// The system's mobile hotspot: the tethering manager made for one connection profile, and the
// network status notification that tells when its state may have changed. It is the second way
// of running the access point, for a Wi-Fi driver without a hosted network.
//
// Owner: the program owns the tethering manager it gets from createManager (unique_ptr) and
// each completion it hands to an operation (shared with the platform until the completion has
// run). Any program thread may call. Results are HRESULTs: a failure of the call itself; the
// outcome of an operation comes to its completion, once, on a thread of the system's own,
// never before the call that began it has returned. After unsubscribeNetworkChanges returns,
// no call of that observer runs or will run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tethra/platform/types.h"

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
};

// TetheringOperationalState.
enum class TetheringState : std::int32_t { Unknown = 0, On = 1, Off = 2, InTransition = 3 };

// The access point's name and passphrase as the tethering manager holds them.
struct AccessPointConfig {
  std::u16string ssid;
  std::u16string passphrase;
  bool operator==(const AccessPointConfig&) const = default;
};

// HRESULT_FROM_WIN32(ERROR_NOT_FOUND): no connection profile has the adapter asked for.
inline constexpr HResult kHotspotNoProfile{0x80070490u};
// REGDB_E_CLASSNOTREG: the system has no tethering manager (before Windows 10).
inline constexpr HResult kHotspotClassNotRegistered{0x80040154u};

class ITetheringCompletion {
 public:
  virtual ~ITetheringCompletion() = default;
  // `result`: S_OK, or the error the operation ended with; `status`: a start's or stop's
  // tethering result (Success for a configuration).
  virtual void completed(HResult result, TetheringStatus status) = 0;
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
  virtual HResult currentConfiguration(AccessPointConfig* config) = 0;
  virtual HResult configure(const AccessPointConfig& config, std::shared_ptr<ITetheringCompletion> done) = 0;
  virtual HResult start(std::shared_ptr<ITetheringCompletion> done) = 0;
  virtual HResult stop(std::shared_ptr<ITetheringCompletion> done) = 0;
};

class IMobileHotspot {
 public:
  virtual ~IMobileHotspot() = default;
  // The tethering manager for the connection profile whose network adapter is `adapterId`:
  // kHotspotClassNotRegistered (or the runtime's own failure) without one on this system,
  // kHotspotNoProfile when no profile has that adapter.
  virtual HResult createManager(const Guid& adapterId, std::unique_ptr<ITetheringManager>* manager) = 0;
  virtual HResult subscribeNetworkChanges(INetworkChangeObserver& observer, std::int64_t* token) = 0;
  virtual void unsubscribeNetworkChanges(std::int64_t token) = 0;
};

}  // namespace tethra::platform
