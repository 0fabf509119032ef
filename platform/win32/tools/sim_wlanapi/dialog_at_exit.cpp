// The program's dialog as it stands when the process ends.
#include "dialog_at_exit.h"

#include <windows.h>

#include "app/Resource.h"
#include "sim-runner/Text.h"
#include "tools/common/program_window.h"

namespace tethra::tools {

namespace {

std::string Quoted(const std::u16string& text) { return simrunner::Quote(text); }

std::u16string Text(HWND control) {
  const LRESULT length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const LRESULT copied = ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

}  // namespace

std::vector<std::string> DialogAtExit() {
  std::vector<std::string> lines;
  const DWORD process = ::GetCurrentProcessId();
  const HWND dialog = FindProgramDialog(process);
  if (dialog == nullptr || ::GetWindowThreadProcessId(dialog, nullptr) != ::GetCurrentThreadId()) return lines;
  const std::string pid = std::to_string(process);
  lines.push_back("end dialog " + pid + (ShowsAnything(dialog) ? " visible" : " hidden"));
  for (const int id : {IDC_EDIT_NAME, IDC_EDIT_KEY, IDC_STATIC_STATUS}) {
    if (const HWND control = ::GetDlgItem(dialog, id)) {
      lines.push_back("end control " + pid + " " + std::to_string(id) + " " + Quoted(Text(control)));
    }
  }
  if (const HWND list = ::GetDlgItem(dialog, IDC_LIST_NOTIFICATIONS)) {
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      std::u16string line(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, u'\0');
      const LRESULT copied =
          ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
      line.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
      lines.push_back("end log-line " + pid + " " + Quoted(line));
    }
  }
  return lines;
}

}  // namespace tethra::tools
