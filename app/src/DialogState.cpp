// The dialog's phase transitions: every move of the phase is here.
#include "tethra/app/DialogState.h"

namespace tethra::app {

using P = DialogPhase;

const char* PhaseName(DialogPhase phase) {
  switch (phase) {
    case P::Created: return "Created";
    case P::Starting: return "Starting";
    case P::StartingLive: return "StartingLive";
    case P::Running: return "Running";
    case P::StartFailed: return "StartFailed";
    case P::ConnectionMissing: return "ConnectionMissing";
    case P::Ending: return "Ending";
    case P::Ended: return "Ended";
  }
  return "?";
}

bool CDialogState::Move(DialogPhase from, DialogPhase to) {
  TETHRA_CHECK_THREAD(m_Mover);
  if (m_Phase.load() != from) return false;
  m_Phase.store(to);
  return true;
}

bool CDialogState::BeginStartup() { return Move(P::Created, P::Starting); }

bool CDialogState::TakeNotifications() { return Move(P::Starting, P::StartingLive); }

bool CDialogState::FinishStartup() { return Move(P::StartingLive, P::Running); }

bool CDialogState::ReportStartupFailure() {
  return Move(P::Starting, P::StartFailed) || Move(P::StartingLive, P::Running);
}

bool CDialogState::ConnectionMissing() {
  return Move(P::Starting, P::ConnectionMissing) || Move(P::StartingLive, P::Ending);
}

bool CDialogState::BeginEnd() {
  TETHRA_CHECK_THREAD(m_Mover);
  const P phase = m_Phase.load();
  if (phase == P::Ending || phase == P::Ended) return false;
  m_Phase.store(P::Ending);
  return true;
}

bool CDialogState::StopTakingNotifications() { return Move(P::Ending, P::Ended); }

bool CDialogState::StartingUp() const {
  const P phase = m_Phase.load();
  return phase == P::Starting || phase == P::StartingLive;
}

bool CDialogState::TakesNotifications() const {
  const P phase = m_Phase.load();
  return phase == P::StartingLive || phase == P::Running || phase == P::Ending;
}

bool CDialogState::Closing() const {
  const P phase = m_Phase.load();
  return phase == P::ConnectionMissing || phase == P::Ending || phase == P::Ended;
}

}  // namespace tethra::app
