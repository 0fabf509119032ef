// The hosted network's opening, notification queue, start, the rename's network shell, and
// the stop at the end.
#include "tethra/app/HostedNetworkAccessPoint.h"

#include "tethra/app/MessagePump.h"
#include "tethra/base/Allocation.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::app {

using platform::HResult;

namespace {

constexpr platform::Dword kShellWaitMs = 3000;
// The record's size, which ShellExecuteExW checks: SHELLEXECUTEINFOW on 64-bit Windows is 112
// bytes (https://learn.microsoft.com/en-us/windows/win32/api/shellapi/ns-shellapi-shellexecuteinfow).
// The program fills its own record without the Windows header; the Windows build's
// platform/win32/src/ProcessStart.cpp asserts the 112 against the header's record at compile time.
constexpr std::size_t kShellExecuteInfoSize = 112;

}  // namespace

CHostedNetworkAccessPoint::CHostedNetworkAccessPoint(const platform::Platform& platform)
    : m_Platform(platform),
      m_Manager(*platform.wlan, *platform.kernel, *platform.codePage, *platform.trace),
      m_ShellIdle(platform.kernel->createEvent(true, true), platform::KernelHandleCloser{platform.kernel}) {}

HResult CHostedNetworkAccessPoint::Open(platform::Hwnd window, std::uint32_t maxPeers, bool& started) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  HResult hr = platform::kS_OK;
  bool sinkRegistered = false;
  m_Sink.reset(base::NewObject<wlan::CNotificationSink>(wlan::kAllocSiteSink, *m_Platform.kernel,
                                                        *m_Platform.windows, *m_Platform.trace, window));
  if (m_Sink == nullptr) {
    hr = platform::kE_OUTOFMEMORY;
  } else if (hr = m_Manager.Init(maxPeers); hr == platform::kS_OK) {
    if (hr = m_Manager.SetNotificationSink(m_Sink.get()); hr == platform::kS_OK) {
      sinkRegistered = true;
      if (hr = m_Manager.IsHostedNetworkStarted(started); hr == platform::kS_OK) return platform::kS_OK;
    }
  }
  if (sinkRegistered) {
    ReleaseNotificationSink();
  } else {
    m_Sink.reset();  // never registered: nothing to wait for
  }
  return hr;
}

void CHostedNetworkAccessPoint::ReleaseNotificationSink() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (m_Sink == nullptr) return;
  static_cast<void>(m_Manager.RemoveNotificationSink());  // best effort: E_FAIL when none is left
  m_Sink.reset();
}

base::RefPtr<wlan::CHostedNetworkNotification> CHostedNetworkAccessPoint::NextNotification() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (m_Sink == nullptr) return {};
  return base::RefPtr<wlan::CHostedNetworkNotification>::Adopt(m_Sink->GetNextNotification());
}

HResult CHostedNetworkAccessPoint::StartWith(const std::u16string& name, const std::u16string& key,
                                             CSharedText& nameInForce, CSharedText& keyInForce) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  HResult hr = platform::kS_OK;
  if (name != nameInForce.Get()) {
    hr = m_Manager.SetHostedNetworkName(name.c_str());
    if (hr == platform::kS_OK) nameInForce.Set(name);
  }
  if (hr == platform::kS_OK && key != keyInForce.Get()) {
    hr = m_Manager.SetHostedNetworkKey(key.c_str());
    if (hr == platform::kS_OK) keyInForce.Set(key);
  }
  if (hr != platform::kS_OK) return hr;
  bool started = false;
  static_cast<void>(m_Manager.IsHostedNetworkStarted(started));  // unknown counts as stopped
  if (started) static_cast<void>(m_Manager.ForceStopHostedNetwork());  // the start reports
  return m_Manager.StartHostedNetwork();
}

void CHostedNetworkAccessPoint::SetName(const std::u16string& name) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  // Written to a running network, the name takes it out of use, and the network shell's forced
  // start brings it back: from this moment every end stops it by force, also one that comes
  // while the shell still runs.
  if (bool started = false; m_Manager.IsHostedNetworkStarted(started) == platform::kS_OK && started) {
    m_ForceStopAtEnd = true;
  }
  // A refused name shows in what the service reads back afterwards.
  static_cast<void>(m_Manager.SetHostedNetworkName(name.c_str()));
}

platform::Bool32 CHostedNetworkAccessPoint::Rename(const platform::AccessPointConfig& wanted, bool started,
                                                   const std::function<void()>& nameHandedOver) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  SetName(wanted.ssid);
  nameHandedOver();
  return ChangeSSID(started ? 1 : 0);
}

platform::Bool32 CHostedNetworkAccessPoint::ChangeSSID(platform::Bool32 started) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  // Not running: the name handed to the manager takes effect at the next start.
  if (!started) return 1;
  platform::ShellExecuteInfo info;
  info.cbSize = static_cast<platform::Dword>(kShellExecuteInfoSize);
  info.fMask = platform::kSEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = u"netsh";
  info.lpParameters = u"wlan start hostednetwork";
  info.nShow = platform::kSW_HIDE;

  platform::IKernel& kernel = *m_Platform.kernel;
  platform::IProcessStart& processes = *m_Platform.processStart;
  kernel.resetEvent(m_ShellIdle.get());
  if (m_Ending) {  // the end has begun: a shell started now would outlive its stop
    kernel.setEvent(m_ShellIdle.get());
    return 0;
  }
  const bool launched = processes.shellExecuteEx(&info);
  // Ours whenever the call left one; closed after the pump below, as the shell may still run.
  const platform::UniqueKernelHandle shell(info.hProcess, platform::KernelHandleCloser{&kernel});
  platform::Bool32 result = 0;
  if (launched && info.hInstApp > 32 &&
      kernel.waitForSingleObject(shell.get(), kShellWaitMs) == platform::kWAIT_OBJECT_0) {
    platform::Dword exitCode = 1;
    if (processes.getExitCodeProcess(shell.get(), &exitCode) && exitCode == 0) result = 1;
  }
  kernel.setEvent(m_ShellIdle.get());
  WaitAndPumpMessages(kernel, *m_Platform.windows, 1000);
  return result;
}

HResult CHostedNetworkAccessPoint::Stop(bool sharingStopped) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  // A rename's shell that still runs may yet start the network: the end waits for it as long
  // as the rename itself would, so that the forced stop below comes after the shell's start;
  // and no shell is started after this point.
  m_Ending = true;
  static_cast<void>(m_Platform.kernel->waitForSingleObject(m_ShellIdle.get(), kShellWaitMs));
  // Sharing that was on may keep the network in use, and the network shell's start is not the
  // program's to give back: then only a forced stop ends it.
  return sharingStopped || m_ForceStopAtEnd ? m_Manager.ForceStopHostedNetwork() : m_Manager.StopHostedNetwork();
}

}  // namespace tethra::app
