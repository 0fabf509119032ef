// The simulated WLAN service's hosted network: connection settings, security, enable
// property, secondary key, state, virtual adapter and peers, behind the IWlanApi of the
// program process. It does not depend on the World: a host (IWlanServiceHost) records its
// calls, hands out faults, shows transcript events and runs its notification thread.
//
// It follows docs/wlan-contract.md: a property set on a running network moves it to idle; a
// StartUsing is a reference of its handle, undone by StopUsing, by closing the handle or by the
// end of its process, and the network stays active while any reference or a forced start (the
// network shell's) holds it; the first use has no settings until InitSettings makes them.
//
// Threads: API calls from any program thread; machine actions from the machine; deliverNext
// only from the host's WLAN thread. Notifications are queued by the call or action that causes
// them, each for the registrations that exist at that moment (a later one never gets it), and
// delivered one at a time by deliverNext, after that call has returned.
// Results are Win32 codes: 0, 6 unknown handle, 50 hosted network not supported, 87 bad
// argument, 1610 no settings yet, 5023 wrong state, or the code of a `fault wlan` rule.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tethra/platform/CodePage.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/WlanApi.h"
#include "tethra/sim/ServiceCalls.h"

namespace tethra::sim {

// Every WLAN function the service answers (the list, WlanFunctions.h), by the name its calls are
// counted and faulted under.
inline constexpr std::array kSimWlanFunctions = {
#define TETHRA_SIM_WLAN_NAME(Export, ...) std::string_view(#Export),
    TETHRA_WLAN_FUNCTIONS(TETHRA_SIM_WLAN_NAME)
#undef TETHRA_SIM_WLAN_NAME
};

using Mac = std::array<std::uint8_t, 6>;

// What a scenario says about the machine's WLAN service (defaults: everything works).
struct SimWlanConfig {
  enum class KeyKind { Text, None, NotPassPhrase };
  bool supported = true;
  // No hosted network on this adapter, as Windows reports it: the calls work, the state is
  // unavailable for good, there is no virtual adapter and a start fails (reason 12).
  bool capable = true;
  bool allowed = true;  // false: the hosted network disallowed (the enable property off)
  // Never used on this notebook: no settings until InitSettings computes them from the host name.
  bool firstUse = false;
  std::u16string hostName = u"TETHRA-NB";
  std::uint32_t state = platform::kWlanHostedNetworkIdle;
  std::u16string ssidText = u"TethraNet";  // converted with the active code page
  std::optional<std::vector<std::uint8_t>> ssidBytes;  // `wlan ssid-bytes`: wins over the text
  KeyKind keyKind = KeyKind::Text;
  std::u16string keyText = u"tethra-secret";
  std::uint32_t maxPeers = 100;
  platform::Guid adapter{0x5A1E0001, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAD, 0x01}};
  std::vector<Mac> peers;  // joined stations (an active network only)
  // When the reports a call queues reach the program: once the calling thread waits again
  // (false), or before the call returns (true). Real threads allow either order.
  bool reportsBeforeReturn = false;
};

struct WlanFault {
  std::int64_t code = 0;
  std::int64_t extra = -1;  // `fault wlan-query OPCODE size N`: N; `none`: -1
};

// Calls are recorded under the WLAN function's name; each handle belongs to the calling client
// that opened it.
class IWlanServiceHost : public IServiceHost {
 public:
  // area "wlan" (operation: function name) or "wlan-query" (operation: the opcode in decimal).
  virtual std::optional<WlanFault> takeFault(std::string_view area, std::string_view operation) = 0;
  // A notification was queued / a delivery ended: wake whoever waits for either.
  virtual void notificationQueued() = 0;
  virtual void deliveryEnded() = 0;
  // Blocks the calling program thread until `ready` holds.
  virtual void waitUntil(std::function<bool()> ready) = 0;
  // Whether the thread running on `deliverer` (inside a notification callback) waits for a lock
  // the calling thread holds, directly or through the holders of other locks: a caller that
  // waited for that callback would wait for ever. A host that cannot see locks answers false.
  virtual bool callbackWaitsForCaller(std::thread::id /*deliverer*/) { return false; }
};

class SimWlanService final : public platform::IWlanApi {
 public:
  // `kernel` (may be null) receives the last error of a failed wlanAllocateMemory.
  SimWlanService(IWlanServiceHost& host, platform::ICodePage& codePage, platform::IKernel* kernel,
                 const SimWlanConfig& config);
  SimWlanService(const SimWlanService&) = delete;
  SimWlanService& operator=(const SimWlanService&) = delete;
  ~SimWlanService() override;

  // --- IWlanApi: one override per function of the list, each defined in SimWlanService.cpp (a
  // function without its definition there fails every link of the service, by name) ---------
#define TETHRA_SIM_WLAN_OVERRIDE(Export, method, Result, Parameters, Arguments) Result method Parameters override;
  TETHRA_WLAN_FUNCTIONS(TETHRA_SIM_WLAN_OVERRIDE)
#undef TETHRA_SIM_WLAN_OVERRIDE

  // --- WLAN thread ------------------------------------------------------------------------------
  using Client = std::uintptr_t;
  bool hasPendingNotification() const;
  // With several clients, each delivers on a WLAN thread of its own: the oldest notification
  // is for `client` when one of its registrations has not had it yet, or when no registration
  // of any client waits for it (it is then dropped).
  bool hasPendingNotificationFor(Client client) const;
  // Delivers the oldest queued notification to every registered callback, or to `only`'s
  // registrations (it then leaves the queue once no registered client is left without it);
  // dropped when nobody waits for it.
  void deliverNext(std::optional<Client> only = std::nullopt);
  // Closes every handle of `client`, as the system does when its process ends; a callback of
  // that client left running counts as finished. Not a call: nothing is recorded.
  void forgetClient(Client client);

  // --- Machine actions (timeline) ---------------------------------------------------------------
  void machineSetState(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason);
  void machineNotifyRaw(platform::Dword code, platform::Dword size);
  void machineStationJoin(const Mac& mac);
  void machineStationLeave(const Mac& mac);
  // The network shell's start: a forced start, tied to no handle, that leaves the network
  // running after the shell has ended; nothing to do when it runs already. False when the
  // network cannot start (unsupported, unavailable or disallowed).
  bool restart();
  // False when the state is not `oldState` (a scenario line Windows could not produce).
  bool machineSetStateChecked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason);
  // The machine sleeps: a running network stops, told to nobody, and stays stopped on resume.
  void machineSleep();
  // The radio is switched off: the radio report, and a running or idle network unavailable.
  void machineRadioOff();
  // The physical adapter is disabled: the network unavailable and its virtual adapter gone.
  void machineAdapterDisabled();
  // A program thread called WlanCloseHandle from inside the notification callback, or while it
  // held a lock that a running callback waits for: the call never returns. Each such misuse,
  // one line.
  std::vector<std::string> misuses() const;

  // --- Inspection (expectations) ----------------------------------------------------------------
  std::uint32_t state() const;
  // The virtual adapter (and with it the hosted network's connection) exists: the physical
  // adapter is there, the hosted network is supported and allowed, and its settings were made.
  bool virtualAdapterPresent() const;
  // The hosted network has been active since the virtual adapter last appeared.
  bool startedSinceAdapterPresent() const;
  std::vector<std::uint8_t> ssidBytes() const;
  std::u16string ssidText() const;  // through the active code page
  std::optional<std::u16string> keyText() const;  // null: no key, or not a passphrase
  bool hasKey() const;
  bool keyIsPassPhrase() const;
  bool keyPersistent() const;
  std::uint32_t maxPeers() const;
  std::vector<Mac> peers() const;
  std::uint64_t callCount(std::string_view function) const;
  std::size_t outstandingBuffers() const;  // allocated and not yet freed
  std::size_t badFrees() const;            // frees of pointers never handed out
  // "" when every buffer handed out was given back and nothing else was freed; else what is
  // wrong, naming the call that handed out each buffer still held.
  std::string leftOverBuffersText() const;
  bool notificationsRegistered() const;

  static std::string stateName(std::uint32_t state);
  static std::string macText(const Mac& mac);

 private:
  struct Registration {
    platform::WlanNotificationCallbackFn callback = nullptr;
    void* context = nullptr;
    platform::Dword source = 0;
    Client client = 0;  // who opened the handle
    bool ignoreDuplicate = false;
    std::vector<std::uint8_t> last;  // the last notification told (code, then data)
    std::uint32_t startRefs = 0;  // successful StartUsing calls not yet undone
    std::uint64_t serial = 0;     // this registration's own number (0: none made yet)
  };
  struct Pending {
    platform::Dword code = 0;
    platform::Dword size = 0;
    std::vector<std::uint8_t> data;
    std::vector<Client> served;  // clients that had it already
    // The registrations that existed when it was raised: only they are told.
    std::vector<std::uint64_t> addressees;
  };
  class Call;

  // `origin`: the call that hands the buffer out, named when it is not given back.
  void* allocateLocked(std::size_t size, std::string origin);
  void queueLocked(platform::Dword code, platform::Dword size, const void* data, std::size_t dataBytes);
  void changeStateLocked(std::uint32_t oldState, std::uint32_t newState, std::uint32_t reason);
  // The network is no longer active: every reference and a forced start are gone with it.
  void dropStartsLocked();
  std::uint32_t startRefsLocked() const;
  // A handle's references undone (closed or its process ended): the last one idles the network.
  void releaseStartsLocked(std::uint32_t refs);
  void peerChangeLocked(const Mac& mac, bool joined);
  bool canStartLocked() const;
  // What refuses a stop (StopUsing, ForceStop): an unknown handle, no hosted network support, a
  // network that is not running.
  std::optional<platform::Win32Error> stopRefusalLocked(platform::Handle clientHandle) const;
  // Whether `registration` is one `pending` is for: a registration for hosted-network reports
  // that existed when it was raised.
  static bool addressedLocked(const Pending& pending, const Registration& registration);
  // Whether a registration of `client` (any client: nullopt) still waits for `pending`.
  bool awaitedLocked(const Pending& pending, std::optional<Client> client) const;
  std::string ssidForTranscriptLocked() const;
  std::u16string decodeLocked(const std::uint8_t* bytes, std::size_t count) const;

  IWlanServiceHost& m_Host;
  platform::ICodePage& m_CodePage;
  platform::IKernel* m_Kernel;
  mutable std::mutex m_Mutex;

  bool m_Supported;
  const bool m_Capable;
  const bool m_ReportsBeforeReturn;
  bool m_Enabled = true;
  bool m_Configured = true;  // the connection settings exist (InitSettings made them)
  const std::u16string m_HostName;
  bool m_Forced = false;  // started by a forced start (the network shell's), tied to no handle
  bool m_AdapterPresent = true;  // the physical adapter, and with it the virtual one
  bool m_StartedSinceAdapter = false;  // active at some moment since the virtual adapter appeared
  std::vector<std::string> m_Misuses;
  std::uint32_t m_State;
  platform::WlanHostedNetworkConnectionSettings m_Settings{};
  std::vector<std::uint8_t> m_Key;  // bytes as stored (a passphrase with its zero)
  bool m_KeyIsPassPhrase = false;
  bool m_KeyPersistent = true;
  platform::Guid m_Adapter;
  std::vector<Mac> m_Peers;

  std::uintptr_t m_NextHandle = 0x57A00000;
  std::map<platform::Handle, Registration> m_Handles;
  std::uint64_t m_NextRegistration = 0;
  std::deque<Pending> m_Pending;
  bool m_Delivering = false;
  std::thread::id m_DeliveringThread;
  Client m_DeliveringClient = 0;
  std::map<void*, std::string> m_Buffers;  // handed out, not yet freed: by origin
  std::size_t m_BadFrees = 0;
  CallCounts m_Calls;

  // Transcript lines made under the lock, shown once it is left.
  std::vector<std::string> m_Events;
};

}  // namespace tethra::sim
