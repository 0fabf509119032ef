// The registry command channel's watcher: the "close" and "ssid" commands.
#include "tethra/app/CommandChannel.h"

#include "tethra/app/ConnectionKind.h"
#include "tethra/app/MessagePump.h"
#include "tethra/controller/CommandWatcher.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

using base::EqualsNoCase;

namespace {

platform::Dword ActionThreadProc(void* param) {
  auto* channel = static_cast<CCommandChannel*>(param);
  channel->WatchActionValue();
  return 0;
}

}  // namespace

CCommandChannel::CCommandChannel(const platform::Platform& platform, CDialogState& state, ICommandTarget& target)
    : m_Platform(platform), m_State(state), m_Target(target), m_StartupGate(*platform.kernel) {}

void CCommandChannel::StartActionThread() {
  platform::Dword threadId = 0;
  m_hActionThread = platform::UniqueKernelHandle(Kernel().createThread(&ActionThreadProc, this, &threadId),
                                                 platform::KernelHandleCloser{&Kernel()});
}

void CCommandChannel::WakeActionWatcher() {
  if (platform::Handle event = m_hActionEvent.exchange(nullptr); event != nullptr) Kernel().setEvent(event);
}

bool CCommandChannel::AwaitStartup() {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  m_StartupGate.Wait();
  return !m_State.Closing();
}

void CCommandChannel::WatchActionValue() {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  platform::IComRuntime& com = *m_Platform.com;
  const platform::ComApartment apartment(&com, com.coInitialize());
  controller::CommandHandlers handlers;
  handlers.closing = [this] { return m_State.Closing(); };
  handlers.close = [this] {
    if (!AwaitStartup()) return;
    m_State.CloseSilently();
    m_Target.PostClose();
  };
  handlers.ssid = [this](platform::Hkey key) {
    if (AwaitStartup()) CarryOutSsidCommand(key);
  };
  controller::WatchCommands(Kernel(), *m_Platform.registry, m_hActionEvent, handlers);
}

void CCommandChannel::CarryOutSsidCommand(platform::Hkey key) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  IAccessPoint& accessPoint = m_Target.AccessPoint();
  // The new key in force: handed over, stored, shown, announced with the name.
  auto applyKey = [this, &accessPoint](const std::u16string& newKey) {
    accessPoint.SetKey(newKey);
    m_State.KeyInForce().Set(newKey);
    m_Target.ShowNameAndKey(nullptr, &newKey);
    m_State.FinishRename();
    m_Target.AnnounceNameAndKey();
  };
  m_State.BeginRename();
  std::u16string newName;
  std::u16string newKey;
  controller::ReadTextValue(*m_Platform.registry, key, u"SSID", newName);
  controller::ReadTextValue(*m_Platform.registry, key, u"Key", newKey);
  if (newName.empty()) return;  // dropped; notifications stay discarded

  const bool started = m_State.Started();
  const std::u16string nameBefore = m_State.NameInForce().Get();
  const platform::AccessPointConfig wanted{newName, newKey.empty() ? m_State.KeyInForce().Get() : newKey};
  const auto nameHandedOver = [this, &newName] {
    m_State.NameInForce().Set(newName);
    m_Target.ShowNameAndKey(&newName, nullptr);
    WaitAndPumpMessages(Kernel(), *m_Platform.windows, 500);
  };
  if (accessPoint.Rename(wanted, started, nameHandedOver)) {
    if (!newKey.empty()) applyKey(newKey);
    return;
  }
  // The end has begun meanwhile: it tells the controller what happened, not the rename.
  if (m_State.Closing()) return;
  // The restart failed: the rename may have taken effect all the same. A name that cannot be
  // read back says nothing of it: the record keeps the name in force before the command.
  std::u16string nameInForce;
  const bool nameRead = accessPoint.GetName(nameInForce) == platform::kS_OK;
  m_State.NameInForce().Set(nameRead ? nameInForce : nameBefore);
  bool running = false;
  if (accessPoint.IsStarted(running) != platform::kS_OK) running = false;
  if (running && nameRead && EqualsNoCase(nameInForce, newName)) {
    applyKey(newKey);  // even an empty one
  } else if (!m_State.SilentClose()) {
    m_Target.ReportStatus(u"CHANGE_SSID_FAILED");
    m_State.CloseSilently();
    m_Target.PostClose();
  }
}

}  // namespace tethra::app
