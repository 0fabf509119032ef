// The program's CoInitializeSecurity through its import address table (see the header).
#include "ComSecurityWatch.h"

#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

#include "ImportSlots.h"
#include "WlanDll.h"
#include "tethra/scenario/MachineConfig.h"
#include "tethra/wine/ScenarioFile.h"

namespace tethra::tools {

namespace {

using InitializeSecurityFn = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                                              DWORD, void*, DWORD, void*);

InitializeSecurityFn g_real = nullptr;
std::string g_state = "not installed";
std::mutex g_mutex;
bool g_set = false;                      // a call succeeded: the process's security is set
std::atomic<bool> g_forSharing{false};   // ... with the levels the ICS pages ask for
std::optional<sim::FaultPlan> g_faults;  // the scenario's, read at the first call

void Log(const std::string& line) {
  if (SimWlanDll* dll = SimWlanDll::IfMade()) dll->write(line);
}

std::optional<HRESULT> TakeFault() {
  if (!g_faults) {
    g_faults.emplace();
    const ScenarioFromEnvironment file = LoadScenarioFromEnvironment();
    if (file.scenario) *g_faults = simrunner::FaultPlanOf(file.scenario->machine);
  }
  const std::optional<sim::FaultRule> rule = g_faults->take("com", "CoInitializeSecurity");
  if (!rule) return std::nullopt;
  return static_cast<HRESULT>(static_cast<std::uint32_t>(rule->code));
}

HRESULT WINAPI WatchedInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG services,
                                         SOLE_AUTHENTICATION_SERVICE* list, void* reserved1, DWORD authnLevel,
                                         DWORD impLevel, void* authList, DWORD capabilities, void* reserved3) {
  HRESULT hr = S_OK;
  {
    std::lock_guard lock(g_mutex);
    if (const auto fault = TakeFault()) {
      hr = *fault;
    } else if (g_set) {
      hr = RPC_E_TOO_LATE;
    } else {
      hr = g_real(descriptor, services, list, reserved1, authnLevel, impLevel, authList, capabilities, reserved3);
      if (SUCCEEDED(hr)) {
        g_set = true;
        g_forSharing = authnLevel == RPC_C_AUTHN_LEVEL_PKT && impLevel == RPC_C_IMP_LEVEL_IMPERSONATE;
      }
    }
  }
  char line[160];
  std::snprintf(line, sizeof line, "CoInitializeSecurity authentication %lu impersonation %lu -> 0x%08lx",
                static_cast<unsigned long>(authnLevel), static_cast<unsigned long>(impLevel),
                static_cast<unsigned long>(hr));
  Log(line);
  return hr;
}

std::string Install() {
  bool imported = false;
  bool found = false;
  std::string problem;
  const std::string walk = VisitImports("ole32.dll", imported, [&](const char* name, ULONGLONG* slot) {
    if (std::strcmp(name, "CoInitializeSecurity") != 0) return false;
    found = true;
    if (!RewriteImport(slot, &WatchedInitializeSecurity, g_real)) problem = "the import slot is not writable";
    return true;
  });
  if (!walk.empty()) return walk;
  if (!found) return "the executable does not import CoInitializeSecurity from ole32.dll";
  return problem;
}

}  // namespace

void WatchComSecurity() {
  static const bool once = [] {
    g_state = Install();
    return true;
  }();
  (void)once;
}

std::string ComSecurityWatchState() { return g_state; }

bool ComSecurityForSharing() { return g_forSharing.load(); }

}  // namespace tethra::tools
