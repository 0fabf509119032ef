// A program process's own security, COM and network-shell start.
#include "ProcessServices.h"

#include <cstring>

#include "tethra/sim/ServiceCalls.h"

namespace tethra::sim {

namespace {
constexpr platform::HResult kCO_E_NOTINITIALIZED{0x800401F0u};

struct SimSid {
  platform::SidIdentifierAuthority authority;
  std::uint8_t count;
  platform::Dword sub[8];
};
}  // namespace

bool SimSecurity::allocateAndInitializeSid(const platform::SidIdentifierAuthority& authority, std::uint8_t count,
                                           platform::Dword s0, platform::Dword s1, platform::Dword s2,
                                           platform::Dword s3, platform::Dword s4, platform::Dword s5,
                                           platform::Dword s6, platform::Dword s7, platform::Psid* sid) {
  m_World.recordCall("security", "AllocateAndInitializeSid", std::to_string(count) + " sub-authorities", "ok");
  if (sid == nullptr || count == 0 || count > 8) return false;
  auto* made = new SimSid{authority, count, {s0, s1, s2, s3, s4, s5, s6, s7}};
  *sid = reinterpret_cast<platform::Psid>(made);
  return true;
}

bool SimSecurity::checkTokenMembership(platform::Handle, platform::Psid sid, platform::Bool32* isMember) {
  if (sid == nullptr || isMember == nullptr) return false;
  const auto* s = reinterpret_cast<const SimSid*>(sid);
  const bool ntAuthority = std::memcmp(s->authority.Value, "\0\0\0\0\0\5", 6) == 0;
  const bool administrators = ntAuthority && s->count == 2 && s->sub[0] == platform::kSECURITY_BUILTIN_DOMAIN_RID &&
                              s->sub[1] == platform::kDOMAIN_ALIAS_RID_ADMINS;
  *isMember = administrators && m_Admin ? 1 : 0;
  m_World.recordCall("security", "CheckTokenMembership", administrators ? "Administrators" : "other group",
                     *isMember ? "member" : "not a member");
  return true;
}

void SimSecurity::freeSid(platform::Psid sid) {
  if (sid == nullptr) return;
  delete reinterpret_cast<SimSid*>(sid);
}

platform::HResult SimCom::coInitializeEx(platform::Dword coInit) {
  Apartment& a = m_Threads[std::this_thread::get_id()];
  platform::HResult hr = platform::kS_OK;
  if (a.count == 0) {
    a.model = coInit;
    a.count = 1;
  } else if (a.model == coInit) {
    ++a.count;
    hr = platform::kS_FALSE;
  } else {
    hr = platform::kRPC_E_CHANGED_MODE;
  }
  m_World.recordCall("com", "CoInitializeEx", coInit == 0 ? "multithreaded" : "apartment",
                     hr == platform::kS_OK      ? "S_OK"
                     : hr == platform::kS_FALSE ? "S_FALSE"
                                                : "RPC_E_CHANGED_MODE");
  return hr;
}

void SimCom::coUninitialize() {
  auto it = m_Threads.find(std::this_thread::get_id());
  if (it != m_Threads.end() && --it->second.count == 0) m_Threads.erase(it);
  m_World.recordCall("com", "CoUninitialize", "", "");
}

platform::HResult SimCom::coInitializeSecurity(platform::Dword authnLevel, platform::Dword impLevel,
                                              platform::Dword capabilities) {
  const std::string levels = "authentication " + std::to_string(authnLevel) + " impersonation " +
                             std::to_string(impLevel) + " capabilities " + std::to_string(capabilities);
  auto record = [&](platform::HResult hr, const char* text) {
    m_World.recordCall("com", "CoInitializeSecurity", levels, text);
    return hr;
  };
  if (const auto rule = m_World.faults().take("com", "CoInitializeSecurity")) {
    return record(FaultStatus<platform::HResult>(rule->code), "fault");
  }
  if (m_SecuritySet) return record(platform::kRPC_E_TOO_LATE, "RPC_E_TOO_LATE");
  // COM must be initialised on the calling thread first.
  if (!m_Threads.contains(std::this_thread::get_id())) return record(kCO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED");
  m_SecuritySet = true;
  m_SecurityForSharing = authnLevel == platform::kRPC_C_AUTHN_LEVEL_PKT &&
                         impLevel == platform::kRPC_C_IMP_LEVEL_IMPERSONATE;
  return record(platform::kS_OK, "S_OK");
}

bool SimProcessStart::shellExecuteEx(platform::ShellExecuteInfo* info) {
  platform::IKernel& kernel = *m_Program.platform().kernel;
  const std::string what = toUtf8(info->lpFile ? info->lpFile : u"") + " " +
                           toUtf8(info->lpParameters ? info->lpParameters : u"");
  const SimNetshConfig& netsh = m_Netsh.config();
  if (netsh.behaviour == SimNetshConfig::Behaviour::Missing) {
    info->hInstApp = 2;  // SE_ERR_FNF
    info->hProcess = nullptr;
    kernel.setLastError(platform::kERROR_FILE_NOT_FOUND);
    m_World.recordCall("process", "ShellExecuteExW", what, "file not found");
    m_World.event("network shell cannot be started: " + what);
    return false;
  }
  m_Netsh.counted();
  // The network shell's process: a manual-reset event of the program's kernel stands for its
  // handle, signalled when the shell ends.
  const platform::Handle process = kernel.createEvent(true, false);
  info->hInstApp = 42;
  info->hProcess = process;
  m_ExitCodes[process] = std::nullopt;
  m_World.recordCall("process", "ShellExecuteExW", what, "started");
  m_World.event("network shell started: " + what);
  SimProcess& shell = m_World.createProcess("netsh", false);
  const bool hangs = netsh.behaviour == SimNetshConfig::Behaviour::Hangs;
  const platform::Dword exitCode = netsh.exitCode;
  const bool startsFirst = netsh.startsFirst;
  const platform::Dword delayMs = netsh.delayMs;
  m_World.startThread(shell, "netsh", [this, process, hangs, exitCode, startsFirst, delayMs, &kernel] {
    if (delayMs != 0) m_World.block([] { return false; }, m_World.now() + delayMs);
    if (startsFirst) m_Netsh.restartHostedNetwork();
    if (hangs) {
      m_World.event("network shell hangs");
      m_World.block([] { return false; });
      return;
    }
    if (exitCode == 0 && !startsFirst) m_Netsh.restartHostedNetwork();
    m_World.block([] { return false; }, m_World.now() + 200);  // the tool's own run time
    m_ExitCodes[process] = exitCode;
    m_World.event("network shell exited with " + std::to_string(exitCode));
    kernel.setEvent(process);
  });
  return true;
}

bool SimProcessStart::getExitCodeProcess(platform::Handle process, platform::Dword* exitCode) {
  auto it = m_ExitCodes.find(process);
  if (it == m_ExitCodes.end() || exitCode == nullptr) return false;
  *exitCode = it->second.value_or(platform::kSTILL_ACTIVE);
  return true;
}

}  // namespace tethra::sim
