// The DLGPROC behind every dialog of the program. The portable procedure is an ordinary
// function that returns "handled" (nonzero) or "not handled" (0); Windows wants, for most
// messages, TRUE/FALSE as the return value and the message result in DWLP_MSGRESULT, and for a
// few messages the result itself. This thunk translates, and keeps the portable procedure and
// its init parameter in DWLP_USER for the messages after WM_INITDIALOG.
// Threads: only the dialog's own thread enters here.
#include "tethra/win32/DialogThunk.h"

namespace tethra::win32 {
namespace {

struct DialogStart {  // lives on RunModalDialog's stack for the whole modal loop
  platform::DlgProc proc;
  platform::LParam initParam;
};

// Messages whose dialog-procedure return value is the message result itself.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK DialogThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const DialogStart* start = nullptr;
  if (message == WM_INITDIALOG) {
    start = reinterpret_cast<const DialogStart*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(start));
    lParam = start->initParam;
  } else {
    start = reinterpret_cast<const DialogStart*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (start == nullptr) return FALSE;  // WM_SETFONT and the like, before WM_INITDIALOG

  const std::intptr_t result = start->proc(FromHwnd(hwnd), message, wParam, lParam);

  if (ReturnsResultDirectly(message)) return result;
  if (result == 0) return FALSE;  // let the dialog manager do its default
  ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

INT_PTR RunModalDialog(int templateId, HWND parent, platform::DlgProc proc, platform::LParam initParam) {
  DialogStart start{proc, initParam};
  return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId), parent, &DialogThunk,
                           reinterpret_cast<LPARAM>(&start));
}

}  // namespace tethra::win32
