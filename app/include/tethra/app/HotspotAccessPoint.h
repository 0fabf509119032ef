// CHotspotAccessPoint: the one owner of the system's mobile hotspot while it stands in for the
// hosted network. It turns what the program wants (start with this name and key, rename, end)
// into operations run one at a time on the dialog's thread, each ending as a message the
// dialog's loop hands back here, so that suspend, close and the watcher's commands are never
// held up behind a pending operation. It leaves the user's own hotspot settings as they were:
// it starts with a per-session configuration where the system offers one, and elsewhere saves
// the persistent configuration before changing it and puts it back at every end; the user's
// NoConnections timeout is off while it runs the hotspot and back at every end.
//
// Owner: CHotspotStandIn (held by the dialog's CHostedNetworkSession), for the life of the
// process once the hotspot stands in. It owns the CMobileHotspot, whose tethering manager only
// the dialog's thread uses. Threads: the dialog's thread for everything but Rename and SetKey (the
// command watcher's; Rename hands the work to the dialog's thread and waits) and the two queries
// (either thread: they answer what the dialog's thread last read or learnt, never the manager).
// Codes: the events report the HRESULT an operation ended with (see CMobileHotspot).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tethra/app/AccessPoint.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Hotspot.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/Window.h"
#include "tethra/wlan/MobileHotspot.h"

namespace tethra::app {

// Posted to the dialog by the command watcher: a rename waits for the dialog's thread.
inline constexpr std::uint32_t WM_HOTSPOT_RENAME = 0x8004;

// A pending operation that the end of the program cancels gets this long to end, and so does
// each operation the end itself runs: the program ends promptly whatever the system does.
inline constexpr platform::Dword kHotspotEndWaitMs = 5000;
// A state read as in transition is read again for as long as the transition lasts: first after
// this, then twice as long each time, never further apart than the longest.
inline constexpr platform::Dword kHotspotLookAgainFirstMs = 1000;
inline constexpr platform::Dword kHotspotLookAgainLongestMs = 60000;

// What the owner tells CHostedNetworkSession, on the dialog's thread.
struct HotspotEvents {
  std::function<void()> started;  // the hotspot runs with the name and key in force
  std::function<void(platform::HResult)> startFailed;
  std::function<void()> stoppedElsewhere;  // someone else turned it off
};

class CHotspotAccessPoint final : public IAccessPoint {
 public:
  CHotspotAccessPoint(std::unique_ptr<wlan::CMobileHotspot> hotspot, platform::IKernel& kernel,
                      platform::IWindowSystem& windows, platform::Hwnd dialog, platform::ITrace& trace,
                      HotspotEvents events);
  CHotspotAccessPoint(const CHotspotAccessPoint&) = delete;
  CHotspotAccessPoint& operator=(const CHotspotAccessPoint&) = delete;

  // Dialog's thread. `wanted`: the hosted network's name and key, or nothing to run the
  // hotspot's own configuration. Fills `inForce` with what will run (or runs: a hotspot found
  // on is adopted as it is) before anything begins; false when the hotspot cannot be read.
  bool Prepare(const std::optional<platform::AccessPointConfig>& wanted, platform::AccessPointConfig& inForce,
               platform::HResult& hr);
  // Begins the start prepared (or reports an adopted hotspot as started).
  void Start();
  void OnOperationMessage(std::uint64_t number);
  // `watching`: the dialog is running and wants to hear that someone else stopped the hotspot.
  // `scheduled`: the look LookAgainLater asked for, not a change the system told of.
  void OnChangeMessage(bool watching, bool scheduled);
  void OnRenameMessage();
  // For every end, once: cancels what is pending unless it is a stop (bounded), turns the
  // hotspot off (one stop, bounded, never cancelled), puts the user's settings back (bounded),
  // and ends the network status notifications (returns once none is being told). Blocks; a
  // second call does nothing.
  void FinishForEnd() override;
  // The same, for the ends that stop the access point first.
  platform::HResult Stop(bool /*sharingStopped*/) override {
    TETHRA_CHECK_THREAD(m_DialogThread);
    FinishForEnd();
    return platform::kS_OK;
  }
  // Its state is its own: the hosted network's records are about something else.
  bool FollowsHostedNetworkRecords() const override {
    TETHRA_CHECK_THREAD(m_DialogThread);
    return false;
  }

  // Command watcher's thread: the new name and key into force together, through the dialog's
  // thread. 1 when they are in force (or will be at the next start), 0 when not. A rename
  // asked while the hotspot starts runs once it is on, and only then returns. The key came
  // with the name: SetKey has nothing left to do.
  platform::Bool32 Rename(const platform::AccessPointConfig& wanted, bool started,
                          const std::function<void()>& nameHandedOver) override;
  void SetKey(const std::u16string&) override { TETHRA_CHECK_THREAD(m_WatcherThread); }

  // The dialog's thread or the watcher's: the state and the name as the dialog's thread last
  // read or learnt them.
  platform::HResult IsStarted(bool& started) override;
  platform::HResult GetName(std::u16string& name) override;

 private:
  enum class Purpose { None, Starting, Renaming, Restoring, Undoing };
  struct Step {
    wlan::HotspotOperation operation;
    platform::AccessPointConfig config;
  };
  // Shared by the watcher that asks and the dialog's thread that answers, whichever lets go last.
  struct RenameRequest {
    platform::AccessPointConfig wanted;
    platform::UniqueKernelHandle done;  // set once `result` holds
    std::atomic<platform::Bool32> result{0};
  };

  void Run(Purpose purpose, std::deque<Step> steps);
  void Advance();
  void Finished(platform::HResult hr);
  void AfterGivenUp(const wlan::HotspotOutcome& outcome);
  void RestoreIfNeeded();
  void LeaveAsFound();
  void StartRenameIfAny();
  void CompleteRename(platform::Bool32 result);
  void SaveSettingsOnce(const platform::AccessPointConfig& current);
  // The state read, and kept for the queries.
  platform::HResult ReadState(platform::TetheringState& state);
  // What an operation that ended well says of the state, kept for the queries.
  void NoteOutcome(const wlan::HotspotOutcome& outcome);
  // The state and the name in force read for the watcher, whose rename failed.
  void ReadBack();
  // The user's NoConnections timeout: a step that switches it off before the start where it is
  // on, and at the end (bounded) back on where it was switched off.
  void SwitchOffTimeoutFirst(std::deque<Step>& steps);
  void GiveBackTimeout();
  // At the end (bounded): the user's persistent configuration, where ours replaced it.
  void GiveBackConfiguration();
  void SetInForce(const platform::AccessPointConfig& config);
  static const char* PurposeName(Purpose purpose);

  // Checked builds stop the process when a method runs off the thread its comment names.
  base::CThreadChecker m_DialogThread;  // the constructing thread
  base::CThreadChecker m_WatcherThread{base::ThreadBinding::BindOnFirstUse};
  std::unique_ptr<wlan::CMobileHotspot> m_Hotspot;
  platform::IKernel& m_Kernel;
  platform::IWindowSystem& m_Windows;
  const platform::Hwnd m_Dialog;
  platform::ITrace& m_Trace;
  HotspotEvents m_Events;

  // Dialog's thread.
  Purpose m_Purpose = Purpose::None;
  std::deque<Step> m_Steps;
  bool m_Adopted = false;
  std::atomic<bool> m_RanSession{false};  // the hotspot runs with a per-session configuration
  std::optional<platform::AccessPointConfig> m_Saved;  // the user's, while ours is in place
  std::optional<platform::AccessPointConfig> m_Prepared;  // the start's, when it differs
  platform::Dword m_LookAgainMs = 0;  // the last look's delay while a transition is followed
  bool m_LookScheduled = false;  // a look asked for has not come yet
  bool m_Ended = false;
  std::u16string m_SessionAsked;  // the name of the per-session start in flight
  std::u16string m_SessionName;  // the name the per-session start that ended well ran with
  bool m_TimeoutToGiveBack = false;  // the user's NoConnections timeout was on and we asked it off
  std::shared_ptr<RenameRequest> m_Renaming;

  std::mutex m_Mutex;  // over the ones below
  platform::AccessPointConfig m_InForce;
  std::shared_ptr<RenameRequest> m_RenameAsked;
  platform::HResult m_SeenState = platform::kE_UNEXPECTED;  // nothing read yet
  bool m_SeenOn = false;
  platform::HResult m_SeenName = platform::kS_OK;
  std::u16string m_SeenNameText;
};

}  // namespace tethra::app
