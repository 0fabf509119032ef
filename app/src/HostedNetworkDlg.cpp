// The dialog's construction, initialisation, ways of ending, message map and the small control
// helpers. Runs on the dialog's thread, except WaitAndPumpMessages (watcher thread).
#include "tethra/app/HostedNetworkDlg.h"

#include <cstdarg>

#include "tethra/app/AboutDlg.h"
#include "tethra/app/Resource.h"
#include "tethra/app/StatusTexts.h"
#include "tethra/controller/ControllerLink.h"

namespace tethra::app {

CHostedNetworkDlg::CHostedNetworkDlg(const platform::Platform& platform, std::u16string commandLine)
    : CDialog(*platform.windows, IDD_HOSTEDNETWORK_DIALOG),
      m_platform(platform),
      m_StartupGate(*platform.kernel),
      m_WlanManager(*platform.wlan, *platform.kernel, *platform.codePage, *platform.trace),
      m_HostedNetwork(m_WlanManager, [this](bool started) { return ChangeSSID({}, started ? 1 : 0); }) {
  // The watcher starts before the dialog window exists; it only needs the members above.
  StartActionThread();
  m_hIcon = Windows().loadIcon(IDR_MAINFRAME);
  m_strCommandLine = std::move(commandLine);
}

CHostedNetworkDlg::~CHostedNetworkDlg() {
  if (m_hWnd != nullptr && Windows().isWindow(m_hWnd)) {
    SystemEvents().wtsUnRegisterSessionNotification(m_hWnd);
  }
  m_bClosing = 1;
  ReleaseNotificationSink();
  // A watcher thread handle or a device registration still held is closed by its owner.
}

void CHostedNetworkDlg::DoDataExchange(CDataExchange* exchange) {
  CDialog::DoDataExchange(exchange);
  exchange->Control(IDC_EDIT_NAME, m_NameEdit);
  exchange->Control(IDC_EDIT_KEY, m_KeyEdit);
  exchange->Control(IDC_CHECK_ENABLE_ICS, m_EnableIcsCheck);
  exchange->Control(IDC_BUTTON_START, m_StartButton);
  exchange->Control(IDC_COMBO_CONNECTION, m_ConnectionCombo);
  exchange->Control(IDC_LIST_NOTIFICATIONS, m_NotificationList);
  exchange->Control(IDC_LIST_DEVICES, m_DeviceList);
  exchange->Control(IDC_STATIC_STATUS, m_StatusText);
}

bool CHostedNetworkDlg::OnInitDialog() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  m_bInitDialog = true;

  m_hPeltoLogicUIWnd = Windows().findWindow(nullptr, controller::kControllerWindowTitle);
  if (m_hPeltoLogicUIWnd != nullptr) {
    m_PeltoLogicUIWndObject.Attach(Windows(), m_hPeltoLogicUIWnd);
    m_pPeltoLogicUIWnd = &m_PeltoLogicUIWndObject;
    m_pPeltoLogicUIWnd->ShowWindowAsync(platform::kSW_HIDE);  // another process's: never wait for it
  }

  CDialog::OnInitDialog();
  // The window, its controls and the controller window are known: commands may run now.
  HandOverToWatcher();

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
  m_NameEdit.LimitText(32);
  m_KeyEdit.LimitText(63);
  m_StatusText.SetWindowText(kStatusIdle);
  CreateDeviceImageList();
  Windows().loadString(IDS_START_HOSTED_NETWORK, m_szStartText.data(), static_cast<int>(m_szStartText.size()));
  Windows().loadString(IDS_STOP_HOSTED_NETWORK, m_szStopText.data(), static_cast<int>(m_szStopText.size()));
  SystemEvents().wtsRegisterSessionNotification(m_hWnd, platform::kNOTIFY_FOR_THIS_SESSION);

  m_bIsAdmin = IsUserAdmin();
  m_bIsICSAllowed = IsICSAllowed() ? 1 : 0;
  if (!m_bIsAdmin || !m_bIsICSAllowed) {
    m_EnableIcsCheck.EnableWindow(false);
    m_ConnectionCombo.EnableWindow(false);
    m_IcsNeeded = false;
    m_NameEdit.SetFocus();
    Trace(!m_bIsAdmin ? "The application is not running with Admin privilege, user will not have access to ICS "
                        "controls."
                      : "ICS is disabled by domain administrator, user will not have access to ICS controls.");
  } else {
    if (Failed(InitIcs())) {
      m_bInitDialog = false;
      if (!m_bSilentClose) SendMsg2Pelto(u"ICS_FAILED");
      return false;
    }
    // COM already initialised on this thread (S_FALSE) is no failure, but leaves no manager.
    if (m_pIcsManager != nullptr) m_pIcsManager->GetIcsConnections(m_IcsConnectionList);
  }

  if (Failed(InitWlan())) {
    m_bInitDialog = false;
    if (!m_bSilentClose) SendMsg2Pelto(u"INIT_WLAN_FAILED");
    return false;
  }

  GetHostedNetworkInfo();

  if (m_bIsAdmin && m_bIsICSAllowed) {
    GetIcsInfo();
    // The connection to share is missing: wait to be closed, with notifications left off.
    if (m_bClosing) return true;
  }

  m_StartButton.SetWindowText(m_HostedNetworkStarted ? m_szStopText.data() : m_szStartText.data());
  m_NameEdit.EnableWindow(true);
  m_KeyEdit.EnableWindow(true);
  m_HostedNetworkStarted = false;  // EnableSharing reads the true state again
  m_bProcessNotifications = true;
  m_EnableIcsCheck.SetCheck(static_cast<int>(platform::kBST_CHECKED));
  OnBnClickedEnableIcs();
  SetWindowPos(nullptr, 0, 0, 0, 0, platform::kSWP_HIDEWINDOW);
  RegisterDeviceInterfaceGuid();
  EnableSharing();
  m_bInitDialog = false;
  return true;
}

void CHostedNetworkDlg::OnClose() {
  BeginEnd();
  UnRegisterDeviceInterfaceGuid();
  if (!m_bSilentClose) SendMsg2Pelto(u"TETHRA_CLOSING");
  StopHostedNetwork();  // its stopped handler does nothing now that the dialog is closing
  m_bProcessNotifications = false;
  FinishEnd(WatcherHandle::kKeep);
}

// Every way out (OnClose, OnHostedNetworkStopped, OnHostedNetworkNotAvailable) starts and ends
// here; what each does in between, and in which order, is its own.
void CHostedNetworkDlg::BeginEnd() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  m_bClosing = 1;
  HandOverToWatcher();  // a watcher held at the gate finds the program ending and leaves
  WakeActionWatcher();
}

void CHostedNetworkDlg::FinishEnd(WatcherHandle watcherHandle) {
  ReleaseNotificationSink();
  AccessPoint().FinishForEnd();  // whichever way out; no change is told past here
  if (watcherHandle == WatcherHandle::kClose) CloseActionThreadHandle();
  UnRegisterDeviceInterfaceGuid();  // nothing to do when already unregistered
  EndProcessFromHandler();
}

void CHostedNetworkDlg::UnregisterSessionNotifications() {
  if (m_hWnd != nullptr) SystemEvents().wtsUnRegisterSessionNotification(m_hWnd);
}

void CHostedNetworkDlg::ReleaseNotificationSink() {
  if (m_NotificationSink == nullptr) return;
  // Returns only once no notification call into the sink is running on the WLAN thread.
  m_WlanManager.RemoveNotificationSink();
  m_NotificationSink.reset();
}

void CHostedNetworkDlg::CloseActionThreadHandle() { m_hActionThread.reset(); }

void CHostedNetworkDlg::WakeActionWatcher() {
  // Set m_bClosing first: the watcher tests it when it wakes.
  if (Handle event = m_hActionEvent.exchange(nullptr); event != nullptr) Kernel().setEvent(event);
}

void CHostedNetworkDlg::EndProcessFromHandler() {
  // The base dialog's handling of the current message has no effect that outlives the process.
  Default();
  Kernel().exitProcess(0);
}

void CHostedNetworkDlg::OnEndSession(bool /*ending*/) {
  // A cancelled shutdown ends the program as well.
  Default();
  OnClose();
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
    const platform::Hdc dc = Windows().beginPaint(m_hWnd);
    SendMessage(platform::kWM_ICONERASEBKGND, reinterpret_cast<WParam>(dc), 0);
    const int cxIcon = Windows().getSystemMetrics(platform::kSM_CXICON);
    const int cyIcon = Windows().getSystemMetrics(platform::kSM_CYICON);
    platform::Rect rect{};
    Windows().getClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    Windows().drawIcon(dc, x, y, m_hIcon);
    Windows().endPaint(m_hWnd, dc);
  } else {
    Default();
  }
  ShowWindow(platform::kSW_HIDE);
}

platform::Hicon CHostedNetworkDlg::OnQueryDragIcon() { return m_hIcon; }

void CHostedNetworkDlg::OnBnClickedStartButton() {}

void CHostedNetworkDlg::OnBnClickedClearOutput() { m_NotificationList.ResetContent(); }

void CHostedNetworkDlg::DisableAllControls() {
  m_NameEdit.EnableWindow(false);
  m_KeyEdit.EnableWindow(false);
  m_EnableIcsCheck.EnableWindow(false);
  m_ConnectionCombo.EnableWindow(false);
  m_StartButton.EnableWindow(false);
}

void CHostedNetworkDlg::EnableAllControls() {
  m_NameEdit.EnableWindow(true);
  m_KeyEdit.EnableWindow(true);
  if (m_bIsAdmin && m_bIsICSAllowed) {
    m_EnableIcsCheck.EnableWindow(true);
    if (m_IcsNeeded) m_ConnectionCombo.EnableWindow(true);
  }
  m_StartButton.EnableWindow(true);
}

void CHostedNetworkDlg::WaitAndPumpMessages(Dword milliseconds) {
  // The difference of two tick counts, taken as signed, stays right across the counter's wrap.
  const Dword deadline = Kernel().getTickCount() + milliseconds;
  while (static_cast<std::int32_t>(deadline - Kernel().getTickCount()) > 0) {
    platform::Msg msg;
    if (Windows().peekMessage(&msg, nullptr, 0, 0, platform::kPM_REMOVE)) {
      Windows().translateMessage(&msg);
      Windows().dispatchMessage(&msg);
    }
    Kernel().sleep(10);
  }
}

bool CHostedNetworkDlg::OnWndMsg(std::uint32_t message, WParam wParam, LParam lParam, LResult* result) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  switch (message) {
    case platform::kWM_SYSCOMMAND:
      OnSysCommand(static_cast<std::uint32_t>(wParam), lParam);
      return true;
    case platform::kWM_PAINT:
      OnPaint();
      return true;
    case platform::kWM_CLOSE:
      OnClose();
      return true;
    case platform::kWM_QUERYDRAGICON:
      *result = reinterpret_cast<LResult>(OnQueryDragIcon());
      return true;
    case platform::kWM_ENDSESSION:
      OnEndSession(wParam != 0);
      return true;
    case platform::kWM_COMMAND:
      if ((wParam >> 16) == platform::kBN_CLICKED) {
        switch (wParam & 0xFFFF) {
          case IDC_CHECK_ENABLE_ICS:
            OnBnClickedEnableIcs();
            return true;
          case IDC_BUTTON_START:
            OnBnClickedStartButton();
            return true;
          case IDC_BUTTON_CLEAR:
            OnBnClickedClearOutput();
            return true;
          default:
            break;
        }
      }
      break;
    default:
      break;
  }
  return CDialog::OnWndMsg(message, wParam, lParam, result);
}

void CHostedNetworkDlg::Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::VTraceLine(*m_platform.trace, format, args);
  va_end(args);
}

}  // namespace tethra::app
