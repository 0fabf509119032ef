// The control channels of the simulated services: named pipes served by the simulated
// wlanapi.dll (and simhotspot.dll, with its own requests) inside the program's process, through
// which a test's tools (the stand-in controller, the netsh stand-in) act as the machine around
// the program. Header only.
//
// Protocol: one request per connection. The client writes one UTF-8 line ending in '\n'; the
// server performs it, answers one line, "ok\n" (a device event told to nobody: "ok nobody\n") or
// "error TEXT\n", and disconnects. Requests:
//   state OLD NEW REASON          the service changes state (0 unavailable, 1 idle, 2 active);
//                                 from another state than OLD: refused, naming the state
//                                 (simrunner::StateRefusal)
//   notify-raw CODE SIZE          a hosted-network notification with that code and data size
//   join MAC / leave MAC          a station (00-1A-2B-3C-4D-5E) joins / leaves
//   device removed|arrived TEXT   a device-interface event of the network-adapter class, sent to
//                                 each window of the program registered for it; "ok nobody"
//                                 when none is (nothing sent, as the system sends nothing)
//   forced-start                  what `netsh wlan start hostednetwork` does (the program's shell
//                                 or someone else's): a start tied to no handle
//   radio-off / adapter-disabled  the radio is switched off / the physical adapter disabled
//   sleep                         the machine sleeps (after the suspend broadcast)
// Each is answered once its notifications have been delivered (device: once the send returned).
//
// Owner: SendControl owns its pipe handle for the call only; a ControlPipeServer owns its pipe
// for its life. Threads: SendControl on any thread, each call with its own connection; a
// server answers on its own thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tethra/wine/ToolThread.h"
#include "tethra/wine/WinHandle.h"

namespace tethra::tools {

inline constexpr wchar_t kControlPipeName[] = L"\\\\.\\pipe\\tethra-simwlan";
// The simulated mobile hotspot's pipe (simhotspot.dll): the same protocol, its own requests
// (testing/scenario/include/tethra/scenario/HotspotControl.h).
inline constexpr wchar_t kHotspotPipeName[] = L"\\\\.\\pipe\\tethra-simhotspot";
// The answer to a device event that no window was registered for.
inline constexpr char kDeliveredToNobody[] = "ok nobody";

// Sends one request (without its '\n') and reads the answer line (without its '\n') into
// `answer`. False, with the reason in `answer`, when no server could be reached within
// `timeoutMs` (the pipe is waited for while it does not exist yet or all its instances are
// busy), or when the write or any read of the answer took longer than `timeoutMs` itself.
inline bool SendControl(const wchar_t* pipeName, const std::string& request, std::string& answer, DWORD timeoutMs) {
  WinHandle pipe;
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    pipe = OwnHandle(::CreateFileW(pipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr));
    if (pipe) break;
    const DWORD error = ::GetLastError();
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) {
      answer = "no control pipe (error " + std::to_string(error) + ")";
      return false;
    }
    const DWORD left = static_cast<DWORD>(deadline - now);
    if (error == ERROR_PIPE_BUSY) {
      // Returns at once with ERROR_FILE_NOT_FOUND if the pipe vanished meanwhile: retried below.
      if (!::WaitNamedPipeW(pipeName, left < 100 ? left : 100)) ::Sleep(10);
    } else {
      ::Sleep(left < 50 ? left : 50);  // not created yet: the program has not loaded the DLL
    }
  }
  // Overlapped, so that a server that never answers costs at most the timeout.
  const WinHandle event = MakeEvent(true);
  if (!event) {
    answer = "no event (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  // One transfer, finished within `timeoutMs`: the bytes moved, or false.
  auto transfer = [&](bool write, void* data, DWORD size, DWORD& moved) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    const BOOL done = write ? ::WriteFile(pipe.get(), data, size, nullptr, &overlapped)
                            : ::ReadFile(pipe.get(), data, size, nullptr, &overlapped);
    if (!done && ::GetLastError() != ERROR_IO_PENDING) return false;
    if (::WaitForSingleObject(event.get(), timeoutMs) != WAIT_OBJECT_0) {
      ::CancelIo(pipe.get());
      ::GetOverlappedResult(pipe.get(), &overlapped, &moved, TRUE);  // the buffer is ours again
      ::SetLastError(WAIT_TIMEOUT);
      return false;
    }
    return ::GetOverlappedResult(pipe.get(), &overlapped, &moved, FALSE) != FALSE;
  };
  std::string line = request + "\n";
  DWORD written = 0;
  if (!transfer(true, line.data(), static_cast<DWORD>(line.size()), written) || written != line.size()) {
    answer = "cannot write the request (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  std::string received;
  char buffer[256];
  for (;;) {
    DWORD read = 0;
    if (!transfer(false, buffer, sizeof buffer, read) || read == 0) break;
    received.append(buffer, read);
    if (received.find('\n') != std::string::npos) break;
  }
  const std::size_t end = received.find('\n');
  if (end == std::string::npos) {
    answer = "no answer line (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  answer = received.substr(0, end);
  return true;
}

// The simulated WLAN service's pipe.
inline bool SendControl(const std::string& request, std::string& answer, DWORD timeoutMs) {
  return SendControl(kControlPipeName, request, answer, timeoutMs);
}

// The server side, one per planted service: one pipe instance, created with
// FILE_FLAG_FIRST_PIPE_INSTANCE so that only the first process that loads the service serves,
// and a thread that takes one request per connection, hands its line to `answer` and sends back
// what that returns ("ok", "ok nobody" or "error REASON"). Every step goes to `log`: served or
// why not, a failed connect, a client that left without a line, each request with its answer.
// The planted services keep their server for the process's life: it is never destroyed while
// its thread runs.
class ControlPipeServer {
 public:
  using Answer = std::function<std::string(const std::string& line)>;
  using Log = std::function<void(const std::string& text)>;

  // `longestRequest`: bytes read at the most before a client without a line is let go.
  ControlPipeServer(const wchar_t* pipeName, std::size_t longestRequest, Answer answer, Log log)
      : m_LongestRequest(longestRequest), m_Answer(std::move(answer)), m_Log(std::move(log)) {
    constexpr DWORD kBufferBytes = 4096;
    m_Pipe = OwnHandle(::CreateNamedPipeW(pipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                          1, kBufferBytes, kBufferBytes, 0, nullptr));
    if (!m_Pipe) {
      m_Log("control pipe not served here (error " + std::to_string(::GetLastError()) + ")");
    } else if (!StartThread([this] { serve(); })) {
      m_Log("control pipe not served: no thread (error " + std::to_string(::GetLastError()) + ")");
    } else {
      m_Log("control pipe served");
    }
  }
  ControlPipeServer(const ControlPipeServer&) = delete;
  ControlPipeServer& operator=(const ControlPipeServer&) = delete;

 private:
  void serve() {
    const HANDLE pipe = m_Pipe.get();
    for (;;) {
      if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
        m_Log("control pipe: connect failed (error " + std::to_string(::GetLastError()) + ")");
        ::Sleep(100);  // the next client gets its chance; a broken pipe does not spin
        ::DisconnectNamedPipe(pipe);
        continue;
      }
      std::string received;
      char buffer[256];
      while (received.size() < m_LongestRequest && received.find('\n') == std::string::npos) {
        DWORD read = 0;
        if (!::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) break;
        received.append(buffer, read);
      }
      const std::size_t end = received.find('\n');
      if (end != std::string::npos) {
        const std::string line = received.substr(0, end);
        const std::string reply = m_Answer(line);
        m_Log("control " + line + " -> " + reply);
        const std::string sent = reply + "\n";
        DWORD written = 0;
        ::WriteFile(pipe, sent.data(), static_cast<DWORD>(sent.size()), &written, nullptr);
        ::FlushFileBuffers(pipe);  // the client has the answer before it is cut off
      } else {
        m_Log("control pipe: a client left without a request line");
      }
      ::DisconnectNamedPipe(pipe);
    }
  }

  const std::size_t m_LongestRequest;
  const Answer m_Answer;
  const Log m_Log;
  WinHandle m_Pipe;
};

}  // namespace tethra::tools
