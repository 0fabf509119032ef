// The simulated sharing service's machine: from the scenario file, else from the variables.
#include "SharingMachine.h"

#include <objbase.h>
#include <windows.h>

#include <optional>

#include "tethra/scenario/MachineConfig.h"
#include "tethra/wine/ScenarioFile.h"
#include "tethra/wine/ServiceDll.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::tools {

namespace {

namespace simrunner = tethra::simrunner;

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

// "{GUID}|name|device name|off|public|private"
std::optional<sim::SimConnectionConfig> ParseConnection(const std::wstring& entry) {
  const std::vector<std::wstring> fields = Split(entry, L'|');
  if (fields.size() != 4) return std::nullopt;
  GUID guid;
  if (FAILED(::CLSIDFromString(fields[0].c_str(), &guid))) return std::nullopt;
  sim::SimConnectionConfig c;
  c.guid = tethra::win32::FromGuid(guid);
  c.name.assign(fields[1].begin(), fields[1].end());
  c.deviceName.assign(fields[2].begin(), fields[2].end());
  if (fields[3] == L"public") {
    c.role = sim::SimSharingRole::Public;
  } else if (fields[3] == L"private") {
    c.role = sim::SimSharingRole::Private;
  } else if (fields[3] != L"off") {
    return std::nullopt;
  }
  return c;
}

// The virtual adapter as the WLAN service starts with it (SimWlanService's own rule).
sim::SimHostedAdapter AdapterAtStart(const sim::SimWlanConfig& wlan) {
  const bool present = wlan.supported && wlan.capable && wlan.allowed && !wlan.firstUse;
  return {present, present && wlan.state == platform::kWlanHostedNetworkActive};
}

// The machine of the variables: the default notebook's, changed where a variable says so.
SharingMachineSetup FromVariables(std::vector<std::string> notes) {
  SharingMachineSetup setup;
  setup.notes = std::move(notes);
  const simrunner::Machine machine;
  setup.config = simrunner::SharingConfig(machine);
  const sim::SimWlanConfig wlan = simrunner::WlanConfig(machine.wlan);
  setup.hostedAdapter = wlan.adapter;
  setup.hostedAdapterAtStart = AdapterAtStart(wlan);
  if (const auto installed = Environment(L"TETHRA_SIMSHARING_INSTALLED")) setup.config.installed = *installed != L"0";
  if (const auto list = Environment(L"TETHRA_SIMSHARING_CONNECTIONS")) {
    setup.config.connections.clear();
    for (const std::wstring& entry : Split(*list, L';')) {
      if (auto connection = ParseConnection(entry)) {
        setup.config.connections.push_back(*connection);
      } else {
        setup.notes.push_back("ignored connection \"" + Narrow(entry) + "\"");
      }
    }
  }
  return setup;
}

}  // namespace

SharingMachineSetup ReadSharingMachine() {
  const ScenarioFromEnvironment file = LoadScenarioFromEnvironment();
  if (!file.named) return FromVariables({});
  if (!file.scenario) return FromVariables({"scenario refused: " + file.refusal});
  SharingMachineSetup setup;
  setup.config = simrunner::SharingConfig(file.scenario->machine);
  const sim::SimWlanConfig wlan = simrunner::WlanConfig(file.scenario->machine.wlan);
  setup.hostedAdapter = wlan.adapter;
  setup.hostedAdapterAtStart = AdapterAtStart(wlan);
  setup.faults = simrunner::FaultPlanOf(file.scenario->machine);
  setup.notes.push_back("scenario " + Narrow(*Environment(L"TETHRA_SCENARIO")));
  return setup;
}

}  // namespace tethra::tools
