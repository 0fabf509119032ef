// CCommandChannel: the program's side of the registry command channel. Its watcher thread
// waits for the controller's commands ("close"; "ssid": rename the access point, restart it,
// take the new key, announce name and key) and carries them out, but only once the dialog's
// start-up has opened the gate: the window, controls and controller window are set by then.
//
// Owner: the dialog (by value), for the life of the process. Threads: the dialog's thread
// makes it, starts the watcher, opens the gate and wakes the watcher for the end; everything
// else runs on the watcher thread, which reaches the rest of the program only through its
// ICommandTarget (the session). The dialog's state (closing, silent close, rename finished,
// started, names) is shared through CDialogState's atomics and shared texts.
// Codes: a failed rename reports "CHANGE_SSID_FAILED" and closes the program.
#pragma once

#include <atomic>
#include <string>

#include "tethra/app/CommandTarget.h"
#include "tethra/app/DialogState.h"
#include "tethra/app/StartupGate.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Platform.h"

namespace tethra::app {

class CCommandChannel {
 public:
  CCommandChannel(const platform::Platform& platform, CDialogState& state, ICommandTarget& target);
  CCommandChannel(const CCommandChannel&) = delete;
  CCommandChannel& operator=(const CCommandChannel&) = delete;

  // Dialog's thread.
  void StartActionThread();
  void HandOverToWatcher() { m_StartupGate.Open(); }
  void WakeActionWatcher();  // after the state says closing: the watcher tests it when it wakes
  void CloseActionThreadHandle() { m_hActionThread.reset(); }

  // Watcher thread.
  void WatchActionValue();

 private:
  bool AwaitStartup();
  void CarryOutSsidCommand(platform::Hkey key);
  platform::IKernel& Kernel() const { return *m_Platform.kernel; }

  const platform::Platform& m_Platform;
  CDialogState& m_State;
  ICommandTarget& m_Target;
  base::CThreadChecker m_WatcherThread{base::ThreadBinding::BindOnFirstUse};
  CStartupGate m_StartupGate;
  std::atomic<platform::Handle> m_hActionEvent{nullptr};
  platform::UniqueKernelHandle m_hActionThread;
};

}  // namespace tethra::app
