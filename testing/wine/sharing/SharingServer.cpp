// The simulated sharing service of the process, its machine, its faults and its log.
#include "SharingServer.h"

#include <windows.h>

#include "SharingMachine.h"
#include "tethra/scenario/Text.h"
#include "tethra/platform/WlanApi.h"
#include "tethra/wine/WlanLink.h"

namespace tethra::tools {

namespace {

std::string Quoted(const std::u16string& text) { return tethra::simrunner::Quote(text); }

}  // namespace

SharingServer& SharingServer::instance() {
  static SharingServer* const server = new SharingServer();  // process lifetime, see the header
  return *server;
}

SharingServer::SharingServer() {
  SharingMachineSetup setup = ReadSharingMachine();
  for (const std::string& note : setup.notes) write(note);
  m_Faults = std::move(setup.faults);
  std::string described;
  for (const auto& c : setup.config.connections) {
    // Appended piece by piece: GCC 12 -O2 misreads `a + b` chains as -Wrestrict.
    described += ' ';
    described += Quoted(c.name);
    described += ' ';
    described += sim::SharingRoleName(c.role);
    if (!c.supported) described += " unsupported";
  }
  sim::ISharingServiceHost& host = *this;
  m_Service = std::make_unique<sim::SimSharingService>(host, nullptr, std::move(setup.config));
  // The WLAN service of the process, once reached, has the virtual adapter; before, the machine's
  // start state stands.
  m_Service->setHostedAdapter(setup.hostedAdapter, [start = setup.hostedAdapterAtStart] {
    const std::optional<PlantedAdapter> now = PlantedVirtualAdapter();
    return now ? sim::SimHostedAdapter{now->present, now->startedSincePresent} : start;
  });
  m_Service->setCallerSecurity([] { return PlantedComSecurityForSharing(); });
  write(std::string("service ready: sharing ") + (m_Service->installed() ? "installed" : "not installed") +
        ", connections" + described);
  writeNowIfChanged(true);
  // The service's state must survive a CoFreeUnusedLibraries: the DLL stays for the process.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&s_made), &self);
  s_made.store(this);
}

bool SharingServer::idle() const {
  for (const auto& [kind, count] : m_Objects) {
    if (count != 0) return false;
  }
  return m_Locks == 0;
}

// At process detach another thread may have died holding the lock, so the check only reads
// what it can take without waiting. Objects the program still holds when its process ends are
// listed apart from the records and memory it did not give back: an owner may keep its objects
// for the life of the process, but never lose a record.
void SharingServer::writeEnd() {
  std::unique_lock guard(m_Lock, std::try_to_lock);
  if (!guard.owns_lock()) {
    write("end: not checked (a call was still running)");
    return;
  }
  EndPlantedWlan();  // the hosted network as it is once the process has gone
  std::string objects;
  for (const auto& [kind, count] : m_Objects) {
    if (count != 0) objects += (objects.empty() ? "" : ", ") + std::to_string(count) + " " + kind;
  }
  const std::string service = m_Service->leftOverText();
  const std::string shared = tethra::simrunner::JoinText(m_Service->sharedSinceStart(), ", ", Quoted);
  if (objects.empty() && service.empty() && shared.empty()) {
    write("end: nothing left behind");
    return;
  }
  if (!objects.empty()) {
    write("end: COM objects still referenced: " + objects + " (" + std::to_string(m_ComReferences) + " references)");
  }
  if (!service.empty()) write("end: service left over: " + service);
  if (!shared.empty()) write("end: shared since the start: " + shared);
}

void SharingServer::writeNowIfChanged(bool always) {
  const auto publicName = m_Service->sharedName(sim::SimSharingRole::Public);
  const auto privateName = m_Service->sharedName(sim::SimSharingRole::Private);
  if (!always && publicName == m_NowPublic && privateName == m_NowPrivate) return;
  m_NowPublic = publicName;
  m_NowPrivate = privateName;
  std::string line = "now public ";
  line += publicName ? Quoted(*publicName) : std::string("none");
  line += " private ";
  line += privateName ? Quoted(*privateName) : std::string("none");
  write(line);
}

void SharingServer::recordCall(std::string_view operation, std::string_view arguments, std::string_view result) {
  write("call " + std::string(operation) + "(" + std::string(arguments) + ") -> " + std::string(result));
  writeNowIfChanged(false);
}

// As the simulated notebook answers: the rule's number is the call's status.
std::optional<std::int64_t> SharingServer::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<sim::FaultRule> rule = m_Faults.take(area, operation);
  if (!rule) return std::nullopt;
  return rule->code;
}

}  // namespace tethra::tools
