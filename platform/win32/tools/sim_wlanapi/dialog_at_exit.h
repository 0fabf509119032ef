// The program's dialog as it stands when the process ends, for the simulated WLAN service's
// log: once tethra.exe has called ExitProcess no outside observer can read its window, yet a
// scenario expects the dialog's last state. Called at process detach on the thread that ends
// the process; answers only when that thread owns the dialog (its window procedures are then
// called directly, as every other thread is gone). Lines, in the service log's forms:
//   end dialog PID visible|hidden
//   end control PID ID "TEXT"     (the name and key edits and the status line)
//   end log-line PID "TEXT"       (each line of the notification log, in order)
#pragma once

#include <string>
#include <vector>

namespace tethra::tools {

std::vector<std::string> DialogAtExit();

}  // namespace tethra::tools
