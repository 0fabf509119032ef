// CDialog: a modal dialog built from a dialog template of the program's resources, with a
// window procedure that derived dialogs override and a message map (OnWndMsg) that routes
// messages to handlers. CWinApp: the application object, one per run, that owns the platform
// and the command line and runs InitInstance.
//
// Threads: a dialog lives on the thread that runs DoModal; its procedure runs there only.
// Messages a dialog does not handle go to the window system's default dialog handling.
#pragma once

#include <string>

#include "tethra/app/framework/Wnd.h"
#include "tethra/platform/Platform.h"

namespace tethra::app {

constexpr int kIDOK = 1;
constexpr int kIDCANCEL = 2;

class CDataExchange {
 public:
  CDataExchange(platform::IWindowSystem& windows, platform::Hwnd dialog) : m_Windows(windows), m_Dialog(dialog) {}
  // Binds the control `id` of the dialog to `control`.
  void Control(int id, CWnd& control) const;

 private:
  platform::IWindowSystem& m_Windows;
  platform::Hwnd m_Dialog;
};

class CDialog : public CWnd {
 public:
  CDialog(platform::IWindowSystem& windows, int templateId);
  ~CDialog() override = default;

  // Runs the dialog modally; returns the EndDialog value, or -1 when it could not be created.
  std::intptr_t DoModal();
  void EndDialog(std::intptr_t result) const;

 protected:
  virtual bool OnInitDialog();
  virtual void DoDataExchange(CDataExchange* exchange);
  // The dialog's window procedure: every message passes here first.
  virtual LResult WindowProc(std::uint32_t message, WParam wParam, LParam lParam);
  // The message map: returns true when a handler took the message (its result in *result).
  virtual bool OnWndMsg(std::uint32_t message, WParam wParam, LParam lParam, LResult* result);
  virtual void OnOK();
  virtual void OnCancel();
  // Leaves the current message to the window system's default dialog handling.
  LResult Default();

 private:
  static std::intptr_t DialogProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam);

  int m_TemplateId;
  bool m_UseDefault = false;
};

class CWinApp {
 public:
  CWinApp(const platform::Platform& platform, std::u16string commandLine)
      : m_Platform(platform), m_LpCmdLine(std::move(commandLine)) {}
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // False: no message loop of the framework's own; the process ends when it returns.
  virtual bool InitInstance() { return true; }

  const platform::Platform& m_Platform;
  std::u16string m_LpCmdLine;
};

}  // namespace tethra::app
