// The simulated WLAN service of one process: the service of the simulated notebook
// (SimWlanService, the same code the Linux scenarios run), its host (calls, events and the
// `now` lines to the log, faults from the scenario), the thread that delivers its
// notifications, and the control pipe through which a test acts as the machine.
//
// The machine comes from the scenario named by TETHRA_SCENARIO when that is set (a file that
// cannot be read or parsed is logged as `scenario refused: ...` and the defaults are used),
// else from the environment:
//   TETHRA_SIMWLAN_SSID, TETHRA_SIMWLAN_KEY  name and key held (TethraNet, tethra-secret)
//   TETHRA_SIMWLAN_STATE        idle (default), active or unavailable
//   TETHRA_SIMWLAN_SUPPORTED    0: no hosted-network support (default 1)
//   TETHRA_SIMWLAN_STOP_AFTER_MS  N: N ms after the network first becomes active, the service
//                               stops it by itself (active -> idle, reason 17, user action)
// TETHRA_SIMWLAN_LOG names the file that receives every call, event and `now` line (else
// OutputDebugString), and one `misuse TEXT` line for each of the program's misuses of the API
// (SimWlanService::misuses), as soon as it is seen.
//
// When the process ends, its handles are closed as the system closes them: the StartUsing they
// held is undone (SimWlanService::forgetClient), and the log ends with `end: process ended` and
// the last `now` line (after `end: wlan memory: TEXT` when buffers it handed out were never
// given back with WlanFreeMemory, naming the calls), or with `end: not settled (...)` when a
// thread was cut off inside the service. Whichever comes first does that: this DLL's process detach, or the planted sharing
// service's end check in the same process (SimWlanProcessEnded), which must see the hosted
// network as it is once the process has gone.
//
// Owner: one per process, created on the first call of any export and never destroyed (the
// process ends with ExitProcess while the notification thread may hold the service's lock).
// Threads: exports from any thread; notifications are delivered one at a time on the DLL's
// notification thread; control requests are served on the pipe's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tethra/scenario/ServiceControl.h"
#include "tethra/platform/CodePage.h"
#include "tethra/sim/Faults.h"
#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/ServiceDll.h"
#include "tethra/win32/WlanTypes.h"

namespace tethra::tools {

// What the program registered: its own callback, called from the service's platform-typed one.
struct CallbackTarget {
  platform::WlanNotificationCallbackFn callback;
  PVOID context;
};

class SimWlanDll final : public OncePerProcess<SimWlanDll>, private sim::IWlanServiceHost {
 public:

  sim::SimWlanService& service() { return *m_Service; }
  // Held around every use of the service (see ServiceDll.h); the program's callback leaves it.
  InsideService enter() { return InsideService(m_InService); }
  OutsideService leave() { return OutsideService(m_InService); }

  // After every export, on the calling thread: a notification that call queued may now be
  // delivered, and a change it made is logged.
  void afterCall();

  PVOID keepTarget(HANDLE handle, platform::WlanNotificationCallbackFn callback, PVOID context);
  void dropTarget(HANDLE handle, PVOID raw);  // a registration the service refused
  void forgetTargets(HANDLE handle);

  // A control request: performed, and answered ("" for ok, else the reason) once the
  // notifications it queued have been delivered. Pipe thread.
  std::string perform(const simrunner::ControlRequest& request);
  // A control pipe line (see ControlPipe.h): its answer, "ok", "ok nobody" for a device event no
  // window registered for (nothing sent), or "error " and the reason (malformed request, the
  // program's device registrations not watched, the send failed, notifications not delivered in
  // time). Pipe thread.
  std::string answerControl(const std::string& line);

  void write(const std::string& text);

  // The process has ended: every other thread is gone. Only the first call acts.
  void processEnded();

 private:
  friend class OncePerProcess<SimWlanDll>;
  SimWlanDll();
  sim::SimWlanConfig configFromEnvironment();
  // The delivery thread's sleep and round (see DeliveryThread): a round also stops the network
  // when the machine's stop-after time has come.
  DWORD sleepMs();
  void deliveryRound();
  void deliverAll();
  void meetCaller(DWORD caller);
  void logChanges();
  void writeNewMisusesLocked();  // under m_NowMutex

  // --- IWlanServiceHost ---------------------------------------------------------------------------
  void recordCall(std::string_view function, std::string_view arguments, std::string_view result) override;
  std::optional<sim::WlanFault> takeFault(std::string_view area, std::string_view operation) override;
  void event(std::string text) override;
  void notificationQueued() override;
  void deliveryEnded() override;
  void waitUntil(std::function<bool()> ready) override;

  DeliveryThread m_Delivery;
  // Set by the service when a delivery has returned to it (waitUntil's wake-up).
  const WinHandle m_DeliveryEnded = MakeEvent();
  // The thread whose program call queued the notifications next to go (0: none since the
  // notification thread last looked).
  std::atomic<DWORD> m_Caller{0};
  std::atomic<bool> m_Delivering{false};
  ServiceLog m_Log{L"TETHRA_SIMWLAN_LOG", "sim wlanapi: "};
  std::mutex m_LogMutex;
  std::mutex m_NowMutex;
  std::string m_LastNow;
  std::size_t m_MisusesWritten = 0;
  std::atomic<int> m_InService{0};
  std::atomic<bool> m_Ended{false};
  std::mutex m_FaultsMutex;
  sim::FaultPlan m_Faults;
  std::optional<unsigned long> m_StopAfterMs;
  // Delivery thread only: when the service stops the network by itself, and whether it did.
  std::optional<ULONGLONG> m_StopAt;
  bool m_Stopped = false;
  // The program's own Win32 code-page adapter: the service converts as the program does.
  std::unique_ptr<platform::ICodePage> m_CodePage;
  std::unique_ptr<sim::SimWlanService> m_Service;
  std::mutex m_TargetsMutex;
  std::map<HANDLE, std::vector<std::unique_ptr<CallbackTarget>>> m_Targets;
  std::unique_ptr<ControlPipeServer> m_Control;
};

}  // namespace tethra::tools
