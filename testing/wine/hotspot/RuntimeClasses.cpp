// simhotspot.dll's runtime classes: NetworkInformation's statics (connection profiles, the
// network status event), NetworkOperatorTetheringManager's statics (CreateFromConnectionProfile
// with the profile alone, and with a target adapter, which the program no longer calls),
// NetworkOperatorTetheringAccessPointConfiguration and, where the service offers the start with
// a per-session configuration, NetworkOperatorTetheringSessionAccessPointConfiguration; each
// object a thin face of the process's SimHotspotService (HotspotDll.h), with the ABI of
// tethra.exe's own adapter (WinRtAbi.h). The DLL exports DllGetActivationFactory, which the
// system's RoGetActivationFactory calls once the class is registered for it
// (scripts/wine-lib.sh), and DllCanUnloadNow.
//
// A profile's NetworkAdapter is always there, with the id the service lists (even a zero one):
// the documentation describes the property as the adapter object and never as absent. A
// manager answers INetworkOperatorTetheringManager2 only where the service offers the
// per-session start (E_NOINTERFACE elsewhere, as a manager of an older system does, and the
// service is told of the refused start), and the per-session configuration class is served
// only there.
//
// Objects are reference counted and agile (any thread, no marshalling). An operation's object
// keeps its outcome once the service delivers it (on the DLL's delivery thread) and runs the
// completed handler there, or at once inside put_Completed when the outcome came first, as the
// runtime does; its Cancel is the service operation's cancel, and an outcome of
// kHotspotCancelled is the status Canceled. Results: the service's HRESULTs; E_NOTIMPL for what
// the program never calls; CLASS_E_CLASSNOTAVAILABLE for a class this DLL does not serve.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "HotspotDll.h"
#include "tethra/platform/ComPtr.h"
#include "tethra/win32/WinRtAbi.h"

namespace {

namespace platform = tethra::platform;
namespace rt = tethra::win32::winrt;
using rt::Hresult;
template <typename T>
using ComPtr = platform::ComPtr<T>;
using tethra::tools::SimHotspotDll;

Hresult AbiResult(platform::HResult hr) { return static_cast<Hresult>(platform::Raw(hr)); }

// The string functions of the runtime, from combase.dll (the program's process has it loaded).
struct Strings {
  using CreateFn = HRESULT(WINAPI*)(const wchar_t*, UINT32, rt::Hstring*);
  using RawFn = const wchar_t*(WINAPI*)(rt::Hstring, UINT32*);
  CreateFn create = nullptr;
  RawFn raw = nullptr;

  static const Strings& get() {
    static const Strings strings = [] {
      Strings s;
      HMODULE combase = ::GetModuleHandleW(L"combase.dll");
      if (combase == nullptr) combase = ::LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
      if (combase != nullptr) {
        s.create = reinterpret_cast<CreateFn>(reinterpret_cast<void (*)()>(::GetProcAddress(combase, "WindowsCreateString")));
        s.raw = reinterpret_cast<RawFn>(reinterpret_cast<void (*)()>(::GetProcAddress(combase, "WindowsGetStringRawBuffer")));
      }
      return s;
    }();
    return strings;
  }
};

std::u16string TextOf(rt::Hstring value) {
  const Strings& s = Strings::get();
  if (value == nullptr || s.raw == nullptr) return {};
  UINT32 length = 0;
  const wchar_t* raw = s.raw(value, &length);
  return raw != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(raw), length) : std::u16string();
}

Hresult MakeString(const std::u16string& text, rt::Hstring* out) {
  if (out == nullptr) return rt::kE_POINTER;
  *out = nullptr;
  const Strings& s = Strings::get();
  if (s.create == nullptr) return rt::kE_NOTIMPL;
  return s.create(reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<UINT32>(text.size()), out);
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// Hands out `object` (one reference) as interface I.
template <typename I>
Hresult Give(I* object, void** out) {
  object->AddRef();
  *out = object;
  return rt::kS_OK;
}

// Reference counting, the inspectable trio and QueryInterface over the interfaces a class lists.
// Every listed interface derives from IInspectable or IUnknown only, singly.
#define SIM_WINRT_OBJECT(Class, RuntimeName)                                                             \
 public:                                                                                                 \
  std::uint32_t TETHRA_WINRT_CALL AddRef() override { return ++m_References; }                           \
  std::uint32_t TETHRA_WINRT_CALL Release() override {                                                   \
    const std::uint32_t left = --m_References;                                                           \
    if (left == 0) delete this;                                                                          \
    return left;                                                                                         \
  }                                                                                                      \
  Hresult TETHRA_WINRT_CALL GetIids(std::uint32_t* count, rt::Guid** iids) override {                    \
    if (count == nullptr || iids == nullptr) return rt::kE_POINTER;                                      \
    *count = 0;                                                                                          \
    *iids = nullptr;                                                                                     \
    return rt::kS_OK;                                                                                    \
  }                                                                                                      \
  Hresult TETHRA_WINRT_CALL GetRuntimeClassName(rt::Hstring* name) override {                            \
    return MakeString(RuntimeName, name);                                                                \
  }                                                                                                      \
  Hresult TETHRA_WINRT_CALL GetTrustLevel(rt::TrustLevel* level) override {                              \
    if (level == nullptr) return rt::kE_POINTER;                                                         \
    *level = rt::TrustLevel::BaseTrust;                                                                  \
    return rt::kS_OK;                                                                                    \
  }                                                                                                      \
                                                                                                         \
 private:                                                                                                \
  std::atomic<std::uint32_t> m_References{1};                                                            \
                                                                                                         \
 public:

// Answers IUnknown, IInspectable and IAgileObject as `First`, the interfaces listed as themselves.
template <typename First, typename... More, typename Self>
Hresult Answer(Self* self, const rt::Guid& iid, void** out) {
  if (out == nullptr) return rt::kE_POINTER;
  *out = nullptr;
  if (iid == rt::kIID_IUnknown || iid == rt::kIID_IInspectable || iid == rt::kIID_IAgileObject) {
    return Give(static_cast<First*>(self), out);
  }
  Hresult hr = rt::kE_NOINTERFACE;
  auto one = [&](auto* as, const rt::Guid& wanted) {
    if (hr == rt::kE_NOINTERFACE && iid == wanted) hr = Give(as, out);
  };
  one(static_cast<First*>(self), First::kIid);
  (one(static_cast<More*>(self), More::kIid), ...);
  return hr;
}

// The interfaces as Answer names them: each with its identifier.
template <typename Interface, const rt::Guid& Iid>
struct Named : Interface {
  static constexpr rt::Guid kIid = Iid;
};
using Factory = Named<rt::IActivationFactory, rt::kIID_IActivationFactory>;
using InformationStatics = Named<rt::INetworkInformationStatics, rt::kIID_INetworkInformationStatics>;
using ManagerStatics2 =
    Named<rt::INetworkOperatorTetheringManagerStatics2, rt::kIID_INetworkOperatorTetheringManagerStatics2>;
using ManagerStatics3 =
    Named<rt::INetworkOperatorTetheringManagerStatics3, rt::kIID_INetworkOperatorTetheringManagerStatics3>;
using ManagerStatics4 =
    Named<rt::INetworkOperatorTetheringManagerStatics4, rt::kIID_INetworkOperatorTetheringManagerStatics4>;
using ManagerFace = Named<rt::INetworkOperatorTetheringManager, rt::kIID_INetworkOperatorTetheringManager>;
using Manager2Face = Named<rt::INetworkOperatorTetheringManager2, rt::kIID_INetworkOperatorTetheringManager2>;
using ConfigurationFace =
    Named<rt::INetworkOperatorTetheringAccessPointConfiguration,
          rt::kIID_INetworkOperatorTetheringAccessPointConfiguration>;
using Configuration2Face =
    Named<rt::INetworkOperatorTetheringAccessPointConfiguration2,
          rt::kIID_INetworkOperatorTetheringAccessPointConfiguration2>;
using Configuration3Face =
    Named<rt::INetworkOperatorTetheringAccessPointConfiguration3,
          rt::kIID_INetworkOperatorTetheringAccessPointConfiguration3>;
using SessionConfigurationFace =
    Named<rt::INetworkOperatorTetheringSessionAccessPointConfiguration,
          rt::kIID_INetworkOperatorTetheringSessionAccessPointConfiguration>;
using ProfileFace = Named<rt::IConnectionProfile, rt::kIID_IConnectionProfile>;
using AdapterFace = Named<rt::INetworkAdapter, rt::kIID_INetworkAdapter>;
using ProfilesFace = Named<rt::IVectorViewConnectionProfile, rt::kIID_IVectorView_ConnectionProfile>;
using InfoFace = Named<rt::IAsyncInfo, rt::kIID_IAsyncInfo>;
using ActionFace = Named<rt::IAsyncAction, rt::kIID_IAsyncAction>;
using OperationFace = Named<rt::IAsyncOperationTetheringResult, rt::kIID_IAsyncOperation_TetheringResult>;
using ResultFace =
    Named<rt::INetworkOperatorTetheringOperationResult, rt::kIID_INetworkOperatorTetheringOperationResult>;

// --- Connection profiles ------------------------------------------------------------------------

class Adapter final : public AdapterFace {
  SIM_WINRT_OBJECT(Adapter, u"Windows.Networking.Connectivity.NetworkAdapter")
  explicit Adapter(const platform::Guid& id) : m_Id(id) {}
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<AdapterFace>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL get_OutboundMaxBitsPerSecond(std::uint64_t*) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_InboundMaxBitsPerSecond(std::uint64_t*) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_IanaInterfaceType(std::uint32_t* value) override {
    if (value == nullptr) return rt::kE_POINTER;
    *value = 71;  // IEEE 802.11
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_NetworkItem(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_NetworkAdapterId(rt::Guid* value) override {
    if (value == nullptr) return rt::kE_POINTER;
    *value = m_Id;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL GetConnectedProfileAsync(rt::IInspectable**) override { return rt::kE_NOTIMPL; }

 private:
  ~Adapter() = default;
  const platform::Guid m_Id;
};

class Profile final : public ProfileFace {
  SIM_WINRT_OBJECT(Profile, u"Windows.Networking.Connectivity.ConnectionProfile")
  explicit Profile(const tethra::sim::SimProfile& profile) : m_Name(profile.name) {
    *m_Adapter.put() = new Adapter(profile.adapterId);
  }
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<ProfileFace>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL get_ProfileName(rt::Hstring* value) override { return MakeString(m_Name, value); }
  Hresult TETHRA_WINRT_CALL GetNetworkConnectivityLevel(std::int32_t*) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetNetworkNames(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetConnectionCost(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetDataPlanStatus(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_NetworkAdapter(rt::INetworkAdapter** value) override {
    if (value == nullptr) return rt::kE_POINTER;
    return Give<rt::INetworkAdapter>(m_Adapter.get(), reinterpret_cast<void**>(value));
  }
  Hresult TETHRA_WINRT_CALL GetLocalUsage(rt::DateTime, rt::DateTime, rt::IInspectable**) override {
    return rt::kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL GetLocalUsagePerRoamingStates(rt::DateTime, rt::DateTime, std::uint32_t,
                                                          rt::IInspectable**) override {
    return rt::kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL get_NetworkSecuritySettings(rt::IInspectable**) override { return rt::kE_NOTIMPL; }

 private:
  ~Profile() = default;
  const std::u16string m_Name;
  ComPtr<Adapter> m_Adapter;
};

class Profiles final : public ProfilesFace {
  SIM_WINRT_OBJECT(Profiles, u"Windows.Foundation.Collections.IVectorView`1<Windows.Networking.Connectivity.ConnectionProfile>")
  explicit Profiles(const std::vector<tethra::sim::SimProfile>& listed) {
    for (const tethra::sim::SimProfile& one : listed) {
      ComPtr<Profile> profile;
      *profile.put() = new Profile(one);
      m_Items.push_back(std::move(profile));
    }
  }
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<ProfilesFace>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL GetAt(std::uint32_t index, rt::IConnectionProfile** item) override {
    if (item == nullptr) return rt::kE_POINTER;
    *item = nullptr;
    if (index >= m_Items.size()) return rt::kE_BOUNDS;
    return Give<rt::IConnectionProfile>(m_Items[index].get(), reinterpret_cast<void**>(item));
  }
  Hresult TETHRA_WINRT_CALL get_Size(std::uint32_t* size) override {
    if (size == nullptr) return rt::kE_POINTER;
    *size = static_cast<std::uint32_t>(m_Items.size());
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL IndexOf(rt::IConnectionProfile* item, std::uint32_t* index, std::uint8_t* found) override {
    if (index == nullptr || found == nullptr) return rt::kE_POINTER;
    *index = 0;
    *found = 0;
    for (std::uint32_t i = 0; i < m_Items.size(); ++i) {
      if (static_cast<rt::IConnectionProfile*>(m_Items[i].get()) == item) {
        *index = i;
        *found = 1;
        break;
      }
    }
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL GetMany(std::uint32_t start, std::uint32_t capacity, rt::IConnectionProfile** items,
                                    std::uint32_t* actual) override {
    if (actual == nullptr || (items == nullptr && capacity > 0)) return rt::kE_POINTER;
    *actual = 0;
    for (std::uint32_t i = start; i < m_Items.size() && *actual < capacity; ++i, ++*actual) {
      Give<rt::IConnectionProfile>(m_Items[i].get(), reinterpret_cast<void**>(&items[*actual]));
    }
    return rt::kS_OK;
  }

 private:
  ~Profiles() = default;
  std::vector<ComPtr<Profile>> m_Items;
};

// --- Asynchronous operations --------------------------------------------------------------------

// What the service delivers to an operation; kept until the handler (or GetResults) reads it.
struct Ending {
  bool ended = false;
  platform::HResult result = platform::kS_OK;
  platform::TetheringStatus status = platform::TetheringStatus::Success;
};

// One operation (Face: ActionFace or OperationFace; Handler its completed handler type).
template <typename Face, typename Handler>
class Async final : public Face, public InfoFace {
  SIM_WINRT_OBJECT(Async, u"Windows.Foundation.IAsyncInfo")
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<Face, InfoFace>(this, iid, out);
  }

  // The service's handle of the operation, given once the call that began it has succeeded.
  void track(std::unique_ptr<platform::ITetheringOperation> operation) { m_Operation = std::move(operation); }

  // The service's completion, on the delivery thread.
  void end(platform::HResult result, platform::TetheringStatus status) {
    ComPtr<Handler> handler;
    {
      std::lock_guard lock(m_Mutex);
      if (m_Ending.ended) return;
      m_Ending = Ending{true, result, status};
      handler = std::move(m_Handler);
    }
    if (handler) handler->Invoke(this, asyncStatus());
  }

  Hresult TETHRA_WINRT_CALL put_Completed(Handler* handler) override {
    if (handler == nullptr) return rt::kE_POINTER;
    bool ended = false;
    {
      std::lock_guard lock(m_Mutex);
      if (m_HandlerGiven) return static_cast<Hresult>(0x80000018u);  // E_ILLEGAL_DELEGATE_ASSIGNMENT
      m_HandlerGiven = true;
      ended = m_Ending.ended;
      if (!ended) m_Handler.copyFrom(handler);
    }
    // Ended already: the handler runs now, inside this call, as the runtime's own operations do.
    if (ended) handler->Invoke(this, asyncStatus());
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_Completed(Handler** handler) override {
    if (handler == nullptr) return rt::kE_POINTER;
    std::lock_guard lock(m_Mutex);
    *handler = m_Handler.get();
    if (*handler != nullptr) (*handler)->AddRef();
    return rt::kS_OK;
  }

  // IAsyncAction::GetResults() or IAsyncOperation::GetResults(result): one of them is this
  // class's; the other overload is no override and never called.
  Hresult TETHRA_WINRT_CALL GetResults() {
    const Ending e = ending();
    if (!e.ended) return rt::kE_ILLEGAL_METHOD_CALL;
    return AbiResult(e.result);
  }
  Hresult TETHRA_WINRT_CALL GetResults(rt::INetworkOperatorTetheringOperationResult** results);

  Hresult TETHRA_WINRT_CALL get_Id(std::uint32_t* id) override {
    if (id == nullptr) return rt::kE_POINTER;
    *id = 1;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_Status(rt::AsyncStatus* status) override {
    if (status == nullptr) return rt::kE_POINTER;
    *status = asyncStatus();
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_ErrorCode(Hresult* code) override {
    if (code == nullptr) return rt::kE_POINTER;
    const Ending e = ending();
    *code = e.ended ? AbiResult(e.result) : rt::kS_OK;
    return rt::kS_OK;
  }
  // A request the service may honour or not; the outcome says which. Nothing once ended.
  Hresult TETHRA_WINRT_CALL Cancel() override {
    if (ending().ended || !m_Operation) return rt::kS_OK;
    SimHotspotDll& dll = SimHotspotDll::instance();
    {
      const auto call = dll.enter();
      m_Operation->cancel();  // not under this object's lock: the service may end it right here
      dll.afterCall();
    }
    return rt::kS_OK;
  }
  // Not before the end ("You may not call Close before the asynchronous action or operation
  // has completed"); the service records a Close too early or one missing at the last release.
  Hresult TETHRA_WINRT_CALL Close() override {
    const bool ended = ending().ended;
    if (m_Operation) {
      SimHotspotDll& dll = SimHotspotDll::instance();
      const auto call = dll.enter();
      m_Operation->close();
      dll.afterCall();
    }
    return ended ? rt::kS_OK : static_cast<Hresult>(0x8000000Du);  // E_ILLEGAL_STATE_CHANGE
  }

 private:
  ~Async() = default;
  Ending ending() {
    std::lock_guard lock(m_Mutex);
    return m_Ending;
  }
  rt::AsyncStatus asyncStatus() {
    const Ending e = ending();
    if (!e.ended) return rt::AsyncStatus::Started;
    if (e.result == platform::kHotspotCancelled) return rt::AsyncStatus::Canceled;
    return platform::Failed(e.result) ? rt::AsyncStatus::Error : rt::AsyncStatus::Completed;
  }

  std::unique_ptr<platform::ITetheringOperation> m_Operation;  // set before the object is handed out
  std::mutex m_Mutex;
  Ending m_Ending;
  bool m_HandlerGiven = false;
  ComPtr<Handler> m_Handler;
};

class OperationResult final : public ResultFace {
  SIM_WINRT_OBJECT(OperationResult, u"Windows.Networking.NetworkOperators.NetworkOperatorTetheringOperationResult")
  explicit OperationResult(platform::TetheringStatus status) : m_Status(status) {}
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<ResultFace>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL get_Status(rt::TetheringOperationStatus* value) override {
    if (value == nullptr) return rt::kE_POINTER;
    *value = m_Status;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_AdditionalErrorMessage(rt::Hstring* value) override { return MakeString(u"", value); }

 private:
  ~OperationResult() = default;
  const platform::TetheringStatus m_Status;
};

using Action = Async<ActionFace, rt::AsyncActionCompletedHandler>;
using Operation = Async<OperationFace, rt::AsyncOperationCompletedHandlerTetheringResult>;

template <>
Hresult Operation::GetResults(rt::INetworkOperatorTetheringOperationResult** results) {
  if (results == nullptr) return rt::kE_POINTER;
  *results = nullptr;
  const Ending e = ending();
  if (!e.ended) return rt::kE_ILLEGAL_METHOD_CALL;
  if (platform::Failed(e.result)) return AbiResult(e.result);
  auto* result = new (std::nothrow) OperationResult(e.status);
  if (result == nullptr) return rt::kE_OUTOFMEMORY;
  *results = result;
  return rt::kS_OK;
}

// The program's completion as the service sees it: it ends the operation's object.
template <typename A>
class Ender final : public platform::ITetheringCompletion {
 public:
  explicit Ender(A* async) { m_Async.copyFrom(async); }
  // On the delivery thread, inside its ServiceCall; the service has released its lock.
  void completed(platform::HResult result, platform::TetheringStatus status) override {
    SimHotspotDll& dll = SimHotspotDll::instance();
    {
      const auto program = dll.leave();
      m_Async->end(result, status);  // runs the program's completed handler
    }
    dll.afterCall();
  }

 private:
  ComPtr<A> m_Async;
};

// --- Access point configuration and the tethering manager ---------------------------------------

// A name and passphrase as the program sets them (the persistent and the per-session
// configuration alike).
class ConfigurationText {
 public:
  ConfigurationText() = default;
  explicit ConfigurationText(platform::AccessPointConfig config) : m_Config(std::move(config)) {}
  platform::AccessPointConfig get() {
    std::lock_guard lock(m_Mutex);
    return m_Config;
  }
  void setSsid(rt::Hstring value) {
    std::lock_guard lock(m_Mutex);
    m_Config.ssid = TextOf(value);
  }
  void setPassphrase(rt::Hstring value) {
    std::lock_guard lock(m_Mutex);
    m_Config.passphrase = TextOf(value);
  }
  void setBand(platform::TetheringBand band) {
    std::lock_guard lock(m_Mutex);
    m_Config.band = band;
  }
  void setAuthentication(platform::TetheringAuthentication kind) {
    std::lock_guard lock(m_Mutex);
    m_Config.authentication = kind;
  }

 private:
  std::mutex m_Mutex;
  platform::AccessPointConfig m_Config;
};

// The name and passphrase accessors both configuration classes have, on the text they hold.
template <typename Face>
class TextAccessors : public Face {
 public:
  Hresult TETHRA_WINRT_CALL get_Ssid(rt::Hstring* value) override { return MakeString(m_Text.get().ssid, value); }
  Hresult TETHRA_WINRT_CALL put_Ssid(rt::Hstring value) override {
    m_Text.setSsid(value);
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL get_Passphrase(rt::Hstring* value) override {
    return MakeString(m_Text.get().passphrase, value);
  }
  Hresult TETHRA_WINRT_CALL put_Passphrase(rt::Hstring value) override {
    m_Text.setPassphrase(value);
    return rt::kS_OK;
  }

 protected:
  TextAccessors() = default;
  explicit TextAccessors(platform::AccessPointConfig config) : m_Text(std::move(config)) {}
  ~TextAccessors() = default;

  // Band and authentication kind, for the classes that have them. The enumerations list no
  // other values; the program only ever writes back a value it read.
  Hresult getBand(std::int32_t* value) {
    if (value == nullptr) return rt::kE_POINTER;
    *value = static_cast<std::int32_t>(m_Text.get().band.value_or(platform::TetheringBand::Auto));
    return rt::kS_OK;
  }
  Hresult putBand(std::int32_t value) {
    if (value < 0 || value > static_cast<std::int32_t>(platform::TetheringBand::SixGigahertz)) return rt::kE_INVALIDARG;
    m_Text.setBand(static_cast<platform::TetheringBand>(value));
    return rt::kS_OK;
  }
  Hresult getAuthentication(std::int32_t* value) {
    if (value == nullptr) return rt::kE_POINTER;
    *value = static_cast<std::int32_t>(m_Text.get().authentication.value_or(platform::TetheringAuthentication::Wpa2));
    return rt::kS_OK;
  }
  Hresult putAuthentication(std::int32_t value) {
    if (value < 0 || value > static_cast<std::int32_t>(platform::TetheringAuthentication::Wpa3)) {
      return rt::kE_INVALIDARG;
    }
    m_Text.setAuthentication(static_cast<platform::TetheringAuthentication>(value));
    return rt::kS_OK;
  }

 private:
  ConfigurationText m_Text;
};

// Band and authentication kind, the same methods on the persistent configuration's own
// interfaces and on the per-session one: each class overrides them from its faces, and all of
// them answer from TextAccessors. The support queries are never called by the program.
#define SIM_BAND_AND_AUTHENTICATION_KIND                                                                        \
  Hresult TETHRA_WINRT_CALL IsBandSupported(std::int32_t, std::uint8_t*) override { return rt::kE_NOTIMPL; }     \
  Hresult TETHRA_WINRT_CALL IsBandSupportedAsync(std::int32_t, rt::IInspectable**) override {                  \
    return rt::kE_NOTIMPL;                                                                                      \
  }                                                                                                             \
  Hresult TETHRA_WINRT_CALL get_Band(std::int32_t* value) override { return getBand(value); }                   \
  Hresult TETHRA_WINRT_CALL put_Band(std::int32_t value) override { return putBand(value); }                    \
  Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupported(std::int32_t, std::uint8_t*) override {               \
    return rt::kE_NOTIMPL;                                                                                      \
  }                                                                                                             \
  Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupportedAsync(std::int32_t, rt::IInspectable**) override {     \
    return rt::kE_NOTIMPL;                                                                                      \
  }                                                                                                             \
  Hresult TETHRA_WINRT_CALL get_AuthenticationKind(std::int32_t* value) override {                              \
    return getAuthentication(value);                                                                            \
  }                                                                                                             \
  Hresult TETHRA_WINRT_CALL put_AuthenticationKind(std::int32_t value) override { return putAuthentication(value); }

// The persistent configuration: band (Configuration2) and authentication kind (Configuration3)
// answered only where the service's system has them, as a system of that contract would.
class Configuration final : public TextAccessors<ConfigurationFace>, public Configuration2Face, public Configuration3Face {
  SIM_WINRT_OBJECT(Configuration, rt::kAccessPointConfigurationClass)
  Configuration() = default;
  explicit Configuration(platform::AccessPointConfig config) : TextAccessors(std::move(config)) {}
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    const SimHotspotDll& dll = SimHotspotDll::instance();
    if ((iid == Configuration2Face::kIid && !dll.hasBand()) ||
        (iid == Configuration3Face::kIid && !dll.hasAuthentication())) {
      if (out == nullptr) return rt::kE_POINTER;
      *out = nullptr;
      return rt::kE_NOINTERFACE;
    }
    return Answer<ConfigurationFace, Configuration2Face, Configuration3Face>(this, iid, out);
  }
  SIM_BAND_AND_AUTHENTICATION_KIND

 private:
  ~Configuration() = default;
};

// The per-session configuration: its name and passphrase, band and authentication kind;
// performance priority is never set by the program.
class SessionConfiguration final : public TextAccessors<SessionConfigurationFace> {
  SIM_WINRT_OBJECT(SessionConfiguration, rt::kSessionAccessPointConfigurationClass)
  SessionConfiguration() = default;
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<SessionConfigurationFace>(this, iid, out);
  }
  SIM_BAND_AND_AUTHENTICATION_KIND
  Hresult TETHRA_WINRT_CALL get_PerformancePriority(std::int32_t*) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL put_PerformancePriority(std::int32_t) override { return rt::kE_NOTIMPL; }

 private:
  ~SessionConfiguration() = default;
};

// Band and authentication kind as the program's configuration object holds them, read through
// its ABI, for a system that has them: the persistent one through its interfaces of their own,
// the per-session one on its one interface.
void ReadNewerFields(rt::INetworkOperatorTetheringAccessPointConfiguration& configuration,
                     platform::AccessPointConfig& read) {
  std::int32_t value = 0;
  ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration2> withBand;
  if (configuration.QueryInterface(Configuration2Face::kIid, reinterpret_cast<void**>(withBand.put())) >= 0 &&
      withBand && withBand->get_Band(&value) >= 0) {
    read.band = static_cast<platform::TetheringBand>(value);
  }
  ComPtr<rt::INetworkOperatorTetheringAccessPointConfiguration3> withKind;
  if (configuration.QueryInterface(Configuration3Face::kIid, reinterpret_cast<void**>(withKind.put())) >= 0 &&
      withKind && withKind->get_AuthenticationKind(&value) >= 0) {
    read.authentication = static_cast<platform::TetheringAuthentication>(value);
  }
}
void ReadNewerFields(rt::INetworkOperatorTetheringSessionAccessPointConfiguration& configuration,
                     platform::AccessPointConfig& read) {
  const SimHotspotDll& dll = SimHotspotDll::instance();
  std::int32_t value = 0;
  if (dll.hasBand() && configuration.get_Band(&value) >= 0) read.band = static_cast<platform::TetheringBand>(value);
  if (dll.hasAuthentication() && configuration.get_AuthenticationKind(&value) >= 0) {
    read.authentication = static_cast<platform::TetheringAuthentication>(value);
  }
}

// What the program's configuration object holds, read through its own ABI.
template <typename Face>
platform::AccessPointConfig ReadConfiguration(Face& configuration) {
  using DeleteFn = HRESULT(WINAPI*)(rt::Hstring);
  static const DeleteFn remove = reinterpret_cast<DeleteFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"combase.dll"), "WindowsDeleteString")));
  rt::Hstring ssid = nullptr;
  rt::Hstring passphrase = nullptr;
  configuration.get_Ssid(&ssid);
  configuration.get_Passphrase(&passphrase);
  platform::AccessPointConfig read{TextOf(ssid), TextOf(passphrase)};
  if (remove != nullptr) {
    if (ssid != nullptr) remove(ssid);
    if (passphrase != nullptr) remove(passphrase);
  }
  ReadNewerFields(configuration, read);
  return read;
}

// A call into the service from a runtime class: counted as inside it, and its changes logged.
template <typename Call>
Hresult Served(Call call) {
  SimHotspotDll& dll = SimHotspotDll::instance();
  const auto inside = dll.enter();
  const platform::HResult hr = call();
  dll.afterCall();
  return AbiResult(hr);
}

// An operation's start: `out` checked and emptied, then the service's call with a new
// asynchronous object of type A that `out` receives once the call has begun.
template <typename A, typename Out, typename Call>
Hresult BeginOperation(Out** out, Call call) {
  if (out == nullptr) return rt::kE_POINTER;
  *out = nullptr;
  auto* async = new (std::nothrow) A();
  if (async == nullptr) return rt::kE_OUTOFMEMORY;
  ComPtr<A> held;
  *held.put() = async;
  std::unique_ptr<platform::ITetheringOperation> operation;
  const Hresult hr = Served([&] { return call(std::make_shared<Ender<A>>(async), &operation); });
  if (hr < 0) return hr;
  held->track(std::move(operation));
  *out = static_cast<Out*>(held.get());
  (*out)->AddRef();
  return rt::kS_OK;
}

class Manager final : public ManagerFace, public Manager2Face {
  SIM_WINRT_OBJECT(Manager, rt::kTetheringManagerClass)
  explicit Manager(std::unique_ptr<platform::ITetheringManager> manager) : m_Manager(std::move(manager)) {}
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    if (SimHotspotDll::instance().sessionStartOffered()) return Answer<ManagerFace, Manager2Face>(this, iid, out);
    if (iid == Manager2Face::kIid) {
      // The runtime refuses the per-session start here, before any configuration exists; the
      // service counts that refusal as a session-start call, as on the simulated notebook, so it
      // is told of it (with an empty configuration, which it does not look at when it refuses).
      std::unique_ptr<platform::ITetheringOperation> none;
      Served([&] { return m_Manager->startWithSessionConfiguration({}, nullptr, &none); });
    }
    return Answer<ManagerFace>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL get_MaxClientCount(std::uint32_t*) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL get_ClientCount(std::uint32_t* value) override {
    if (value == nullptr) return rt::kE_POINTER;
    return Served([&] { return m_Manager->clientCount(value); });
  }
  Hresult TETHRA_WINRT_CALL get_TetheringOperationalState(rt::TetheringOperationalState* value) override {
    if (value == nullptr) return rt::kE_POINTER;
    return Served([&] { return m_Manager->operationalState(value); });
  }
  Hresult TETHRA_WINRT_CALL GetCurrentAccessPointConfiguration(
      rt::INetworkOperatorTetheringAccessPointConfiguration** configuration) override {
    if (configuration == nullptr) return rt::kE_POINTER;
    *configuration = nullptr;
    platform::AccessPointConfig current;
    if (const Hresult hr = Served([&] { return m_Manager->currentConfiguration(&current); }); hr < 0) return hr;
    auto* made = new (std::nothrow) Configuration(std::move(current));
    if (made == nullptr) return rt::kE_OUTOFMEMORY;
    *configuration = made;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL ConfigureAccessPointAsync(rt::INetworkOperatorTetheringAccessPointConfiguration* configuration,
                                                      rt::IAsyncAction** asyncInfo) override {
    if (configuration == nullptr || asyncInfo == nullptr) return rt::kE_POINTER;
    const platform::AccessPointConfig wanted = ReadConfiguration(*configuration);
    return BeginOperation<Action>(asyncInfo, [&](auto done, auto* operation) {
      return m_Manager->configure(wanted, std::move(done), operation);
    });
  }
  Hresult TETHRA_WINRT_CALL StartTetheringAsync(rt::IAsyncOperationTetheringResult** asyncInfo) override {
    return BeginOperation<Operation>(asyncInfo,
                            [&](auto done, auto* operation) { return m_Manager->start(std::move(done), operation); });
  }
  // INetworkOperatorTetheringManager2: answered only where the service offers it.
  Hresult TETHRA_WINRT_CALL StartTetheringAsync(rt::INetworkOperatorTetheringSessionAccessPointConfiguration* configuration,
                                                rt::IAsyncOperationTetheringResult** asyncInfo) override {
    if (configuration == nullptr || asyncInfo == nullptr) return rt::kE_POINTER;
    const platform::AccessPointConfig wanted = ReadConfiguration(*configuration);
    return BeginOperation<Operation>(asyncInfo, [&](auto done, auto* operation) {
      return m_Manager->startWithSessionConfiguration(wanted, std::move(done), operation);
    });
  }
  Hresult TETHRA_WINRT_CALL StopTetheringAsync(rt::IAsyncOperationTetheringResult** asyncInfo) override {
    return BeginOperation<Operation>(asyncInfo,
                            [&](auto done, auto* operation) { return m_Manager->stop(std::move(done), operation); });
  }

 private:
  ~Manager() {
    const auto inside = SimHotspotDll::instance().enter();
    m_Manager.reset();
  }

  std::unique_ptr<platform::ITetheringManager> m_Manager;
};

// --- The classes' statics and factories ---------------------------------------------------------

// A network status change as the program's handler receives it.
class Relay final : public platform::INetworkChangeObserver {
 public:
  explicit Relay(rt::NetworkStatusChangedEventHandler* handler) { m_Handler.copyFrom(handler); }
  void networkStatusChanged() override { m_Handler->Invoke(nullptr); }

 private:
  ComPtr<rt::NetworkStatusChangedEventHandler> m_Handler;
};

class Information final : public Factory, public InformationStatics {
  SIM_WINRT_OBJECT(Information, rt::kNetworkInformationClass)
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<InformationStatics, Factory>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL ActivateInstance(rt::IInspectable**) override { return rt::kE_NOTIMPL; }

  Hresult TETHRA_WINRT_CALL GetConnectionProfiles(rt::IVectorViewConnectionProfile** value) override {
    if (value == nullptr) return rt::kE_POINTER;
    const std::vector<tethra::sim::SimProfile>& listed = SimHotspotDll::instance().profiles();
    SimHotspotDll::instance().write("runtime GetConnectionProfiles: " + std::to_string(listed.size()) + " profile(s)");
    auto* profiles = new (std::nothrow) Profiles(listed);
    if (profiles == nullptr) return rt::kE_OUTOFMEMORY;
    *value = profiles;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL GetInternetConnectionProfile(rt::IConnectionProfile**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetLanIdentifiers(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetHostNames(rt::IInspectable**) override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL GetProxyConfigurationAsync(rt::IInspectable*, rt::IInspectable**) override {
    return rt::kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL GetSortedEndpointPairs(rt::IInspectable*, std::uint32_t, rt::IInspectable**) override {
    return rt::kE_NOTIMPL;
  }
  Hresult TETHRA_WINRT_CALL add_NetworkStatusChanged(rt::NetworkStatusChangedEventHandler* handler,
                                                     rt::EventRegistrationToken* token) override {
    if (handler == nullptr || token == nullptr) return rt::kE_POINTER;
    auto relay = std::make_unique<Relay>(handler);
    std::int64_t value = 0;
    const Hresult hr =
        Served([&] { return SimHotspotDll::instance().service().subscribeNetworkChanges(*relay, &value); });
    if (hr < 0) return hr;
    std::lock_guard lock(m_Mutex);
    m_Relays[value] = std::move(relay);
    token->value = value;
    return rt::kS_OK;
  }
  Hresult TETHRA_WINRT_CALL remove_NetworkStatusChanged(rt::EventRegistrationToken token) override {
    // Once this returns the service calls the relay no more: it may go.
    Served([&] {
      SimHotspotDll::instance().service().unsubscribeNetworkChanges(token.value);
      return platform::kS_OK;
    });
    std::lock_guard lock(m_Mutex);
    m_Relays.erase(token.value);
    return rt::kS_OK;
  }

 private:
  ~Information() = default;
  std::mutex m_Mutex;
  std::map<std::int64_t, std::unique_ptr<Relay>> m_Relays;
};

// The profile the program names, as the program's selector would name it: by its adapter's id,
// or by its name where the adapter has none.
platform::ProfileSelector SelectorOf(rt::IConnectionProfile& profile) {
  platform::ProfileSelector selector;
  ComPtr<rt::INetworkAdapter> adapter;
  if (profile.get_NetworkAdapter(adapter.put()) >= 0 && adapter) adapter->get_NetworkAdapterId(&selector.adapterId);
  if (selector.adapterId.isZero()) {
    rt::Hstring name = nullptr;
    if (profile.get_ProfileName(&name) >= 0) selector.profileName = TextOf(name);
    using DeleteFn = HRESULT(WINAPI*)(rt::Hstring);
    static const DeleteFn remove = reinterpret_cast<DeleteFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"combase.dll"), "WindowsDeleteString")));
    if (name != nullptr && remove != nullptr) remove(name);
  }
  return selector;
}

class TetheringStatics final : public Factory, public ManagerStatics2, public ManagerStatics3, public ManagerStatics4 {
  SIM_WINRT_OBJECT(TetheringStatics, rt::kTetheringManagerClass)
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    SimHotspotDll& dll = SimHotspotDll::instance();
    if (iid == ManagerStatics4::kIid && !dll.hasTimeoutSetting()) {
      // A system before the setting has no such statics. The service counts the refusal as the
      // reading the program asked for, as on the simulated notebook.
      bool unused = false;
      Served([&] { return dll.service().noConnectionsTimeoutEnabled(&unused); });
      return Answer<ManagerStatics2, ManagerStatics3, Factory>(this, iid, out);
    }
    return Answer<ManagerStatics2, ManagerStatics3, ManagerStatics4, Factory>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL ActivateInstance(rt::IInspectable**) override { return rt::kE_NOTIMPL; }

  Hresult TETHRA_WINRT_CALL GetTetheringCapabilityFromConnectionProfile(rt::IConnectionProfile*,
                                                                        std::int32_t*) override {
    return rt::kE_NOTIMPL;
  }
  // Wi-Fi as the private side: the service's managers are all of that kind.
  Hresult TETHRA_WINRT_CALL CreateFromConnectionProfile(rt::IConnectionProfile* profile,
                                                        rt::INetworkOperatorTetheringManager** manager) override {
    return create("profile", profile, manager);
  }
  // `adapter` as the private side. Served as before; the program no longer calls it, and the
  // log line tells if it does.
  Hresult TETHRA_WINRT_CALL CreateFromConnectionProfileWithTargetAdapter(
      rt::IConnectionProfile* profile, rt::INetworkAdapter*, rt::INetworkOperatorTetheringManager** manager) override {
    return create("profile, adapter", profile, manager);
  }

  // The NoConnections timeout: the service's setting. The synchronous changes the program never
  // calls (they would block its thread).
  Hresult TETHRA_WINRT_CALL IsNoConnectionsTimeoutEnabled(std::uint8_t* result) override {
    if (result == nullptr) return rt::kE_POINTER;
    bool enabled = false;
    const Hresult hr = Served([&] { return SimHotspotDll::instance().service().noConnectionsTimeoutEnabled(&enabled); });
    if (hr >= 0) *result = enabled ? 1 : 0;
    return hr;
  }
  Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeout() override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeoutAsync(rt::IAsyncAction** operation) override {
    return setTimeout(true, operation);
  }
  Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeout() override { return rt::kE_NOTIMPL; }
  Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeoutAsync(rt::IAsyncAction** operation) override {
    return setTimeout(false, operation);
  }

 private:
  ~TetheringStatics() = default;

  Hresult setTimeout(bool enabled, rt::IAsyncAction** operation) {
    return BeginOperation<Action>(operation, [&](auto done, auto* handle) {
      return SimHotspotDll::instance().service().setNoConnectionsTimeout(enabled, std::move(done), handle);
    });
  }

  Hresult create(const char* arguments, rt::IConnectionProfile* profile, rt::INetworkOperatorTetheringManager** manager) {
    if (profile == nullptr || manager == nullptr) return rt::kE_POINTER;
    *manager = nullptr;
    SimHotspotDll& dll = SimHotspotDll::instance();
    dll.write(std::string("runtime CreateFromConnectionProfile(") + arguments + ")");
    const platform::ProfileSelector selector = SelectorOf(*profile);
    std::unique_ptr<platform::ITetheringManager> made;
    if (const Hresult hr = Served([&] { return dll.service().createManager(selector, &made); }); hr < 0) return hr;
    if (!made) return rt::kE_UNEXPECTED;
    auto* face = new (std::nothrow) Manager(std::move(made));
    if (face == nullptr) return rt::kE_OUTOFMEMORY;
    *manager = static_cast<ManagerFace*>(face);
    return rt::kS_OK;
  }
};

// The factory of a configuration class: each activation a new, empty configuration, handed out
// as its face.
template <typename Made, typename Face, const char16_t* RuntimeName>
class ConfigurationFactory final : public Factory {
  SIM_WINRT_OBJECT(ConfigurationFactory, RuntimeName)
  Hresult TETHRA_WINRT_CALL QueryInterface(const rt::Guid& iid, void** out) override {
    return Answer<Factory>(this, iid, out);
  }
  Hresult TETHRA_WINRT_CALL ActivateInstance(rt::IInspectable** instance) override {
    if (instance == nullptr) return rt::kE_POINTER;
    auto* made = new (std::nothrow) Made();
    *instance = static_cast<Face*>(made);
    return made != nullptr ? rt::kS_OK : rt::kE_OUTOFMEMORY;
  }

 private:
  ~ConfigurationFactory() = default;
};

}  // namespace

extern "C" HRESULT WINAPI DllGetActivationFactory(rt::Hstring classId, rt::IActivationFactory** factory) {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  const std::u16string name = TextOf(classId);
  SimHotspotDll& dll = SimHotspotDll::instance();
  rt::IActivationFactory* made = nullptr;
  if (name == rt::kNetworkInformationClass) {
    made = static_cast<Factory*>(new (std::nothrow) Information());
  } else if (name == rt::kTetheringManagerClass) {
    made = static_cast<Factory*>(new (std::nothrow) TetheringStatics());
  } else if (name == rt::kAccessPointConfigurationClass) {
    made = new (std::nothrow)
        ConfigurationFactory<Configuration, ConfigurationFace, rt::kAccessPointConfigurationClass>();
  } else if (name == rt::kSessionAccessPointConfigurationClass && dll.sessionStartOffered()) {
    made = new (std::nothrow) ConfigurationFactory<SessionConfiguration, SessionConfigurationFace,
                                                   rt::kSessionAccessPointConfigurationClass>();
  } else {
    dll.write("runtime DllGetActivationFactory(" + Narrow(name) + ") -> not served");
    return rt::kCLASS_E_CLASSNOTAVAILABLE;
  }
  dll.write("runtime DllGetActivationFactory(" + Narrow(name) + ")");
  if (made == nullptr) return E_OUTOFMEMORY;
  *factory = made;
  return S_OK;
}

// The service lives as long as the process: the library is never unloaded.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
