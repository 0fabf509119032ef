// The modal dialog of the window system adapter: runs a portable dialog procedure under a
// Windows DLGPROC. Call on the thread that is to own the dialog; the procedure then runs on
// that thread only. Results as DialogBoxParamW gives them.
#pragma once

#include "tethra/platform/Window.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {

// DialogBoxParamW on the module's template `templateId`, with `proc` as the dialog procedure
// and `initParam` as the lParam of its WM_INITDIALOG. Returns EndDialog's value or -1.
INT_PTR RunModalDialog(int templateId, HWND parent, platform::DlgProc proc, platform::LParam initParam);

}  // namespace tethra::win32
