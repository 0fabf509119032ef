// The control pipe's server: reads a request line, performs it, answers one line.
#include "ControlServer.h"

#include "DeviceEvent.h"
#include "tethra/scenario/ServiceControl.h"
#include "WlanDll.h"
#include "tethra/wine/ControlPipe.h"

namespace tethra::tools {

namespace {
constexpr DWORD kBufferBytes = 4096;
constexpr std::size_t kLongestRequest = 4096;
constexpr UINT kDeviceSendTimeoutMs = 5000;
}  // namespace

ControlServer::ControlServer(SimWlanDll& dll) : m_dll(dll) {
  m_pipe = ::CreateNamedPipeW(kControlPipeName,
                              PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                              kBufferBytes, kBufferBytes, 0, nullptr);
  if (m_pipe == INVALID_HANDLE_VALUE) {
    m_dll.write("control pipe not served here (error " + std::to_string(::GetLastError()) + ")");
    return;
  }
  const HANDLE thread = ::CreateThread(nullptr, 0, &ControlServer::ThreadProc, this, 0, nullptr);
  if (thread == nullptr) {
    m_dll.write("control pipe not served: no thread (error " + std::to_string(::GetLastError()) + ")");
    return;
  }
  ::CloseHandle(thread);
  m_dll.write("control pipe served");
}

// Never runs while the server thread does: the DLL keeps its server for the process's life.
ControlServer::~ControlServer() {
  if (m_pipe != INVALID_HANDLE_VALUE) ::CloseHandle(m_pipe);
}

DWORD WINAPI ControlServer::ThreadProc(LPVOID raw) {
  static_cast<ControlServer*>(raw)->serve();
  return 0;
}

void ControlServer::serve() {
  for (;;) {
    if (!::ConnectNamedPipe(m_pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
      m_dll.write("control pipe: connect failed (error " + std::to_string(::GetLastError()) + ")");
      ::Sleep(100);  // the next client gets its chance; a broken pipe does not spin
      ::DisconnectNamedPipe(m_pipe);
      continue;
    }
    std::string received;
    char buffer[256];
    bool complete = false;
    while (received.size() < kLongestRequest) {
      DWORD read = 0;
      if (!::ReadFile(m_pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) break;
      received.append(buffer, read);
      if (received.find('\n') != std::string::npos) {
        complete = true;
        break;
      }
    }
    if (complete) {
      const std::string line = received.substr(0, received.find('\n'));
      const std::string reply = answer(line) + "\n";
      DWORD written = 0;
      ::WriteFile(m_pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
      ::FlushFileBuffers(m_pipe);  // the client has the answer before it is cut off
    } else {
      m_dll.write("control pipe: a client left without a request line");
    }
    ::DisconnectNamedPipe(m_pipe);
  }
}

std::string ControlServer::answer(const std::string& line) {
  simrunner::ControlRequest request;
  std::string why;
  std::string reply;
  if (!simrunner::ParseControlRequest(line, request, why)) {
    reply = "error " + why;
  } else if (request.kind == simrunner::ControlRequest::Kind::Device) {
    const DeviceDelivery delivery = SendDeviceChange(request.removed, request.text, kDeviceSendTimeoutMs);
    if (!delivery.error.empty()) {
      reply = "error " + delivery.error;
    } else {
      reply = delivery.windows == 0 ? std::string(kDeliveredToNobody) : "ok";
    }
  } else {
    why = m_dll.perform(request);
    reply = why.empty() ? "ok" : "error " + why;
  }
  m_dll.write("control " + line + " -> " + reply);
  return reply;
}

}  // namespace tethra::tools
