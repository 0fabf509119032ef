// The program's dialog as it changes.
#include "DialogWatch.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "tethra/app/Resource.h"
#include "tethra/scenario/Text.h"
#include "tethra/wine/ProgramWindow.h"

namespace tethra::tools {

namespace {

struct Watch {
  HWND dialog = nullptr;
  std::string pid;
  std::function<void(const std::string&)> write;
  int visible = -1;  // as last written; -1 before the first picture
};

std::atomic<bool> g_installed{false};
Watch* g_watch = nullptr;  // the dialog thread's alone once installed

std::string Quoted(const wchar_t* text) {
  return simrunner::Quote(text != nullptr ? reinterpret_cast<const char16_t*>(text) : u"");
}

std::u16string Text(HWND control) {
  const LRESULT length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  std::u16string text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, u'\0');
  const LRESULT copied = ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void WriteVisibility(Watch& w) {
  const int visible = ShowsAnything(w.dialog) ? 1 : 0;
  if (visible == w.visible) return;
  w.visible = visible;
  w.write("dialog " + w.pid + (visible ? " visible" : " hidden"));
}

// The picture the changes start from.
void WritePicture(Watch& w) {
  WriteVisibility(w);
  for (const int id : {IDC_EDIT_NAME, IDC_EDIT_KEY, IDC_STATIC_STATUS}) {
    if (const HWND control = ::GetDlgItem(w.dialog, id)) {
      w.write("dialog " + w.pid + " control " + std::to_string(id) + " " + simrunner::Quote(Text(control)));
    }
  }
  w.write("dialog " + w.pid + " log-reset");
  if (const HWND list = ::GetDlgItem(w.dialog, IDC_LIST_NOTIFICATIONS)) {
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      std::u16string line(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, u'\0');
      const LRESULT copied =
          ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
      line.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
      w.write("dialog " + w.pid + " log-line " + simrunner::Quote(line));
    }
  }
}

// A message box (a top-level dialog of the system's class other than the program's) a
// thread has just shown: nobody is there to answer it but the stand-in controller.
bool IsMessageBoxShown(HWND window, LPARAM windowPos) {
  const auto* position = reinterpret_cast<const WINDOWPOS*>(windowPos);
  if (position == nullptr || (position->flags & SWP_SHOWWINDOW) == 0) return false;
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0) return false;
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return std::wcscmp(name, L"#32770") == 0 && FindProgramDialog(::GetCurrentProcessId()) != window;
}

std::atomic<const std::function<void(const std::string&)>*> g_boxWrite{nullptr};  // set once
thread_local bool t_boxWatched = false;

LRESULT CALLBACK AfterMessageForBoxes(int code, WPARAM wParam, LPARAM lParam) {
  const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && m->message == WM_WINDOWPOSCHANGED && IsMessageBoxShown(m->hwnd, m->lParam)) {
    if (const auto* write = g_boxWrite.load()) {
      (*write)("dialog " + std::to_string(::GetCurrentProcessId()) + " message-box");
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// After each message the dialog's thread has handled: the changes that matter, as they land.
LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && g_watch != nullptr) {
    Watch& w = *g_watch;
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (m->hwnd == w.dialog && (m->message == WM_WINDOWPOSCHANGED || m->message == WM_SHOWWINDOW)) {
      WriteVisibility(w);
    } else if (::GetParent(m->hwnd) == w.dialog) {
      const int id = ::GetDlgCtrlID(m->hwnd);
      const std::string head = "dialog " + w.pid;
      const bool field = id == IDC_EDIT_NAME || id == IDC_EDIT_KEY || id == IDC_STATIC_STATUS;
      if (m->message == WM_SETTEXT && m->lResult && field) {
        w.write(head + " control " + std::to_string(id) + " " + Quoted(reinterpret_cast<const wchar_t*>(m->lParam)));
      } else if (id == IDC_LIST_NOTIFICATIONS && static_cast<LONG_PTR>(m->lResult) >= 0) {
        const auto* text = reinterpret_cast<const wchar_t*>(m->lParam);
        if (m->message == LB_ADDSTRING) {
          w.write(head + " log-line " + Quoted(text));
        } else if (m->message == LB_INSERTSTRING) {
          w.write(head + " log-insert " + std::to_string(m->lResult) + " " + Quoted(text));
        } else if (m->message == LB_DELETESTRING) {
          w.write(head + " log-delete " + std::to_string(m->wParam));
        } else if (m->message == LB_RESETCONTENT) {
          w.write(head + " log-reset");
        }
      }
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void WatchDialog(const std::function<void(const std::string&)>& write) {
  if (g_installed.load()) return;
  const HWND dialog = FindProgramDialog(::GetCurrentProcessId());
  if (dialog == nullptr || ::GetWindowThreadProcessId(dialog, nullptr) != ::GetCurrentThreadId()) return;
  if (g_installed.exchange(true)) return;
  g_watch = new Watch{dialog, std::to_string(::GetCurrentProcessId()), write};  // process lifetime
  WritePicture(*g_watch);
  if (::SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterMessage, nullptr, ::GetCurrentThreadId()) == nullptr) {
    write("dialog watch not installed (error " + std::to_string(::GetLastError()) + ")");
  }
}

void WatchMessageBoxes(const std::function<void(const std::string&)>& write) {
  if (t_boxWatched) return;
  t_boxWatched = true;
  if (g_boxWrite.load() == nullptr) {
    const auto* kept = new std::function<void(const std::string&)>(write);  // process lifetime
    const std::function<void(const std::string&)>* none = nullptr;
    if (!g_boxWrite.compare_exchange_strong(none, kept)) delete kept;
  }
  if (::SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterMessageForBoxes, nullptr, ::GetCurrentThreadId()) == nullptr) {
    write("message box watch not installed (error " + std::to_string(::GetLastError()) + ")");
  }
}

}  // namespace tethra::tools
