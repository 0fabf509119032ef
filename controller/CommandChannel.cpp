// The registry command watcher: a thread of its own that waits for changes under the settings
// key, reads "Action" and carries out "close" (post WM_CLOSE, report nothing more) or "ssid"
// (rename the hosted network, restart it through the network shell, announce name and key).
//
// Threads: StartActionThread runs on the dialog's thread (constructor); everything else on
// the watcher thread. The dialog wakes the watcher when it closes (m_bClosing, then the event).
//
// A command runs once: the watcher empties "Action" as soon as it takes a command. Otherwise
// the program's own writes of "Current SSID" and "Current Key" (made on the dialog's thread
// when the restarted network reports itself, in whatever order the platform delivers that)
// would wake the watcher while "Action" still said "ssid" and repeat the rename. A controller
// that writes "Action" again, even with the same text, changes it from empty, so every
// command it writes is carried out. When the emptying fails the watcher waits for the next
// change, so the command it could not empty runs again only when something else is written.
// The registry has no read-and-clear: the read and the emptying are two adjacent calls with
// nothing between them, and a controller write that lands exactly between them is overwritten.
#include <string>

#include "app/ConnectionKind.h"
#include "app/HostedNetworkDlg.h"
#include "controller/SettingsKey.h"
#include "tethra/platform/handle.h"

namespace tethra::app {

namespace {

constexpr Dword kShellWaitMs = 3000;
constexpr std::size_t kShellExecuteInfoSize = 112;

Dword ActionThreadProc(void* param) {
  auto* dialog = static_cast<CHostedNetworkDlg*>(param);
  platform::IComRuntime* com = dialog != nullptr ? dialog->Platform().com : nullptr;
  const platform::ComApartment apartment(com, com != nullptr ? com->coInitialize() : platform::kE_FAIL);
  if (dialog != nullptr) dialog->WatchActionValue();
  return 0;
}

bool WriteEmptyAction(platform::IRegistry& registry, platform::Hkey key) {
  const char16_t empty[1] = {u'\0'};
  return registry.regSetValueEx(key, u"Action", platform::kREG_SZ, reinterpret_cast<const std::uint8_t*>(empty),
                                sizeof empty) == platform::kERROR_SUCCESS;
}

}  // namespace

void CHostedNetworkDlg::StartActionThread() {
  Dword threadId = 0;
  m_hActionThread = platform::UniqueKernelHandle(Kernel().createThread(&ActionThreadProc, this, &threadId),
                                                 platform::KernelHandleCloser{&Kernel()});
  m_dwActionThreadId = threadId;
}

void CHostedNetworkDlg::WatchActionValue() {
  platform::IRegistry& registry = *m_pPlatform->registry;
  // Left open when the watcher ends: the dialog may still signal it while closing.
  const Handle event = Kernel().createEvent(false, false);
  m_hActionEvent = event;

  const platform::UniqueRegKey key = controller::CreateSettingsKey(registry);
  if (!key) return;
  // A command left from an earlier run is discarded.
  if (!WriteEmptyAction(registry, key.get())) return;

  // The notification is armed again as soon as the watcher wakes, before it reads "Action":
  // a write either comes before the arming, and the read sees it, or after it, and wakes the
  // watcher once more; none falls between a read and the next arming. The watcher's own
  // emptying costs one more wake-up that finds nothing to do.
  auto arm = [&registry, &key, event] {
    registry.regNotifyChangeKeyValue(key.get(), false, platform::kREG_NOTIFY_CHANGE_LAST_SET, event, true);
  };
  arm();
  for (;;) {
    if (m_bClosing) break;
    Kernel().waitForSingleObject(event, platform::kINFINITE);
    if (m_bClosing) break;
    arm();

    std::u16string action;
    GetValue(key.get(), u"Action", action);
    action = ToLowerAscii(action);
    if (action.find(u"close") != std::u16string::npos) {
      m_bSilentClose = true;
      PostMessage(platform::kWM_CLOSE, 0, 0);
      break;
    }
    if (action.find(u"ssid") == std::u16string::npos) continue;
    const bool emptied = WriteEmptyAction(registry, key.get());
    CarryOutSsidCommand(key.get());
    if (!emptied) {
      // Still there: it runs again only for a change that comes after it, and the command's
      // own writes are no such change.
      Kernel().resetEvent(event);
      arm();
    }
  }
}

void CHostedNetworkDlg::CarryOutSsidCommand(platform::Hkey key) {
  // The new key in force: stored, shown, announced with the name.
  auto applyKey = [this](const std::u16string& newKey) {
    m_WlanManager.SetHostedNetworkKey(newKey.c_str());
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
  m_WlanManager.SetHostedNetworkName(newName.c_str());
  m_CurrentName.Set(newName);
  m_NameEdit.SetWindowText(newName);
  WaitAndPumpMessages(500);

  if (ChangeSSID(newName, started ? 1 : 0)) {
    if (!newKey.empty()) applyKey(newKey);
    return;
  }
  // The shell failed: the rename may have taken effect all the same.
  std::u16string nameInForce;  // stays empty when the name cannot be read
  m_WlanManager.GetHostedNetworkName(nameInForce);
  m_CurrentName.Set(nameInForce);
  bool running = false;
  if (m_WlanManager.IsHostedNetworkStarted(running) != platform::kS_OK) running = false;
  if (running && EqualsNoCase(nameInForce, newName)) {
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

  platform::IProcessStart* processes = m_pPlatform->processStart;
  const bool launched = processes != nullptr && processes->shellExecuteEx(&info);
  // Ours whenever the call left one; closed after the pump below, as the shell may still run.
  const platform::UniqueKernelHandle shell(info.hProcess, platform::KernelHandleCloser{&Kernel()});
  Bool32 result = 0;
  if (launched && info.hInstApp > 32 &&
      Kernel().waitForSingleObject(shell.get(), kShellWaitMs) == platform::kWAIT_OBJECT_0) {
    Dword exitCode = 1;
    if (processes->getExitCodeProcess(shell.get(), &exitCode) && exitCode == 0) result = 1;
  }
  WaitAndPumpMessages(1000);
  return result;
}

}  // namespace tethra::app
