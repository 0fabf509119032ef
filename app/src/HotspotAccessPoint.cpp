// The mobile hotspot's one owner: what the program wants, as operations one at a time.
#include "tethra/app/HotspotAccessPoint.h"

#include <algorithm>
#include <utility>

#include "tethra/platform/Handle.h"

namespace tethra::app {

using platform::HResult;
using wlan::HotspotOperation;

namespace {
// A rename is a configuration, a stop and a start, each bounded by the hotspot; the watcher
// waits for all three and a little more.
constexpr platform::Dword kRenameWaitMs = 3 * wlan::kHotspotOperationTimeoutMs + 5000;

// Tethra sets name and passphrase only; band and authentication kind stay as `users` has them
// (no page says what a configuration leaves to a field it is not given).
platform::AccessPointConfig KeepingTheRest(const platform::AccessPointConfig& wanted,
                                           const platform::AccessPointConfig& users) {
  return {wanted.ssid, wanted.passphrase, users.band, users.authentication};
}
}  // namespace

CHotspotAccessPoint::CHotspotAccessPoint(std::unique_ptr<wlan::CMobileHotspot> hotspot, platform::IKernel& kernel,
                                         platform::IWindowSystem& windows, platform::Hwnd dialog,
                                         platform::ITrace& trace, HotspotEvents events)
    : m_Hotspot(std::move(hotspot)),
      m_Kernel(kernel),
      m_Windows(windows),
      m_Dialog(dialog),
      m_Trace(trace),
      m_Events(std::move(events)) {}

const char* CHotspotAccessPoint::PurposeName(Purpose purpose) {
  switch (purpose) {
    case Purpose::None:
      return "nothing";
    case Purpose::Starting:
      return "the start";
    case Purpose::Renaming:
      return "the rename";
    case Purpose::Restoring:
      return "restoring the user's settings";
    case Purpose::Undoing:
      return "undoing a late start";
  }
  return "?";
}

void CHotspotAccessPoint::SetInForce(const platform::AccessPointConfig& config) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  std::lock_guard lock(m_Mutex);
  m_InForce = config;
}

HResult CHotspotAccessPoint::ReadState(platform::TetheringState& state) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  const HResult hr = m_Hotspot->GetState(state);
  std::lock_guard lock(m_Mutex);
  m_SeenState = hr;
  if (hr == platform::kS_OK) m_SeenOn = state == platform::TetheringState::On;
  return hr;
}

void CHotspotAccessPoint::NoteOutcome(const wlan::HotspotOutcome& outcome) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (!outcome.ended || outcome.result != platform::kS_OK || outcome.operation == HotspotOperation::Configure) return;
  std::lock_guard lock(m_Mutex);
  m_SeenState = platform::kS_OK;
  m_SeenOn = outcome.operation != HotspotOperation::Stop;
}

void CHotspotAccessPoint::ReadBack() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  platform::TetheringState state = platform::TetheringState::Unknown;
  static_cast<void>(ReadState(state));  // unread stays Unknown
  std::u16string name;
  HResult hr = platform::kS_OK;
  if (m_RanSession) {
    name = m_SessionName;  // what the session last started with, not what a rename asked for
  } else {
    platform::AccessPointConfig config;
    hr = m_Hotspot->GetConfiguration(config);
    name = config.ssid;
  }
  std::lock_guard lock(m_Mutex);
  m_SeenName = hr;
  if (hr == platform::kS_OK) m_SeenNameText = std::move(name);
}

bool CHotspotAccessPoint::Prepare(const std::optional<platform::AccessPointConfig>& wanted,
                                  platform::AccessPointConfig& inForce, HResult& hr) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  platform::AccessPointConfig current;
  platform::TetheringState state = platform::TetheringState::Unknown;
  hr = m_Hotspot->GetConfiguration(current);
  if (hr == platform::kS_OK) hr = ReadState(state);
  if (hr != platform::kS_OK) return false;
  // A hotspot that runs already keeps what it runs with, as a running hosted network does.
  m_Adopted = state == platform::TetheringState::On;
  inForce = m_Adopted || !wanted ? current : KeepingTheRest(*wanted, current);
  if (!m_Adopted && inForce != current) m_Prepared = inForce;
  SetInForce(inForce);
  std::lock_guard lock(m_Mutex);
  m_SeenNameText = inForce.ssid;
  return true;
}

void CHotspotAccessPoint::Start() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  std::deque<Step> steps;
  SwitchOffTimeoutFirst(steps);
  if (m_Adopted) {
    if (steps.empty()) {
      m_Events.started();
    } else {
      Run(Purpose::Starting, std::move(steps));
    }
    return;
  }
  if (m_Prepared) {
    // For this session only where the system allows it: the user's settings stay untouched.
    steps.push_back({HotspotOperation::SessionStart, *m_Prepared});
  } else {
    steps.push_back({HotspotOperation::Start, {}});
  }
  Run(Purpose::Starting, std::move(steps));
}

void CHotspotAccessPoint::SwitchOffTimeoutFirst(std::deque<Step>& steps) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  bool on = false;
  const HResult hr = m_Hotspot->GetNoConnectionsTimeout(on);
  if (hr == platform::kHotspotNoTimeoutSetting) {
    platform::TraceLine(m_Trace, "CHotspotAccessPoint: the system has no NoConnections timeout to switch off");
    return;
  }
  // The user's setting would turn the hotspot off five minutes after the last client went: off
  // for as long as we run it, and back at the end.
  if (hr != platform::kS_OK || !on) return;
  m_TimeoutToGiveBack = true;
  steps.push_back({HotspotOperation::DisableTimeout, {}});
}

void CHotspotAccessPoint::GiveBackTimeout() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  // An operation still in flight past its bound: nothing more can be asked of the system now.
  if (!m_TimeoutToGiveBack || m_Hotspot->Busy()) return;
  bool on = false;
  if (m_Hotspot->GetNoConnectionsTimeout(on) != platform::kS_OK) return;
  if (on || m_Hotspot->RunForEnd(HotspotOperation::EnableTimeout, {}, kHotspotEndWaitMs) == platform::kS_OK) {
    m_TimeoutToGiveBack = false;
  }
}

void CHotspotAccessPoint::SaveSettingsOnce(const platform::AccessPointConfig& current) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (!m_Saved) m_Saved = current;
}

void CHotspotAccessPoint::Run(Purpose purpose, std::deque<Step> steps) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  m_Purpose = purpose;
  m_Steps = std::move(steps);
  Advance();
}

void CHotspotAccessPoint::Advance() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  while (!m_Steps.empty()) {
    const Step step = m_Steps.front();
    m_Steps.pop_front();
    HResult hr = platform::kS_OK;
    switch (step.operation) {
      case HotspotOperation::Configure:
        hr = m_Hotspot->BeginConfigure(step.config);
        break;
      case HotspotOperation::Start:
        hr = m_Hotspot->BeginStart();
        break;
      case HotspotOperation::SessionStart:
        hr = m_Hotspot->BeginSessionStart(step.config);
        m_SessionAsked = step.config.ssid;
        break;
      case HotspotOperation::Stop:
        hr = m_Hotspot->BeginStop();
        break;
      case HotspotOperation::EnableTimeout:
      case HotspotOperation::DisableTimeout:
        hr = m_Hotspot->BeginSetNoConnectionsTimeout(step.operation == HotspotOperation::EnableTimeout);
        break;
    }
    if (hr == platform::kHotspotNoSessionStart && step.operation == HotspotOperation::SessionStart) {
      // This system starts only with its persistent configuration: ours goes in for the run,
      // the user's is kept to be put back at the end.
      platform::AccessPointConfig current;
      if (hr = m_Hotspot->GetConfiguration(current); hr != platform::kS_OK) {
        m_Steps.clear();
        Finished(hr);
        return;
      }
      SaveSettingsOnce(current);
      m_Steps.push_front({HotspotOperation::Start, {}});
      m_Steps.push_front({HotspotOperation::Configure, step.config});
      continue;
    }
    if (hr != platform::kS_OK) {
      m_Steps.clear();
      Finished(hr);
    }
    return;  // its end comes as a message
  }
  Finished(platform::kS_OK);
}

void CHotspotAccessPoint::OnOperationMessage(std::uint64_t number) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  wlan::HotspotOutcome outcome;
  if (!m_Hotspot->TakeOutcome(number, outcome)) return;
  NoteOutcome(outcome);
  if (!outcome.ended) {
    // Past its bound (cancelled, unless a stop); its end (a message more) is met by AfterGivenUp.
    m_Steps.clear();
    Finished(outcome.result);
    return;
  }
  if (outcome.givenUp) {
    AfterGivenUp(outcome);
    return;
  }
  if (outcome.operation == HotspotOperation::DisableTimeout && outcome.result != platform::kS_OK) {
    // The hotspot still runs, only with the user's timer: no reason to give up the start.
    platform::TraceLine(m_Trace, "CHotspotAccessPoint: the NoConnections timeout stays on (%x)",
                        platform::Raw(outcome.result));
    Advance();
    return;
  }
  if (outcome.result != platform::kS_OK) {
    m_Steps.clear();
    Finished(outcome.result);
    return;
  }
  if (outcome.operation == HotspotOperation::SessionStart) {
    m_RanSession = true;
    m_SessionName = m_SessionAsked;
  }
  Advance();
}

void CHotspotAccessPoint::Finished(HResult hr) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  const Purpose purpose = std::exchange(m_Purpose, Purpose::None);
  platform::TraceLine(m_Trace, "CHotspotAccessPoint: %s ended %x", PurposeName(purpose), platform::Raw(hr));
  switch (purpose) {
    case Purpose::Starting:
      if (hr == platform::kS_OK) {
        m_Events.started();  // a rename asked meanwhile runs next (below), and announces itself
      } else {
        m_Events.startFailed(hr);
        RestoreIfNeeded();
      }
      break;
    case Purpose::Renaming:
      if (hr != platform::kS_OK) ReadBack();  // the watcher asks whether it took all the same
      CompleteRename(hr == platform::kS_OK ? 1 : 0);
      break;
    case Purpose::Restoring:
      if (hr == platform::kS_OK) m_Saved.reset();
      break;
    case Purpose::Undoing:
      RestoreIfNeeded();
      break;
    case Purpose::None:
      break;
  }
  StartRenameIfAny();
}

void CHotspotAccessPoint::RestoreIfNeeded() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (!m_Saved || m_Purpose != Purpose::None || m_Hotspot->Busy()) return;
  platform::AccessPointConfig current;
  if (m_Hotspot->GetConfiguration(current) != platform::kS_OK) return;  // tried again at the end
  if (current == *m_Saved) {
    m_Saved.reset();
    return;
  }
  Run(Purpose::Restoring, {{HotspotOperation::Configure, *m_Saved}});
}

void CHotspotAccessPoint::AfterGivenUp(const wlan::HotspotOutcome& outcome) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  // The program stopped waiting for it; should it have started the hotspot, nobody wants it on.
  const bool started = outcome.result == platform::kS_OK && (outcome.operation == HotspotOperation::Start ||
                                                             outcome.operation == HotspotOperation::SessionStart);
  platform::TraceLine(m_Trace, "CHotspotAccessPoint: an operation given up on ended %x", platform::Raw(outcome.result));
  if (started && m_Purpose == Purpose::None) {
    Run(Purpose::Undoing, {{HotspotOperation::Stop, {}}});
    return;
  }
  RestoreIfNeeded();
  StartRenameIfAny();
}

void CHotspotAccessPoint::OnChangeMessage(bool watching, bool scheduled) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (scheduled) {
    m_LookScheduled = false;
  } else {
    m_Hotspot->ChangeTaken();  // a change after the query below posts again
  }
  // While an operation of ours runs, its own end says what became of the hotspot.
  if (!watching || m_Purpose != Purpose::None || m_Hotspot->Busy()) {
    if (!m_LookScheduled) m_LookAgainMs = 0;
    return;
  }
  platform::TetheringState state = platform::TetheringState::Unknown;
  if (ReadState(state) != platform::kS_OK) return;
  if (state == platform::TetheringState::InTransition) {
    // No notification is promised when a transition ends: look again for as long as it lasts,
    // further apart the longer it goes on, one look asked for at a time.
    if (!m_LookScheduled) {
      m_LookAgainMs = m_LookAgainMs == 0 ? kHotspotLookAgainFirstMs
                                         : std::min<platform::Dword>(m_LookAgainMs * 2, kHotspotLookAgainLongestMs);
      m_LookScheduled = true;
      m_Hotspot->LookAgainLater(m_LookAgainMs);
    }
    return;
  }
  m_LookAgainMs = 0;
  if (state == platform::TetheringState::Off) m_Events.stoppedElsewhere();
}

platform::Bool32 CHotspotAccessPoint::Rename(const platform::AccessPointConfig& wanted, bool /*started*/,
                                             const std::function<void()>& nameHandedOver) {
  TETHRA_CHECK_THREAD(m_WatcherThread);
  // The hotspot takes name and key only together, at the restart below.
  nameHandedOver();
  // Only the dialog's thread knows whether the hotspot runs, or is still starting.
  auto request = std::make_shared<RenameRequest>();
  request->wanted = wanted;
  request->done =
      platform::UniqueKernelHandle(m_Kernel.createEvent(true, false), platform::KernelHandleCloser{&m_Kernel});
  if (!request->done) return 0;
  {
    std::lock_guard lock(m_Mutex);
    m_RenameAsked = request;
  }
  if (!m_Windows.postMessage(m_Dialog, WM_HOTSPOT_RENAME, 0, 0)) return 0;
  if (m_Kernel.waitForSingleObject(request->done.get(), kRenameWaitMs) != platform::kWAIT_OBJECT_0) return 0;
  return request->result.load();
}

void CHotspotAccessPoint::OnRenameMessage() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  StartRenameIfAny();
}

void CHotspotAccessPoint::StartRenameIfAny() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  // While the start (or anything) runs, the rename waits: it is asked again when that ends.
  if (m_Ended || m_Purpose != Purpose::None || m_Hotspot->Busy()) return;
  bool on = false;
  {
    std::lock_guard lock(m_Mutex);
    if (m_RenameAsked == nullptr) return;
    m_Renaming = std::move(m_RenameAsked);
    on = m_SeenOn;
  }
  if (!on) {
    // Not running: the name takes effect at the next start, as with the hosted network.
    CompleteRename(1);
    return;
  }
  platform::AccessPointConfig wanted;
  {
    std::lock_guard lock(m_Mutex);
    wanted = KeepingTheRest(m_Renaming->wanted, m_InForce);
  }
  std::deque<Step> steps;
  if (m_RanSession) {
    steps = {{HotspotOperation::Stop, {}}, {HotspotOperation::SessionStart, wanted}};
  } else {
    // A running hotspot takes a new persistent configuration only when it starts again.
    platform::AccessPointConfig current;
    if (const HResult hr = m_Hotspot->GetConfiguration(current); hr != platform::kS_OK) {
      ReadBack();
      CompleteRename(0);
      return;
    }
    SaveSettingsOnce(current);
    steps = {{HotspotOperation::Configure, wanted}, {HotspotOperation::Stop, {}}, {HotspotOperation::Start, {}}};
  }
  SetInForce(wanted);
  Run(Purpose::Renaming, std::move(steps));
}

void CHotspotAccessPoint::CompleteRename(platform::Bool32 result) {
  TETHRA_CHECK_THREAD(m_DialogThread);
  const std::shared_ptr<RenameRequest> request = std::move(m_Renaming);
  if (request == nullptr) return;
  request->result = result;
  m_Kernel.setEvent(request->done.get());
}

void CHotspotAccessPoint::FinishForEnd() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  // One end sequence per end, however many ways out ask for it: one stop, one restore.
  if (m_Ended) return;
  m_Ended = true;
  m_Steps.clear();
  m_Purpose = Purpose::None;
  LeaveAsFound();
  m_Hotspot->Close();
  // A watcher still waiting for a rename learns that it did not happen; the end tells the rest.
  CompleteRename(0);
  {
    std::lock_guard lock(m_Mutex);
    m_Renaming = std::move(m_RenameAsked);
  }
  CompleteRename(0);
}

void CHotspotAccessPoint::LeaveAsFound() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (!m_Hotspot->SettleForEnd(kHotspotEndWaitMs)) {
    // Still in flight past the bound: nothing more can be asked of the system now. A stop
    // among them finishes on its own, as the system's service finishes it.
    platform::TraceLine(m_Trace, "CHotspotAccessPoint: the end leaves an operation in flight");
    return;
  }
  // The stop first: nothing left on matters more than the settings, and a setting's operation
  // that never ends would keep the stop from being asked.
  platform::TetheringState state = platform::TetheringState::Unknown;
  if (ReadState(state) == platform::kS_OK && state != platform::TetheringState::Off) {
    // Asked once: a stop the system refused is not asked again, and one still running is left
    // to finish (it is never cancelled); nothing can be asked while it runs.
    if (m_Hotspot->RunForEnd(HotspotOperation::Stop, {}, kHotspotEndWaitMs) == wlan::kHotspotTimedOut) return;
  }
  GiveBackTimeout();
  GiveBackConfiguration();
}

void CHotspotAccessPoint::GiveBackConfiguration() {
  TETHRA_CHECK_THREAD(m_DialogThread);
  if (!m_Saved || m_Hotspot->Busy()) return;
  platform::AccessPointConfig current;
  if (m_Hotspot->GetConfiguration(current) != platform::kS_OK) return;
  if (current == *m_Saved ||
      m_Hotspot->RunForEnd(HotspotOperation::Configure, *m_Saved, kHotspotEndWaitMs) == platform::kS_OK) {
    m_Saved.reset();
  }
}

HResult CHotspotAccessPoint::IsStarted(bool& started) {
  TETHRA_CHECK_EITHER_THREAD(m_DialogThread, m_WatcherThread);
  std::lock_guard lock(m_Mutex);
  if (m_SeenState == platform::kS_OK) started = m_SeenOn;
  return m_SeenState;
}

HResult CHotspotAccessPoint::GetName(std::u16string& name) {
  TETHRA_CHECK_EITHER_THREAD(m_DialogThread, m_WatcherThread);
  std::lock_guard lock(m_Mutex);
  if (m_SeenName == platform::kS_OK) name = m_SeenNameText;
  return m_SeenName;
}

}  // namespace tethra::app
