// The simulated mobile hotspot of one process (see HotspotDll.h): its machine, its host,
// its delivery thread and its control pipe.
#include "HotspotDll.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>

#include "tethra/scenario/MachineConfig.h"
#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/ScenarioFile.h"

namespace tethra::tools {

namespace platform = tethra::platform;

namespace {

// How long a control request waits for what it queued to be delivered.
constexpr DWORD kDeliveryBoundMs = 10000;
constexpr DWORD kPipeBufferBytes = 4096;
constexpr std::size_t kLongestRequest = 256;

// A GUID written as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::optional<platform::Guid> GuidOf(const std::wstring& text) {
  GUID parsed{};
  std::wstring copy = text;
  if (FAILED(::CLSIDFromString(copy.data(), &parsed))) return std::nullopt;
  platform::Guid out;
  std::memcpy(static_cast<void*>(&out), &parsed, sizeof out);
  return out;
}

}  // namespace

namespace {
std::atomic<SimHotspotDll*> g_made{nullptr};
}  // namespace

SimHotspotDll& SimHotspotDll::Instance() {
  static SimHotspotDll* const dll = [] {
    auto* made = new SimHotspotDll();  // process lifetime, see the header
    g_made = made;
    return made;
  }();
  return *dll;
}

SimHotspotDll* SimHotspotDll::IfMade() { return g_made; }

SimHotspotDll::SimHotspotDll() {
  m_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_delivered = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  sim::SimHotspotConfig config;
  std::vector<sim::SimProfile> profiles;
  const ScenarioFromEnvironment loaded = LoadScenarioFromEnvironment();
  if (loaded.scenario) {
    config = simrunner::HotspotConfigOf(loaded.scenario->machine.hotspot);
    profiles = simrunner::HotspotProfiles(loaded.scenario->machine);
    m_faults = simrunner::FaultPlanOf(loaded.scenario->machine);
    write("scenario " + loaded.scenario->file);
  } else {
    if (loaded.named) write("scenario refused: " + loaded.refusal);
    if (const auto adapter = Environment(L"TETHRA_SIMHOTSPOT_ADAPTER")) {
      if (const auto guid = GuidOf(*adapter)) profiles.push_back(sim::SimProfile{*guid, u"Simulated"});
    }
  }
  sim::IHotspotServiceHost& host = *this;
  m_service = std::make_unique<sim::SimHotspotService>(host, config, profiles);
  write("service ready: " + std::to_string(profiles.size()) + " profile(s)" +
        (config.present ? "" : ", no tethering manager") +
        (config.sessionStart ? ", start with a session configuration" : ""));
  logChanges();
  if (const HANDLE thread = ::CreateThread(nullptr, 0, &SimHotspotDll::DeliveryThread, this, 0, nullptr)) {
    ::CloseHandle(thread);
  } else {
    write("no delivery thread (error " + std::to_string(::GetLastError()) + ")");
  }
  // Only the first process that loads the DLL serves the pipe.
  m_pipe = ::CreateNamedPipeW(kHotspotPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                              kPipeBufferBytes, kPipeBufferBytes, 0, nullptr);
  if (m_pipe == INVALID_HANDLE_VALUE) {
    write("control pipe not served here (error " + std::to_string(::GetLastError()) + ")");
  } else if (const HANDLE thread = ::CreateThread(nullptr, 0, &SimHotspotDll::PipeThread, this, 0, nullptr)) {
    ::CloseHandle(thread);
    write("control pipe served");
  } else {
    write("control pipe not served: no thread (error " + std::to_string(::GetLastError()) + ")");
  }
}

void SimHotspotDll::afterCall() {
  logChanges();
  // A late operation or a transition may have begun: the delivery thread learns its time. Only
  // while something is due at a time of its own, so that an idle hotspot wakes nobody.
  if (m_service->nextDueMs()) ::SetEvent(m_wake);
}

std::string SimHotspotDll::perform(const simrunner::HotspotRequest& request) {
  {
    const ServiceCall call = enter();
    simrunner::ApplyToHotspot(request, *m_service);
    logChanges();
  }
  ::SetEvent(m_wake);
  const ULONGLONG deadline = ::GetTickCount64() + kDeliveryBoundMs;
  for (;;) {
    {
      const ServiceCall call = enter();
      if (!m_service->hasPendingDelivery()) break;
    }
    if (::GetTickCount64() >= deadline) {
      return "not delivered within " + std::to_string(kDeliveryBoundMs) + " ms";
    }
    ::WaitForSingleObject(m_delivered, 10);
  }
  return {};
}

void SimHotspotDll::processEnded() {
  // The other threads were ended wherever they stood: a lock one of them held stays held.
  {
    std::unique_lock log(m_logMutex, std::try_to_lock);
    if (!log.owns_lock()) return;  // not even this can be said
  }
  if (m_inService != 0) {
    write("end: not settled (a thread was inside the service when the process ended)");
    return;
  }
  const ServiceCall call = enter();
  m_service->settleAfterExit();
  write(simrunner::HotspotNowLine(*m_service));
  // The other threads are gone, so the mutex of logChanges is free unless one died holding
  // it, and then inside the service too (caught above).
  std::lock_guard lock(m_nowMutex);
  writeNewViolationsLocked();
}

void SimHotspotDll::write(const std::string& text) {
  std::lock_guard lock(m_logMutex);
  m_log.write(text);
}

DWORD WINAPI SimHotspotDll::DeliveryThread(LPVOID raw) {
  static_cast<SimHotspotDll*>(raw)->deliver();
  return 0;
}

// A real thread of the system's, as the runtime's own completions come: what a call queued
// goes once the call has left the service (deliverNext waits for the service's lock).
void SimHotspotDll::deliver() {
  for (;;) {
    ::WaitForSingleObject(m_wake, deliveryWaitMs());
    int delivered = 0;
    {
      const ServiceCall call = enter();
      while (m_service->hasPendingDelivery()) {
        m_service->deliverNext();
        ++delivered;
        logChanges();
      }
    }
    if (delivered > 0) write("delivered " + std::to_string(delivered));
    ::SetEvent(m_delivered);
  }
}

DWORD SimHotspotDll::deliveryWaitMs() {
  std::optional<std::uint64_t> due;
  {
    const ServiceCall call = enter();
    due = m_service->nextDueMs();
  }
  if (!due) return INFINITE;
  const std::uint64_t now = nowMs();
  if (*due <= now) return 0;
  return static_cast<DWORD>(std::min<std::uint64_t>(*due - now, INFINITE - 1));
}

DWORD WINAPI SimHotspotDll::PipeThread(LPVOID raw) {
  static_cast<SimHotspotDll*>(raw)->serve();
  return 0;
}

// One request per connection: a line in, one answer line out ("ok" or "error REASON").
void SimHotspotDll::serve() {
  for (;;) {
    if (!::ConnectNamedPipe(m_pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
      write("control pipe: connect failed (error " + std::to_string(::GetLastError()) + ")");
      ::Sleep(100);
      ::DisconnectNamedPipe(m_pipe);
      continue;
    }
    std::string received;
    char buffer[128];
    while (received.size() < kLongestRequest && received.find('\n') == std::string::npos) {
      DWORD read = 0;
      if (!::ReadFile(m_pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) break;
      received.append(buffer, read);
    }
    const std::size_t end = received.find('\n');
    if (end != std::string::npos) {
      const std::string line = received.substr(0, end);
      simrunner::HotspotRequest request;
      std::string why;
      std::string reply;
      if (!simrunner::ParseHotspotRequest(line, request, why)) {
        reply = "error " + why;
      } else {
        why = perform(request);
        reply = why.empty() ? "ok" : "error " + why;
      }
      write("control " + line + " -> " + reply);
      reply += "\n";
      DWORD written = 0;
      ::WriteFile(m_pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
      ::FlushFileBuffers(m_pipe);
    } else {
      write("control pipe: a client left without a request line");
    }
    ::DisconnectNamedPipe(m_pipe);
  }
}

void SimHotspotDll::logChanges() {
  std::lock_guard lock(m_nowMutex);
  std::string now = simrunner::HotspotNowLine(*m_service);
  if (now != m_lastNow) {
    write(now);
    m_lastNow = std::move(now);
  }
  writeNewViolationsLocked();
}

// Each violation once, as soon as it is seen: the end of the process may come where nothing
// can be written any more (see processEnded).
void SimHotspotDll::writeNewViolationsLocked() {
  const std::vector<std::string> violations = m_service->violations();
  for (; m_violationsWritten < violations.size(); ++m_violationsWritten) {
    write("violation " + violations[m_violationsWritten]);
  }
}

void SimHotspotDll::recordCall(std::string_view operation, std::string_view arguments, std::string_view result) {
  write("call " + std::string(operation) + "(" + std::string(arguments) + ") -> " + std::string(result));
}

std::optional<sim::HotspotFault> SimHotspotDll::takeFault(std::string_view operation) {
  std::lock_guard lock(m_faultsMutex);
  const std::optional<sim::FaultRule> rule = m_faults.take("hotspot", operation);
  if (!rule) return std::nullopt;
  return sim::HotspotFaultOf(rule->code, rule->extra);
}

void SimHotspotDll::event(std::string text) { write("event " + text); }

void SimHotspotDll::deliveryQueued() { ::SetEvent(m_wake); }

std::uint64_t SimHotspotDll::nowMs() { return ::GetTickCount64(); }

}  // namespace tethra::tools

// The process is ending (or, never here, the library is unloaded: DllCanUnloadNow refuses).
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    if (tethra::tools::SimHotspotDll* dll = tethra::tools::SimHotspotDll::IfMade()) dll->processEnded();
  }
  return TRUE;
}
