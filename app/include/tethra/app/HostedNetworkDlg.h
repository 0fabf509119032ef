// CHostedNetworkDlg: the program's one window. It owns the objects of the program's concerns
// and wires them together: the phase and the facts shared with the watcher (CDialogState), the
// controller window (CControllerWindowLink), connection sharing (CSharingSession), the
// device-removal rules (CDeviceRemoval), the hosted network (CHostedNetworkAccessPoint, with
// the WLAN manager), what is done with it and sharing (CHostedNetworkSession, which also holds
// the mobile hotspot standing in), the registry command channel (CCommandChannel) and the
// controls (CDialogControls), which only show. Its own work is the window's: start-up wiring,
// the message map, and the order of teardown on every way out.
//
// Threads: the dialog's thread (the process's main thread) runs every handler; checked builds
// stop the process when one runs on another. The command watcher thread reaches the dialog only
// through the session, its channel's ICommandTarget (the access point, the edits, the notice,
// WM_CLOSE); the WLAN
// thread only through the notification sink's queue and WM_NEW_HN_NOTIFICATION. The watcher
// starts in the constructor but carries out no command before OnInitDialog has opened the
// start-up gate (see CStartupGate).
#pragma once

#include <string>

#include "tethra/app/CommandChannel.h"
#include "tethra/app/ControllerWindowLink.h"
#include "tethra/app/DeviceRemoval.h"
#include "tethra/app/DialogControls.h"
#include "tethra/app/DialogState.h"
#include "tethra/app/HostedNetworkAccessPoint.h"
#include "tethra/app/HostedNetworkSession.h"
#include "tethra/app/SharingSession.h"
#include "tethra/app/framework/Dialog.h"
#include "tethra/base/ThreadChecker.h"

namespace tethra::app {

class CHostedNetworkDlg : public CDialog {
 public:
  CHostedNetworkDlg(const platform::Platform& platform, std::u16string commandLine);
  ~CHostedNetworkDlg() override;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  LResult WindowProc(std::uint32_t message, WParam wParam, LParam lParam) override;
  bool OnInitDialog() override;
  bool OnWndMsg(std::uint32_t message, WParam wParam, LParam lParam, LResult* result) override;
  // Enter and Escape end the program as a close does: ending only the dialog would leave the
  // hosted network running and the connections shared.
  void OnOK() override { OnClose(); }
  void OnCancel() override { OnClose(); }

  // Dialog's thread. The objects, for what builds on the dialog (and its tests).
  CDialogState& State() { return m_State; }
  CSharingSession& Sharing() { return m_Sharing; }
  CHostedNetworkSession& Session() { return m_Session; }
  wlan::CWlanManager& WlanManager() { return m_HostedNetwork.Manager(); }
  void HandOverToWatcher() { m_Commands.HandOverToWatcher(); }
  void BeginEnd();  // every way out's first step: closing, the watcher woken

 private:
  void OnClose();
  void OnEndSession(bool ending);
  void OnSysCommand(std::uint32_t id, LParam lParam);
  void OnPaint();
  void OnBnClickedEnableIcs();
  // The end of the program: BeginEnd, the way out's own steps, then FinishEnd (never returns).
  enum class WatcherHandle { Keep, Close };
  void FinishEnd(WatcherHandle watcherHandle);

  platform::IKernel& Kernel() const { return *m_Platform.kernel; }

  const platform::Platform& m_Platform;
  base::CThreadChecker m_DialogThread;  // the constructing thread runs every handler
  CDialogState m_State;
  CControllerWindowLink m_Link;
  CDialogControls m_Controls;
  CSharingSession m_Sharing;
  CDeviceRemoval m_DeviceRemoval;
  CHostedNetworkAccessPoint m_HostedNetwork;
  CHostedNetworkSession m_Session;  // holds the mobile hotspot once it stands in
  CCommandChannel m_Commands;  // last: its watcher uses all of the above
  platform::Hicon m_hIcon = nullptr;
};

}  // namespace tethra::app
