// The program's dialog as it changes, for the simulated WLAN service's log: once tethra.exe
// has called ExitProcess no outside observer can read its window, yet a scenario expects the
// dialog's last state. Nothing is read at the process's end (a thread ended in the middle of
// a window call may hold the window system's lock there); instead a hook on the dialog's
// thread writes every change when it happens, after a first full picture:
//   dialog PID visible|hidden          the dialog shows something or not (zero size: not)
//   dialog PID control ID "TEXT"       a name or key edit, or the status line, set to TEXT
//   dialog PID log-reset               the notification log emptied (also before the picture)
//   dialog PID log-line "TEXT"         a line added at the log's end
//   dialog PID log-insert INDEX "TEXT" / dialog PID log-delete INDEX
//   dialog PID message-box             a message box shown (WatchMessageBoxes)
//
// Owner: one hook per process, installed from WatchDialog() on the dialog's own thread once the
// dialog exists, and never removed (it ends with the process). Threads: WatchDialog from any
// thread (it acts only on the dialog's); the hook runs on the dialog's thread.
#pragma once

#include <functional>
#include <string>

namespace tethra::tools {

// Installs the watch when called on the thread that owns the program's dialog (once); `write`
// receives each line, from that thread.
void WatchDialog(const std::function<void(const std::string&)>& write);

// Installs, once for the calling thread, a hook that writes `dialog PID message-box` when the
// thread shows a message box (ShellExecuteExW may, on any thread), the stand-in controller's
// cue to answer it. The first call's `write` serves every thread.
void WatchMessageBoxes(const std::function<void(const std::string&)>& write);

}  // namespace tethra::tools
