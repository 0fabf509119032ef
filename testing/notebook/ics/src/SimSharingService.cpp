// The simulated sharing service: connections and their sharing state, the two class
// factories, the network-shell library and COM task memory.
#include "tethra/sim/ics/SimSharingService.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "SimSharingObjects.h"
#include "tethra/sim/Text.h"

namespace tethra::sim {

namespace {

constexpr platform::HResult kClassNotRegistered{0x80040154u};
constexpr std::uint64_t kTaskMagic = 0x7A5C0B10C0FFEE01ull;
const auto kNetshellHandle = reinterpret_cast<platform::Hmodule>(static_cast<std::uintptr_t>(0x5E110000));

// Every task block starts with this header; NcFreeNetconProperties finds its service there,
// as the real function finds its own heap.
struct TaskHeader {
  std::uint64_t magic;
  SimSharingService* owner;
  std::uint64_t bytes;
};
static_assert(sizeof(TaskHeader) % alignof(void*) == 0);

TaskHeader* HeaderOf(void* memory) {
  return reinterpret_cast<TaskHeader*>(static_cast<unsigned char*>(memory) - sizeof(TaskHeader));
}

void SimNcFreeNetconProperties(platform::NetconProperties* record) {
  if (record == nullptr) return;
  TaskHeader* header = HeaderOf(record);
  if (header->magic != kTaskMagic) return;  // not a record of the service: it stays counted
  header->owner->freeProperties(record);
}

// A class factory's answer to a class it does not make, or to the wrong context for it.
std::optional<platform::HResult> ClassRefusal(const platform::Guid& clsid, platform::Dword clsContext,
                                              const platform::Guid& made, platform::Dword context) {
  if (clsid != made) return kClassNotRegistered;
  if (clsContext != context) return platform::kE_INVALIDARG;
  return std::nullopt;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t ch : text) out.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  return out;
}



}  // namespace

std::vector<SimConnectionConfig> DefaultConnections(const platform::Guid& hostedNetworkAdapter) {
  SimConnectionConfig ethernet;
  ethernet.guid = platform::Guid{0x5A1E0002, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x01}};
  ethernet.name = u"Ethernet";
  ethernet.deviceName = u"Simulated Ethernet Adapter";
  SimConnectionConfig hosted;
  hosted.guid = hostedNetworkAdapter;
  hosted.name = u"Wireless Network Connection 2";
  hosted.deviceName = u"Microsoft Virtual WiFi Miniport Adapter";
  return {ethernet, hosted};
}

std::string SharingRoleName(SimSharingRole role) {
  switch (role) {
    case SimSharingRole::Public:
      return "public";
    case SimSharingRole::Private:
      return "private";
    case SimSharingRole::Off:
      break;
  }
  return "off";
}

SimSharingService::SimSharingService(ISharingServiceHost& host, platform::IKernel* kernel, SimSharingConfig config)
    : m_Host(host),
      m_Kernel(kernel),
      m_Connections(std::move(config.connections)),
      m_Installed(config.installed),
      m_Netshell(config.netshell) {
  for (const auto& c : m_Connections) m_StartRoles.push_back(c.role);
}

SimSharingService::~SimSharingService() {
  for (void* block : m_TaskBlocks) std::free(HeaderOf(block));
}

// --- Calls ---------------------------------------------------------------------------------------

SimSharingService::Call SimSharingService::call(std::string operation, std::string arguments) {
  m_Calls.count(operation);
  return Call{*this, std::move(operation), std::move(arguments)};
}

std::optional<platform::HResult> SimSharingService::Call::fault() {
  const auto code = m_Service.m_Host.takeFault("ics", operation());
  if (!code) return std::nullopt;
  return FaultStatus<platform::HResult>(*code);
}

platform::HResult SimSharingService::Call::result(platform::HResult hr) {
  static_cast<void>(ServiceCall::result(hr));  // the status is returned below
  record(m_Service.m_Host);
  return hr;
}

std::uint64_t SimSharingService::callCount(std::string_view operation) const { return m_Calls.of(operation); }

void SimSharingService::setLastError(platform::Win32Error error) {
  if (m_Kernel != nullptr) m_Kernel->setLastError(error);
}

// --- State ---------------------------------------------------------------------------------------

std::optional<std::u16string> SimSharingService::sharedName(SimSharingRole role) const {
  for (const auto& c : m_Connections) {
    if (c.role == role) return c.name;
  }
  return std::nullopt;
}

std::vector<std::u16string> SimSharingService::sharedSinceStart() const {
  std::vector<std::u16string> names;
  for (std::size_t i = 0; i < m_Connections.size(); ++i) {
    const SimSharingRole start = i < m_StartRoles.size() ? m_StartRoles[i] : SimSharingRole::Off;
    // A connection that is gone cannot be switched off by anyone, and one whose switch-off the
    // service refused was asked for: neither is the program's fault.
    if (!exists(i)) continue;
    if (i < m_OffRefused.size() && m_OffRefused[i]) continue;
    if (m_Connections[i].role != SimSharingRole::Off && m_Connections[i].role != start) {
      names.push_back(m_Connections[i].name);
    }
  }
  return names;
}

void SimSharingService::switchOffAsked(std::size_t index, bool refused) {
  if (m_OffRefused.size() <= index) m_OffRefused.resize(index + 1, false);
  m_OffRefused[index] = refused;
}

bool SimSharingService::exists(std::size_t index) const {
  const SimConnectionConfig& c = m_Connections[index];
  if (!c.present) return false;
  if (!m_HostedAdapter || c.guid != *m_HostedAdapter || !m_HostedAdapterState) return true;
  return m_HostedAdapterState().present;
}

bool SimSharingService::listedForSharing(std::size_t index) const {
  if (!exists(index)) return false;
  const SimConnectionConfig& c = m_Connections[index];
  // "The wireless Hosted Network must be started before calling get_EnumEveryConnection."
  if (m_HostedAdapter && c.guid == *m_HostedAdapter && m_HostedAdapterState &&
      !m_HostedAdapterState().startedSincePresent) {
    return false;
  }
  // RAS connections only to a process that called CoInitializeSecurity as the ICS pages ask.
  return !c.ras || (m_CallerSecurity && m_CallerSecurity());
}

bool SimSharingService::sideHeldByAbsent(std::size_t except) const {
  for (std::size_t i = 0; i < m_Connections.size(); ++i) {
    if (i != except && !exists(i) && m_Connections[i].role != SimSharingRole::Off) return true;
  }
  return false;
}

void SimSharingService::setRole(std::size_t index, SimSharingRole role) {
  // One public and one private connection at most: the holder of the side gives it up.
  if (role != SimSharingRole::Off) {
    for (std::size_t i = 0; i < m_Connections.size(); ++i) {
      if (i != index && m_Connections[i].role == role) setRole(i, SimSharingRole::Off);
    }
  }
  SimConnectionConfig& c = m_Connections[index];
  if (c.role == role) return;
  c.role = role;
  m_Host.event("sharing \"" + Narrow(c.name) + "\" " + SharingRoleName(role));
}

void SimSharingService::connectionEvent(std::size_t index, const char* what) {
  m_Host.event("connection \"" + Narrow(m_Connections[index].name) + "\" " + what);
}

void SimSharingService::maybeGrow() {
  if (!m_Host.takeFault("ics-grow", "")) return;
  const auto n = static_cast<std::uint32_t>(m_Connections.size() + 1);
  SimConnectionConfig added;
  added.guid = platform::Guid{0x5A1E0003, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                            static_cast<std::uint8_t>(n)}};
  added.name = u"Local Area Connection " + std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
  added.deviceName = u"Simulated USB Ethernet Adapter";
  m_Connections.push_back(added);
  m_Host.event("connection \"" + Narrow(added.name) + "\" appears");
}

// --- Task memory and records -----------------------------------------------------------------------

void* SimSharingService::allocateTask(std::size_t bytes) {
  auto* header = static_cast<TaskHeader*>(std::malloc(sizeof(TaskHeader) + bytes));
  if (header == nullptr) return nullptr;
  *header = TaskHeader{kTaskMagic, this, bytes};
  void* memory = header + 1;
  m_TaskBlocks.insert(memory);
  return memory;
}

bool SimSharingService::freeTask(void* memory) {
  if (memory == nullptr) return true;
  if (m_TaskBlocks.erase(memory) == 0) {
    ++m_Misuses;
    return false;
  }
  m_Records.erase(memory);
  TaskHeader* header = HeaderOf(memory);
  header->magic = 0;
  std::free(header);
  return true;
}

char16_t* SimSharingService::copyText(const std::u16string& text) {
  auto* copy = static_cast<char16_t*>(allocateTask((text.size() + 1) * sizeof(char16_t)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return copy;
}

platform::HResult SimSharingService::properties(std::size_t index, platform::NetconProperties** out) {
  const SimConnectionConfig& c = m_Connections[index];
  void* memory = allocateTask(sizeof(platform::NetconProperties));
  if (memory == nullptr) return platform::kE_OUTOFMEMORY;
  auto* record = new (memory) platform::NetconProperties{};
  m_Records.insert(record);
  record->guidId = c.guid;
  record->pszwName = copyText(c.name);
  record->pszwDeviceName = copyText(c.deviceName);
  record->Status = 2;     // connected
  record->MediaType = 3;  // LAN
  *out = record;
  return platform::kS_OK;
}

void SimSharingService::freeProperties(platform::NetconProperties* record) {
  auto c = call("free-properties");
  if (m_Records.count(record) == 0) {
    ++m_Misuses;
    static_cast<void>(c.result(platform::kE_INVALIDARG));  // recorded: the operation returns nothing
    return;
  }
  freeTask(record->pszwName);
  freeTask(record->pszwDeviceName);
  freeTask(record);
  static_cast<void>(c.result(platform::kS_OK));  // recorded: the operation returns nothing
}

void SimSharingService::coTaskMemFree(void* memory) {
  auto c = call("task-mem-free");
  // Recorded: the operation returns nothing.
  static_cast<void>(c.result(freeTask(memory) ? platform::kS_OK : platform::kE_INVALIDARG));
}

platform::HResult SimSharingService::stringFromClsid(const platform::Guid& clsid, char16_t** text) {
  auto c = call("string-from-clsid");
  if (text == nullptr) return c.result(platform::kE_INVALIDARG);
  const std::string narrow = text::FormatGuid(clsid);
  *text = copyText(std::u16string(narrow.begin(), narrow.end()));
  return c.result(*text != nullptr ? platform::kS_OK : platform::kE_OUTOFMEMORY);
}

void SimSharingService::outputDebugString(const char16_t* text) {
  std::string line = text != nullptr ? Narrow(text) : "";
  while (!line.empty() && line.back() == '\n') line.pop_back();
  auto c = call("debug-output", line);
  static_cast<void>(c.result(platform::kS_OK));  // recorded: the operation returns nothing
}

// --- Class factories ----------------------------------------------------------------------------

platform::HResult SimSharingService::createNetSharingManager(const platform::Guid& clsid, platform::Dword clsContext,
                                                             platform::INetSharingManager** manager) {
  auto c = call("create", text::FormatGuid(clsid) + " context " + std::to_string(clsContext));
  return HandOut(c, manager, [this] { return new SimNetSharingManager(*this); },
                 ClassRefusal(clsid, clsContext, platform::kCLSID_NetSharingManager, platform::kCLSCTX_ALL));
}

platform::HResult SimSharingService::createNetConnectionManager(const platform::Guid& clsid,
                                                                platform::Dword clsContext,
                                                                platform::INetConnectionManager** manager) {
  auto c = call("create-connections", text::FormatGuid(clsid) + " context " + std::to_string(clsContext));
  return HandOut(c, manager, [this] { return new SimNetConnectionManager(*this); },
                 ClassRefusal(clsid, clsContext, platform::kCLSID_ConnectionManager,
                              platform::kCLSCTX_LOCAL_SERVER_NO_CODE_DOWNLOAD));
}

// --- The network-shell library --------------------------------------------------------------------

platform::Hmodule SimSharingService::loadLibrary(const char16_t* fileName) {
  const std::string name = fileName != nullptr ? Narrow(fileName) : "";
  auto c = call("load-library", name);
  if (name != "netshell.dll" || m_Netshell == SimSharingConfig::Netshell::Missing) {
    setLastError(platform::kERROR_MOD_NOT_FOUND);
    // Recorded: the answer is the value below.
    static_cast<void>(c.result(platform::HResultFromWin32(platform::kERROR_MOD_NOT_FOUND)));
    return nullptr;
  }
  ++m_LibraryLoads;
  static_cast<void>(c.result(platform::kS_OK));  // recorded: the answer is the value below
  return kNetshellHandle;
}

platform::NcFreeNetconPropertiesFn SimSharingService::getNcFreeNetconProperties(platform::Hmodule module,
                                                                                const char* exportName) {
  auto c = call("get-proc-address", exportName != nullptr ? exportName : "");
  if (module != kNetshellHandle || m_LibraryLoads == 0) {
    setLastError(platform::kERROR_INVALID_HANDLE);
    // Recorded: the answer is the value below.
    static_cast<void>(c.result(platform::HResultFromWin32(platform::kERROR_INVALID_HANDLE)));
    return nullptr;
  }
  if (m_Netshell == SimSharingConfig::Netshell::NoExport || exportName == nullptr ||
      std::strcmp(exportName, "NcFreeNetconProperties") != 0) {
    setLastError(platform::kERROR_PROC_NOT_FOUND);
    // Recorded: the answer is the value below.
    static_cast<void>(c.result(platform::HResultFromWin32(platform::kERROR_PROC_NOT_FOUND)));
    return nullptr;
  }
  static_cast<void>(c.result(platform::kS_OK));  // recorded: the answer is the value below
  return &SimNcFreeNetconProperties;
}

bool SimSharingService::freeLibrary(platform::Hmodule module) {
  auto c = call("free-library");
  if (module != kNetshellHandle || m_LibraryLoads == 0) {
    ++m_Misuses;
    setLastError(platform::kERROR_INVALID_HANDLE);
    // Recorded: the answer is the value below.
    static_cast<void>(c.result(platform::HResultFromWin32(platform::kERROR_INVALID_HANDLE)));
    return false;
  }
  --m_LibraryLoads;
  static_cast<void>(c.result(platform::kS_OK));  // recorded: the answer is the value below
  return true;
}

// --- Checks ------------------------------------------------------------------------------------------

std::string SimSharingService::leftOverText() const {
  std::string out;
  auto add = [&out](std::uint64_t n, const char* what) {
    if (n == 0) return;
    out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  };
  add(m_Records.size(), "properties records not freed");
  add(m_TaskBlocks.size(), "task memory blocks not freed");
  add(static_cast<std::uint64_t>(m_References), "references held");
  add(static_cast<std::uint64_t>(m_LibraryLoads), "library loads not freed");
  add(m_Misuses, "misuses (bad frees or releases)");
  return out;
}

}  // namespace tethra::sim
