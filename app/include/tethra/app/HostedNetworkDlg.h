// CHostedNetworkDlg: the program's one window and the owner of all its state: the hosted
// network manager, the sharing manager, the notification sink, every flag and the link to the
// controller window. Its operations are spread over files by subsystem (app/, controller/,
// ics/), all members of this one class.
//
// Threads: the dialog's thread (the process's main thread) runs every handler. The registry
// command watcher thread reads m_bClosing and m_HostedNetworkStarted and writes
// m_bSilentClose, m_bChangeSSIDAndKeyFinish, m_CurrentName, m_CurrentKey and the edits' texts;
// the flags are whole-value atomics (no lock, no test-and-set across threads), the name and
// key in force are copied in and out under a lock of their own (CSharedText). The WLAN thread
// only reaches the dialog through the notification sink's queue and WM_NEW_HN_NOTIFICATION.
// The watcher starts in the constructor but carries out no command before OnInitDialog has
// opened m_StartupGate: the window, controls and controller window it uses are set by then.
// Checked builds stop the process when a dialog-thread handler runs on another thread.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "tethra/app/HostedNetworkAccessPoint.h"
#include "tethra/app/HotspotAccessPoint.h"
#include "tethra/app/SharedText.h"
#include "tethra/app/StartupGate.h"
#include "tethra/app/framework/Dialog.h"
#include "tethra/base/RefList.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/ics/IcsManager.h"
#include "tethra/platform/Handle.h"
#include "tethra/wlan/MobileHotspot.h"
#include "tethra/wlan/NotificationSink.h"
#include "tethra/wlan/WlanStation.h"
#include "tethra/wlan/WlanManager.h"

namespace tethra::app {

using platform::Bool32;
using platform::Dword;
using platform::Guid;
using platform::Handle;
using platform::Failed;
using platform::HResult;
using platform::Succeeded;
using wlan::CNotificationSink;
using base::CRefList;
using wlan::CWlanDevice;
using wlan::CWlanManager;
using ics::CIcsConnectionInfo;
using ics::CIcsManager;

class CHostedNetworkDlg : public CDialog {
 public:
  CHostedNetworkDlg(const platform::Platform& platform, std::u16string commandLine);
  ~CHostedNetworkDlg() override;

  // Dialog (start-up, lifecycle).
  void OnClose();
  void OnEndSession(bool ending);
  void OnSysCommand(std::uint32_t id, LParam lParam);
  void OnPaint();
  platform::Hicon OnQueryDragIcon();
  void OnBnClickedStartButton();
  void OnBnClickedClearOutput();
  void DisableAllControls();
  void EnableAllControls();
  void WaitAndPumpMessages(Dword milliseconds);

  // Sharing orchestration.
  HResult InitWlan();
  void GetHostedNetworkInfo();
  void EnableSharing();
  HResult StartHostedNetwork();
  HResult StopHostedNetwork();
  void ProcessNotifications();
  void OnHostedNetworkStarted();
  void OnHostedNetworkStopped();
  void OnHostedNetworkNotAvailable();
  void OnHostedNetworkAvailable();
  // Starts the hosted network and announces it, or reports the failed start.
  void StartAndAnnounce();

  // Sharing policy.
  Bool32 IsUserAdmin();
  bool IsICSAllowed();
  HResult InitIcs();
  void GetIcsInfo();
  void UpdateIcsConnectionList();
  // The GUID of the connection the combo box has selected, if any.
  bool SelectedConnection(Guid& guid);
  HResult StartIcsIfNeeded();
  bool StopIcsIfNeeded();
  void OnBnClickedEnableIcs();
  HResult DisableEnableConnections();

  // The mobile hotspot, where the driver offers no hosted network and the settings ask for it.
  bool UseMobileHotspot();
  bool RunMobileHotspotInstead();
  void StartMobileHotspot();
  void OnMobileHotspotChanged();
  // The access point in use, hosted network or hotspot: any thread.
  IAccessPoint& AccessPoint() const { return *m_pAccessPoint.load(); }

  // Controller link ("Pelto": the controller application; see tethra/controller/ControllerLink.h).
  void SendMsg2Pelto(std::u16string code);
  void SendSSIDAndSecurityKey();
  bool GetValue(platform::Hkey key, std::u16string valueName, std::u16string& value);
  bool GetKeyValue(std::u16string subKey, std::u16string valueName, std::u16string& value);
  bool SetValue(std::u16string valueName, std::u16string value);
  void StartActionThread();
  void WatchActionValue();
  platform::IComRuntime& Com() const { return *m_platform.com; }  // for the watcher's apartment
  Bool32 ChangeSSID(std::u16string newName, Bool32 started);

  // Dialog feedback.
  void PostNotification(const std::u16string& text);
  bool CheckValidSSIDKeyLen();

  // System events.
  bool RegisterDeviceInterfaceGuid();
  bool UnRegisterDeviceInterfaceGuid();

 protected:
  // Lets the watcher carry out commands: what they use is set (OnInitDialog; dialog's thread).
  void HandOverToWatcher() { m_StartupGate.Open(); }
  void DoDataExchange(CDataExchange* exchange) override;
  LResult WindowProc(std::uint32_t message, WParam wParam, LParam lParam) override;
  bool OnInitDialog() override;
  bool OnWndMsg(std::uint32_t message, WParam wParam, LParam lParam, LResult* result) override;
  // Enter and Escape (IDOK, IDCANCEL) end the program as a close does: ending only the dialog
  // would leave the hosted network running and the connections shared.
  void OnOK() override { OnClose(); }
  void OnCancel() override { OnClose(); }

 private:
  void CreateDeviceImageList();
  void OnDeviceRemoved(const std::u16string& interfaceName);
  TETHRA_PRINTF_FORMAT(2, 3) void Trace(const char* format, ...);  // to the trace log
  // A failed start: "SHARED_START_FAILED" when `toController`, the trace log in any case.
  void ReportStartFailed(const char* what, HResult hr, bool toController);
  // The end of the program: BeginEnd, the way out's own steps, then FinishEnd (never returns).
  enum class WatcherHandle { kKeep, kClose };
  void BeginEnd();
  void FinishEnd(WatcherHandle watcherHandle);
  void EndProcessFromHandler();
  void UnregisterSessionNotifications();
  void ReleaseNotificationSink();
  void CloseActionThreadHandle();
  void WakeActionWatcher();
  void CarryOutSsidCommand(platform::Hkey key);  // watcher thread
  // Watcher thread: waits until the dialog's start-up has handed over what commands use;
  // false when the program is ending by then.
  bool AwaitStartup();

  // The areas of the platform the dialog itself calls; all present (checked at the entry).
  platform::IKernel& Kernel() const { return *m_platform.kernel; }
  platform::IRegistry& Registry() const { return *m_platform.registry; }
  platform::ISystemEvents& SystemEvents() const { return *m_platform.systemEvents; }

  const platform::Platform& m_platform;
  // Who may touch what: the dialog's thread (the constructing one) runs every handler; the
  // watcher thread binds its checker at its first command. The watcher carries out commands
  // only after the start-up gate is open (see CStartupGate).
  base::CThreadChecker m_DialogThread;
  base::CThreadChecker m_WatcherThread{base::ThreadBinding::kBindOnFirstUse};
  CStartupGate m_StartupGate;

 public:
  // Members in declaration order.
  platform::Hicon m_hIcon = nullptr;
  CStatic m_StatusText;
  std::atomic<Handle> m_hActionEvent{nullptr};
  std::atomic<Bool32> m_bClosing{0};
  Dword m_dwActionThreadId = 0;
  CEdit m_NameEdit;
  CEdit m_KeyEdit;
  CButton m_EnableIcsCheck;
  CButton m_StartButton;
  CComboBox m_ConnectionCombo;
  CListBox m_NotificationList;
  CListCtrl m_DeviceList;
  std::u16string m_strNetworkName;
  std::unique_ptr<CIcsManager> m_pIcsManager;
  CWlanManager m_WlanManager;
  std::unique_ptr<CNotificationSink> m_NotificationSink;  // registered with m_WlanManager while set
  bool m_bProcessNotifications = false;
  CRefList<CWlanDevice*> m_WlanDeviceList;
  CRefList<CIcsConnectionInfo*> m_IcsConnectionList;
  bool m_IcsNeeded = false;
  bool m_IcsEnabled = false;
  std::atomic<bool> m_HostedNetworkStarted{false};
  Guid m_HostedNetworkGuid{};
  std::array<char16_t, 256> m_szStartText{};
  std::array<char16_t, 256> m_szStopText{};
  CSharedText m_CurrentName;
  CSharedText m_CurrentKey;
  Bool32 m_bIsAdmin = 0;
  Bool32 m_bIsICSAllowed = 0;
  Bool32 m_bIcsRefreshed = 0;
  Hwnd m_hPeltoLogicUIWnd = nullptr;
  CWnd* m_pPeltoLogicUIWnd = nullptr;
  platform::UniqueKernelHandle m_hActionThread;
  bool m_bInitDialog = false;
  std::atomic<bool> m_bChangeSSIDAndKeyFinish{true};
  std::u16string m_strCommandLine;
  std::atomic<bool> m_bSilentClose{false};
  platform::UniqueDeviceNotification m_hDevNotify;
  // The access point in use: the hosted network, until the mobile hotspot stands in for it
  // (set once, then published to the watcher through m_pAccessPoint; lives until the process
  // ends). m_pHotspot is the hotspot's own messages' way to it.
  CHostedNetworkAccessPoint m_HostedNetwork;
  std::unique_ptr<CHotspotAccessPoint> m_MobileHotspot;
  CHotspotAccessPoint* m_pHotspot = nullptr;
  std::atomic<IAccessPoint*> m_pAccessPoint{&m_HostedNetwork};

 private:
  // The framework's window object for the controller window (m_pPeltoLogicUIWnd points here).
  CWnd m_PeltoLogicUIWndObject;
  // The device list's image list: made once during initialisation, lives as long as the process.
  platform::Himagelist m_hDeviceImageList = nullptr;
};

}  // namespace tethra::app
