// CMobileHotspot: the system's mobile hotspot for one connection, as the dialog drives it where
// the Wi-Fi driver offers no hosted network. Operations never block: each begins on the
// dialog's thread, at most one is in flight, and its end (or its bound passing) comes back as
// WM_HOTSPOT_OPERATION posted to the dialog, whose loop keeps dispatching meanwhile. The network
// status notification becomes WM_HOTSPOT_CHANGED, at most one posted at a time, so that the
// dialog asks for the state only when it may have changed (nothing polls while nothing changes).
// Only the ends of the program wait, bounded (SettleForEnd and the operations it runs).
//
// Owner: the dialog (through CHotspotAccessPoint). It owns the tethering manager, the observer
// and the operation in flight; Close (or the destructor) unsubscribes before the observer goes.
// Threads: everything on the dialog's thread, which made the tethering manager (the queries
// too: the manager is used on no other thread); the completion and the observer run on the system's thread
// and only record and post; each operation's bound runs on a thread of its own that only posts.
// Each operation's IAsyncInfo is closed once its outcome is taken, before its handle goes.
// Codes: S_OK; kHotspotBusy when an operation is in flight; the platform call's failure; in an
// outcome, the error an operation ended with, HotspotStatusFailure(status) for a tethering
// result other than success, kHotspotCancelled, or kHotspotTimedOut past the bound.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Hotspot.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/Window.h"

namespace tethra::wlan {

// Posted to the dialog: the hotspot's state may have changed.
inline constexpr std::uint32_t WM_HOTSPOT_CHANGED = 0x8002;
// Its wParam when it is the look asked for with LookAgainLater (0 for a change).
inline constexpr platform::WParam kHotspotLookAgain = 1;
// Posted to the dialog: the operation in flight has ended or gone past its bound (wParam: its
// number); TakeOutcome says which.
inline constexpr std::uint32_t WM_HOTSPOT_OPERATION = 0x8003;

// A start that checks the carrier's entitlement can take seconds; past this it counts as failed
// and is cancelled.
inline constexpr platform::Dword kHotspotOperationTimeoutMs = 30000;
inline constexpr platform::HResult kHotspotTimedOut{0x800705B4u};  // from ERROR_TIMEOUT
inline constexpr platform::HResult kHotspotBusy{0x800700AAu};      // from ERROR_BUSY

// A tethering result other than success, as a status of the program's own (facility ITF).
constexpr platform::HResult HotspotStatusFailure(platform::TetheringStatus status) {
  return platform::HResult{0x80040300u | (static_cast<std::uint32_t>(status) & 0xFFu)};
}

// EnableTimeout and DisableTimeout change the user's NoConnections timeout setting.
enum class HotspotOperation { Configure, Start, SessionStart, Stop, EnableTimeout, DisableTimeout };

// What became of the operation a WM_HOTSPOT_OPERATION is about.
struct HotspotOutcome {
  HotspotOperation operation = HotspotOperation::Configure;
  platform::HResult result = platform::kS_OK;  // meaningful once `ended`
  bool ended = false;  // false: the bound has passed and the operation still runs (cancelled)
  bool givenUp = false;  // it had gone past its bound before it ended
};

class CMobileHotspot {
 public:
  CMobileHotspot(platform::IMobileHotspot& hotspot, platform::IKernel& kernel, platform::IWindowSystem& windows,
                 platform::ITrace& trace, platform::Dword operationTimeoutMs = kHotspotOperationTimeoutMs);
  CMobileHotspot(const CMobileHotspot&) = delete;
  CMobileHotspot& operator=(const CMobileHotspot&) = delete;
  ~CMobileHotspot();

  // The tethering manager for the selected profile; network changes and operation ends are
  // posted to `notify` from now on. kHotspotNoProfile: the system knows no such profile.
  platform::HResult Open(const platform::ProfileSelector& profile, platform::Hwnd notify);
  // Ends the notifications; returns once none is being told.
  void Close();

  platform::HResult GetConfiguration(platform::AccessPointConfig& config);
  platform::HResult GetState(platform::TetheringState& state);
  // Started means on; a hotspot in transition is not started yet.
  platform::HResult IsStarted(bool& started);

  platform::HResult BeginConfigure(const platform::AccessPointConfig& config);
  platform::HResult BeginStart();
  platform::HResult BeginSessionStart(const platform::AccessPointConfig& config);
  platform::HResult BeginStop();
  // The NoConnections timeout: read (kHotspotNoTimeoutSetting where the system lacks it), and
  // switched on or off as an operation like the others.
  platform::HResult GetNoConnectionsTimeout(bool& enabled);
  platform::HResult BeginSetNoConnectionsTimeout(bool enabled);
  bool Busy() const { return m_Current != nullptr; }
  // For a WM_HOTSPOT_OPERATION: false when the message is stale (about an operation already
  // taken). An outcome with `ended` false leaves the operation in flight (cancelled, unless it
  // is a stop); its end comes as one more message, with `givenUp` set.
  bool TakeOutcome(std::uint64_t number, HotspotOutcome& outcome);

  // For an end of the program: cancels the operation in flight (never a stop: a cancelled stop
  // can only leave the hotspot on) and waits up to `boundMs` for it to end. True when nothing is
  // in flight any more (the outcome is dropped); false leaves it to finish on its own.
  bool SettleForEnd(platform::Dword boundMs, HotspotOutcome* ended = nullptr);
  // For an end: one operation begun and waited for, up to `boundMs`; its result, or
  // kHotspotTimedOut (then it stays in flight: cancelled, or a stop left to finish).
  platform::HResult RunForEnd(HotspotOperation operation, const platform::AccessPointConfig& config,
                              platform::Dword boundMs);

  // The dialog has taken the posted WM_HOTSPOT_CHANGED: the next change posts again.
  void ChangeTaken();
  // Asks for the state again `delayMs` from now (a WM_HOTSPOT_CHANGED with kHotspotLookAgain),
  // for a state read while in transition, which no notification is promised to end.
  void LookAgainLater(platform::Dword delayMs);

 private:
  class Completion;
  class Observer;
  platform::HResult Begin(HotspotOperation operation, const platform::AccessPointConfig& config);
  // Begin, and a thread that posts the outcome message if the operation outlives its bound.
  platform::HResult BeginBounded(HotspotOperation operation, const platform::AccessPointConfig& config);
  void StartBound(const std::shared_ptr<Completion>& completion, platform::Dword boundMs);
  // Waits for the operation in flight; true (and taken) when it ended within `boundMs`.
  bool WaitForEnd(platform::Dword boundMs, HotspotOutcome* ended);
  // Cancels the operation in flight unless it is a stop; true when asked to cancel.
  bool CancelUnlessStop();
  // The operation in flight has ended and its outcome is taken: closed and let go.
  void DropCurrent();

  platform::IMobileHotspot& m_Hotspot;
  platform::IKernel& m_Kernel;
  platform::IWindowSystem& m_Windows;
  platform::ITrace& m_Trace;
  const platform::Dword m_OperationTimeoutMs;
  platform::Hwnd m_Notify = nullptr;
  std::unique_ptr<platform::ITetheringManager> m_Manager;
  std::unique_ptr<Observer> m_Observer;
  std::int64_t m_Token = 0;
  bool m_Subscribed = false;
  std::uint64_t m_NextNumber = 1;
  std::shared_ptr<Completion> m_Current;  // the operation in flight
  std::unique_ptr<platform::ITetheringOperation> m_CurrentHandle;
  base::CThreadChecker m_Thread;  // the constructing thread: the dialog's
};

}  // namespace tethra::wlan
