// The simulated mobile hotspot of one process: the service of the simulated notebook
// (SimHotspotService, the code the Linux scenarios run), its host (calls, events and `now` lines
// to the log, faults from the scenario), the thread that completes its operations and delivers
// its network status changes, and the control pipe through which a test acts as the machine.
//
// The machine comes from the scenario named by TETHRA_SCENARIO (a file that cannot be read or
// parsed is logged as `scenario refused: ...` and the defaults are used: a hotspot that works
// and is off). Its one connection profile without a scenario has the adapter id of
// TETHRA_SIMHOTSPOT_ADAPTER (a GUID in braces) and the name "Simulated", else none.
// TETHRA_SIMHOTSPOT_LOG names the file that receives every line (else OutputDebugString).
//
// The runtime shows a connection profile for every profile the service lists, also under
// `hotspot profile none`: there the service itself refuses CreateFromConnectionProfile with
// kHotspotNoProfile, so that each of the program's createManager calls reaches the service and
// is counted as on the simulated notebook (`expect hotspot calls create N`).
//
// Each thing the program does that the system does not allow gets one `violation TEXT` line,
// written as soon as the call or delivery that made it is logged. When the process ends
// (DLL_PROCESS_DETACH) the service settles what the program left pending, as the system does
// after a process has gone, and the log gets a last `now hotspot ...` line (and the violation
// lines of anything that came to light only then).
// Nothing of that is written when a thread was cut off inside the service or the log (its
// lock may still be held): `end: not settled (...)` says so where the log can still be written.
// A thread cut off in the program's own completion code is not inside the service.
//
// Owner: one per process, made on the first activation and never destroyed (the process ends
// with ExitProcess while the delivery thread may hold the service's lock). Threads: the runtime
// classes call it from any thread; completions and network status changes are delivered one
// at a time on the DLL's delivery thread, always after the call that queued them has left the
// service, and a late operation's once its time has come (the thread waits until the service's
// next due time); control requests are served on the pipe's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tethra/scenario/HotspotControl.h"
#include "tethra/sim/Faults.h"
#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/ServiceDll.h"

namespace tethra::tools {

class SimHotspotDll final : public OncePerProcess<SimHotspotDll>, private sim::IHotspotServiceHost {
 public:

  // Held by every thread while it is inside the service (see ServiceDll.h).
  using ServiceCall = InsideService;
  // Held by the delivery thread while it runs the program's completion, which the service calls
  // with its lock released: a thread cut off there holds nothing of the service's.
  using ProgramCode = OutsideService;
  ServiceCall enter() { return ServiceCall(m_InService); }
  ProgramCode leave() { return ProgramCode(m_InService); }

  sim::SimHotspotService& service() { return *m_Service; }
  // The profiles the runtime shows.
  const std::vector<sim::SimProfile>& profiles() const { return m_Service->profiles(); }
  bool sessionStartOffered() const { return m_Service->sessionStartOffered(); }
  // Whether the system's access point configuration has a band / an authentication kind.
  bool hasBand() const { return m_Service->hasBand(); }
  bool hasAuthentication() const { return m_Service->hasAuthentication(); }
  // Whether the system has the NoConnections timeout setting (its statics).
  bool hasTimeoutSetting() const { return m_Service->noConnectionsTimeout().has_value(); }

  // After every call of a runtime class (inside its ServiceCall): a change it made is logged,
  // and the delivery thread is woken when something may now be due at a time of its own.
  void afterCall();
  // DLL_PROCESS_DETACH: every other thread is gone. See the header comment.
  void processEnded();
  // A control request: performed, and answered ("" for ok, else the reason) once what it
  // queued has been delivered. Pipe thread.
  std::string perform(const simrunner::HotspotRequest& request);
  void write(const std::string& text);

 private:
  friend class OncePerProcess<SimHotspotDll>;
  SimHotspotDll();
  // One round of the delivery thread: everything due now.
  void deliveryRound();
  // How long the delivery thread may sleep: until the service's next due time, else for ever.
  DWORD deliveryWaitMs();
  // A control pipe line (see ControlPipe.h): "ok" or "error REASON". Pipe thread.
  std::string answerControl(const std::string& line);
  void logChanges();
  void writeNewViolationsLocked();  // under m_NowMutex

  // --- IHotspotServiceHost ------------------------------------------------------------------------
  void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) override;
  std::optional<sim::HotspotFault> takeFault(std::string_view operation) override;
  void event(std::string text) override;
  void deliveryQueued() override;
  std::uint64_t nowMs() override;

  DeliveryThread m_Delivery;
  ServiceLog m_Log{L"TETHRA_SIMHOTSPOT_LOG", "sim hotspot: "};
  std::mutex m_LogMutex;
  std::mutex m_NowMutex;
  std::string m_LastNow;
  std::size_t m_ViolationsWritten = 0;
  std::mutex m_FaultsMutex;
  sim::FaultPlan m_Faults;
  std::atomic<int> m_InService{0};
  std::unique_ptr<sim::SimHotspotService> m_Service;
  std::unique_ptr<ControlPipeServer> m_Control;
};

}  // namespace tethra::tools
