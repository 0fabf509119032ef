// CHostedNetworkApp: the process entry. Takes the single-instance mutex, ends at once without a
// switch, and otherwise runs the main dialog modally on the process's main thread.
#include "tethra/app/HostedNetworkApp.h"

#include "tethra/app/Entry.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/SystemNames.h"
#include "tethra/platform/Handle.h"

namespace tethra::app {

namespace {
// The common-control classes registered before the dialog is made.
constexpr platform::Dword kICC_STANDARD_CLASSES = 0xFF;
}  // namespace

bool CHostedNetworkApp::InitInstance() {
  const platform::Platform& p = m_Platform;
  p.windows->initCommonControlsEx(8, kICC_STANDARD_CLASSES);
  CWinApp::InitInstance();

  // No namespace prefix: the guard lives in the current user session's namespace.
  platform::UniqueKernelHandle mutex(p.kernel->createMutex(true, kInstanceMutexName),
                                     platform::KernelHandleCloser{p.kernel});
  const bool otherInstance = !mutex || p.kernel->getLastError() == platform::kERROR_ALREADY_EXISTS;
  if (!otherInstance) {
    const std::u16string commandLine = m_LpCmdLine;
    if (!commandLine.empty()) {
      CHostedNetworkDlg dialog(p, commandLine);
      dialog.DoModal();
    }
  }
  if (mutex) p.kernel->releaseMutex(mutex.get());
  return false;
}

platform::Dword RunTethra(const platform::Platform& platform, std::u16string commandLine) {
  if (!platform.Complete()) return kExitIncompletePlatform;
  CHostedNetworkApp app(platform, std::move(commandLine));
  app.InitInstance();
  return 0;
}

}  // namespace tethra::app
