// CControllerWindowLink: the program's side of the controller window ("Pelto", the controller
// application): finding and hiding its window, the status codes and the name-and-key notice
// sent to it as WM_COPYDATA, and the "Current SSID" / "Current Key" settings the notice points at.
//
// Owner: the dialog (by value), for the life of the process; CHostedNetworkSession sends
// through it. Threads: Find runs on the dialog's thread during start-up, before the watcher
// may carry out commands (the start-up gate orders it); after that both the dialog's thread
// and the watcher thread send, and nothing changes.
// Codes: SendStatus is false when there is no controller window (nothing sent); a send the
// controller does not take within its time-out is traced, not reported.
#pragma once

#include <string>

#include "tethra/app/DialogState.h"
#include "tethra/app/framework/Wnd.h"
#include "tethra/controller/ControllerLink.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Registry.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/Window.h"

namespace tethra::app {

class CControllerWindowLink {
 public:
  CControllerWindowLink(platform::IWindowSystem& windows, platform::IKernel& kernel, platform::IRegistry& registry,
                        platform::ITrace& trace, std::u16string commandLine)
      : m_Windows(windows),
        m_Kernel(kernel),
        m_Registry(registry),
        m_Trace(trace),
        m_CommandLine(std::move(commandLine)) {}
  CControllerWindowLink(const CControllerWindowLink&) = delete;
  CControllerWindowLink& operator=(const CControllerWindowLink&) = delete;

  // Finds the controller window by its title and hides it; without one nothing is sent later.
  void Find();
  bool Found() const { return m_Window != nullptr; }
  // The switch the controller started the program with ("/ShareLAN", ...): sent back with the notice.
  const std::u16string& CommandLine() const { return m_CommandLine; }

  // A status code from `from` (the dialog's window), given up after `timeoutMs`.
  bool SendStatus(platform::Hwnd from, const std::u16string& code,
                  std::uint32_t timeoutMs = controller::kControllerSendTimeoutMs);
  // The name-and-key notice: writes the name and key in use (those the edits show and the next
  // start asks for) to the settings, then tells the controller to read them. Not those in
  // force: they differ after a rename the service read back in another case, or after a read
  // of the key that failed, and the controller shows what the program means to run.
  void SendNameAndKey(platform::Hwnd from, CDialogState& state);

 private:
  platform::IWindowSystem& m_Windows;
  platform::IKernel& m_Kernel;  // the thread's last error, kept across the settings key's close
  platform::IRegistry& m_Registry;
  platform::ITrace& m_Trace;
  const std::u16string m_CommandLine;
  platform::Hwnd m_Window = nullptr;
  CWnd m_WindowObject;  // the framework's object for m_Window, once found
};

}  // namespace tethra::app
