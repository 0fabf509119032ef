// One scenario run on Windows: the stand-in controller prepares the machine's registry, owns
// the window "NetworkSetting LogicUIWnd", starts the real tethra.exe, plays the scenario's
// timeline in real time (machine events for the simulated services go through their control
// pipe) and checks the expectations with the simulator's own checker, from what an outside
// observer sees: WM_COPYDATA received, the registry, window messages to the program's dialog,
// exit codes and the simulated services' logs.
//
// The controller never asks the program's dialog in a loop (every question wakes the dialog's
// thread): it waits for a cue that something may have changed (a message to its window, the
// simulated services' change event, an instance's end or input idleness, a deadline) and
// reads the dialog then, at most once every kLookEveryMs, and again only after a question that
// went unanswered.
//
// Threads: everything runs on the thread that made the ScenarioRun, which also owns the
// window, except the short threads that wait for an instance's input idleness and end with
// it; every wait keeps receiving messages, so the program is never left blocked in a
// WM_COPYDATA send. Every wait is bounded. run() returns 0 when every expectation held, 1
// otherwise, 2 when the program could not be started; the transcript goes to stdout.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tethra/scenario/HotspotControl.h"
#include "tethra/scenario/Observation.h"
#include "tethra/scenario/Scenario.h"
#include "tethra/scenario/Timeline.h"
#include "tethra/wine/WinHandle.h"

namespace tethra::tools {

struct ScenarioRunOptions {
  std::wstring program;  // tethra.exe
  bool real = false;     // the machine's own services: no default settings, no service logs
};

class ScenarioRun final : private simrunner::ITimelineMachine {
 public:
  ScenarioRun(const simrunner::Scenario& scenario, ScenarioRunOptions options);
  ScenarioRun(const ScenarioRun&) = delete;
  ScenarioRun& operator=(const ScenarioRun&) = delete;
  ~ScenarioRun() override;

  int run();

 private:
  struct Received {
    bool code = false;  // a status code; otherwise a name-and-key notice or something else
    bool notice = false;
    std::u16string text;
  };
  // What the controller last saw of an instance's dialog (its last state once it has ended).
  struct DialogView {
    HWND window = nullptr;
    bool visible = false;
    std::vector<std::u16string> logLines;
    std::map<int, std::u16string> controls;
    bool operator==(const DialogView&) const = default;
  };
  struct Instance {
    PROCESS_INFORMATION process{};  // its handles owned by the two below once started
    WinHandle processOwned;
    WinHandle threadOwned;
    std::optional<DWORD> exitCode;
    DialogView dialog;
    WinHandle idleWatch;  // a thread in WaitForInputIdle, signalled when it returns
    bool running() const { return !exitCode; }
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void onCopyData(const COPYDATASTRUCT* data);

  void prepareMachine();
  void startProgram(const std::u16string& commandLine);
  // Receives messages and watches the instances until `done` holds or `timeoutMs` passed;
  // `done` is asked again only after a cue, or at the time it asked for with WakeAt.
  bool Pump(DWORD timeoutMs, const std::function<bool()>& done);
  void poll();
  void wakeAt(std::uint64_t ms) { m_WakeAtMs = std::min(m_WakeAtMs, ms); }
  // Whether the instance waits for input; if not, a thread waits for it and cues the pump.
  bool inputIdle(Instance& instance);
  // False when the dialog was there but left a question unanswered.
  bool look(Instance& instance);
  void answerMessageBox(Instance& instance);
  bool quiet(std::uint64_t forMs);
  // A machine action of the simulated WLAN service, through wlanapi.dll's pipe: the answer
  // line, or the reason none came.
  std::string control(const std::string& request);
  // A machine action of the simulated mobile hotspot, through simhotspot.dll's pipe.
  void controlHotspot(const simrunner::HotspotRequest& hotspot);
  void sendToDialogs(UINT message, WPARAM wParam, LPARAM lParam, const std::string& what);
  void postToDialog(UINT message, WPARAM wParam, LPARAM lParam, const std::string& what);
  simrunner::Observation observe();
  void endChildrenOfInstances();
  void print(const std::string& text);
  Instance* Newest() { return m_Instances.empty() ? nullptr : m_Instances.back().get(); }

  // --- ITimelineMachine -----------------------------------------------------------------------
  std::uint64_t NowMs() override;
  bool ProgramEnded() override;
  bool WaitFor(const simrunner::Trigger& trigger, std::uint64_t lastFireMs) override;
  void Fired(const simrunner::TimelineEntry& entry) override;
  void Perform(const simrunner::Action& action) override;

  const simrunner::Scenario& m_Scenario;
  const ScenarioRunOptions m_Options;
  const ULONGLONG m_StartTick;
  HWND m_Window = nullptr;
  // A window of the controller's title whose thread never takes a message (`controller hangs`).
  HWND hungWindow(HINSTANCE instance);
  WinHandle m_OtherInstance;  // the single-instance mutex held for `other-instance yes`
  std::vector<Received> m_Received;
  std::vector<std::unique_ptr<Instance>> m_Instances;
  std::uint64_t m_LastActivityMs = 0;  // something arrived, changed or ended
  std::uint64_t m_MachineBusyUntilMs = 0;  // a machine change the program may still be following
  WinHandle m_ServicesChanged;  // set by the simulated services after each log line
  bool m_LookWanted = true;            // a cue came since the dialog was last read
  std::optional<std::uint64_t> m_LastLookMs;
  std::uint64_t m_WakeAtMs = UINT64_MAX;  // the earliest time a pending check asked for
  std::uint64_t m_LogBytes = 0;  // the services' logs' size at the last poll
  const simrunner::TimelineEntry* m_Firing = nullptr;  // the line whose action runs
  std::vector<std::string> m_RefusedActions;  // actions Windows could not have taken, by line
};

}  // namespace tethra::tools
