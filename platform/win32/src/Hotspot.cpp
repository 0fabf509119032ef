// IMobileHotspot on the Windows Runtime: NetworkInformation's connection profiles and network
// status event, and the tethering manager of one profile (NetworkOperatorTetheringManager, made
// with the profile alone, so that Wi-Fi is the private side), through the ABI declared in
// WinRtAbi.h, and the tethering manager's statics for the user's NoConnections timeout (a setting
// of the system's: E_NOINTERFACE, kHotspotNoTimeoutSetting, where the system predates it). Each
// operation comes back to the program as its IAsyncInfo, for a cancel.
//
// combase.dll's functions are bound at run time from the system directory when the adapter is
// made (main thread), so the program still starts where they are missing (before Windows 8):
// every call then answers with the load's error as an HRESULT, or kHotspotClassNotRegistered
// when the library is there without them. Nothing here decides anything for the program: no
// time-outs, no retries, no meaning given to a result.
//
// Threads: the dialog thread (multithreaded apartment) and the registry watcher (single-
// threaded apartment) call it. Each call first makes sure its thread has the runtime
// initialised: RoInitialize(RO_INIT_MULTITHREADED) where the thread has no apartment yet,
// nothing where it has one (RPC_E_CHANGED_MODE is that). It never uninitialises: the process
// ends with ExitProcess. Completions run on a thread of the system's (see HotspotRelay.h).
//
// Owner: the program owns each manager and operation handle it gets (unique_ptr); a manager
// holds its runtime object, a handle its operation's, the adapter the runtime's class factories
// it fetched and the handlers still subscribed.
#include <eventtoken.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/HotspotRelay.h"
#include "tethra/win32/SystemLibrary.h"
#include "tethra/win32/Win32Common.h"
#include "tethra/win32/WinRtAbi.h"

namespace tethra::win32 {
namespace {

namespace rt = winrt;
using rt::ComPtr;
using rt::Failed;
using rt::Hresult;

static_assert(sizeof(rt::EventRegistrationToken) == sizeof(::EventRegistrationToken));
static_assert(sizeof(rt::Hresult) == sizeof(HRESULT));
static_assert(rt::kE_POINTER == E_POINTER && rt::kE_NOINTERFACE == E_NOINTERFACE && rt::kE_FAIL == E_FAIL);
static_assert(rt::kCancelled == HRESULT_FROM_WIN32(ERROR_CANCELLED));

constexpr Hresult kRPC_E_CHANGED_MODE = static_cast<Hresult>(0x80010106u);
constexpr int kRoInitMultithreaded = 1;  // RO_INIT_MULTITHREADED

// The runtime's functions the adapter calls, each named once: the export, the member that holds
// it, its type. The member, its look-up and the check that all were found come from this list.
#define TETHRA_RUNTIME_FUNCTIONS(X)                                                                     \
  X(RoInitialize, roInitialize, HRESULT(WINAPI*)(int))                                                  \
  X(RoGetActivationFactory, roGetActivationFactory, HRESULT(WINAPI*)(rt::Hstring, const GUID&, void**)) \
  X(RoActivateInstance, roActivateInstance, HRESULT(WINAPI*)(rt::Hstring, rt::IInspectable**))          \
  X(WindowsCreateString, createString, HRESULT(WINAPI*)(const wchar_t*, UINT32, rt::Hstring*))          \
  X(WindowsDeleteString, deleteString, HRESULT(WINAPI*)(rt::Hstring))                                   \
  X(WindowsGetStringRawBuffer, rawBuffer, const wchar_t*(WINAPI*)(rt::Hstring, UINT32*))

struct RuntimeFunctions {
#define TETHRA_RUNTIME_MEMBER(Export, member, ...) std::type_identity_t<__VA_ARGS__> member = nullptr;
  TETHRA_RUNTIME_FUNCTIONS(TETHRA_RUNTIME_MEMBER)
#undef TETHRA_RUNTIME_MEMBER

  void resolve(HMODULE module) {
#define TETHRA_RUNTIME_RESOLVE(Export, member, ...) Resolve(module, #Export, member);
    TETHRA_RUNTIME_FUNCTIONS(TETHRA_RUNTIME_RESOLVE)
#undef TETHRA_RUNTIME_RESOLVE
  }
  bool complete() const {
#define TETHRA_RUNTIME_FOUND(Export, member, ...) &&member != nullptr
    return true TETHRA_RUNTIME_FUNCTIONS(TETHRA_RUNTIME_FOUND);
#undef TETHRA_RUNTIME_FOUND
  }
};

// One HSTRING, deleted with the runtime's function; the deletion keeps the thread's last error.
class Hstring {
 public:
  explicit Hstring(const RuntimeFunctions& fn) : m_Fn(fn) {}
  Hstring(const Hstring&) = delete;
  Hstring& operator=(const Hstring&) = delete;
  ~Hstring() { reset(); }
  Hresult assign(std::u16string_view text) {
    reset();
    return m_Fn.createString(W(std::u16string(text).c_str()), static_cast<UINT32>(text.size()), &m_Value);
  }
  rt::Hstring* put() {
    reset();
    return &m_Value;
  }
  rt::Hstring get() const { return m_Value; }
  std::u16string text() const {
    UINT32 length = 0;
    const wchar_t* raw = m_Value != nullptr ? m_Fn.rawBuffer(m_Value, &length) : nullptr;
    return raw != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(raw), length) : std::u16string();
  }

 private:
  void reset() {
    if (m_Value == nullptr) return;
    const DWORD saved = ::GetLastError();
    m_Fn.deleteString(std::exchange(m_Value, nullptr));  // gone either way: its result is not looked at
    ::SetLastError(saved);
  }
  const RuntimeFunctions& m_Fn;
  rt::Hstring m_Value = nullptr;
};

// Completions that came inside the call that began their operation run on a pool thread.
bool PostToPool(std::function<void()> work) {
  auto* task = new (std::nothrow) std::function<void()>(std::move(work));
  if (task == nullptr) return false;
  const auto run = [](PTP_CALLBACK_INSTANCE, PVOID raw) {
    auto* owned = static_cast<std::function<void()>*>(raw);
    (*owned)();
    delete owned;
  };
  if (::TrySubmitThreadpoolCallback(run, task, nullptr)) return true;
  delete task;
  return false;
}

class Runtime {
 public:
  Runtime() {
    m_Module = LoadSystemLibrary(u"combase.dll");
    if (m_Module == nullptr) {
      m_Missing = HRESULT_FROM_WIN32(LastLoadError());
      return;
    }
    m_Fn.resolve(m_Module);
    m_Missing = m_Fn.complete() ? S_OK : static_cast<HRESULT>(platform::Raw(platform::kHotspotClassNotRegistered));
  }

  const RuntimeFunctions& fn() const { return m_Fn; }

  // The calling thread can use the runtime: S_OK, or why not.
  Hresult enter() const {
    if (FAILED(m_Missing)) return m_Missing;
    thread_local bool t_entered = false;
    if (t_entered) return S_OK;
    const HRESULT hr = m_Fn.roInitialize(kRoInitMultithreaded);
    // An apartment the thread has already (the watcher's own) serves as well.
    if (FAILED(hr) && hr != kRPC_E_CHANGED_MODE) return hr;
    t_entered = true;
    return S_OK;
  }

  template <typename T>
  Hresult factory(const char16_t* className, const rt::Guid& iid, ComPtr<T>& out) const {
    Hstring name(m_Fn);
    TETHRA_RETURN_IF_FAILED(name.assign(className));
    const GUID wanted = ToGuid(iid);
    return m_Fn.roGetActivationFactory(name.get(), wanted, reinterpret_cast<void**>(out.put()));
  }

  Hresult activate(const char16_t* className, ComPtr<rt::IInspectable>& out) const {
    Hstring name(m_Fn);
    TETHRA_RETURN_IF_FAILED(name.assign(className));
    return m_Fn.roActivateInstance(name.get(), out.put());
  }

 private:
  HMODULE m_Module = nullptr;  // kept for the life of the process: the runtime's objects live in it
  HRESULT m_Missing = S_OK;
  RuntimeFunctions m_Fn;
};

class TetheringManager final : public platform::ITetheringManager {
 public:
  TetheringManager(const Runtime& runtime, ComPtr<rt::INetworkOperatorTetheringManager> manager)
      : m_Runtime(runtime), m_Manager(std::move(manager)) {}

  platform::HResult operationalState(platform::TetheringState* state) override {
    if (state == nullptr) return ToHResult(E_POINTER);
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    rt::TetheringOperationalState value = rt::TetheringOperationalState::Unknown;
    const Hresult hr = m_Manager->get_TetheringOperationalState(&value);
    if (!Failed(hr)) *state = value;
    return ToHResult(hr);
  }

  platform::HResult clientCount(std::uint32_t* count) override {
    if (count == nullptr) return ToHResult(E_POINTER);
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    return ToHResult(m_Manager->get_ClientCount(count));
  }

  platform::HResult currentConfiguration(platform::AccessPointConfig* config) override {
    if (config == nullptr) return ToHResult(E_POINTER);
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration> current;
    if (const Hresult hr = m_Manager->GetCurrentAccessPointConfiguration(current.put()); Failed(hr)) {
      return ToHResult(hr);
    }
    if (!current) return ToHResult(E_UNEXPECTED);
    Hstring ssid(m_Runtime.fn());
    Hstring passphrase(m_Runtime.fn());
    TETHRA_RETURN_IF_FAILED(current->get_Ssid(ssid.put()), ToHResult);
    TETHRA_RETURN_IF_FAILED(current->get_Passphrase(passphrase.put()), ToHResult);
    config->ssid = ssid.text();
    config->passphrase = passphrase.text();
    return readNewerFields(*current.get(), *config);
  }

  platform::HResult configure(const platform::AccessPointConfig& config,
                              std::shared_ptr<platform::ITetheringCompletion> done,
                              std::unique_ptr<platform::ITetheringOperation>* operation) override {
    const rt::ReturnGate returned;  // first: opened as the call's last act
    if (!done || operation == nullptr) return ToHResult(E_POINTER);
    operation->reset();
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration> wanted;
    if (const Hresult hr = makeConfiguration(rt::kAccessPointConfigurationClass,
                                             rt::kIID_INetworkOperatorTetheringAccessPointConfiguration, config,
                                             wanted);
        Failed(hr)) {
      return ToHResult(hr);
    }
    ComPtr<rt::IAsyncAction> action;
    if (const Hresult hr = m_Manager->ConfigureAccessPointAsync(wanted.get(), action.put()); Failed(hr)) {
      return ToHResult(hr);
    }
    if (!action) return ToHResult(E_UNEXPECTED);
    return ToHResult(rt::HandOver<rt::ActionHandler>(*action.get(), rt::kIID_AsyncActionCompletedHandler,
                                                     std::move(done), &PostToPool, returned.gate(), *operation));
  }

  platform::HResult start(std::shared_ptr<platform::ITetheringCompletion> done,
                          std::unique_ptr<platform::ITetheringOperation>* operation) override {
    return operate(Kind::Start, nullptr, std::move(done), operation);
  }

  platform::HResult startWithSessionConfiguration(const platform::AccessPointConfig& config,
                                                  std::shared_ptr<platform::ITetheringCompletion> done,
                                                  std::unique_ptr<platform::ITetheringOperation>* operation) override {
    return operate(Kind::SessionStart, &config, std::move(done), operation);
  }

  platform::HResult stop(std::shared_ptr<platform::ITetheringCompletion> done,
                         std::unique_ptr<platform::ITetheringOperation>* operation) override {
    return operate(Kind::Stop, nullptr, std::move(done), operation);
  }

 private:
  enum class Kind { Start, SessionStart, Stop };

  // A start, a start with `session` for this session only, or a stop.
  platform::HResult operate(Kind kind, const platform::AccessPointConfig* session,
                            std::shared_ptr<platform::ITetheringCompletion> done,
                            std::unique_ptr<platform::ITetheringOperation>* operation) {
    const rt::ReturnGate returned;  // first: opened as the call's last act
    if (!done || operation == nullptr) return ToHResult(E_POINTER);
    operation->reset();
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::IAsyncOperationTetheringResult> async;
    Hresult begun = S_OK;
    if (kind == Kind::SessionStart) {
      // A manager of a system before the per-session start answers E_NOINTERFACE, which is
      // kHotspotNoSessionStart; asked first, so that such a system is not also asked for the
      // configuration class it does not have.
      ComPtr<rt::INetworkOperatorTetheringManager2> manager2;
      if (const Hresult hr = m_Manager->QueryInterface(rt::kIID_INetworkOperatorTetheringManager2,
                                                       reinterpret_cast<void**>(manager2.put()));
          Failed(hr)) {
        return ToHResult(hr);
      }
      if (!manager2) return ToHResult(E_UNEXPECTED);
      ComPtr<rt::INetworkOperatorTetheringSessionAccessPointConfiguration> wanted;
      if (const Hresult hr = makeConfiguration(rt::kSessionAccessPointConfigurationClass,
                                               rt::kIID_INetworkOperatorTetheringSessionAccessPointConfiguration,
                                               *session, wanted);
          Failed(hr)) {
        return ToHResult(hr);
      }
      begun = manager2->StartTetheringAsync(wanted.get(), async.put());
    } else {
      begun = kind == Kind::Start ? m_Manager->StartTetheringAsync(async.put())
                                  : m_Manager->StopTetheringAsync(async.put());
    }
    TETHRA_RETURN_IF_FAILED(begun, ToHResult);
    if (!async) return ToHResult(E_UNEXPECTED);
    return ToHResult(rt::HandOver<rt::OperationHandler>(*async.get(),
                                                        rt::kIID_AsyncOperationCompletedHandler_TetheringResult,
                                                        std::move(done), &PostToPool, returned.gate(), *operation));
  }

  // An activated configuration object (persistent or per-session: the same name and passphrase
  // methods) holding `config`, with the band and authentication kind it sets.
  template <typename Configuration>
  Hresult makeConfiguration(const char16_t* className, const rt::Guid& iid, const platform::AccessPointConfig& config,
                            ComPtr<Configuration>& out) const {
    ComPtr<rt::IInspectable> instance;
    TETHRA_RETURN_IF_FAILED(m_Runtime.activate(className, instance));
    if (!instance) return E_UNEXPECTED;
    TETHRA_RETURN_IF_FAILED(instance->QueryInterface(iid, reinterpret_cast<void**>(out.put())));
    if (!out) return E_UNEXPECTED;
    Hstring ssid(m_Runtime.fn());
    Hstring passphrase(m_Runtime.fn());
    TETHRA_RETURN_IF_FAILED(ssid.assign(config.ssid));
    TETHRA_RETURN_IF_FAILED(passphrase.assign(config.passphrase));
    TETHRA_RETURN_IF_FAILED(out->put_Ssid(ssid.get()));
    TETHRA_RETURN_IF_FAILED(out->put_Passphrase(passphrase.get()));
    return writeNewerFields(*out.get(), config);
  }

  // Band and authentication kind of the persistent configuration, each where the system's
  // configuration answers for it (its contract is there): otherwise left unset.
  static platform::HResult readNewerFields(rt::INetworkOperatorTetheringAccessPointConfiguration& current,
                                           platform::AccessPointConfig& config) {
    config.band.reset();
    config.authentication.reset();
    ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration2> withBand;
    if (!Failed(current.QueryInterface(rt::kIID_INetworkOperatorTetheringAccessPointConfiguration2,
                                       reinterpret_cast<void**>(withBand.put()))) &&
        withBand) {
      std::int32_t band = 0;
      TETHRA_RETURN_IF_FAILED(withBand->get_Band(&band), ToHResult);
      config.band = static_cast<platform::TetheringBand>(band);
    }
    ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration3> withKind;
    if (!Failed(current.QueryInterface(rt::kIID_INetworkOperatorTetheringAccessPointConfiguration3,
                                       reinterpret_cast<void**>(withKind.put()))) &&
        withKind) {
      std::int32_t kind = 0;
      TETHRA_RETURN_IF_FAILED(withKind->get_AuthenticationKind(&kind), ToHResult);
      config.authentication = static_cast<platform::TetheringAuthentication>(kind);
    }
    return platform::kS_OK;
  }

  // The persistent configuration takes a band and an authentication kind through interfaces of
  // their own; a system without them answers E_NOINTERFACE, which the caller gets back.
  static Hresult writeNewerFields(rt::INetworkOperatorTetheringAccessPointConfiguration& wanted,
                                  const platform::AccessPointConfig& config) {
    if (config.band) {
      ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration2> withBand;
      TETHRA_RETURN_IF_FAILED(wanted.QueryInterface(rt::kIID_INetworkOperatorTetheringAccessPointConfiguration2,
                                                    reinterpret_cast<void**>(withBand.put())));
      if (!withBand) return E_UNEXPECTED;
      TETHRA_RETURN_IF_FAILED(withBand->put_Band(static_cast<std::int32_t>(*config.band)));
    }
    if (config.authentication) {
      ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration3> withKind;
      TETHRA_RETURN_IF_FAILED(wanted.QueryInterface(rt::kIID_INetworkOperatorTetheringAccessPointConfiguration3,
                                                    reinterpret_cast<void**>(withKind.put())));
      if (!withKind) return E_UNEXPECTED;
      TETHRA_RETURN_IF_FAILED(withKind->put_AuthenticationKind(static_cast<std::int32_t>(*config.authentication)));
    }
    return S_OK;
  }

  // The per-session configuration has both on its one interface.
  static Hresult writeNewerFields(rt::INetworkOperatorTetheringSessionAccessPointConfiguration& wanted,
                                  const platform::AccessPointConfig& config) {
    if (config.band) TETHRA_RETURN_IF_FAILED(wanted.put_Band(static_cast<std::int32_t>(*config.band)));
    if (config.authentication) {
      TETHRA_RETURN_IF_FAILED(wanted.put_AuthenticationKind(static_cast<std::int32_t>(*config.authentication)));
    }
    return S_OK;
  }

  const Runtime& m_Runtime;
  ComPtr<rt::INetworkOperatorTetheringManager> m_Manager;
};

class MobileHotspot final : public platform::IMobileHotspot {
 public:
  platform::HResult createManager(const platform::ProfileSelector& selector,
                                  std::unique_ptr<platform::ITetheringManager>* manager) override {
    if (manager == nullptr) return ToHResult(E_POINTER);
    manager->reset();
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkInformationStatics> information;
    TETHRA_RETURN_IF_FAILED(networkInformation(information), ToHResult);
    ComPtr<rt::IVectorViewConnectionProfile> profiles;
    TETHRA_RETURN_IF_FAILED(information->GetConnectionProfiles(profiles.put()), ToHResult);
    if (!profiles) return platform::kHotspotNoProfile;
    const auto readName = [this](rt::IConnectionProfile& profile, std::u16string& name) {
      Hstring value(m_Runtime.fn());
      const Hresult hr = profile.get_ProfileName(value.put());
      if (!Failed(hr)) name = value.text();
      return hr;
    };
    ComPtr<rt::IConnectionProfile> profile;
    if (const Hresult hr = rt::FindProfile(*profiles.get(), selector, readName, profile); Failed(hr)) {
      return ToHResult(hr);
    }
    // The one-argument creation: the profile is the public side and Wi-Fi the private one.
    ComPtr<rt::INetworkOperatorTetheringManagerStatics2> statics;
    if (const Hresult hr =
            m_Runtime.factory(rt::kTetheringManagerClass, rt::kIID_INetworkOperatorTetheringManagerStatics2, statics);
        Failed(hr)) {
      return ToHResult(hr);
    }
    ComPtr<rt::INetworkOperatorTetheringManager> made;
    if (const Hresult hr = statics->CreateFromConnectionProfile(profile.get(), made.put()); Failed(hr)) {
      return ToHResult(hr);
    }
    if (!made) return ToHResult(E_UNEXPECTED);
    auto wrapped = std::unique_ptr<TetheringManager>(new (std::nothrow) TetheringManager(m_Runtime, std::move(made)));
    if (!wrapped) return ToHResult(E_OUTOFMEMORY);
    *manager = std::move(wrapped);
    return platform::kS_OK;
  }

  platform::HResult subscribeNetworkChanges(platform::INetworkChangeObserver& observer, std::int64_t* token) override {
    if (token == nullptr) return ToHResult(E_POINTER);
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkInformationStatics> information;
    TETHRA_RETURN_IF_FAILED(networkInformation(information), ToHResult);
    auto* raw = new (std::nothrow) rt::NetworkChangeRelay(observer);
    if (raw == nullptr) return ToHResult(E_OUTOFMEMORY);
    ComPtr<rt::NetworkChangeRelay> relay;
    *relay.put() = raw;
    rt::EventRegistrationToken registration{};
    if (const Hresult hr = information->add_NetworkStatusChanged(relay.get(), &registration); Failed(hr)) {
      return ToHResult(hr);
    }
    {
      std::lock_guard lock(m_Mutex);
      m_Relays[registration.value] = std::move(relay);
    }
    *token = registration.value;
    return platform::kS_OK;
  }

  platform::HResult noConnectionsTimeoutEnabled(bool* enabled) override {
    if (enabled == nullptr) return ToHResult(E_POINTER);
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkOperatorTetheringManagerStatics4> statics;
    TETHRA_RETURN_IF_FAILED(timeoutStatics(statics), ToHResult);
    std::uint8_t value = 0;
    TETHRA_RETURN_IF_FAILED(statics->IsNoConnectionsTimeoutEnabled(&value), ToHResult);
    *enabled = value != 0;
    return platform::kS_OK;
  }

  platform::HResult setNoConnectionsTimeout(bool enabled, std::shared_ptr<platform::ITetheringCompletion> done,
                                            std::unique_ptr<platform::ITetheringOperation>* operation) override {
    const rt::ReturnGate returned;  // first: opened as the call's last act
    if (!done || operation == nullptr) return ToHResult(E_POINTER);
    operation->reset();
    TETHRA_RETURN_IF_FAILED(m_Runtime.enter(), ToHResult);
    ComPtr<rt::INetworkOperatorTetheringManagerStatics4> statics;
    TETHRA_RETURN_IF_FAILED(timeoutStatics(statics), ToHResult);
    ComPtr<rt::IAsyncAction> action;
    TETHRA_RETURN_IF_FAILED(enabled ? statics->EnableNoConnectionsTimeoutAsync(action.put())
                                    : statics->DisableNoConnectionsTimeoutAsync(action.put()),
                            ToHResult);
    if (!action) return ToHResult(E_UNEXPECTED);
    return ToHResult(rt::HandOver<rt::ActionHandler>(*action.get(), rt::kIID_AsyncActionCompletedHandler,
                                                     std::move(done), &PostToPool, returned.gate(), *operation));
  }

  void unsubscribeNetworkChanges(std::int64_t token) override {
    ComPtr<rt::NetworkChangeRelay> relay;
    {
      std::lock_guard lock(m_Mutex);
      const auto it = m_Relays.find(token);
      if (it == m_Relays.end()) return;
      relay = std::move(it->second);
      m_Relays.erase(it);
    }
    ComPtr<rt::INetworkInformationStatics> information;
    if (!Failed(m_Runtime.enter()) && !Failed(networkInformation(information))) {
      information->remove_NetworkStatusChanged(rt::EventRegistrationToken{token});
    }
    // The runtime may be running the handler on its thread right now, whatever it was told.
    relay->revoke();
  }

 private:
  // NetworkInformation's statics, fetched once.
  Hresult networkInformation(ComPtr<rt::INetworkInformationStatics>& out) {
    std::lock_guard lock(m_Mutex);
    if (!m_Information) {
      TETHRA_RETURN_IF_FAILED(
          m_Runtime.factory(rt::kNetworkInformationClass, rt::kIID_INetworkInformationStatics, m_Information));
    }
    out.copyFrom(m_Information.get());
    return S_OK;
  }

  // The statics of the NoConnections timeout, asked for at each use: E_NOINTERFACE where the
  // system predates them.
  Hresult timeoutStatics(ComPtr<rt::INetworkOperatorTetheringManagerStatics4>& out) const {
    TETHRA_RETURN_IF_FAILED(
        m_Runtime.factory(rt::kTetheringManagerClass, rt::kIID_INetworkOperatorTetheringManagerStatics4, out));
    return out ? S_OK : E_UNEXPECTED;
  }

  Runtime m_Runtime;
  std::mutex m_Mutex;
  ComPtr<rt::INetworkInformationStatics> m_Information;
  std::map<std::int64_t, ComPtr<rt::NetworkChangeRelay>> m_Relays;
};

}  // namespace

std::unique_ptr<platform::IMobileHotspot> CreateMobileHotspot() { return std::make_unique<MobileHotspot>(); }

}  // namespace tethra::win32
