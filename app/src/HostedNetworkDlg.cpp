// The dialog's construction, initialisation, ways of ending and message maps. Dialog's thread.
#include "tethra/app/HostedNetworkDlg.h"

#include "tethra/app/AboutDlg.h"
#include "tethra/app/Resource.h"
#include "tethra/controller/ControllerLink.h"

namespace tethra::app {

CHostedNetworkDlg::CHostedNetworkDlg(const platform::Platform& platform, std::u16string commandLine)
    : CDialog(*platform.windows, IDD_HOSTEDNETWORK_DIALOG),
      m_Platform(platform),
      m_Link(*platform.windows, *platform.kernel, *platform.registry, *platform.trace, commandLine),
      m_Sharing(platform, m_Controls.EnableIcsCheck(), m_Controls.ConnectionCombo(),
                {[this](const char16_t* code) { m_Session.SendMsg2Pelto(code); },
                 [this](const std::u16string& line) { m_Session.PostNotification(line); }}),
      m_DeviceRemoval(*platform.systemEvents, *platform.kernel, commandLine),
      m_HostedNetwork(platform),
      m_Session(platform, *this, m_State, m_Link, m_Controls, m_Sharing, m_HostedNetwork,
                {[this] { BeginEnd(); }, [this] { FinishEnd(WatcherHandle::Close); }}),
      m_Commands(platform, m_State, m_Session) {
  m_Commands.StartActionThread();  // it waits at the gate for what OnInitDialog sets
  m_hIcon = Windows().loadIcon(IDR_MAINFRAME);
}

CHostedNetworkDlg::~CHostedNetworkDlg() {
  if (m_Hwnd != nullptr && Windows().isWindow(m_Hwnd)) {
    m_Platform.systemEvents->wtsUnRegisterSessionNotification(m_Hwnd);
  }
  m_State.BeginEnd();
  m_HostedNetwork.ReleaseNotificationSink();
  // A watcher thread handle or a device registration still held is closed by its owner.
}

void CHostedNetworkDlg::DoDataExchange(CDataExchange* exchange) {
  CDialog::DoDataExchange(exchange);
  m_Controls.Bind(exchange);
}

bool CHostedNetworkDlg::OnInitDialog() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  m_State.BeginStartup();
  m_Link.Find();
  CDialog::OnInitDialog();
  HandOverToWatcher();  // the window, its controls and the controller window are known

  if (platform::Hmenu menu = GetSystemMenu(false); menu != nullptr) {
    char16_t about[256] = {};
    Windows().loadString(IDS_ABOUTBOX, about, 256);
    if (about[0] != 0) {
      Windows().appendMenu(menu, platform::kMF_SEPARATOR, 0, nullptr);
      Windows().appendMenu(menu, platform::kMF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);
  m_Controls.Prepare(Windows());
  m_Platform.systemEvents->wtsRegisterSessionNotification(m_Hwnd, platform::kNOTIFY_FOR_THIS_SESSION);

  switch (m_Session.Open()) {
    case CHostedNetworkSession::Opened::Failed:
      return false;
    case CHostedNetworkSession::Opened::WaitForClose:  // notifications left off
      return true;
    case CHostedNetworkSession::Opened::Ready:
      break;
  }
  m_State.TakeNotifications();
  m_Controls.CheckEnableIcs();
  OnBnClickedEnableIcs();
  SetWindowPos(nullptr, 0, 0, 0, 0, platform::kSWP_HIDEWINDOW);
  m_DeviceRemoval.RegisterDeviceInterfaceGuid(m_Hwnd);
  m_Session.EnableSharing();
  m_State.FinishStartup();
  return true;
}

void CHostedNetworkDlg::OnClose() {
  BeginEnd();
  m_DeviceRemoval.UnRegisterDeviceInterfaceGuid();
  m_Session.SendMsg2Pelto(u"TETHRA_CLOSING");
  // Best effort: the end goes on; its stopped handler does nothing now that the dialog is closing.
  static_cast<void>(m_Session.StopHostedNetwork());
  m_State.StopTakingNotifications();
  FinishEnd(WatcherHandle::Keep);
}

// Every way out (OnClose here; the session's OnHostedNetworkStopped and OnHostedNetworkNotAvailable
// through SessionEnds) starts and ends here; what each does in between, and in which order, is its own.
void CHostedNetworkDlg::BeginEnd() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  m_State.BeginEnd();
  HandOverToWatcher();  // a watcher held at the gate finds the program ending and leaves
  m_Commands.WakeActionWatcher();
}

void CHostedNetworkDlg::FinishEnd(WatcherHandle watcherHandle) {
  m_HostedNetwork.ReleaseNotificationSink();
  m_Session.AccessPoint().FinishForEnd();  // whichever way out; no change is told past here
  if (watcherHandle == WatcherHandle::Close) m_Commands.CloseActionThreadHandle();
  m_DeviceRemoval.UnRegisterDeviceInterfaceGuid();  // nothing to do when already unregistered
  // The base dialog's handling of the current message has no effect that outlives the process.
  Default();
  Kernel().exitProcess(0);
}

void CHostedNetworkDlg::OnEndSession(bool /*ending*/) {
  Default();
  OnClose();  // a cancelled shutdown ends the program as well
}

void CHostedNetworkDlg::OnSysCommand(std::uint32_t id, LParam) {
  if ((id & 0xFFF0u) == IDM_ABOUTBOX) {
    CAboutDlg about(Windows());
    about.DoModal();
  } else {
    Default();
  }
}

void CHostedNetworkDlg::OnPaint() {
  if (IsIconic()) {
    const platform::Hdc dc = Windows().beginPaint(m_Hwnd);
    SendMessage(platform::kWM_ICONERASEBKGND, reinterpret_cast<WParam>(dc), 0);
    const int cxIcon = Windows().getSystemMetrics(platform::kSM_CXICON);
    const int cyIcon = Windows().getSystemMetrics(platform::kSM_CYICON);
    platform::Rect rect{};
    Windows().getClientRect(m_Hwnd, &rect);
    Windows().drawIcon(dc, (rect.right - rect.left - cxIcon + 1) / 2, (rect.bottom - rect.top - cyIcon + 1) / 2, m_hIcon);
    Windows().endPaint(m_Hwnd, dc);
  } else {
    Default();
  }
  ShowWindow(platform::kSW_HIDE);
}

void CHostedNetworkDlg::OnBnClickedEnableIcs() {
  m_Sharing.SetNeeded(m_Controls.EnableIcsChecked());  // the user's input
}

bool CHostedNetworkDlg::OnWndMsg(std::uint32_t message, WParam wParam, LParam lParam, LResult* result) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  const int clicked = message == platform::kWM_COMMAND && (wParam >> 16) == platform::kBN_CLICKED
                          ? static_cast<int>(wParam & 0xFFFF)
                          : 0;
  if (message == platform::kWM_SYSCOMMAND) {
    OnSysCommand(static_cast<std::uint32_t>(wParam), lParam);
  } else if (message == platform::kWM_PAINT) {
    OnPaint();
  } else if (message == platform::kWM_CLOSE) {
    OnClose();
  } else if (message == platform::kWM_QUERYDRAGICON) {
    *result = reinterpret_cast<LResult>(m_hIcon);
  } else if (message == platform::kWM_ENDSESSION) {
    OnEndSession(wParam != 0);
  } else if (clicked == IDC_CHECK_ENABLE_ICS) {
    OnBnClickedEnableIcs();
  } else if (clicked == IDC_BUTTON_START) {
    // The controller starts and stops; the button only shows the state.
  } else if (clicked == IDC_BUTTON_CLEAR) {
    m_Controls.ClearNotifications();
  } else {
    return CDialog::OnWndMsg(message, wParam, lParam, result);
  }
  return true;
}

platform::LResult CHostedNetworkDlg::WindowProc(std::uint32_t message, WParam wParam, LParam lParam) {
  CHotspotAccessPoint* hotspot = m_Session.Hotspot();
  switch (message) {
    case platform::kWM_POWERBROADCAST:
      if (wParam == platform::kPBT_APMSUSPEND) {
        m_Session.SendMsg2Pelto(u"SHARED_STOPPED_S3_S4", controller::kSuspendSendTimeoutMs);
      } else if (wParam == platform::kPBT_APMRESUMEAUTOMATIC) {
        OnClose();
      }
      return 1;
    case wlan::WM_NEW_HN_NOTIFICATION:
      if (m_State.TakesNotifications()) m_Session.ProcessNotifications();
      return 0;
    case wlan::WM_HOTSPOT_CHANGED:
      if (m_State.TakesNotifications()) m_Session.OnMobileHotspotChanged(wParam == wlan::kHotspotLookAgain);
      return 0;
    case wlan::WM_HOTSPOT_OPERATION:
      if (hotspot != nullptr && !m_State.Closing()) hotspot->OnOperationMessage(static_cast<std::uint64_t>(wParam));
      return 0;
    case WM_HOTSPOT_RENAME:
      if (hotspot != nullptr && !m_State.Closing()) hotspot->OnRenameMessage();
      return 0;
    case platform::kWM_WTSSESSION_CHANGE:
      if (wParam == platform::kWTS_CONSOLE_CONNECT || wParam == platform::kWTS_CONSOLE_DISCONNECT ||
          wParam == platform::kWTS_SESSION_LOGON || wParam == platform::kWTS_SESSION_LOGOFF) {
        OnClose();
      }
      return 0;
    case platform::kWM_DEVICECHANGE:
      if (m_DeviceRemoval.EndsProgram(wParam, lParam)) {
        PostMessage(platform::kWM_CLOSE, 0, 0);
      } else if (wParam == platform::kDBT_DEVICEARRIVAL || wParam == platform::kDBT_DEVICEREMOVECOMPLETE) {
        // A network adapter came or went: the hotspot's state may have changed with it, told or
        // not. Looked at once this broadcast has returned, so that its sender waits for nothing.
        PostMessage(wlan::WM_HOTSPOT_CHANGED, 0, 0);
      }
      return 1;
    default:
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

}  // namespace tethra::app
