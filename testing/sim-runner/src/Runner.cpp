// The scenario runner: the machine thread of the simulated notebook.
#include "tethra/runner/Runner.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "tethra/app/Entry.h"
#include "tethra/app/Resource.h"
#include "tethra/app/SystemNames.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/scenario/MachineConfig.h"
#include "tethra/scenario/Observation.h"
#include "tethra/runner/StandInController.h"
#include "tethra/scenario/Text.h"
#include "tethra/scenario/Timeline.h"
#include "tethra/sim/Machine.h"
#include "tethra/sim/ProgramResources.h"
#include "tethra/sim/Text.h"

namespace tethra::simrunner {

namespace {

using sim::SimRegistry;
// No trigger waits longer than this in virtual time; a line that never fires is reported.
constexpr std::uint64_t kTriggerLimitMs = 60ull * 60 * 1000;
constexpr std::uint64_t kSettleLimitMs = 10ull * 60 * 1000;

SimRegistry::Value TextValue(std::u16string_view text) { return {platform::kREG_SZ, sim::text::RegSzBytes(text)}; }

SimRegistry::Value DwordValue(std::uint32_t value) {
  SimRegistry::Value v{platform::kREG_DWORD, {}};
  for (int i = 0; i < 4; ++i) v.bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return v;
}

void PrepareRegistry(sim::World& world, const Machine& m) {
  SimRegistry& registry = world.registry();
  if (m.registryKeyPresent) {
    registry.createKey(SimRegistry::View::Wow32, controller::kSettingsKeyPath);
    registry.setValue(SimRegistry::View::Wow32, controller::kSettingsKeyPath, u"ShareConnection",
                      TextValue(kDefaultShareConnection));
  }
  for (const RegistryPreset& r : m.registry) {
    registry.createKey(SimRegistry::View::Wow32, controller::kSettingsKeyPath);
    SimRegistry::Value value;
    switch (r.kind) {
      case RegistryPreset::Kind::Text:
        value = TextValue(r.text);
        break;
      case RegistryPreset::Kind::Dword:
        value = DwordValue(r.dword);
        break;
      case RegistryPreset::Kind::Raw:
        value = SimRegistry::Value{platform::kREG_BINARY, r.raw};
        break;
    }
    registry.setValue(SimRegistry::View::Wow32, controller::kSettingsKeyPath, r.name, value);
  }
  switch (m.policy) {
    case Machine::Policy::Absent:
      break;
    case Machine::Policy::Present:
      registry.createKey(SimRegistry::View::Native, app::kSharingPolicyKeyPath);
      break;
    case Machine::Policy::Value:
      registry.createKey(SimRegistry::View::Native, app::kSharingPolicyKeyPath);
      registry.setValue(SimRegistry::View::Native, app::kSharingPolicyKeyPath, app::kSharingPolicyValueName,
                        DwordValue(m.policyValue));
      break;
    case Machine::Policy::ValueString:
      registry.createKey(SimRegistry::View::Native, app::kSharingPolicyKeyPath);
      registry.setValue(SimRegistry::View::Native, app::kSharingPolicyKeyPath, app::kSharingPolicyValueName,
                        TextValue(m.policyString));
      break;
  }
}

sim::SimMachineConfig MachineConfig(const Machine& m) {
  sim::SimMachineConfig c;
  c.world.codePage = m.codePage;
  c.admin = m.admin;
  c.wlan = WlanConfig(m.wlan);
  c.sharing = SharingConfig(m);
  c.netsh.behaviour = m.netsh == Machine::Netsh::Missing ? sim::SimNetshConfig::Behaviour::Missing
                      : m.netsh == Machine::Netsh::Hangs ? sim::SimNetshConfig::Behaviour::Hangs
                                                         : sim::SimNetshConfig::Behaviour::Exit;
  c.netsh.exitCode = m.netshExitCode;
  c.netsh.startsFirst = m.netshStartsFirst;
  c.netsh.delayMs = m.netshDelayMs;
  c.hotspot = HotspotConfigOf(m.hotspot);
  c.hotspotProfiles = HotspotProfiles(m);
  return c;
}

class Machinery final : private ITimelineMachine {
 public:
  Machinery(const Scenario& scenario, const RunOptions& options)
      : m_Scenario(scenario),
        m_Options(options),
        m_Machine(std::make_unique<sim::SimMachine>(MachineConfig(scenario.machine))),
        m_World(&m_Machine->world()) {}

  RunResult run();

 private:
  void startProgram(const std::u16string& commandLine);
  Observation observe();

  // --- ITimelineMachine ------------------------------------------------------------------------
  std::uint64_t NowMs() override { return m_World->now(); }
  bool ProgramEnded() override { return m_Program->exited(); }
  bool WaitFor(const Trigger& trigger, std::uint64_t lastFire) override;
  void Fired(const TimelineEntry& entry) override {
    m_World->event("timeline: " + entry.source);
    m_Firing = &entry;
  }
  void Perform(const Action& action) override;
  platform::Hwnd Dialog() const { return m_World->windows().programDialog(); }

  const Scenario& m_Scenario;
  const RunOptions& m_Options;
  const TimelineEntry* m_Firing = nullptr;  // the line whose action runs
  std::vector<std::string> m_RefusedActions;  // actions Windows could not have taken, by line
  // Owns the world, and so everything a simulated thread may use: the machine's services,
  // each program process's own areas, the stand-in controller (its process's part).
  std::unique_ptr<sim::SimMachine> m_Machine;
  sim::World* m_World;
  sim::SimProcess* m_Program = nullptr;  // the newest instance
  std::vector<sim::SimProcess*> m_Programs;  // every instance
  StandInController* m_Controller = nullptr;
  std::vector<std::string> m_TimelineNotes;
  std::optional<std::uint64_t> m_MarkStart;  // program wake-ups at `mark start` / `mark end`
  std::optional<std::uint64_t> m_MarkEnd;
};

// An earlier instance keeps running with what its process owns; expectations follow this one.
void Machinery::startProgram(const std::u16string& commandLine) {
  m_Program = &m_Machine->createProgram("tethra", &sim::ProgramResources());
  m_Programs.push_back(m_Program);
  sim::SimProcess* program = m_Program;
  m_World->startThread(*m_Program, "main", [program, commandLine] {
    const platform::Platform& platform = program->platform();
    const platform::Dword code = app::RunTethra(platform, commandLine);
    platform.kernel->exitProcess(code);
  });
}

bool Machinery::WaitFor(const Trigger& t, std::uint64_t lastFire) {
  sim::World& w = *m_World;
  const std::uint64_t limit = w.now() + kTriggerLimitMs;
  switch (t.kind) {
    case Trigger::Kind::Ready:
      return w.block([&w] { return w.windows().programReady(); }, limit);
    case Trigger::Kind::Window:
      return w.block([this] { return Dialog() != nullptr; }, limit);
    case Trigger::Kind::Code:
      return w.block([this, &t] { return m_Controller && m_Controller->hasCode(t.code); }, limit);
    case Trigger::Kind::Notice:
      return w.block([this] { return m_Controller && !m_Controller->noticeTexts().empty(); }, limit);
    case Trigger::Kind::After:
      if (w.now() < lastFire + t.afterMs) w.block([] { return false; }, lastFire + t.afterMs);
      return true;
    case Trigger::Kind::Idle:
      return w.waitIdle(limit);
  }
  return false;
}

void Machinery::Perform(const Action& a) {
  sim::World& w = *m_World;
  sim::SimWindowSystem& windows = w.windows();
  switch (a.kind) {
    case Action::Kind::ControllerWrites:
      for (const auto& [name, value] : a.writes) {
        w.registry().createKey(SimRegistry::View::Wow32, controller::kSettingsKeyPath);
        w.registry().setValue(SimRegistry::View::Wow32, controller::kSettingsKeyPath, name, TextValue(value));
        w.event("controller writes " + Quote(name) + " = " + Quote(value));
      }
      break;
    case Action::Kind::WlanState:
      // A change is told from the state the service is in: one from another is not Windows'.
      if (!m_Machine->wlan().machineSetStateChecked(a.oldState, a.newState, a.reason)) {
        const std::string now = sim::SimWlanService::stateName(m_Machine->wlan().state());
        m_RefusedActions.push_back("line " + std::to_string(m_Firing != nullptr ? m_Firing->line : 0) + ": `" +
                                   (m_Firing != nullptr ? m_Firing->source : std::string("wlan state")) +
                                   "` while the hosted network is " + now);
        m_World->event("timeline: not done, the hosted network is " + now);
      }
      break;
    case Action::Kind::WlanRadioOff:
      m_Machine->wlan().machineRadioOff();
      break;
    case Action::Kind::WlanAdapterDisabled:
      m_Machine->wlan().machineAdapterDisabled();
      break;
    case Action::Kind::WlanNotifyRaw:
      m_Machine->wlan().machineNotifyRaw(a.code, a.size);
      break;
    case Action::Kind::StationJoin:
      m_Machine->wlan().machineStationJoin(a.mac);
      break;
    case Action::Kind::StationLeave:
      m_Machine->wlan().machineStationLeave(a.mac);
      break;
    case Action::Kind::Power:
      windows.broadcast(platform::kWM_POWERBROADCAST, a.wParam, 0);
      // The machine then sleeps: a running hosted network stops, told to nobody, for good.
      if (a.wParam == platform::kPBT_APMSUSPEND) m_Machine->wlan().machineSleep();
      break;
    case Action::Kind::WlanForcedStart:
      m_Machine->wlan().restart();
      break;
    case Action::Kind::Session:
      windows.sessionChange(static_cast<platform::WParam>(a.wParam));
      break;
    case Action::Kind::Device:
      windows.deviceEvent(a.flag, a.text);
      break;
    case Action::Kind::EndSession:
      if (Dialog() != nullptr) windows.post(Dialog(), platform::kWM_ENDSESSION, a.flag ? 1 : 0, 0);
      break;
    case Action::Kind::PostClose:
      if (Dialog() != nullptr) windows.post(Dialog(), platform::kWM_CLOSE, 0, 0);
      break;
    case Action::Kind::Paint:
      if (Dialog() != nullptr) windows.invalidate(Dialog());
      break;
    case Action::Kind::ProgramStart:
      startProgram(a.text);
      break;
    case Action::Kind::PostMessage:
      if (Dialog() != nullptr) {
        windows.post(Dialog(), a.message, static_cast<platform::WParam>(a.wParam),
                     static_cast<platform::LParam>(a.lParam));
      }
      break;
    case Action::Kind::HotspotOff:
      m_Machine->hotspot().machineTurnOff(a.code != 0);
      break;
    case Action::Kind::HotspotNetworkChange:
      m_Machine->hotspot().machineNetworkChange();
      break;
    case Action::Kind::HotspotTransitionThenOff:
      m_Machine->hotspot().machineTransitionThenOff(a.size, a.code != 0);
      break;
    case Action::Kind::HotspotClientJoin:
      m_Machine->hotspot().machineClientJoin();
      break;
    case Action::Kind::HotspotClientLeave:
      m_Machine->hotspot().machineClientLeave();
      break;
    case Action::Kind::Mark:
      (a.markEnd ? m_MarkEnd : m_MarkStart) = w.programWakeUps();
      break;
    case Action::Kind::Click:
      if (Dialog() != nullptr) windows.click(windows.control(Dialog(), a.controlId));
      break;
  }
}

RunResult Machinery::run() {
  const Machine& m = m_Scenario.machine;
  PrepareRegistry(*m_World, m);
  m_World->faults() = FaultPlanOf(m);
  if (m.otherInstance) m_World->reserveMutexName(app::kInstanceMutexName);

  m_World->run([this, &m] {
    sim::World& w = *m_World;
    if (m.controllerPresent) m_Controller = &StandInController::start(w, m.controllerHangs);
    startProgram(m.commandLine);
    m_TimelineNotes = PlayTimeline(m_Scenario, *this);
    w.waitIdle(w.now() + kSettleLimitMs);
  });

  RunResult result;
  result.transcript = m_World->transcript().lines(m_Options.trace);
  for (const auto& note : m_TimelineNotes) result.transcript.push_back("note: " + note);
  Verdict verdict = CheckExpectations(m_Scenario, observe());
  result.allHeld = verdict.allHeld;
  result.expectations = std::move(verdict.lines);
  return result;
}

Observation Machinery::observe() {
  sim::World& w = *m_World;
  sim::SimWindowSystem& windows = w.windows();
  const platform::Hwnd dialog = Dialog();
  Observation seen;
  seen.exitCode = m_Program->exitCode();
  if (m_Controller != nullptr) {
    seen.codes = m_Controller->codes();
    seen.notices = m_Controller->noticeTexts();
    seen.controllerWindow = m_Controller->Window() != nullptr;
    seen.controllerVisible = seen.controllerWindow && windows.visible(m_Controller->Window());
  }
  if (dialog != nullptr) {
    seen.programWindow = true;
    seen.programVisible = windows.visible(dialog);
    seen.logLines = windows.listBoxLines(windows.control(dialog, IDC_LIST_NOTIFICATIONS));
    for (const int id : {IDC_EDIT_NAME, IDC_EDIT_KEY, IDC_STATIC_STATUS}) {
      seen.controls[id] = windows.text(windows.control(dialog, id));
    }
  }
  seen.setting = [&w](const std::u16string& name) {
    return w.registry().getString(SimRegistry::View::Wow32, controller::kSettingsKeyPath, name);
  };
  sim::SimWlanService& wlan = m_Machine->wlan();
  seen.wlan = Observation::Wlan{wlan.state(), wlan.ssidText(), wlan.keyText(), wlan.maxPeers()};
  seen.wlanCalls = [&wlan](std::string_view function) { return wlan.callCount(function); };
  sim::SimSharingService& ics = m_Machine->sharing();
  seen.sharedPublic = ics.sharedName(sim::SimSharingRole::Public);
  seen.sharedPrivate = ics.sharedName(sim::SimSharingRole::Private);
  seen.icsCalls = [&ics](std::string_view operation) { return ics.callCount(operation); };
  seen.icsLeftOver = ics.leftOverText();
  sim::SimHotspotService& hotspot = m_Machine->hotspot();
  const bool programsEnded =
      std::all_of(m_Programs.begin(), m_Programs.end(), [](sim::SimProcess* p) { return p->exited(); });
  // What the program left pending runs to its end after it, as the system's service would.
  if (programsEnded) hotspot.settleAfterExit();
  for (const std::string& refused : m_RefusedActions) seen.machineFailures.push_back("timeline " + refused);
  for (const std::string& misuse : m_Machine->wlan().misuses()) seen.machineFailures.push_back("wlan misuse: " + misuse);
  for (const std::string& violation : hotspot.violations()) {
    seen.machineFailures.push_back("hotspot contract: " + violation);
  }
  const platform::AccessPointConfig config = hotspot.config();
  seen.allEnded = programsEnded;
  seen.hotspot = Observation::Hotspot{hotspot.state() == platform::TetheringState::On, config.ssid, config.passphrase,
                                      config.band, config.authentication, hotspot.noConnectionsTimeout(),
                                      hotspot.stopRefused(), hotspot.leftInFlight()};
  seen.hotspotCalls = [&hotspot](std::string_view operation) { return hotspot.callCount(operation); };
  seen.netshRuns = m_Machine->netshRuns();
  seen.wakeUps = m_MarkEnd.value_or(w.programWakeUps()) - m_MarkStart.value_or(0);

  // Every scenario: a properties record or task memory left unfreed, or an object released
  // too often, is a fault of the program whatever the scenario expects.
  if (ics.outstandingMemory() != 0 || ics.misuses() != 0) {
    seen.machineFailures.push_back("sharing memory: " + ics.leftOverText());
  }
  // The same for the WLAN service's buffers: each one handed out must go back through
  // WlanFreeMemory, named by the call that handed it out when it did not.
  if (const std::string left = wlan.leftOverBuffersText(); !left.empty()) {
    seen.machineFailures.push_back("wlan memory: " + left);
  }
  for (const std::string& misuse : w.registry().misuses()) seen.machineFailures.push_back("registry misuse: " + misuse);
  // Once every instance has ended, no connection is left shared that the program shared: the
  // sharing service outlives the program, and nothing else would switch it off.
  const bool allEnded =
      std::all_of(m_Programs.begin(), m_Programs.end(), [](sim::SimProcess* p) { return p->exited(); });
  if (const auto left = ics.sharedSinceStart(); allEnded && !left.empty()) {
    const std::string names = JoinText(left, ", ", [](const std::u16string& name) { return Quote(name); });
    seen.machineFailures.push_back("sharing after the end: " + names + " still shared");
  }
  return seen;
}

}  // namespace

std::vector<std::string> RunResult::lines() const {
  std::vector<std::string> lines = transcript;
  lines.push_back("--");
  lines.insert(lines.end(), expectations.begin(), expectations.end());
  return lines;
}

RunResult RunScenario(const Scenario& scenario, const RunOptions& options) {
  Machinery machinery(scenario, options);
  return machinery.run();
}

}  // namespace tethra::simrunner
