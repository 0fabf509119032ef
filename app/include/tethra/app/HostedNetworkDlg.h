// CHostedNetworkDlg: the program's one window. It wires the objects that own the program's
// concerns together and runs their handlers: the phase and the facts shared with the watcher
// (CDialogState), the controller window (CControllerWindowLink), connection sharing
// (CSharingSession), the device-removal rules (CDeviceRemoval), the registry command channel
// (CCommandChannel), the hosted network (CHostedNetworkAccessPoint, with the WLAN manager) or
// the mobile hotspot standing in for it, and the controls (CDialogControls), which only show.
//
// Threads: the dialog's thread (the process's main thread) runs every handler; checked builds
// stop the process when one runs on another. The command watcher thread reaches the dialog only
// through its channel's hooks (the access point, the edits, the notice, WM_CLOSE); the WLAN
// thread only through the notification sink's queue and WM_NEW_HN_NOTIFICATION. The watcher
// starts in the constructor but carries out no command before OnInitDialog has opened the
// start-up gate (see CStartupGate).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "tethra/app/CommandChannel.h"
#include "tethra/app/ControllerWindowLink.h"
#include "tethra/app/DialogControls.h"
#include "tethra/app/DeviceRemoval.h"
#include "tethra/app/DialogState.h"
#include "tethra/app/HostedNetworkAccessPoint.h"
#include "tethra/app/HotspotAccessPoint.h"
#include "tethra/app/SharingSession.h"
#include "tethra/app/framework/Dialog.h"
#include "tethra/base/ThreadChecker.h"

namespace tethra::app {

using platform::Dword;
using platform::HResult;

class CHostedNetworkDlg : public CDialog {
 public:
  CHostedNetworkDlg(const platform::Platform& platform, std::u16string commandLine);
  ~CHostedNetworkDlg() override;

  void WaitAndPumpMessages(Dword milliseconds);  // any thread
  IAccessPoint& AccessPoint() const { return *m_pAccessPoint.load(); }  // any thread

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
  wlan::CWlanManager& WlanManager() { return m_HostedNetwork.Manager(); }
  const platform::Guid& HostedNetworkGuid() const { return m_HostedNetworkGuid; }
  void HandOverToWatcher() { m_Commands.HandOverToWatcher(); }
  void GetHostedNetworkInfo();
  void BeginEnd();  // every way out's first step: closing, the watcher woken

 private:
  void OnClose();
  void OnEndSession(bool ending);
  void OnSysCommand(std::uint32_t id, LParam lParam);
  void OnPaint();
  platform::Hicon OnQueryDragIcon();
  void OnBnClickedStartButton();
  void OnBnClickedClearOutput();
  void OnBnClickedEnableIcs();
  void DisableAllControls();
  void EnableAllControls();
  HResult InitWlan();
  void GetIcsInfo();
  void EnableSharing();
  HResult StartHostedNetwork();
  HResult StopHostedNetwork();
  bool StopIcsIfNeeded();
  void ProcessNotifications();
  void OnHostedNetworkStarted();
  void OnHostedNetworkStopped();
  void OnHostedNetworkNotAvailable();
  void OnHostedNetworkAvailable();
  void StartAndAnnounce();  // starts the hosted network and announces it, or reports the failure
  bool RunMobileHotspotInstead();
  void StartMobileHotspot();
  void OnMobileHotspotChanged();
  void SendMsg2Pelto(const std::u16string& code);  // unless the close is a silent one
  void SendSSIDAndSecurityKey();
  void PostNotification(const std::u16string& text);
  bool CheckValidSSIDKeyLen();
  void ShowNameAndKey(const std::u16string* name, const std::u16string* key);  // what is in use
  TETHRA_PRINTF_FORMAT(2, 3) void Trace(const char* format, ...);  // to the trace log
  // A failed start: "SHARED_START_FAILED" when `toController`, the trace log in any case.
  void ReportStartFailed(const char* what, HResult hr, bool toController);
  // The end of the program: BeginEnd, the way out's own steps, then FinishEnd (never returns).
  enum class WatcherHandle { kKeep, kClose };
  void FinishEnd(WatcherHandle watcherHandle);
  void UnregisterSessionNotifications();

  platform::IKernel& Kernel() const { return *m_platform.kernel; }

  const platform::Platform& m_platform;
  base::CThreadChecker m_DialogThread;  // the constructing thread runs every handler
  CDialogState m_State;
  CControllerWindowLink m_Link;
  CDialogControls m_Controls;
  CSharingSession m_Sharing;
  CDeviceRemoval m_DeviceRemoval;
  platform::Guid m_HostedNetworkGuid{};
  // The access point in use: the hosted network, until the mobile hotspot stands in for it (set
  // once, then published to the watcher through m_pAccessPoint; lives until the process ends).
  CHostedNetworkAccessPoint m_HostedNetwork;
  std::unique_ptr<CHotspotAccessPoint> m_MobileHotspot;
  std::atomic<IAccessPoint*> m_pAccessPoint{&m_HostedNetwork};
  CCommandChannel m_Commands;  // last: its watcher uses all of the above
  platform::Hicon m_hIcon = nullptr;
};

}  // namespace tethra::app
