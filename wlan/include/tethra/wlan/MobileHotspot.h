// CMobileHotspot: the system's mobile hotspot for one connection, as the dialog runs it where the
// Wi-Fi driver offers no hosted network. It turns the platform's asynchronous operations into
// bounded waits and the network status notification into WM_HOTSPOT_CHANGED posted to the
// dialog, at most one at a time, so that the dialog asks for the state only when it may have
// changed (nothing polls, nothing wakes while the hotspot runs undisturbed).
//
// Owner: the dialog. It owns the tethering manager and the observer; Close (or the destructor)
// unsubscribes before the observer goes. Threads: Open and Close on the dialog's thread; the
// queries and operations on the dialog's thread or the command watcher's, one at a time; the
// observer runs on the system's thread and only posts.
// Codes: S_OK; the platform call's failure; the error an operation ended with;
// HotspotStatusFailure(status) for a tethering result other than success; kHotspotTimedOut
// when an operation has not ended within kHotspotOperationTimeoutMs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "tethra/platform/handle.h"
#include "tethra/platform/hotspot.h"
#include "tethra/platform/kernel.h"
#include "tethra/platform/trace.h"
#include "tethra/platform/window.h"

namespace tethra::wlan {

// Posted to the dialog: the hotspot's state may have changed.
inline constexpr std::uint32_t WM_HOTSPOT_CHANGED = 0x8002;

// A start that checks the carrier's entitlement can take seconds; past this it counts as failed.
inline constexpr platform::Dword kHotspotOperationTimeoutMs = 30000;
inline constexpr platform::HResult kHotspotTimedOut{0x800705B4u};  // from ERROR_TIMEOUT

// A tethering result other than success, as a status of the program's own (facility ITF).
constexpr platform::HResult HotspotStatusFailure(platform::TetheringStatus status) {
  return platform::HResult{0x80040300u | (static_cast<std::uint32_t>(status) & 0xFFu)};
}

class CMobileHotspot {
 public:
  CMobileHotspot(platform::IMobileHotspot& hotspot, platform::IKernel& kernel, platform::IWindowSystem& windows,
                 platform::ITrace& trace, platform::Dword operationTimeoutMs = kHotspotOperationTimeoutMs);
  CMobileHotspot(const CMobileHotspot&) = delete;
  CMobileHotspot& operator=(const CMobileHotspot&) = delete;
  ~CMobileHotspot();

  // The tethering manager for the connection on `adapter`; network changes are posted to
  // `notify` from now on. kHotspotNoProfile: the system knows no profile for that adapter.
  platform::HResult Open(const platform::Guid& adapter, platform::Hwnd notify);
  // Ends the notifications; returns once none is being told.
  void Close();

  platform::HResult GetConfiguration(platform::AccessPointConfig& config);
  platform::HResult Configure(const platform::AccessPointConfig& config);
  platform::HResult Start();
  platform::HResult Stop();
  platform::HResult GetState(platform::TetheringState& state);
  // Started means on; a hotspot in transition is not started yet.
  platform::HResult IsStarted(bool& started);
  // The dialog has taken the posted message: the next change posts again.
  void ChangeTaken();

 private:
  class Completion;
  class Observer;
  // Runs one asynchronous operation (`begin` hands the completion to the platform) and waits.
  template <typename Begin>
  platform::HResult RunOperation(const char* name, Begin begin);

  platform::IMobileHotspot& m_hotspot;
  platform::IKernel& m_kernel;
  platform::IWindowSystem& m_windows;
  platform::ITrace& m_trace;
  const platform::Dword m_operationTimeoutMs;
  std::unique_ptr<platform::ITetheringManager> m_manager;
  std::unique_ptr<Observer> m_observer;
  std::int64_t m_token = 0;
  bool m_subscribed = false;
};

}  // namespace tethra::wlan
