// The about box (dialog 100): icon, name and version, OK. No behaviour of its own.
#pragma once

#include "tethra/app/Resource.h"
#include "tethra/app/framework/Dialog.h"

namespace tethra::app {

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(platform::IWindowSystem& windows) : CDialog(windows, IDD_ABOUTBOX) {}
};

}  // namespace tethra::app
