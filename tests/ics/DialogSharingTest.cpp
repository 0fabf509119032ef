// The dialog's sharing policy on the simulated notebook, where a scenario cannot reach: a
// start after the sharing manager was reset and the snapshots replaced (each combo box entry
// keeps its own snapshot alive), and the pauses between the retries in virtual time.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/SystemNames.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/runner/Runner.h"
#include "tethra/sim/Machine.h"
#include "tethra/sim/ProgramResources.h"
#include "tethra/sim/Text.h"

namespace tethra::ics {
namespace {

using sim::SimRegistry;

SimRegistry::Value Text(std::u16string_view text) { return {platform::kREG_SZ, sim::text::RegSzBytes(text)}; }

// The real dialog, with one step of the test's own run right after its initialisation.
class DialogUnderTest final : public app::CHostedNetworkDlg {
 public:
  DialogUnderTest(const platform::Platform& platform, std::function<void(DialogUnderTest&)> afterInit)
      : CHostedNetworkDlg(platform, u"/ShareLAN"), m_AfterInit(std::move(afterInit)) {}
  using CHostedNetworkDlg::Session;
  using CHostedNetworkDlg::Sharing;
  using CHostedNetworkDlg::State;

 protected:
  bool OnInitDialog() override {
    const bool result = CHostedNetworkDlg::OnInitDialog();
    m_AfterInit(*this);
    return result;
  }

 private:
  std::function<void(DialogUnderTest&)> m_AfterInit;
};

// A notebook whose settings name the Ethernet adapter, with the real dialog on it; `afterInit`
// runs right after the dialog's initialisation, then the process ends.
class DialogRig {
 public:
  DialogRig() {
    world->registry().createKey(SimRegistry::View::Wow32, controller::kSettingsKeyPath);
    world->registry().setValue(SimRegistry::View::Wow32, controller::kSettingsKeyPath, u"ShareConnection",
                               Text(u"Simulated Ethernet Adapter"));
    world->registry().createKey(SimRegistry::View::Native, app::kSharingPolicyKeyPath);
  }

  bool Run(const std::function<void(DialogUnderTest&)>& afterInit) {
    bool finished = false;
    world->startThread(process, "main", [&] {
      const platform::Platform& p = process.platform();
      auto* dialog = new DialogUnderTest(p, [&](DialogUnderTest& d) {
        afterInit(d);
        finished = true;
        p.kernel->exitProcess(0);
      });
      dialog->DoModal();
    });
    world->run([&] { world->block([&] { return finished; }, 60'000); });
    return finished;
  }

  sim::SimMachine machine{sim::SimMachineConfig{}};
  sim::World* world = &machine.world();
  sim::SimProcess& process = machine.createProgram("tethra", &sim::ProgramResources());
  sim::SimSharingService& ics = machine.sharing();
};

// The connections the combo box offers, in its order; each entry holds its own reference.
CIcsConnectionInfo* Entry(DialogUnderTest& d, int index) { return d.Sharing().Offered(index); }

// Reads the connections again as the dialog does; `refreshOffer`: the combo box follows.
bool ReadConnections(DialogUnderTest& d, bool refreshOffer) {
  return d.Sharing().GetIcsInfo(d.State().Started(), d.Session().HostedNetworkGuid(), refreshOffer);
}

TEST(DialogSharingTest, AStartAfterTheManagerWasResetUsesTheSnapshotItsEntryKeptAlive) {
  DialogRig rig;
  platform::HResult resetStatus{0xFFFFFFFFu};
  platform::HResult startStatus{0xFFFFFFFFu};
  std::int32_t entryCount = 0;
  std::u16string sharedBeforeStart;
  ASSERT_TRUE(rig.Run([&](DialogUnderTest& d) {
    // The snapshot of the selected entry, with the list's reference and the entry's own. The
    // test holds a third, so that the snapshot stays readable whatever the program releases.
    auto* entry = const_cast<CIcsConnectionInfo*>(d.Sharing().Selected());
    ASSERT_NE(entry, nullptr);
    entry->AddRef();
    resetStatus = d.Sharing().Manager()->ResetIcsManager();
    ReadConnections(d, false);  // replaces the list's snapshots; the combo box keeps its entries
    entryCount = entry->Release();
    d.Sharing().Manager()->DisableIcsOnAll();
    sharedBeforeStart = rig.ics.sharedName(sim::SimSharingRole::Public).value_or(u"none");
    d.Sharing().Manager()->CacheICSIntfIndex();
    startStatus = d.Sharing().StartIcsIfNeeded(d.Session().HostedNetworkGuid());
  }));
  EXPECT_EQ(resetStatus, platform::kS_OK);
  EXPECT_EQ(entryCount, 1);  // the replaced list gave its reference up; the entry's is left
  EXPECT_EQ(sharedBeforeStart, u"none");
  EXPECT_EQ(startStatus, platform::kS_OK);
  EXPECT_EQ(rig.ics.sharedName(sim::SimSharingRole::Public), u"Ethernet");
  EXPECT_EQ(rig.ics.sharedName(sim::SimSharingRole::Private), u"Wireless Network Connection 2");
  EXPECT_EQ(rig.ics.outstandingMemory(), 0u);
}

// A refresh of the connection list while the combo box holds entries (initialisation still
// running) gives back each old entry's reference as the entry goes, and the new entries hold
// the new snapshots.
TEST(DialogSharingTest, ARefreshOfTheComboBoxGivesBackTheReferenceOfEveryEntryItDeletes) {
  DialogRig rig;
  int entriesBefore = 0;
  int entriesAfter = 0;
  std::int32_t left = -1;
  bool replaced = false;
  ASSERT_TRUE(rig.Run([&](DialogUnderTest& d) {
    entriesBefore = d.Sharing().OfferedCount();
    if (entriesBefore < 1) return;
    auto* old = Entry(d, 0);
    old->AddRef();  // the test's own, so the count can be read after the refresh
    static_cast<void>(d.Sharing().Manager()->ResetIcsManager());  // the refreshed list is what is looked at
    // The combo box follows the list only during initialisation; the list's reference on the
    // old snapshot goes here.
    ReadConnections(d, true);
    entriesAfter = d.Sharing().OfferedCount();
    replaced = entriesAfter == 1 && Entry(d, 0) != old && Entry(d, 0)->m_strName == old->m_strName;
    left = old->Release();  // 0: neither the list nor the deleted entry holds it any more
  }));
  EXPECT_EQ(entriesBefore, 1);
  EXPECT_EQ(entriesAfter, 1);
  EXPECT_TRUE(replaced);
  EXPECT_EQ(left, 0);
}

// The virtual time of the first transcript line that contains `text`, or -1.
long long StampOf(const std::vector<std::string>& transcript, const std::string& text) {
  for (const std::string& line : transcript) {
    if (line.find(text) != std::string::npos) return std::stoll(line.substr(1));
  }
  return -1;
}

TEST(DialogSharingTest, TenFailedRetriesPauseTenTimesAHundredMilliseconds) {
  std::ifstream file(TETHRA_SCENARIO_DIR "/sharing-private-side-fails.scn");
  std::stringstream text;
  text << file.rdbuf();
  simrunner::ParseError error;
  const auto scenario = simrunner::ParseScenario(text.str(), "sharing-private-side-fails.scn", &error);
  ASSERT_TRUE(scenario) << error.message();
  const simrunner::RunResult result = simrunner::RunScenario(*scenario, simrunner::RunOptions{});
  EXPECT_TRUE(result.allHeld);
  const long long started = StampOf(result.transcript, "wlan state idle -> active");
  const long long failed = StampOf(result.transcript, "received code \"ICS_FAILED\"");
  ASSERT_GE(started, 0);
  EXPECT_EQ(failed - started, 1000);
  // Restoring the previous pair follows at once, without another pause.
  EXPECT_EQ(StampOf(result.transcript, "sharing \"Home Network\" private"), failed);
}

}  // namespace
}  // namespace tethra::ics
