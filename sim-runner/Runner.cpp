// The scenario runner: the machine thread of the simulated notebook.
#include "sim-runner/Runner.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "app/Entry.h"
#include "app/Resource.h"
#include "app/SystemNames.h"
#include "tethra/controller/SettingsKey.h"
#include "sim-runner/MachineConfig.h"
#include "sim-runner/StandInController.h"
#include "sim-runner/Text.h"
#include "tethra/sim/machine.h"

namespace tethra::simrunner {

namespace {

using sim::SimRegistry;
// No trigger waits longer than this in virtual time; a line that never fires is reported.
constexpr std::uint64_t kTriggerLimitMs = 60ull * 60 * 1000;
constexpr std::uint64_t kSettleLimitMs = 10ull * 60 * 1000;

SimRegistry::Value TextValue(std::u16string_view text) {
  SimRegistry::Value v{platform::kREG_SZ, {}};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  v.bytes.assign(bytes, bytes + text.size() * 2);
  v.bytes.push_back(0);
  v.bytes.push_back(0);
  return v;
}

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
                      TextValue(u"Simulated Ethernet Adapter"));
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
  return c;
}

// `expect sharing ...` and `expect ics ...` against the sharing service at the end.
bool CheckSharing(const Expectation& e, sim::SimSharingService& ics, std::string& found) {
  const auto publicName = ics.sharedName(sim::SimSharingRole::Public);
  const auto privateName = ics.sharedName(sim::SimSharingRole::Private);
  if (e.kind == Expectation::Kind::IcsCalls) {
    found = std::to_string(ics.callCount(e.word)) + " calls";
    return static_cast<std::int64_t>(ics.callCount(e.word)) == e.number;
  }
  if (e.kind == Expectation::Kind::IcsReleased) {
    found = ics.leftOverText();
    if (found.empty()) found = "nothing left";
    return ics.leftOverText().empty();
  }
  found = "public " + (publicName ? Quote(*publicName) : "none") + " private " +
          (privateName ? Quote(*privateName) : "none");
  if (e.kind == Expectation::Kind::SharingNone) return !publicName && !privateName;
  return publicName == e.texts[0] && privateName == e.texts[1];
}

std::string CodesText(const std::vector<std::u16string>& codes) {
  if (codes.empty()) return "none";
  return JoinText(codes, " ", [](const std::u16string& code) { return Quote(code); });
}

class Machinery {
 public:
  Machinery(const Scenario& scenario, const RunOptions& options)
      : m_scenario(scenario),
        m_options(options),
        m_machine(std::make_unique<sim::SimMachine>(MachineConfig(scenario.machine))),
        m_world(&m_machine->world()) {}

  RunResult Run();

 private:
  void StartProgram(const std::u16string& commandLine);
  bool WaitFor(const Trigger& trigger, std::uint64_t lastFire);
  void Perform(const Action& action);
  void Check(RunResult& result);
  platform::Hwnd Dialog() const { return m_world->windows().programDialog(); }

  const Scenario& m_scenario;
  const RunOptions& m_options;
  // Owns the world, and so everything a simulated thread may use: the machine's services,
  // each program process's own areas, the stand-in controller (its process's part).
  std::unique_ptr<sim::SimMachine> m_machine;
  sim::World* m_world;
  sim::SimProcess* m_program = nullptr;  // the newest instance
  std::vector<sim::SimProcess*> m_programs;  // every instance
  StandInController* m_controller = nullptr;
  std::vector<std::string> m_timelineNotes;
  std::optional<std::uint64_t> m_markStart;  // program wake-ups at `mark start` / `mark end`
  std::optional<std::uint64_t> m_markEnd;
};

// An earlier instance keeps running with what its process owns; expectations follow this one.
void Machinery::StartProgram(const std::u16string& commandLine) {
  m_program = &m_machine->createProgram("tethra", &app::ProgramResources());
  m_programs.push_back(m_program);
  sim::SimProcess* program = m_program;
  m_world->startThread(*m_program, "main", [program, commandLine] {
    const platform::Platform& platform = program->platform();
    const platform::Dword code = app::RunTethra(platform, commandLine);
    platform.kernel->exitProcess(code);
  });
}

bool Machinery::WaitFor(const Trigger& t, std::uint64_t lastFire) {
  sim::World& w = *m_world;
  const std::uint64_t limit = w.now() + kTriggerLimitMs;
  switch (t.kind) {
    case Trigger::Kind::Ready:
      return w.block([&w] { return w.windows().programReady(); }, limit);
    case Trigger::Kind::Code:
      return w.block([this, &t] { return m_controller && m_controller->HasCode(t.code); }, limit);
    case Trigger::Kind::Notice:
      return w.block([this] { return m_controller && !m_controller->NoticeTexts().empty(); }, limit);
    case Trigger::Kind::After:
      if (w.now() < lastFire + t.afterMs) w.block([] { return false; }, lastFire + t.afterMs);
      return true;
    case Trigger::Kind::Idle:
      return w.waitIdle(limit);
  }
  return false;
}

void Machinery::Perform(const Action& a) {
  sim::World& w = *m_world;
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
      m_machine->wlan().machineSetState(a.oldState, a.newState, a.reason);
      break;
    case Action::Kind::WlanNotifyRaw:
      m_machine->wlan().machineNotifyRaw(a.code, a.size);
      break;
    case Action::Kind::StationJoin:
      m_machine->wlan().machineStationJoin(a.mac);
      break;
    case Action::Kind::StationLeave:
      m_machine->wlan().machineStationLeave(a.mac);
      break;
    case Action::Kind::Power:
      windows.broadcast(platform::kWM_POWERBROADCAST, a.wParam, 0);
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
      StartProgram(a.text);
      break;
    case Action::Kind::PostMessage:
      if (Dialog() != nullptr) {
        windows.post(Dialog(), a.message, static_cast<platform::WParam>(a.wParam),
                     static_cast<platform::LParam>(a.lParam));
      }
      break;
    case Action::Kind::Mark:
      (a.markEnd ? m_markEnd : m_markStart) = w.programWakeUps();
      break;
    case Action::Kind::Click:
      if (Dialog() != nullptr) windows.click(windows.control(Dialog(), a.controlId));
      break;
  }
}

RunResult Machinery::Run() {
  const Machine& m = m_scenario.machine;
  PrepareRegistry(*m_world, m);
  m_world->faults() = FaultPlanOf(m);
  if (m.otherInstance) m_world->reserveMutexName(app::kInstanceMutexName);

  m_world->run([this, &m] {
    sim::World& w = *m_world;
    if (m.controllerPresent) m_controller = &StandInController::Start(w);
    StartProgram(m.commandLine);
    std::uint64_t lastFire = w.now();
    for (const TimelineEntry& entry : m_scenario.timeline) {
      if (m_program->exited() && entry.action.kind != Action::Kind::ProgramStart) {
        m_timelineNotes.push_back("line " + std::to_string(entry.line) + " not reached: the program had ended (" +
                                  entry.source + ")");
        continue;
      }
      if (!WaitFor(entry.trigger, lastFire)) {
        m_timelineNotes.push_back("line " + std::to_string(entry.line) + " never fired: " + entry.source);
        break;
      }
      w.event("timeline: " + entry.source);
      Perform(entry.action);
      lastFire = w.now();
    }
    w.waitIdle(w.now() + kSettleLimitMs);
  });

  RunResult result;
  result.transcript = m_world->transcript().lines(m_options.trace);
  for (const auto& note : m_timelineNotes) result.transcript.push_back("note: " + note);
  Check(result);
  return result;
}

void Machinery::Check(RunResult& result) {
  sim::World& w = *m_world;
  sim::SimWindowSystem& windows = w.windows();
  const platform::Hwnd dialog = Dialog();
  // The dialog's notification log, and how `expect log` and `expect log-order` match a line.
  auto endsWith = [](const std::u16string& line, const std::u16string& text) {
    return line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0;
  };
  const std::vector<std::u16string> logLines =
      dialog ? windows.listBoxLines(windows.control(dialog, IDC_LIST_NOTIFICATIONS)) : std::vector<std::u16string>{};
  auto controlText = [&](int id) -> std::optional<std::u16string> {
    if (dialog == nullptr) return std::nullopt;
    return windows.text(windows.control(dialog, id));
  };
  const std::vector<std::u16string> codes = m_controller ? m_controller->Codes() : std::vector<std::u16string>{};
  const std::vector<std::u16string> notices =
      m_controller ? m_controller->NoticeTexts() : std::vector<std::u16string>{};
  sim::SimWlanService& wlan = m_machine->wlan();

  for (const Expectation& e : m_scenario.expectations) {
    bool held = false;
    std::string found;
    const std::u16string first = e.texts.empty() ? u"" : e.texts.front();
    switch (e.kind) {
      case Expectation::Kind::Exit: {
        const auto code = m_program->exitCode();
        held = code && static_cast<std::int64_t>(*code) == e.number;
        found = code ? "exit code " + std::to_string(*code) : "still running";
        break;
      }
      case Expectation::Kind::Running:
        held = !m_program->exited();
        found = held ? "running" : "exited with " + std::to_string(m_program->exitCode().value_or(0));
        break;
      case Expectation::Kind::Codes:
        held = codes == e.texts;
        found = CodesText(codes);
        break;
      case Expectation::Kind::Notices:
        held = static_cast<std::int64_t>(notices.size()) == e.number;
        found = std::to_string(notices.size()) + " notices";
        break;
      case Expectation::Kind::NoticeText:
        held = true;
        for (const auto& n : notices) held = held && n == first;
        found = CodesText(notices);
        break;
      case Expectation::Kind::Registry:
      case Expectation::Kind::RegistryAbsent: {
        const auto value = w.registry().getString(SimRegistry::View::Wow32, controller::kSettingsKeyPath, first);
        held = e.kind == Expectation::Kind::Registry ? (value && *value == e.texts[1]) : !value;
        found = value ? Quote(*value) : "absent";
        break;
      }
      case Expectation::Kind::WlanState:
        held = wlan.state() == static_cast<std::uint32_t>(e.number);
        found = sim::SimWlanService::stateName(wlan.state());
        break;
      case Expectation::Kind::WlanSsid:
        held = wlan.ssidText() == first;
        found = Quote(wlan.ssidText());
        break;
      case Expectation::Kind::WlanKey: {
        const auto key = wlan.keyText();
        held = key && *key == first;
        found = key ? Quote(*key) : "no passphrase";
        break;
      }
      case Expectation::Kind::WlanMaxPeers:
        held = wlan.maxPeers() == static_cast<std::uint32_t>(e.number);
        found = std::to_string(wlan.maxPeers());
        break;
      case Expectation::Kind::WlanCalls: {
        const auto count = wlan.callCount(e.word);
        held = static_cast<std::int64_t>(count) == e.number;
        found = std::to_string(count) + " calls";
        break;
      }
      case Expectation::Kind::NetshRuns:
        held = m_machine->netshRuns() == e.number;
        found = std::to_string(m_machine->netshRuns()) + " runs";
        break;
      case Expectation::Kind::Log:
      case Expectation::Kind::NoLog: {
        bool ends = false, contains = false;
        for (const auto& l : logLines) {
          ends = ends || endsWith(l, first);
          contains = contains || l.find(first) != std::u16string::npos;
        }
        held = e.kind == Expectation::Kind::Log ? ends : !contains;
        found = std::to_string(logLines.size()) + " log lines";
        for (const auto& l : logLines) {
          if (l.find(first) != std::u16string::npos) found += "; " + Quote(l);
        }
        break;
      }
      case Expectation::Kind::LogOrder:
        // Consecutive log lines ending with the texts, in this order, somewhere in the log.
        for (std::size_t i = 0; !held && i + e.texts.size() <= logLines.size(); ++i) {
          bool all = true;
          for (std::size_t j = 0; all && j < e.texts.size(); ++j) all = endsWith(logLines[i + j], e.texts[j]);
          held = all;
        }
        found = std::to_string(logLines.size()) + " log lines";
        break;
      case Expectation::Kind::ControllerHidden: {
        const platform::Hwnd h = m_controller ? m_controller->Window() : nullptr;
        held = h != nullptr && !windows.visible(h);
        found = h == nullptr ? "no controller window" : (held ? "hidden" : "visible");
        break;
      }
      case Expectation::Kind::WindowHidden:
        held = dialog != nullptr && !windows.visible(dialog);
        found = dialog == nullptr ? "no program window" : (held ? "hidden" : "visible");
        break;
      case Expectation::Kind::WakeUps: {
        const std::uint64_t end = m_markEnd.value_or(w.programWakeUps());
        const std::uint64_t count = end - m_markStart.value_or(0);
        held = static_cast<std::int64_t>(count) == e.number;
        found = std::to_string(count) + " wake-ups";
        break;
      }
      case Expectation::Kind::WindowNone:
        held = dialog == nullptr;
        found = held ? "no program window" : "the program made its window";
        break;
      case Expectation::Kind::EditName:
      case Expectation::Kind::EditKey:
      case Expectation::Kind::Status: {
        const auto text = controlText(e.controlId);
        held = text && *text == first;
        found = text ? Quote(*text) : "no program window";
        break;
      }
      case Expectation::Kind::Sharing:
      case Expectation::Kind::SharingNone:
      case Expectation::Kind::IcsCalls:
      case Expectation::Kind::IcsReleased:
        held = CheckSharing(e, m_machine->sharing(), found);
        break;
    }
    result.allHeld = result.allHeld && held;
    result.expectations.push_back((held ? "ok      line " : "FAILED  line ") + std::to_string(e.line) + ": " +
                                  e.source + (held ? "" : "  (found: " + found + ")"));
  }
  // Every scenario: a properties record or task memory left unfreed, or an object released
  // too often, is a fault of the program whatever the scenario expects.
  sim::SimSharingService& ics = m_machine->sharing();
  if (ics.outstandingMemory() != 0 || ics.misuses() != 0) {
    result.allHeld = false;
    result.expectations.push_back("FAILED  sharing memory: " + ics.leftOverText());
  }
  for (const std::string& misuse : m_world->registry().misuses()) {
    result.allHeld = false;
    result.expectations.push_back("FAILED  registry misuse: " + misuse);
  }
  // Once every instance has ended, no connection is left shared that the program shared: the
  // sharing service outlives the program, and nothing else would switch it off.
  const bool allEnded =
      std::all_of(m_programs.begin(), m_programs.end(), [](sim::SimProcess* p) { return p->exited(); });
  if (const auto left = ics.sharedSinceStart(); allEnded && !left.empty()) {
    const std::string names = JoinText(left, ", ", [](const std::u16string& name) { return Quote(name); });
    result.allHeld = false;
    result.expectations.push_back("FAILED  sharing after the end: " + names + " still shared");
  }
}

}  // namespace

std::vector<std::string> RunResult::Lines() const {
  std::vector<std::string> lines = transcript;
  lines.push_back("--");
  lines.insert(lines.end(), expectations.begin(), expectations.end());
  return lines;
}

RunResult RunScenario(const Scenario& scenario, const RunOptions& options) {
  Machinery machinery(scenario, options);
  return machinery.Run();
}

}  // namespace tethra::simrunner
