// CDeviceRemoval: the device-removal rules. Registers the dialog's window for network-adapter
// interface arrivals and removals, and says which removal ends the program: only that of the
// adapter behind the shared connection. In LAN mode ("/ShareLAN") the notebook's own wired
// adapters (by PCI hardware id, or any adapter whose subsystem vendor is 7A5C); in
// mobile-broadband and RAS mode the listed USB modems; in any other mode none.
//
// Owner: the dialog (by value). Threads: the dialog's thread only. Codes: the registration's
// calls give the platform's answer (true: registered / given back, or nothing to give back).
#pragma once

#include <string>

#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/SystemEvents.h"

namespace tethra::app {

class CDeviceRemoval {
 public:
  CDeviceRemoval(platform::ISystemEvents& events, platform::IKernel& kernel, std::u16string commandLine)
      : m_Events(events), m_Kernel(kernel), m_CommandLine(std::move(commandLine)) {}

  bool RegisterDeviceInterfaceGuid(platform::Hwnd window);
  bool UnRegisterDeviceInterfaceGuid();  // true as well when nothing is registered
  // WM_DEVICECHANGE's parameters: true when the removal they report ends the program.
  bool EndsProgram(platform::WParam event, platform::LParam record) const;
  // The removed interface's name (the system's record): true when it is the shared adapter's.
  bool IsSharedAdapter(const std::u16string& interfaceName) const;

 private:
  base::CThreadChecker m_Thread;
  platform::ISystemEvents& m_Events;
  platform::IKernel& m_Kernel;  // the thread's last error, kept across the unregistration
  const std::u16string m_CommandLine;
  platform::UniqueDeviceNotification m_Registration;
};

}  // namespace tethra::app
