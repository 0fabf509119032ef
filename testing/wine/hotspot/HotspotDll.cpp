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

SimHotspotDll::SimHotspotDll() {
  sim::SimHotspotConfig config;
  std::vector<sim::SimProfile> profiles;
  const ScenarioFromEnvironment loaded = LoadScenarioFromEnvironment();
  if (loaded.scenario) {
    config = simrunner::HotspotConfigOf(loaded.scenario->machine.hotspot);
    profiles = simrunner::HotspotProfiles(loaded.scenario->machine);
    m_Faults = simrunner::FaultPlanOf(loaded.scenario->machine);
    write("scenario " + loaded.scenario->file);
  } else {
    if (loaded.named) write("scenario refused: " + loaded.refusal);
    if (const auto adapter = Environment(L"TETHRA_SIMHOTSPOT_ADAPTER")) {
      if (const auto guid = GuidOf(*adapter)) profiles.push_back(sim::SimProfile{*guid, u"Simulated"});
    }
  }
  sim::IHotspotServiceHost& host = *this;
  m_Service = std::make_unique<sim::SimHotspotService>(host, config, profiles);
  write("service ready: " + std::to_string(profiles.size()) + " profile(s)" +
        (config.present ? "" : ", no tethering manager") +
        (config.sessionStart ? ", start with a session configuration" : ""));
  logChanges();
  if (!m_Delivery.start([this] { return deliveryWaitMs(); }, [this] { deliveryRound(); })) {
    write("no delivery thread (error " + std::to_string(::GetLastError()) + ")");
  }
  m_Control = std::make_unique<ControlPipeServer>(
      kHotspotPipeName, kLongestRequest, [this](const std::string& line) { return answerControl(line); },
      [this](const std::string& text) { write(text); });
}

void SimHotspotDll::afterCall() {
  logChanges();
  // A late operation or a transition may have begun: the delivery thread learns its time. Only
  // while something is due at a time of its own, so that an idle hotspot wakes nobody.
  if (m_Service->nextDueMs()) m_Delivery.wake();
}

std::string SimHotspotDll::perform(const simrunner::HotspotRequest& request) {
  {
    const ServiceCall call = enter();
    simrunner::ApplyToHotspot(request, *m_Service);
    logChanges();
  }
  return m_Delivery.awaitDelivered(
      [this] {
        const ServiceCall call = enter();
        return m_Service->hasPendingDelivery();
      },
      "");
}

std::string SimHotspotDll::answerControl(const std::string& line) {
  simrunner::HotspotRequest request;
  std::string why;
  if (!simrunner::ParseHotspotRequest(line, request, why)) return "error " + why;
  why = perform(request);
  return why.empty() ? "ok" : "error " + why;
}

void SimHotspotDll::processEnded() {
  if (!EndCanSettle(m_LogMutex, m_InService, [this](const std::string& text) { write(text); })) return;
  const ServiceCall call = enter();
  m_Service->settleAfterExit();
  write(simrunner::HotspotNowLine(*m_Service));
  // The other threads are gone, so the mutex of logChanges is free unless one died holding
  // it, and then inside the service too (caught above).
  std::lock_guard lock(m_NowMutex);
  writeNewViolationsLocked();
}

void SimHotspotDll::write(const std::string& text) {
  std::lock_guard lock(m_LogMutex);
  m_Log.write(text);
}

// A real thread of the system's, as the runtime's own completions come: what a call queued
// goes once the call has left the service (deliverNext waits for the service's lock).
void SimHotspotDll::deliveryRound() {
  int delivered = 0;
  {
    const ServiceCall call = enter();
    while (m_Service->hasPendingDelivery()) {
      m_Service->deliverNext();
      ++delivered;
      logChanges();
    }
  }
  if (delivered > 0) write("delivered " + std::to_string(delivered));
}

DWORD SimHotspotDll::deliveryWaitMs() {
  std::optional<std::uint64_t> due;
  {
    const ServiceCall call = enter();
    due = m_Service->nextDueMs();
  }
  if (!due) return INFINITE;
  const std::uint64_t now = nowMs();
  if (*due <= now) return 0;
  return static_cast<DWORD>(std::min<std::uint64_t>(*due - now, INFINITE - 1));
}

void SimHotspotDll::logChanges() {
  std::lock_guard lock(m_NowMutex);
  std::string now = simrunner::HotspotNowLine(*m_Service);
  if (now != m_LastNow) {
    write(now);
    m_LastNow = std::move(now);
  }
  writeNewViolationsLocked();
}

// Each violation once, as soon as it is seen: the end of the process may come where nothing
// can be written any more (see processEnded).
void SimHotspotDll::writeNewViolationsLocked() {
  const std::vector<std::string> violations = m_Service->violations();
  for (; m_ViolationsWritten < violations.size(); ++m_ViolationsWritten) {
    write("violation " + violations[m_ViolationsWritten]);
  }
}

void SimHotspotDll::recordCall(std::string_view operation, std::string_view arguments, std::string_view result) {
  write("call " + std::string(operation) + "(" + std::string(arguments) + ") -> " + std::string(result));
}

std::optional<sim::HotspotFault> SimHotspotDll::takeFault(std::string_view operation) {
  std::lock_guard lock(m_FaultsMutex);
  const std::optional<sim::FaultRule> rule = m_Faults.take("hotspot", operation);
  if (!rule) return std::nullopt;
  return sim::HotspotFaultOf(rule->code, rule->extra);
}

void SimHotspotDll::event(std::string text) { write("event " + text); }

void SimHotspotDll::deliveryQueued() { m_Delivery.wake(); }

std::uint64_t SimHotspotDll::nowMs() { return ::GetTickCount64(); }

}  // namespace tethra::tools

// The process is ending (or, never here, the library is unloaded: DllCanUnloadNow refuses).
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    if (tethra::tools::SimHotspotDll* dll = tethra::tools::SimHotspotDll::IfMade()) dll->processEnded();
  }
  return TRUE;
}
