// The dialog's phase: the paths the program takes through it, what each phase says to the
// handlers (start-up running, notifications taken, closing), and every event the phase refuses.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tethra/app/DialogState.h"

namespace tethra::app {
namespace {

using P = DialogPhase;

// The events in the order the program can meet them, each reaching the named phase from Created.
void Reach(CDialogState& state, P phase) {
  auto step = [&](bool moved) { ASSERT_TRUE(moved) << "on the way to " << PhaseName(phase); };
  if (phase == P::Created) return;
  step(state.BeginStartup());
  if (phase == P::Starting) return;
  if (phase == P::StartFailed) return step(state.ReportStartupFailure());
  if (phase == P::ConnectionMissing) return step(state.ConnectionMissing());
  step(state.TakeNotifications());
  if (phase == P::StartingLive) return;
  step(state.FinishStartup());
  if (phase == P::Running) return;
  step(state.BeginEnd());
  if (phase == P::Ending) return;
  step(state.StopTakingNotifications());
}

const std::vector<P> kAllPhases{P::Created,     P::Starting,          P::StartingLive, P::Running,
                                P::StartFailed, P::ConnectionMissing, P::Ending,       P::Ended};

struct Facts {
  bool startingUp, takesNotifications, closing;
};

Facts FactsOf(const CDialogState& s) { return {s.StartingUp(), s.TakesNotifications(), s.Closing()}; }

TEST(DialogPhaseTest, EachPhaseTellsTheHandlersWhetherStartUpRunsNotificationsCountAndTheProgramCloses) {
  // Closing is what ends the watcher's loop: a start-up that gave up must still let it carry
  // out the controller's "close". Notifications are drained while the way out stops the network.
  const std::vector<std::pair<P, Facts>> expected{
      {P::Created, {false, false, false}},          {P::Starting, {true, false, false}},
      {P::StartingLive, {true, true, false}},       {P::Running, {false, true, false}},
      {P::StartFailed, {false, false, false}},      {P::ConnectionMissing, {false, false, true}},
      {P::Ending, {false, true, true}},             {P::Ended, {false, false, true}},
  };
  for (const auto& [phase, facts] : expected) {
    CDialogState state;
    Reach(state, phase);
    ASSERT_EQ(state.Phase(), phase);
    const Facts seen = FactsOf(state);
    EXPECT_EQ(seen.startingUp, facts.startingUp) << PhaseName(phase);
    EXPECT_EQ(seen.takesNotifications, facts.takesNotifications) << PhaseName(phase);
    EXPECT_EQ(seen.closing, facts.closing) << PhaseName(phase);
  }
}

TEST(DialogPhaseTest, AStartUpFailureIsTheStartUpsOnlyOnceAndLaterOnesChangeNothing) {
  CDialogState beforeNotifications;
  Reach(beforeNotifications, P::Starting);
  EXPECT_TRUE(beforeNotifications.ReportStartupFailure());
  EXPECT_EQ(beforeNotifications.Phase(), P::StartFailed);
  EXPECT_FALSE(beforeNotifications.TakeNotifications()) << "a start-up that gave up takes no notifications";

  CDialogState live;
  Reach(live, P::StartingLive);
  EXPECT_TRUE(live.ReportStartupFailure());
  EXPECT_EQ(live.Phase(), P::Running) << "the start-up goes on, with notifications taken";
  EXPECT_FALSE(live.ReportStartupFailure()) << "a second report is no longer the start-up's";
  EXPECT_FALSE(live.FinishStartup());
  EXPECT_EQ(live.Phase(), P::Running);

  for (P phase : {P::Created, P::Running, P::StartFailed, P::ConnectionMissing, P::Ending, P::Ended}) {
    CDialogState state;
    Reach(state, phase);
    EXPECT_FALSE(state.ReportStartupFailure()) << PhaseName(phase);
    EXPECT_EQ(state.Phase(), phase);
  }
}

TEST(DialogPhaseTest, AMissingConnectionClosesWithNotificationsLeftOffOrEndsALiveStartUp) {
  CDialogState early;
  Reach(early, P::Starting);
  EXPECT_TRUE(early.ConnectionMissing());
  EXPECT_EQ(early.Phase(), P::ConnectionMissing);
  EXPECT_FALSE(early.TakeNotifications());
  EXPECT_FALSE(early.FinishStartup());

  CDialogState live;  // the list refreshed by a notification while sharing starts
  Reach(live, P::StartingLive);
  EXPECT_TRUE(live.ConnectionMissing());
  EXPECT_EQ(live.Phase(), P::Ending);
  EXPECT_FALSE(live.FinishStartup()) << "the end stands";
  EXPECT_EQ(live.Phase(), P::Ending);

  for (P phase : {P::Created, P::Running, P::StartFailed, P::ConnectionMissing, P::Ending, P::Ended}) {
    CDialogState state;
    Reach(state, phase);
    EXPECT_FALSE(state.ConnectionMissing()) << PhaseName(phase);
    EXPECT_EQ(state.Phase(), phase);
  }
}

TEST(DialogPhaseTest, EveryPhaseButTheEndsCanBeginTheEndAndOnlyAnEndingOneStopsTakingNotifications) {
  for (P phase : kAllPhases) {
    CDialogState state;
    Reach(state, phase);
    const bool ending = phase == P::Ending || phase == P::Ended;
    EXPECT_EQ(state.BeginEnd(), !ending) << PhaseName(phase);
    EXPECT_EQ(state.Phase(), phase == P::Ended ? P::Ended : P::Ending) << PhaseName(phase);
    EXPECT_TRUE(state.Closing());
  }
  for (P phase : kAllPhases) {
    CDialogState state;
    Reach(state, phase);
    EXPECT_EQ(state.StopTakingNotifications(), phase == P::Ending) << PhaseName(phase);
  }
}

TEST(DialogPhaseTest, StartUpEventsOutOfOrderAreRefused) {
  const std::vector<std::pair<const char*, std::function<bool(CDialogState&)>>> events{
      {"BeginStartup", [](CDialogState& s) { return s.BeginStartup(); }},
      {"TakeNotifications", [](CDialogState& s) { return s.TakeNotifications(); }},
      {"FinishStartup", [](CDialogState& s) { return s.FinishStartup(); }},
  };
  // The one phase each start-up event moves from.
  const std::vector<P> from{P::Created, P::Starting, P::StartingLive};
  for (std::size_t e = 0; e < events.size(); ++e) {
    for (P phase : kAllPhases) {
      CDialogState state;
      Reach(state, phase);
      EXPECT_EQ(events[e].second(state), phase == from[e]) << events[e].first << " in " << PhaseName(phase);
      if (phase != from[e]) {
        EXPECT_EQ(state.Phase(), phase) << events[e].first << " in " << PhaseName(phase);
      }
    }
  }
}

}  // namespace
}  // namespace tethra::app
