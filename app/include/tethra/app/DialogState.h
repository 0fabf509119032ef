// CDialogState: where the dialog is in its life, as one phase, and the few facts the registry
// command watcher shares with the dialog's thread.
//
// Owner: the dialog (by value). Threads: the phase moves on the dialog's thread only, through
// one method per event; every thread may read it (Closing() is the watcher's test). A method
// whose event cannot happen in the current phase refuses it: the phase stays and it returns
// false. Every transition that takes place returns true. No other codes.
//
//   Created --BeginStartup--> Starting --TakeNotifications--> StartingLive --FinishStartup--> Running
//   Starting --ReportStartupFailure--> StartFailed      (start-up gave up; waits to be closed)
//   StartingLive --ReportStartupFailure--> Running      (reported once; the start-up goes on)
//   Starting --ConnectionMissing--> ConnectionMissing   (closing; waits to be closed)
//   StartingLive --ConnectionMissing--> Ending
//   any but Ending and Ended --BeginEnd--> Ending --StopTakingNotifications--> Ended
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tethra/app/SharedText.h"
#include "tethra/base/ThreadChecker.h"

namespace tethra::app {

enum class DialogPhase : std::uint8_t {
  Created,            // constructed; the window not yet initialised
  Starting,           // OnInitDialog reads the system; notifications wait
  StartingLive,       // OnInitDialog starts the network and sharing; notifications are taken
  Running,            // started up, or its failure reported: notifications are taken
  StartFailed,        // start-up gave up (sharing or WLAN could not be initialised)
  ConnectionMissing,  // the connection to share is missing: closing, notifications left off
  Ending,             // a way out has begun: closing; notifications are drained, not acted on
  Ended,              // the way out has stopped the network: notifications left off
};

const char* PhaseName(DialogPhase phase);

class CDialogState {
 public:
  CDialogState() = default;
  CDialogState(const CDialogState&) = delete;
  CDialogState& operator=(const CDialogState&) = delete;

  DialogPhase Phase() const { return m_Phase.load(); }

  // Events, dialog's thread.
  bool BeginStartup();
  bool TakeNotifications();
  bool FinishStartup();  // from Running or Ending as well (a failure or an end came first): no move
  // A failure reported to the controller; true only for the start-up's first such report (a
  // later one, e.g. the mobile hotspot's failed start, changes nothing and returns false).
  bool ReportStartupFailure();
  bool ConnectionMissing();
  bool BeginEnd();
  bool StopTakingNotifications();

  bool StartingUp() const;          // Starting, StartingLive
  bool TakesNotifications() const;  // StartingLive, Running, Ending
  bool Closing() const;             // ConnectionMissing, Ending, Ended; any thread

  // Whether the access point runs, as the program last saw it. Written on the dialog's thread,
  // read on both (the watcher's rename restarts only a running network).
  bool Started() const { return m_Started.load(); }
  void NoteStarted(bool started) { m_Started.store(started); }

  // The controller asked for the close, or a rename failed: no more status codes. Written on
  // the watcher thread, read on both.
  bool SilentClose() const { return m_SilentClose.load(); }
  void CloseSilently() { m_SilentClose.store(true); }

  // A rename is under way: the hosted network's reports are its own doing and are dropped.
  // Written on the watcher thread, read on the dialog's.
  bool RenameFinished() const { return m_RenameFinished.load(); }
  void BeginRename() { m_RenameFinished.store(false); }
  void FinishRename() { m_RenameFinished.store(true); }

  // The name and key in force (what the access point holds, as last read or set) and the name
  // and key the next start asks for (what the edits show). Both threads read and replace them.
  CSharedText& NameInForce() { return m_NameInForce; }
  CSharedText& KeyInForce() { return m_KeyInForce; }
  CSharedText& NameToUse() { return m_NameToUse; }
  CSharedText& KeyToUse() { return m_KeyToUse; }

 private:
  bool Move(DialogPhase from, DialogPhase to);

  base::CThreadChecker m_Mover;  // the constructing thread: the dialog's
  std::atomic<DialogPhase> m_Phase{DialogPhase::Created};
  std::atomic<bool> m_Started{false};
  std::atomic<bool> m_SilentClose{false};
  std::atomic<bool> m_RenameFinished{true};
  CSharedText m_NameInForce;
  CSharedText m_KeyInForce;
  CSharedText m_NameToUse;
  CSharedText m_KeyToUse;
};

}  // namespace tethra::app
