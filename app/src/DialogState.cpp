// The dialog's phase transitions: every move of the phase is here.
#include "tethra/app/DialogState.h"

namespace tethra::app {

using P = DialogPhase;

const char* PhaseName(DialogPhase phase) {
  switch (phase) {
    case P::kCreated: return "Created";
    case P::kStarting: return "Starting";
    case P::kStartingLive: return "StartingLive";
    case P::kRunning: return "Running";
    case P::kStartFailed: return "StartFailed";
    case P::kConnectionMissing: return "ConnectionMissing";
    case P::kEnding: return "Ending";
    case P::kEnded: return "Ended";
  }
  return "?";
}

bool CDialogState::Move(DialogPhase from, DialogPhase to) {
  TETHRA_CHECK_THREAD(m_Mover);
  if (m_Phase.load() != from) return false;
  m_Phase.store(to);
  return true;
}

bool CDialogState::BeginStartup() { return Move(P::kCreated, P::kStarting); }

bool CDialogState::TakeNotifications() { return Move(P::kStarting, P::kStartingLive); }

bool CDialogState::FinishStartup() { return Move(P::kStartingLive, P::kRunning); }

bool CDialogState::ReportStartupFailure() {
  return Move(P::kStarting, P::kStartFailed) || Move(P::kStartingLive, P::kRunning);
}

bool CDialogState::ConnectionMissing() {
  return Move(P::kStarting, P::kConnectionMissing) || Move(P::kStartingLive, P::kEnding);
}

bool CDialogState::BeginEnd() {
  TETHRA_CHECK_THREAD(m_Mover);
  const P phase = m_Phase.load();
  if (phase == P::kEnding || phase == P::kEnded) return false;
  m_Phase.store(P::kEnding);
  return true;
}

bool CDialogState::StopTakingNotifications() { return Move(P::kEnding, P::kEnded); }

bool CDialogState::StartingUp() const {
  const P phase = m_Phase.load();
  return phase == P::kStarting || phase == P::kStartingLive;
}

bool CDialogState::TakesNotifications() const {
  const P phase = m_Phase.load();
  return phase == P::kStartingLive || phase == P::kRunning || phase == P::kEnding;
}

bool CDialogState::Closing() const {
  const P phase = m_Phase.load();
  return phase == P::kConnectionMissing || phase == P::kEnding || phase == P::kEnded;
}

}  // namespace tethra::app
