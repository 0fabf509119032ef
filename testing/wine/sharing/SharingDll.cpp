// simsharing.dll: an in-process COM server for the platform's sharing manager class
// (NetSharingManager) and connection manager class (ConnectionManager; asked for as a local
// server, see LocalActivation.h), backed by the simulated sharing service of the notebook
// (SimSharingService, the code the Linux scenarios run). Each COM object here wraps one of the
// service's objects and holds exactly one reference on it, given back with the COM object's last
// Release; the service counts those references and the properties records it hands out, so the
// log can say at the end what the program left behind.
//
// Owner: one server per process, made at the first call of any export and never destroyed (the
// DLL pins itself: the service stands for a system service that outlives every client object).
// Records from the sharing manager's connections are the service's; the caller gives them back
// through netshell.dll's NcFreeNetconProperties, which calls SimSharingFreeNetconProperties here.
// Threads: any thread (ThreadingModel Both); one lock serialises every call into the service.
// Codes: the service's HRESULTs (S_OK, S_FALSE at an enumeration's end, E_INVALIDARG,
// 0x80070032 for a connection that cannot be shared), E_POINTER for a missing out-pointer,
// E_NOINTERFACE, CLASS_E_NOAGGREGATION, CLASS_E_CLASSNOTAVAILABLE, and E_NOTIMPL for the
// operations the program never calls (automation, port mappings, renames, Skip, Clone).
//
// The machine and the log are the server's (SharingServer.h).
#include <netcon.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "LocalActivation.h"
#include "LocalUnmarshaler.h"
#include "SharingServer.h"
#include "tethra/sim/ics/SimSharingService.h"
#include "tethra/wine/ServiceDll.h"
#include "tethra/win32/Win32Common.h"

namespace {

namespace platform = tethra::platform;
namespace sim = tethra::sim;

static_assert(sizeof(platform::NetconProperties) == sizeof(NETCON_PROPERTIES));
static_assert(offsetof(platform::NetconProperties, pszwName) == offsetof(NETCON_PROPERTIES, pszwName));
static_assert(offsetof(platform::NetconProperties, pszwDeviceName) == offsetof(NETCON_PROPERTIES, pszwDeviceName));
static_assert(offsetof(platform::NetconProperties, clsidUiObject) == offsetof(NETCON_PROPERTIES, clsidUiObject));

using tethra::win32::ToGuid;

// The identifiers MinGW's uuid library lacks, from the platform boundary's values.
const GUID kIidEnumEveryConnection = ToGuid(platform::kIID_IEnumNetSharingEveryConnection);
const GUID kIidNetConnectionManager = ToGuid(platform::kIID_INetConnectionManager);
const GUID kIidEnumNetConnection = {0xC08956A0, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
const GUID kClsidNetSharingManager = ToGuid(platform::kCLSID_NetSharingManager);
const GUID kClsidConnectionManager = ToGuid(platform::kCLSID_ConnectionManager);
// Answered only by this server's connections: how a connection handed back is recognised.
const GUID kIidOwnConnection = {0x5A1E0005, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC1}};

HRESULT Hr(platform::HResult hr) { return static_cast<HRESULT>(platform::Raw(hr)); }

using Server = tethra::tools::SharingServer;

// One reference on a service object, given back when the holder ends.
struct Releaser {
  void operator()(platform::IComObject* object) const { object->Release(); }
};
template <typename T>
using Held = std::unique_ptr<T, Releaser>;

// The automation half of the dual interfaces: the program binds early, so there is no type
// information to give.
template <typename Interface>
class NoAutomation : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

// Reference counting and QueryInterface for every object of the server. The creator's
// reference is the first; the object ends with its last Release. Callers hold the server lock.
template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  explicit ComObject(const char* kind) : m_Kind(kind) { Server::instance().objectMade(kind); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() { Server::instance().objectGone(m_Kind); }

  ULONG STDMETHODCALLTYPE AddRef() override {
    auto guard = Server::instance().enter();
    Server::instance().referenceTaken();
    return ++m_Refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    auto guard = Server::instance().enter();
    Server::instance().referenceGiven();
    const ULONG left = --m_Refs;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = find(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

 protected:
  virtual void* find(REFIID iid) = 0;

 private:
  const char* m_Kind;
  ULONG m_Refs = 1;
};

// The answer of a dual interface to QueryInterface: itself for IUnknown, IDispatch and its own
// identifier, else nothing.
template <typename Interface>
void* AsDual(Interface* self, REFIID iid, REFIID own) {
  return iid == IID_IUnknown || iid == IID_IDispatch || iid == own ? static_cast<void*>(self) : nullptr;
}

// --- Connections ------------------------------------------------------------------------------------

class Connection final : public ComObject<INetConnection> {
 public:
  // `taskMemory`: records go out in COM task memory, as the connection manager's do.
  Connection(Held<platform::INetConnection> inner, bool taskMemory)
      : ComObject("connection"), m_Inner(std::move(inner)), m_TaskMemory(taskMemory) {}
  platform::INetConnection* inner() const { return m_Inner.get(); }

  HRESULT STDMETHODCALLTYPE Connect() override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->Connect());
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->Disconnect());
  }
  HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Duplicate(LPCWSTR, INetConnection** copy) override {
    if (copy != nullptr) *copy = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetProperties(NETCON_PROPERTIES** properties) override {
    if (properties == nullptr) return E_POINTER;
    *properties = nullptr;
    auto guard = Server::instance().enter();
    platform::NetconProperties* record = nullptr;
    const HRESULT hr = Hr(m_Inner->GetProperties(&record));
    if (FAILED(hr) || record == nullptr) return FAILED(hr) ? hr : E_UNEXPECTED;
    if (!m_TaskMemory) {
      *properties = reinterpret_cast<NETCON_PROPERTIES*>(record);
      return hr;
    }
    // The caller frees field by field with CoTaskMemFree: a copy in task memory, and the
    // service's record goes back at once (its "free-properties" follows in the log).
    *properties = copyToTaskMemory(*record);
    Server::instance().service().freeProperties(record);
    return *properties != nullptr ? hr : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetUiObjectClassId(CLSID* clsid) override {
    if (clsid != nullptr) *clsid = GUID_NULL;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Rename(LPCWSTR) override { return E_NOTIMPL; }

 private:
  static wchar_t* copyText(const char16_t* text) {
    const std::size_t bytes = (std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t);
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (copy != nullptr) std::memcpy(copy, text, bytes);
    return copy;
  }
  static NETCON_PROPERTIES* copyToTaskMemory(const platform::NetconProperties& record) {
    auto* copy = static_cast<NETCON_PROPERTIES*>(::CoTaskMemAlloc(sizeof(NETCON_PROPERTIES)));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, &record, sizeof *copy);
    copy->pszwName = copyText(record.pszwName);
    copy->pszwDeviceName = copyText(record.pszwDeviceName);
    if (copy->pszwName == nullptr || copy->pszwDeviceName == nullptr) {
      ::CoTaskMemFree(copy->pszwName);
      ::CoTaskMemFree(copy->pszwDeviceName);
      ::CoTaskMemFree(copy);
      return nullptr;
    }
    return copy;
  }

  void* find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_INetConnection || iid == kIidOwnConnection) {
      return static_cast<INetConnection*>(this);
    }
    return nullptr;
  }

  Held<platform::INetConnection> m_Inner;
  bool m_TaskMemory;
};

// This server's connection behind `object`, or null for anyone else's. The reference the
// query took is given back at once: the caller's own reference keeps the object.
Connection* OwnConnection(IUnknown* object) {
  if (object == nullptr) return nullptr;
  void* found = nullptr;
  if (FAILED(object->QueryInterface(kIidOwnConnection, &found)) || found == nullptr) return nullptr;
  auto* connection = static_cast<Connection*>(static_cast<INetConnection*>(found));
  connection->Release();
  return connection;
}

// Wraps a connection the service handed out (its reference moves into the wrapper).
HRESULT WrapConnection(platform::INetConnection* inner, bool taskMemory, INetConnection** out) {
  Held<platform::INetConnection> held(inner);
  auto* connection = new (std::nothrow) Connection(std::move(held), taskMemory);
  if (connection == nullptr) return E_OUTOFMEMORY;
  *out = connection;
  return S_OK;
}

// Completes a call that asked the service for an object: after success (`hr`), the service's
// reference moves into a new Wrapper, handed to the caller as its first reference. A success
// without an object (a `fault ics OPERATION 0|1`) reaches the caller as it is, with no object.
// The call itself comes first, in a statement of its own: as an argument here its filling of
// `inner` would not be ordered before `inner` is read.
template <typename Wrapper, typename Inner, typename Out>
HRESULT HandOut(HRESULT hr, Inner* inner, Out** out) {
  if (FAILED(hr) || inner == nullptr) return hr;
  Held<Inner> held(inner);
  auto* made = new (std::nothrow) Wrapper(std::move(held));
  if (made == nullptr) return E_OUTOFMEMORY;
  *out = made;
  return hr;
}

// Up to `count` connections from a service enumerator, each wrapped and given to put(i, c);
// on a failure, clear(i) takes back those already given. S_FALSE when fewer were left.
template <typename Enumerator, typename Put, typename Clear>
HRESULT NextConnections(Enumerator& inner, ULONG count, bool taskMemory, ULONG* fetched, Put put, Clear clear) {
  ULONG got = 0;
  HRESULT hr = S_OK;
  while (got < count) {
    platform::INetConnection* next = nullptr;
    std::uint32_t one = 0;
    hr = Hr(inner.Next(1, &next, &one));
    if (hr != S_OK) break;
    if (next == nullptr) {  // an element reported but not given: the caller gets it so
      put(got++, nullptr);
      continue;
    }
    INetConnection* connection = nullptr;
    hr = WrapConnection(next, taskMemory, &connection);
    if (FAILED(hr)) break;
    put(got, connection);
    ++got;
  }
  if (FAILED(hr)) {
    for (ULONG i = 0; i < got; ++i) clear(i);
    return hr;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

// --- Sharing configuration ------------------------------------------------------------------

class Configuration final : public ComObject<NoAutomation<INetSharingConfiguration>> {
 public:
  explicit Configuration(Held<platform::INetSharingConfiguration> inner)
      : ComObject("sharing configuration"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE get_SharingEnabled(VARIANT_BOOL* enabled) override {
    if (enabled == nullptr) return E_POINTER;
    auto guard = Server::instance().enter();
    return Hr(m_Inner->get_SharingEnabled(enabled));
  }
  HRESULT STDMETHODCALLTYPE get_SharingConnectionType(SHARINGCONNECTIONTYPE* type) override {
    if (type == nullptr) return E_POINTER;
    auto guard = Server::instance().enter();
    std::int32_t value = 0;
    const HRESULT hr = Hr(m_Inner->get_SharingConnectionType(&value));
    if (SUCCEEDED(hr)) *type = static_cast<SHARINGCONNECTIONTYPE>(value);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE DisableSharing() override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->DisableSharing());
  }
  HRESULT STDMETHODCALLTYPE EnableSharing(SHARINGCONNECTIONTYPE type) override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->EnableSharing(static_cast<std::int32_t>(type)));
  }
  HRESULT STDMETHODCALLTYPE get_InternetFirewallEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DisableInternetFirewall() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnableInternetFirewall() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_EnumPortMappings(SHARINGCONNECTION_ENUM_FLAGS,
                                                 INetSharingPortMappingCollection** collection) override {
    if (collection != nullptr) *collection = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddPortMapping(BSTR, UCHAR, USHORT, USHORT, DWORD, BSTR, ICS_TARGETTYPE,
                                           INetSharingPortMapping** mapping) override {
    if (mapping != nullptr) *mapping = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemovePortMapping(INetSharingPortMapping*) override { return E_NOTIMPL; }

 private:
  void* find(REFIID iid) override { return AsDual<INetSharingConfiguration>(this, iid, IID_INetSharingConfiguration); }

  Held<platform::INetSharingConfiguration> m_Inner;
};

// --- Every-connection enumeration ----------------------------------------------------------------

// Both the automation enumerator and the sharing-specific one: the same vtable shape, so one
// Next serves both. Elements are VT_UNKNOWN connections; the caller clears each VARIANT.
class EveryConnectionEnum final : public ComObject<IEnumVARIANT, IEnumNetSharingEveryConnection> {
 public:
  explicit EveryConnectionEnum(Held<platform::IEnumNetSharingEveryConnection> inner)
      : ComObject("every-connection enumerator"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* elements, ULONG* fetched) override {
    if (elements == nullptr || (fetched == nullptr && count != 1)) return E_POINTER;
    if (fetched != nullptr) *fetched = 0;
    auto guard = Server::instance().enter();
    return NextConnections(
        *m_Inner, count, false, fetched,
        [elements](ULONG i, INetConnection* connection) {
          ::VariantInit(&elements[i]);
          V_VT(&elements[i]) = VT_UNKNOWN;
          V_UNKNOWN(&elements[i]) = connection;
        },
        [elements](ULONG i) { ::VariantClear(&elements[i]); });
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->Reset());
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
    if (copy != nullptr) *copy = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumNetSharingEveryConnection** copy) override {
    if (copy != nullptr) *copy = nullptr;
    return E_NOTIMPL;
  }

 private:
  void* find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) return static_cast<IEnumVARIANT*>(this);
    if (iid == kIidEnumEveryConnection) return static_cast<IEnumNetSharingEveryConnection*>(this);
    return nullptr;
  }

  Held<platform::IEnumNetSharingEveryConnection> m_Inner;
};

class EveryConnectionCollection final : public ComObject<NoAutomation<INetSharingEveryConnectionCollection>> {
 public:
  explicit EveryConnectionCollection(Held<platform::INetSharingEveryConnectionCollection> inner)
      : ComObject("every-connection collection"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) override {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    auto guard = Server::instance().enter();
    platform::IEnumNetSharingEveryConnection* inner = nullptr;
    IEnumVARIANT* made = nullptr;  // the enumerator's IUnknown is its IEnumVARIANT side
    HRESULT hr = Hr(m_Inner->get__NewEnum(&inner));
    hr = HandOut<EveryConnectionEnum>(hr, inner, &made);
    *enumerator = made;
    return hr;
  }
  // The service keeps no count apart from its enumeration; the program never asks.
  HRESULT STDMETHODCALLTYPE get_Count(__LONG32*) override { return E_NOTIMPL; }

 private:
  void* find(REFIID iid) override {
    return AsDual<INetSharingEveryConnectionCollection>(this, iid, IID_INetSharingEveryConnectionCollection);
  }

  Held<platform::INetSharingEveryConnectionCollection> m_Inner;
};

// --- Sharing manager -----------------------------------------------------------------------------------

class SharingManager final : public ComObject<NoAutomation<INetSharingManager>> {
 public:
  explicit SharingManager(Held<platform::INetSharingManager> inner)
      : ComObject("sharing manager"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE get_SharingInstalled(VARIANT_BOOL* installed) override {
    if (installed == nullptr) return E_POINTER;
    auto guard = Server::instance().enter();
    return Hr(m_Inner->get_SharingInstalled(installed));
  }
  HRESULT STDMETHODCALLTYPE get_EnumPublicConnections(SHARINGCONNECTION_ENUM_FLAGS,
                                                      INetSharingPublicConnectionCollection** collection) override {
    if (collection != nullptr) *collection = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_EnumPrivateConnections(SHARINGCONNECTION_ENUM_FLAGS,
                                                       INetSharingPrivateConnectionCollection** collection) override {
    if (collection != nullptr) *collection = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_INetSharingConfigurationForINetConnection(
      INetConnection* connection, INetSharingConfiguration** configuration) override {
    if (configuration == nullptr) return E_POINTER;
    *configuration = nullptr;
    auto guard = Server::instance().enter();
    // A foreign connection reaches the service as none: it records the misuse and refuses.
    const Connection* own = OwnConnection(connection);
    platform::INetSharingConfiguration* inner = nullptr;
    const HRESULT hr =
        Hr(m_Inner->get_INetSharingConfigurationForINetConnection(own != nullptr ? own->inner() : nullptr, &inner));
    return HandOut<Configuration>(hr, inner, configuration);
  }
  HRESULT STDMETHODCALLTYPE get_EnumEveryConnection(INetSharingEveryConnectionCollection** collection) override {
    if (collection == nullptr) return E_POINTER;
    *collection = nullptr;
    auto guard = Server::instance().enter();
    platform::INetSharingEveryConnectionCollection* inner = nullptr;
    const HRESULT hr = Hr(m_Inner->get_EnumEveryConnection(&inner));
    return HandOut<EveryConnectionCollection>(hr, inner, collection);
  }
  HRESULT STDMETHODCALLTYPE get_NetConnectionProps(INetConnection*, INetConnectionProps** properties) override {
    if (properties != nullptr) *properties = nullptr;
    return E_NOTIMPL;
  }

 private:
  void* find(REFIID iid) override { return AsDual<INetSharingManager>(this, iid, IID_INetSharingManager); }

  Held<platform::INetSharingManager> m_Inner;
};

// --- Connection manager --------------------------------------------------------------------------------

class NetConnectionEnum final : public ComObject<IEnumNetConnection> {
 public:
  explicit NetConnectionEnum(Held<platform::IEnumNetConnection> inner)
      : ComObject("connection enumerator"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, INetConnection** elements, ULONG* fetched) override {
    if (elements == nullptr || (fetched == nullptr && count != 1)) return E_POINTER;
    if (fetched != nullptr) *fetched = 0;
    auto guard = Server::instance().enter();
    return NextConnections(
        *m_Inner, count, true, fetched, [elements](ULONG i, INetConnection* connection) { elements[i] = connection; },
        [elements](ULONG i) {
          if (elements[i] != nullptr) elements[i]->Release();
          elements[i] = nullptr;
        });
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override {
    auto guard = Server::instance().enter();
    return Hr(m_Inner->Reset());
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumNetConnection** copy) override {
    if (copy != nullptr) *copy = nullptr;
    return E_NOTIMPL;
  }

 private:
  void* find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == kIidEnumNetConnection) return static_cast<IEnumNetConnection*>(this);
    return nullptr;
  }

  Held<platform::IEnumNetConnection> m_Inner;
};

class ConnectionManager final : public ComObject<INetConnectionManager> {
 public:
  explicit ConnectionManager(Held<platform::INetConnectionManager> inner)
      : ComObject("connection manager"), m_Inner(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE EnumConnections(NETCONMGR_ENUM_FLAGS flags, IEnumNetConnection** enumerator) override {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    auto guard = Server::instance().enter();
    platform::IEnumNetConnection* inner = nullptr;
    const HRESULT hr = Hr(m_Inner->EnumConnections(static_cast<std::int32_t>(flags), &inner));
    return HandOut<NetConnectionEnum>(hr, inner, enumerator);
  }

 private:
  void* find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == kIidNetConnectionManager) return static_cast<INetConnectionManager*>(this);
    return nullptr;
  }

  Held<platform::INetConnectionManager> m_Inner;
};

// --- Class factories ---------------------------------------------------------------------------------

// One static factory per class; it lives as long as the DLL and counts no references. The
// service checks the class context it is given; the factory passes the one the program asks
// for: the connection manager is asked for as a local server, and reaches this factory through
// simsharing-server.exe's custom-marshalled class object (LocalActivation.h).
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(bool sharingManager) : m_SharingManager(sharingManager) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = (iid == IID_IUnknown || iid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Server& server = Server::instance();
    auto guard = server.enter();
    IUnknown* made = nullptr;
    HRESULT hr = S_OK;
    if (m_SharingManager) {
      platform::INetSharingManager* inner = nullptr;
      hr = Hr(server.service().createNetSharingManager(platform::kCLSID_NetSharingManager, platform::kCLSCTX_ALL,
                                                       &inner));
      hr = HandOut<SharingManager>(hr, inner, &made);
    } else {
      platform::INetConnectionManager* inner = nullptr;
      hr = Hr(server.service().createNetConnectionManager(platform::kCLSID_ConnectionManager,
                                                          platform::kCLSCTX_LOCAL_SERVER_NO_CODE_DOWNLOAD, &inner));
      hr = HandOut<ConnectionManager>(hr, inner, &made);
    }
    if (made == nullptr) return hr;  // a failure, or a success without an object as the service gave it
    // The creator's reference is given up after the query: a wrong interface ends the object.
    hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    auto guard = Server::instance().enter();
    Server::instance().lockServer(lock != FALSE);
    return S_OK;
  }

 private:
  bool m_SharingManager;
};

ClassFactory g_sharingManagerFactory(true);
ClassFactory g_connectionManagerFactory(false);

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE SimSharingGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == tethra::tools::kClsidLocalActivation) return tethra::tools::LocalActivationClassObject(iid, out);
  ClassFactory* factory = clsid == kClsidNetSharingManager   ? &g_sharingManagerFactory
                          : clsid == kClsidConnectionManager ? &g_connectionManagerFactory
                                                             : nullptr;
  if (factory == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  Server::instance();  // the service starts with the first request, as the header says
  return factory->QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE SimSharingCanUnloadNow() {
  Server* server = Server::IfMade();
  if (server == nullptr) return S_OK;
  auto guard = server->enter();
  return server->idle() ? S_OK : S_FALSE;
}

// NcFreeNetconProperties of the stand-in netshell.dll lands here: the service frees the record
// and its two texts and counts it (a record it never handed out is counted as a misuse).
void WINAPI SimSharingFreeNetconProperties(NETCON_PROPERTIES* properties) {
  if (properties == nullptr) return;
  Server& server = Server::instance();
  auto guard = server.enter();
  server.service().freeProperties(reinterpret_cast<platform::NetconProperties*>(properties));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    if (Server* server = Server::IfMade()) server->writeEnd();
  }
  return TRUE;
}

}  // extern "C"
