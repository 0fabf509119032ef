// The simulated WLAN service of one process (see WlanDll.h): its machine, its host, its
// notification thread and the order in which notifications reach the program.
#include "WlanDll.h"

#include <cwchar>

#include "tethra/win32/Adapters.h"
#include "DeviceEvent.h"
#include "RegistrationWatch.h"
#include "tethra/scenario/MachineConfig.h"
#include "tethra/wine/ScenarioFile.h"

namespace tethra::tools {

namespace platform = tethra::platform;

namespace {

// Set by the service (under its lock) on the thread whose call queued a notification; the
// export checks it after the call has returned and only then wakes the notification thread.
thread_local bool t_notificationQueued = false;
// The DLL's own threads (notification, control pipe) act for the machine, not the program.
thread_local bool t_machineSide = false;

// How long a notification waits for the calling thread to take its messages again before it
// is delivered anyway (a thread that waits for something else than messages).
constexpr UINT kMeetTimeoutMs = 250;
constexpr std::size_t kLongestRequest = 4096;
constexpr UINT kDeviceSendTimeoutMs = 5000;

BOOL CALLBACK FirstWindow(HWND window, LPARAM found) {
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

SimWlanDll::SimWlanDll() {
  m_CodePage = tethra::win32::CreateCodePage();
  sim::SimWlanConfig config;
  const ScenarioFromEnvironment loaded = LoadScenarioFromEnvironment();
  if (!loaded.named) {
    config = configFromEnvironment();
  } else if (loaded.scenario) {
    config = simrunner::WlanConfig(loaded.scenario->machine.wlan);
    m_Faults = simrunner::FaultPlanOf(loaded.scenario->machine);
    write("scenario " + loaded.scenario->file);
  } else {
    write("scenario refused: " + loaded.refusal);
  }
  sim::IWlanServiceHost& host = *this;
  m_Service = std::make_unique<sim::SimWlanService>(host, *m_CodePage, nullptr, config);
  write("service ready: state " + sim::SimWlanService::stateName(config.state) + ", ssid \"" +
        Narrow(std::wstring(config.ssidText.begin(), config.ssidText.end())) + "\"" +
        (config.supported ? "" : ", not supported") +
        (m_StopAfterMs ? ", stops by itself " + std::to_string(*m_StopAfterMs) + " ms after it starts" : ""));
  logChanges();
  const std::string watch = DeviceRegistrationWatchState();
  write(watch.empty() ? "device registrations watched through the executable's imports"
                      : "device registrations not watched: " + watch);
  // Started last: it may deliver as soon as it runs.
  if (!m_Delivery.start([this] { return sleepMs(); }, [this] { deliveryRound(); })) {
    write("no delivery thread (error " + std::to_string(::GetLastError()) + ")");
  }
  m_Control = std::make_unique<ControlPipeServer>(
      kControlPipeName, kLongestRequest, [this](const std::string& line) { return answerControl(line); },
      [this](const std::string& text) { write(text); });
}

sim::SimWlanConfig SimWlanDll::configFromEnvironment() {
  sim::SimWlanConfig config;
  if (const auto ssid = Environment(L"TETHRA_SIMWLAN_SSID")) config.ssidText.assign(ssid->begin(), ssid->end());
  if (const auto key = Environment(L"TETHRA_SIMWLAN_KEY")) config.keyText.assign(key->begin(), key->end());
  if (const auto state = Environment(L"TETHRA_SIMWLAN_STATE")) {
    if (*state == L"idle") {
      config.state = platform::kWlanHostedNetworkIdle;
    } else if (*state == L"active") {
      config.state = platform::kWlanHostedNetworkActive;
    } else if (*state == L"unavailable") {
      config.state = platform::kWlanHostedNetworkUnavailable;
    } else {
      write("ignored TETHRA_SIMWLAN_STATE=" + Narrow(*state));
    }
  }
  if (const auto supported = Environment(L"TETHRA_SIMWLAN_SUPPORTED")) config.supported = *supported != L"0";
  if (const auto stop = Environment(L"TETHRA_SIMWLAN_STOP_AFTER_MS")) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(stop->c_str(), &end, 10);
    if (end != nullptr && *end == L'\0' && !stop->empty()) {
      m_StopAfterMs = value;
    } else {
      write("ignored TETHRA_SIMWLAN_STOP_AFTER_MS=" + Narrow(*stop));
    }
  }
  return config;
}

void SimWlanDll::afterCall() {
  logChanges();
  if (!t_notificationQueued) return;
  t_notificationQueued = false;
  m_Delivery.wake();
}

PVOID SimWlanDll::keepTarget(HANDLE handle, platform::WlanNotificationCallbackFn callback, PVOID context) {
  auto target = std::make_unique<CallbackTarget>(CallbackTarget{callback, context});
  PVOID raw = target.get();
  std::lock_guard lock(m_TargetsMutex);
  // A replaced registration may still be running on the notification thread: kept until its
  // handle is closed.
  m_Targets[handle].push_back(std::move(target));
  return raw;
}

void SimWlanDll::dropTarget(HANDLE handle, PVOID raw) {
  std::lock_guard lock(m_TargetsMutex);
  auto it = m_Targets.find(handle);
  if (it == m_Targets.end()) return;
  std::erase_if(it->second, [raw](const std::unique_ptr<CallbackTarget>& t) { return t.get() == raw; });
  if (it->second.empty()) m_Targets.erase(it);
}

void SimWlanDll::forgetTargets(HANDLE handle) {
  std::lock_guard lock(m_TargetsMutex);
  m_Targets.erase(handle);
}

std::string SimWlanDll::perform(const simrunner::ControlRequest& request) {
  t_machineSide = true;
  {
    const InsideService inside = enter();
    std::string why;
    if (!simrunner::ApplyToWlan(request, *m_Service, why)) return why;
    logChanges();
  }
  // The delivering flag is raised before a notification leaves the queue, so an empty queue
  // with the flag down means every notification of this request has been delivered.
  return m_Delivery.awaitDelivered(
      [this] {
        {
          const InsideService inside = enter();
          if (m_Service->hasPendingNotification()) return true;
        }
        return m_Delivering.load();
      },
      "notifications ");
}

std::string SimWlanDll::answerControl(const std::string& line) {
  simrunner::ControlRequest request;
  std::string why;
  if (!simrunner::ParseControlRequest(line, request, why)) return "error " + why;
  if (request.kind == simrunner::ControlRequest::Kind::Device) {
    const DeviceDelivery delivery = SendDeviceChange(request.removed, request.text, kDeviceSendTimeoutMs);
    if (!delivery.error.empty()) return "error " + delivery.error;
    return delivery.windows == 0 ? std::string(kDeliveredToNobody) : "ok";
  }
  why = perform(request);
  return why.empty() ? "ok" : "error " + why;
}

void SimWlanDll::write(const std::string& text) {
  std::lock_guard lock(m_LogMutex);
  m_Log.write(text);
}

void SimWlanDll::processEnded() {
  if (m_Ended.exchange(true)) return;
  if (!EndCanSettle(m_LogMutex, m_InService, [this](const std::string& text) { write(text); })) return;
  const InsideService inside = enter();
  write("end: process ended, its handles closed");
  // Buffers are the process's own: what it never gave back is named, whatever the scenario.
  if (const std::string left = m_Service->leftOverBuffersText(); !left.empty()) write("end: wlan memory: " + left);
  m_Service->forgetClient(0);  // every handle here is the one process's
  // Free unless a thread died inside the service, caught above.
  std::lock_guard lock(m_NowMutex);
  writeNewMisusesLocked();
  m_LastNow = simrunner::WlanNowLine(*m_Service);
  write(m_LastNow);
}

DWORD SimWlanDll::sleepMs() {
  if (!m_StopAt) return INFINITE;
  const ULONGLONG now = ::GetTickCount64();
  return *m_StopAt > now ? static_cast<DWORD>(*m_StopAt - now) : 0;
}

void SimWlanDll::deliveryRound() {
  t_machineSide = true;
  const InsideService inside = enter();
  if (m_StopAt && ::GetTickCount64() >= *m_StopAt) {
    m_StopAt.reset();
    m_Stopped = true;
    if (m_Service->state() == platform::kWlanHostedNetworkActive) {
      write("the service stops the hosted network by itself");
      m_Service->machineSetState(platform::kWlanHostedNetworkActive, platform::kWlanHostedNetworkIdle,
                                 platform::kWlanHostedNetworkReasonUserAction);
      logChanges();
    }
  }
  const DWORD caller = m_Caller.exchange(0);
  if (caller != 0 && m_Service->hasPendingNotification()) {
    const OutsideService meeting = leave();  // a message to the program holds no lock here
    meetCaller(caller);
  }
  deliverAll();
  t_notificationQueued = false;  // this thread delivers its own queue; nothing to wake
  if (m_StopAfterMs && !m_Stopped && !m_StopAt && m_Service->state() == platform::kWlanHostedNetworkActive) {
    m_StopAt = ::GetTickCount64() + *m_StopAfterMs;
  }
}

void SimWlanDll::deliverAll() {
  m_Delivering = true;
  int delivered = 0;
  while (m_Service->hasPendingNotification()) {
    m_Service->deliverNext();
    ++delivered;
  }
  // Shows in the log where the program had its notifications, e.g. before a request's answer.
  if (delivered > 0) write("delivered " + std::to_string(delivered) + " notification(s)");
  m_Delivering = false;
}

// On the simulated notebook one thread runs at a time: a notification queued by a program
// call reaches the program only once the calling thread waits (for its messages, mostly), so
// the caller finishes what it does after the call first. Here the caller's next wait for
// messages is met by a message sent to one of its windows; a caller without windows gets
// its notifications at once.
void SimWlanDll::meetCaller(DWORD caller) {
  HWND window = nullptr;
  ::EnumThreadWindows(caller, &FirstWindow, reinterpret_cast<LPARAM>(&window));
  if (window == nullptr) return;
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kMeetTimeoutMs, &result) == 0) {
    write("the calling thread took no messages within " + std::to_string(kMeetTimeoutMs) +
          " ms (error " + std::to_string(::GetLastError()) + "): delivered anyway");
  }
}

// The `now` line, written whenever what it shows has changed, and each new misuse.
void SimWlanDll::logChanges() {
  std::lock_guard lock(m_NowMutex);
  writeNewMisusesLocked();
  std::string now = simrunner::WlanNowLine(*m_Service);
  if (now == m_LastNow) return;
  write(now);
  m_LastNow = std::move(now);
}

// Each misuse once, as soon as it is seen: the call that made it may never return.
void SimWlanDll::writeNewMisusesLocked() {
  const std::vector<std::string> misuses = m_Service->misuses();
  for (; m_MisusesWritten < misuses.size(); ++m_MisusesWritten) write("misuse " + misuses[m_MisusesWritten]);
}

void SimWlanDll::recordCall(std::string_view function, std::string_view arguments, std::string_view result) {
  write("call " + std::string(function) + "(" + std::string(arguments) + ") -> " + std::string(result));
}

std::optional<sim::WlanFault> SimWlanDll::takeFault(std::string_view area, std::string_view operation) {
  std::lock_guard lock(m_FaultsMutex);
  const std::optional<sim::FaultRule> rule = m_Faults.take(area, operation);
  if (!rule) return std::nullopt;
  return sim::WlanFault{rule->code, rule->extra};
}

void SimWlanDll::event(std::string text) { write("event " + text); }

// Noted at once, under the service's lock: the notification thread may already be awake and
// must not deliver this one before it has met its caller.
void SimWlanDll::notificationQueued() {
  t_notificationQueued = true;
  if (!t_machineSide) m_Caller = ::GetCurrentThreadId();
}

void SimWlanDll::deliveryEnded() { ::SetEvent(m_DeliveryEnded.get()); }

void SimWlanDll::waitUntil(std::function<bool()> ready) {
  // A program thread that waits inside a call (`wlan reports before-return`) lets the reports
  // its call queued go at once: it takes no messages meanwhile, so nothing waits to meet it.
  if (!t_machineSide && t_notificationQueued) {
    t_notificationQueued = false;
    m_Caller = 0;
    m_Delivery.wake();
  }
  {
    std::lock_guard lock(m_NowMutex);
    writeNewMisusesLocked();
  }
  // The service waits with its lock released: a thread ended while it waits holds nothing.
  while (!ready()) {
    const OutsideService waiting = leave();
    ::WaitForSingleObject(m_DeliveryEnded.get(), 10);
  }
}

}  // namespace tethra::tools
