// The simulated connection-sharing service of the notebook: its network connections in
// enumeration order with their sharing state, the platform's sharing manager and connection
// manager objects, the network-shell library with NcFreeNetconProperties, and COM's task
// memory. It does not depend on the World: a host (ISharingServiceHost) records its calls,
// hands out faults and shows transcript events.
//
// Rules of the platform kept here: at most one connection is shared as public and one as
// private; enabling a second one of a side switches the first off. Objects are counted with
// their references, and properties records and task memory with their allocations, so that
// a check can tell what the program left behind.
//
// Threads: the program calls from one thread at a time (its dialog's thread); inspection runs
// on the machine once the program waits. Results are HRESULTs: S_OK, S_FALSE at the end of an
// enumeration, E_INVALIDARG (bad argument or foreign object), 0x80040154 for an unknown class,
// 0x80070032 for a connection that cannot be shared, or the code of a `fault ics` rule.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Sharing.h"
#include "tethra/sim/ServiceCalls.h"

namespace tethra::sim {

enum class SimSharingRole { Off, Public, Private };

struct SimConnectionConfig {
  platform::Guid guid{};
  std::u16string name;
  std::u16string deviceName;
  SimSharingRole role = SimSharingRole::Off;
  bool supported = true;  // false: its sharing configuration cannot be obtained
  // false: gone (its adapter removed) but its sharing settings kept, as Windows keeps them: not
  // listed, and while it holds a side no other pair can be shared.
  bool present = true;
  // A dial-up or VPN connection: the sharing enumeration lists it only to a process that
  // initialised COM security as the ICS pages ask.
  bool ras = false;
};

// The hosted network's virtual adapter as the WLAN service has it: whether it exists, and
// whether the hosted network has run since it appeared.
struct SimHostedAdapter {
  bool present = true;
  bool startedSincePresent = true;
};

struct SimSharingConfig {
  enum class Netshell { Present, Missing, NoExport };
  std::vector<SimConnectionConfig> connections;
  bool installed = true;
  Netshell netshell = Netshell::Present;
};

// The machine's connections when a scenario names none: the wired "Ethernet" and the hosted
// network's own connection on the virtual adapter with the adapter's GUID. One definition for
// the simulated notebook and the simulated service planted in a Wine prefix.
std::vector<SimConnectionConfig> DefaultConnections(const platform::Guid& hostedNetworkAdapter);

// Calls are recorded under the operation's name; the program calls from one client.
class ISharingServiceHost : public IServiceHost {
 public:
  // area "ics" (operation: the call's name) or "ics-grow" (operation "").
  virtual std::optional<std::int64_t> takeFault(std::string_view area, std::string_view operation) = 0;
};

class SimSharingService final : public platform::ISharing, public platform::IModuleLoader {
 public:
  // `kernel` (may be null) receives the last error of the library calls.
  SimSharingService(ISharingServiceHost& host, platform::IKernel* kernel, SimSharingConfig config);
  SimSharingService(const SimSharingService&) = delete;
  SimSharingService& operator=(const SimSharingService&) = delete;
  ~SimSharingService() override;

  // --- ISharing ---------------------------------------------------------------------------
  platform::HResult createNetSharingManager(const platform::Guid& clsid, platform::Dword clsContext,
                                            platform::INetSharingManager** manager) override;
  platform::HResult createNetConnectionManager(const platform::Guid& clsid, platform::Dword clsContext,
                                               platform::INetConnectionManager** manager) override;
  void coTaskMemFree(void* memory) override;
  platform::HResult stringFromClsid(const platform::Guid& clsid, char16_t** text) override;
  void outputDebugString(const char16_t* text) override;

  // --- IModuleLoader ------------------------------------------------------------------------
  platform::Hmodule loadLibrary(const char16_t* fileName) override;
  platform::NcFreeNetconPropertiesFn getNcFreeNetconProperties(platform::Hmodule module,
                                                               const char* exportName) override;
  bool freeLibrary(platform::Hmodule module) override;

  // The hosted network's connection is the one on `adapter`: it exists while the virtual adapter
  // does, and the sharing enumeration lists it only once the hosted network has run since then.
  // Set by the machine; none: every present connection is listed.
  void setHostedAdapter(const platform::Guid& adapter, std::function<SimHostedAdapter()> state) {
    m_HostedAdapter = adapter;
    m_HostedAdapterState = std::move(state);
  }
  // Whether the process calling now initialised COM security with the ICS pages' levels. Set by
  // the machine; none: no process did.
  void setCallerSecurity(std::function<bool()> initialised) { m_CallerSecurity = std::move(initialised); }
  // In the Connections folder now: the connection manager lists it and its sharing can change.
  bool exists(std::size_t index) const;
  // Listed by the sharing enumeration to the calling process now.
  bool listedForSharing(std::size_t index) const;
  // Some connection that does not exist still holds a side: EnableSharing of any other fails.
  bool sideHeldByAbsent(std::size_t except) const;

  // --- Inspection -----------------------------------------------------------------------------
  const std::vector<SimConnectionConfig>& connections() const { return m_Connections; }
  std::optional<std::u16string> sharedName(SimSharingRole role) const;
  // The connections that exist and are shared now in a role they did not have when the service
  // started, that the program did not ask to switch off, or asked without the service refusing
  // (one that is gone keeps its sharing whatever the program does, and a refusal is the
  // service's).
  std::vector<std::u16string> sharedSinceStart() const;
  // For the connections' objects: the program asked to switch one off, and how it went.
  void switchOffAsked(std::size_t index, bool refused);
  std::uint64_t callCount(std::string_view operation) const;
  std::int64_t liveObjects() const { return m_LiveObjects; }
  std::int64_t references() const { return m_References; }  // all of them held by the program
  std::size_t outstandingMemory() const { return m_TaskBlocks.size(); }  // records, strings, texts
  std::size_t outstandingRecords() const { return m_Records.size(); }
  int libraryLoads() const { return m_LibraryLoads; }  // loads not yet matched by a free
  std::uint64_t misuses() const { return m_Misuses; }  // bad frees, releases past zero, foreign objects
  // One line per thing the program left behind ("" when nothing).
  std::string leftOverText() const;

  // --- For the service's own objects ------------------------------------------------------------
  // Recorded at its result (the objects give one on every path).
  class Call : public ServiceCall<platform::HResult> {
   public:
    Call(SimSharingService& service, std::string operation, std::string arguments)
        : ServiceCall(std::move(operation), std::move(arguments)), m_Service(service) {}
    // The armed fault of this operation, as its HRESULT.
    std::optional<platform::HResult> fault();
    platform::HResult result(platform::HResult hr);

   private:
    SimSharingService& m_Service;
  };
  Call call(std::string operation, std::string arguments = {});
  void objectMade() {
    ++m_LiveObjects;
    ++m_References;
  }
  void referenceTaken() { ++m_References; }
  void referenceGiven(bool last) {
    --m_References;
    if (last) --m_LiveObjects;
  }
  void misuse() { ++m_Misuses; }
  platform::HResult properties(std::size_t index, platform::NetconProperties** out);
  bool sharingEnabled(std::size_t index) const { return m_Connections[index].role != SimSharingRole::Off; }
  SimSharingRole role(std::size_t index) const { return m_Connections[index].role; }
  void setRole(std::size_t index, SimSharingRole role);
  void connectionEvent(std::size_t index, const char* what);
  bool installed() const { return m_Installed; }
  // `fault ics-grow`: one more connection appears (on an enumeration's reset).
  void maybeGrow();
  // NcFreeNetconProperties of the simulated library.
  void freeProperties(platform::NetconProperties* record);

 private:
  void* allocateTask(std::size_t bytes);
  bool freeTask(void* memory);
  char16_t* copyText(const std::u16string& text);
  void setLastError(platform::Win32Error error);

  ISharingServiceHost& m_Host;
  platform::IKernel* m_Kernel;
  std::vector<SimConnectionConfig> m_Connections;
  bool m_Installed;
  SimSharingConfig::Netshell m_Netshell;
  std::vector<SimSharingRole> m_StartRoles;  // by index; connections added later started off
  std::optional<platform::Guid> m_HostedAdapter;
  std::function<SimHostedAdapter()> m_HostedAdapterState;
  std::function<bool()> m_CallerSecurity;
  std::vector<bool> m_OffRefused;  // by index: the program's last switch-off was refused

  CallCounts m_Calls;
  std::int64_t m_LiveObjects = 0;
  std::int64_t m_References = 0;
  std::unordered_set<void*> m_TaskBlocks;
  std::unordered_set<void*> m_Records;
  int m_LibraryLoads = 0;
  std::uint64_t m_Misuses = 0;
};

std::string SharingRoleName(SimSharingRole role);

}  // namespace tethra::sim
