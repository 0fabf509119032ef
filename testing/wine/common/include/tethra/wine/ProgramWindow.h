// Finding tethra.exe's dialog from outside its code: a top-level window with the program's
// caption, owned by a given process. Captions are read with InternalGetWindowText, which sends
// no message: the search never waits on a window's thread, not even one of the caller's own
// process whose thread has ended (at the process's end). Header only; any thread.
#pragma once

#include <windows.h>

#include <cwchar>

namespace tethra::tools {

inline constexpr wchar_t kProgramTitle[] = L"WiFi Hosted Network";

// The first top-level window of process `processId` that `wanted` (given the window, its
// caption and its class name) accepts, or null.
template <typename Wanted>
HWND FindTopLevelWindow(DWORD processId, Wanted wanted) {
  struct Search {
    DWORD processId;
    Wanted* wanted;
    HWND found;
  } search{processId, &wanted, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM raw) -> BOOL {
        auto* s = reinterpret_cast<Search*>(raw);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != s->processId) return TRUE;
        wchar_t title[64] = {};
        wchar_t name[16] = {};
        ::InternalGetWindowText(window, title, 64);
        ::GetClassNameW(window, name, 16);
        if (!(*s->wanted)(window, title, name)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The dialog of process `processId`, or null when it has none (yet, or any more).
inline HWND FindProgramDialog(DWORD processId) {
  return FindTopLevelWindow(processId, [](HWND, const wchar_t* title, const wchar_t*) {
    return std::wcscmp(title, kProgramTitle) == 0;
  });
}

// A message box the process shows (a visible dialog of the system's class that is not the
// program's own dialog), or null.
inline HWND FindMessageBox(DWORD processId) {
  return FindTopLevelWindow(processId, [](HWND window, const wchar_t* title, const wchar_t* name) {
    return std::wcscmp(name, L"#32770") == 0 && std::wcscmp(title, kProgramTitle) != 0 && ::IsWindowVisible(window);
  });
}

// Whether the window shows anything: visible and not of zero size. The program's dialog sizes
// itself to nothing while it sets itself up, and the system then owes it no paint, so the
// dialog can keep its visible style without a pixel on the screen.
inline bool ShowsAnything(HWND window) {
  RECT rect{};
  return ::IsWindowVisible(window) && ::GetWindowRect(window, &rect) && rect.right > rect.left &&
         rect.bottom > rect.top;
}

}  // namespace tethra::tools
