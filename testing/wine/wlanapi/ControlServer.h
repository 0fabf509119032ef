// The server side of the control pipe (tools/common/control_pipe.h): one instance, created
// with FILE_FLAG_FIRST_PIPE_INSTANCE so that only the first process that loads the simulated
// wlanapi.dll serves, and a thread that takes one request per connection.
//
// Owner: the SimWlanDll, for the process's life; the server owns its pipe handle and thread.
// Threads: constructed on the thread of the DLL's first use; requests run on the server's
// thread. Answers: "ok", "ok nobody" for a device event no window registered for (nothing
// sent), or "error " and the reason (malformed request, the program's device registrations not
// watched, the send failed, notifications not delivered in time).
#pragma once

#include <windows.h>

#include <string>

namespace tethra::tools {

class SimWlanDll;

class ControlServer {
 public:
  explicit ControlServer(SimWlanDll& dll);
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  ~ControlServer();

 private:
  static DWORD WINAPI ThreadProc(LPVOID raw);
  void serve();
  std::string answer(const std::string& line);

  SimWlanDll& m_dll;
  HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

}  // namespace tethra::tools
