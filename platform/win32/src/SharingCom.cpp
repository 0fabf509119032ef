// ISharing on the platform's sharing manager and connection manager COM classes. Each boundary
// object wraps one COM interface pointer and holds one reference on it in a ComPtr, given up
// with the boundary object's own last Release; every other COM pointer here is a ComPtr too,
// so no path leaves a reference behind. Enumerations unwrap their VARIANT elements and ask for
// INetConnection. The
// dialog's thread calls it (COM initialised there). Codes: the HRESULTs of the COM calls,
// E_POINTER for a missing out-pointer, E_INVALIDARG for a connection this adapter did not make.
#include <netcon.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <new>
#include <utility>

#include "tethra/win32/Adapters.h"
#include "tethra/platform/ComPtr.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

TETHRA_WIN32_SAME_LAYOUT(platform::NetconProperties, NETCON_PROPERTIES, guidId, pszwName, pszwDeviceName, Status,
                         MediaType, dwCharacter, clsidThisObject, clsidUiObject);
static_assert(sizeof(VARIANT_BOOL) == sizeof(platform::VariantBool) && VARIANT_TRUE == platform::kVARIANT_TRUE);
static_assert(ICSSHARINGTYPE_PUBLIC == platform::kICSSHARINGTYPE_PUBLIC &&
              ICSSHARINGTYPE_PRIVATE == platform::kICSSHARINGTYPE_PRIVATE);

// The interface identifiers, from the boundary's values (no import library needed).
const GUID kIidNetSharingManager = ToGuid(platform::kIID_INetSharingManager);
const GUID kIidNetConnectionManager = ToGuid(platform::kIID_INetConnectionManager);
const GUID kIidEnumEveryConnection = ToGuid(platform::kIID_IEnumNetSharingEveryConnection);
const GUID kIidNetConnection = ToGuid(platform::kIID_INetConnection);

template <typename T>
using ComPtr = platform::ComPtr<T>;

// One boundary object around one COM pointer (Com's reference is this object's).
template <typename Boundary, typename Com>
class Wrapped : public Boundary {
 public:
  explicit Wrapped(ComPtr<Com>&& com) : m_Com(std::move(com)) {}
  Wrapped(const Wrapped&) = delete;
  Wrapped& operator=(const Wrapped&) = delete;
  virtual ~Wrapped() = default;
  std::uint32_t AddRef() override { return ++m_Count; }
  std::uint32_t Release() override {
    const std::uint32_t left = --m_Count;
    if (left == 0) delete this;
    return left;
  }
  Com* com() const { return m_Com.get(); }

 protected:
  ComPtr<Com> m_Com;

 private:
  std::uint32_t m_Count = 1;
};

// Hands a new COM reference out as a boundary object. When no wrapper can be made the
// reference stays in `com`, whose owner gives it back.
template <typename Wrapper, typename Boundary, typename Com>
HRESULT HandOut(HRESULT hr, ComPtr<Com>& com, Boundary** out) {
  *out = nullptr;
  if (FAILED(hr) || !com) return hr;
  auto* wrapper = new (std::nothrow) Wrapper(std::move(com));
  if (wrapper == nullptr) return E_OUTOFMEMORY;
  *out = wrapper;
  return hr;
}

class Connection final : public Wrapped<platform::INetConnection, ::INetConnection> {
 public:
  using Wrapped::Wrapped;
  platform::HResult GetProperties(platform::NetconProperties** properties) override {
    if (properties == nullptr) return ToHResult(E_POINTER);
    return ToHResult(m_Com->GetProperties(reinterpret_cast<NETCON_PROPERTIES**>(properties)));
  }
  platform::HResult Disconnect() override { return ToHResult(m_Com->Disconnect()); }
  platform::HResult Connect() override { return ToHResult(m_Com->Connect()); }
};

// The element of a sharing enumeration: a VARIANT holding the connection object.
HRESULT ConnectionFromVariant(VARIANT& element, platform::INetConnection** out) {
  IUnknown* object = V_VT(&element) == VT_UNKNOWN    ? V_UNKNOWN(&element)
                     : V_VT(&element) == VT_DISPATCH ? V_DISPATCH(&element)
                                                     : nullptr;
  if (object == nullptr) return E_NOINTERFACE;
  ComPtr<::INetConnection> connection;
  const HRESULT hr = object->QueryInterface(kIidNetConnection, reinterpret_cast<void**>(connection.put()));
  return HandOut<Connection>(hr, connection, out);
}

class Configuration final : public Wrapped<platform::INetSharingConfiguration, ::INetSharingConfiguration> {
 public:
  using Wrapped::Wrapped;
  platform::HResult get_SharingEnabled(platform::VariantBool* enabled) override {
    if (enabled == nullptr) return ToHResult(E_POINTER);
    return ToHResult(m_Com->get_SharingEnabled(enabled));
  }
  platform::HResult get_SharingConnectionType(std::int32_t* type) override {
    if (type == nullptr) return ToHResult(E_POINTER);
    SHARINGCONNECTIONTYPE value = ICSSHARINGTYPE_PUBLIC;
    const HRESULT hr = m_Com->get_SharingConnectionType(&value);
    if (SUCCEEDED(hr)) *type = static_cast<std::int32_t>(value);
    return ToHResult(hr);
  }
  platform::HResult DisableSharing() override { return ToHResult(m_Com->DisableSharing()); }
  platform::HResult EnableSharing(std::int32_t type) override {
    return ToHResult(m_Com->EnableSharing(static_cast<SHARINGCONNECTIONTYPE>(type)));
  }
};

// What an enumeration's Next yields, and how it becomes the program's connection: a sharing
// enumeration gives VARIANTs holding the connection object, the connection manager's gives the
// connection itself. Each element gives back what it holds when it goes, keeping the thread's
// last error.
struct VariantElement {
  VARIANT value;
  VariantElement() { ::VariantInit(&value); }
  VariantElement(const VariantElement&) = delete;
  VariantElement& operator=(const VariantElement&) = delete;
  ~VariantElement() {
    const DWORD saved = ::GetLastError();
    ::VariantClear(&value);
    ::SetLastError(saved);
  }
  VARIANT* slot() { return &value; }
  HRESULT handOut(platform::INetConnection** out) { return ConnectionFromVariant(value, out); }
};

struct ConnectionElement {
  ComPtr<::INetConnection> value;
  ::INetConnection** slot() { return value.put(); }
  HRESULT handOut(platform::INetConnection** out) { return HandOut<Connection>(S_OK, value, out); }
};

// An enumeration of connections, one per Next (all the program asks for).
template <typename Boundary, typename Com, typename Element>
class ConnectionEnum final : public Wrapped<Boundary, Com> {
 public:
  using Wrapped<Boundary, Com>::Wrapped;
  platform::HResult Next(std::uint32_t count, platform::INetConnection** connection, std::uint32_t* fetched) override {
    if (connection == nullptr) return ToHResult(E_POINTER);
    *connection = nullptr;
    if (fetched != nullptr) *fetched = 0;
    if (count != 1) return ToHResult(E_INVALIDARG);
    Element element;
    ULONG got = 0;
    HRESULT hr = this->m_Com->Next(1, element.slot(), &got);
    if (hr == S_OK) {
      hr = element.handOut(connection);
      if (SUCCEEDED(hr) && fetched != nullptr) *fetched = 1;
    }
    return ToHResult(hr);
  }
  platform::HResult Reset() override { return ToHResult(this->m_Com->Reset()); }
};

using EveryConnectionEnum =
    ConnectionEnum<platform::IEnumNetSharingEveryConnection, ::IEnumNetSharingEveryConnection, VariantElement>;
using NetConnectionEnum = ConnectionEnum<platform::IEnumNetConnection, ::IEnumNetConnection, ConnectionElement>;

class EveryConnectionCollection final
    : public Wrapped<platform::INetSharingEveryConnectionCollection, ::INetSharingEveryConnectionCollection> {
 public:
  using Wrapped::Wrapped;
  platform::HResult get__NewEnum(platform::IEnumNetSharingEveryConnection** enumerator) override {
    if (enumerator == nullptr) return ToHResult(E_POINTER);
    *enumerator = nullptr;
    ComPtr<IUnknown> object;
    HRESULT hr = m_Com->get__NewEnum(object.put());
    if (FAILED(hr) || !object) return ToHResult(FAILED(hr) ? hr : E_UNEXPECTED);
    ComPtr<::IEnumNetSharingEveryConnection> typed;
    hr = object->QueryInterface(kIidEnumEveryConnection, reinterpret_cast<void**>(typed.put()));
    return ToHResult(HandOut<EveryConnectionEnum>(hr, typed, enumerator));
  }
};

class SharingManager final : public Wrapped<platform::INetSharingManager, ::INetSharingManager> {
 public:
  using Wrapped::Wrapped;
  platform::HResult get_SharingInstalled(platform::VariantBool* installed) override {
    if (installed == nullptr) return ToHResult(E_POINTER);
    return ToHResult(m_Com->get_SharingInstalled(installed));
  }
  platform::HResult get_EnumEveryConnection(platform::INetSharingEveryConnectionCollection** connections) override {
    if (connections == nullptr) return ToHResult(E_POINTER);
    ComPtr<::INetSharingEveryConnectionCollection> collection;
    const HRESULT hr = m_Com->get_EnumEveryConnection(collection.put());
    return ToHResult(HandOut<EveryConnectionCollection>(hr, collection, connections));
  }
  platform::HResult get_INetSharingConfigurationForINetConnection(
      platform::INetConnection* connection, platform::INetSharingConfiguration** configuration) override {
    if (configuration == nullptr) return ToHResult(E_POINTER);
    *configuration = nullptr;
    const auto* ours = dynamic_cast<const Connection*>(connection);
    if (ours == nullptr) return ToHResult(E_INVALIDARG);
    ComPtr<::INetSharingConfiguration> config;
    const HRESULT hr = m_Com->get_INetSharingConfigurationForINetConnection(ours->com(), config.put());
    return ToHResult(HandOut<Configuration>(hr, config, configuration));
  }
};

class ConnectionManager final : public Wrapped<platform::INetConnectionManager, ::INetConnectionManager> {
 public:
  using Wrapped::Wrapped;
  platform::HResult EnumConnections(std::int32_t flags, platform::IEnumNetConnection** enumerator) override {
    if (enumerator == nullptr) return ToHResult(E_POINTER);
    ComPtr<::IEnumNetConnection> items;
    const HRESULT hr = m_Com->EnumConnections(static_cast<NETCONMGR_ENUM_FLAGS>(flags), items.put());
    return ToHResult(HandOut<NetConnectionEnum>(hr, items, enumerator));
  }
};

class Sharing final : public platform::ISharing {
 public:
  platform::HResult createNetSharingManager(const platform::Guid& clsid, platform::Dword clsContext,
                                            platform::INetSharingManager** manager) override {
    return create<SharingManager, ::INetSharingManager>(clsid, clsContext, kIidNetSharingManager, manager);
  }
  platform::HResult createNetConnectionManager(const platform::Guid& clsid, platform::Dword clsContext,
                                               platform::INetConnectionManager** manager) override {
    return create<ConnectionManager, ::INetConnectionManager>(clsid, clsContext, kIidNetConnectionManager, manager);
  }
  void coTaskMemFree(void* memory) override { ::CoTaskMemFree(memory); }
  platform::HResult stringFromClsid(const platform::Guid& clsid, char16_t** text) override {
    if (text == nullptr) return ToHResult(E_POINTER);
    LPOLESTR value = nullptr;
    const HRESULT hr = ::StringFromCLSID(ToGuid(clsid), &value);
    *text = SUCCEEDED(hr) ? reinterpret_cast<char16_t*>(value) : nullptr;
    return ToHResult(hr);
  }
  void outputDebugString(const char16_t* text) override { ::OutputDebugStringW(W(text)); }

 private:
  // A new object of the class, asked for as `iid`, handed out wrapped.
  template <typename Wrapper, typename Com, typename Boundary>
  static platform::HResult create(const platform::Guid& clsid, platform::Dword clsContext, const GUID& iid,
                                  Boundary** out) {
    if (out == nullptr) return ToHResult(E_POINTER);
    ComPtr<Com> com;
    const HRESULT hr = ::CoCreateInstance(ToGuid(clsid), nullptr, clsContext, iid, reinterpret_cast<void**>(com.put()));
    return ToHResult(HandOut<Wrapper>(hr, com, out));
  }
};

}  // namespace

std::unique_ptr<platform::ISharing> CreateSharing() { return std::make_unique<Sharing>(); }

}  // namespace tethra::win32
