// The dialog's side of the registry command channel: the watcher thread it starts, and the
// "close" and "ssid" commands carried out on that thread (rename the hosted network, restart it
// through the network shell, announce name and key).
//
// Threads: StartActionThread runs on the dialog's thread (constructor); everything else on
// the watcher thread. The dialog wakes the watcher when it closes (m_bClosing, then the event).
// A command is carried out only once the dialog's start-up has opened the gate.
#include <string>

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/controller/CommandWatcher.h"
#include "tethra/platform/Handle.h"

namespace tethra::app {

namespace {

constexpr Dword kShellWaitMs = 3000;
constexpr std::size_t kShellExecuteInfoSize = 112;

Dword ActionThreadProc(void* param) {
  auto* dialog = static_cast<CHostedNetworkDlg*>(param);
  platform::IComRuntime& com = dialog->Com();
  const platform::ComApartment apartment(&com, com.coInitialize());
  dialog->WatchActionValue();
  return 0;
}

}  // namespace

void CHostedNetworkDlg::StartActionThread() {
  Dword threadId = 0;
  m_hActionThread = platform::UniqueKernelHandle(Kernel().createThread(&ActionThreadProc, this, &threadId),
                                                 platform::KernelHandleCloser{&Kernel()});
  m_dwActionThreadId = threadId;
}

bool CHostedNetworkDlg::AwaitStartup() {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  m_StartupGate.Wait();
  return m_bClosing == 0;
}

void CHostedNetworkDlg::WatchActionValue() {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  controller::CommandHandlers handlers;
  handlers.closing = [this] { return m_bClosing != 0; };
  handlers.close = [this] {
    if (!AwaitStartup()) return;
    m_bSilentClose = true;
    PostMessage(platform::kWM_CLOSE, 0, 0);
  };
  handlers.ssid = [this](platform::Hkey key) {
    if (AwaitStartup()) CarryOutSsidCommand(key);
  };
  controller::WatchCommands(Kernel(), Registry(), m_hActionEvent, handlers);
}

void CHostedNetworkDlg::CarryOutSsidCommand(platform::Hkey key) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  IAccessPoint& accessPoint = AccessPoint();
  // The new key in force: handed over, stored, shown, announced with the name.
  auto applyKey = [this, &accessPoint](const std::u16string& newKey) {
    accessPoint.SetKey(newKey);
    m_CurrentKey.Set(newKey);
    m_KeyEdit.SetWindowText(newKey);
    m_bChangeSSIDAndKeyFinish = true;
    SendSSIDAndSecurityKey();
  };
  m_bChangeSSIDAndKeyFinish = false;
  std::u16string newName;
  std::u16string newKey;
  GetValue(key, u"SSID", newName);
  GetValue(key, u"Key", newKey);
  if (newName.empty()) return;  // dropped; notifications stay discarded

  const bool started = m_HostedNetworkStarted;
  const std::u16string nameBefore = m_CurrentName.Get();
  const platform::AccessPointConfig wanted{newName, newKey.empty() ? m_CurrentKey.Get() : newKey};
  accessPoint.SetName(newName);
  m_CurrentName.Set(newName);
  m_NameEdit.SetWindowText(newName);
  WaitAndPumpMessages(500);

  if (accessPoint.Restart(wanted, started)) {
    if (!newKey.empty()) applyKey(newKey);
    return;
  }
  // The restart failed: the rename may have taken effect all the same. A name that cannot be
  // read back says nothing of it: the record keeps the name in force before the command.
  std::u16string nameInForce;
  const bool nameRead = accessPoint.GetName(nameInForce) == platform::kS_OK;
  m_CurrentName.Set(nameRead ? nameInForce : nameBefore);
  bool running = false;
  if (accessPoint.IsStarted(running) != platform::kS_OK) running = false;
  if (running && nameRead && EqualsNoCase(nameInForce, newName)) {
    applyKey(newKey);  // even an empty one
  } else if (!m_bSilentClose) {
    SendMsg2Pelto(u"CHANGE_SSID_FAILED");
    m_bSilentClose = true;
    PostMessage(platform::kWM_CLOSE, 0, 0);
  }
}

Bool32 CHostedNetworkDlg::ChangeSSID(std::u16string /*newName*/, Bool32 started) {
  // Not running: the name handed to the manager takes effect at the next start.
  if (!started) return 1;
  platform::ShellExecuteInfo info;
  info.cbSize = static_cast<Dword>(kShellExecuteInfoSize);
  info.fMask = platform::kSEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = u"netsh";
  info.lpParameters = u"wlan start hostednetwork";
  info.nShow = platform::kSW_HIDE;

  platform::IProcessStart& processes = *m_platform.processStart;
  const bool launched = processes.shellExecuteEx(&info);
  // Ours whenever the call left one; closed after the pump below, as the shell may still run.
  const platform::UniqueKernelHandle shell(info.hProcess, platform::KernelHandleCloser{&Kernel()});
  Bool32 result = 0;
  if (launched && info.hInstApp > 32 &&
      Kernel().waitForSingleObject(shell.get(), kShellWaitMs) == platform::kWAIT_OBJECT_0) {
    Dword exitCode = 1;
    if (processes.getExitCodeProcess(shell.get(), &exitCode) && exitCode == 0) result = 1;
  }
  WaitAndPumpMessages(1000);
  return result;
}

}  // namespace tethra::app
