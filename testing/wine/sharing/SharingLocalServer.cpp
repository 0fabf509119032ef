// simsharing-server.exe: the local server of the connection manager class for the simulated
// sharing service (LocalActivation.h). COM starts it when a client asks for the class as a
// local server; it registers a class object that marshals by the custom unmarshaler of
// simsharing.dll, so the client ends up with the in-process factory of its own simulated
// service. The server ends once a client has taken the class object, or after 30 s unasked.
//
// Owner: main owns the event and the registration (RAII below). Threads: the main thread waits;
// COM's threads call the class object. Exit codes: 0 served, 1 nobody asked in time, 2 the class
// could not be registered. Log lines ("local server: ...") go to TETHRA_SIMSHARING_LOG.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "LocalActivation.h"
#include "tethra/wine/ServiceDll.h"
#include "tethra/wine/WinHandle.h"
#include "tethra/platform/Sharing.h"
#include "tethra/win32/Win32Common.h"

namespace {

using tethra::tools::kClsidLocalActivation;
using tethra::tools::kLocalActivationMarker;

const GUID kClsidConnectionManager = tethra::win32::ToGuid(tethra::platform::kCLSID_ConnectionManager);
constexpr DWORD kUnaskedMs = 30000;
constexpr DWORD kGraceMs = 500;  // the client's COM finishes with the reply before the server goes

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// The class object: never created here, only marshalled, always by the custom unmarshaler.
class ClassObject final : public tethra::tools::StaticMarshallingFactory {
 public:

  // Objects made here would need proxies the platform does not have for these interfaces.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = kClsidLocalActivation;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* size) override {
    if (size == nullptr) return E_POINTER;
    *size = sizeof kLocalActivationMarker;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MarshalInterface(IStream* stream, REFIID, void*, DWORD, void*, DWORD) override {
    if (stream == nullptr) return E_POINTER;
    return stream->Write(&kLocalActivationMarker, sizeof kLocalActivationMarker, nullptr);
  }
  HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream* stream) override {
    if (stream == nullptr) return E_POINTER;
    DWORD marker = 0;
    return stream->Read(&marker, sizeof marker, nullptr);
  }
  HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }
};

class ComApartment {
 public:
  ComApartment() : m_Hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(m_Hr)) ::CoUninitialize();
  }
  HRESULT status() const { return m_Hr; }

 private:
  HRESULT m_Hr;
};

class Registration {
 public:
  explicit Registration(IUnknown* object)
      : m_Hr(::CoRegisterClassObject(kClsidConnectionManager, object, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &m_Cookie)) {}
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  ~Registration() {
    if (SUCCEEDED(m_Hr)) ::CoRevokeClassObject(m_Cookie);
  }
  HRESULT status() const { return m_Hr; }

 private:
  DWORD m_Cookie = 0;
  HRESULT m_Hr;
};

ClassObject g_classObject;

}  // namespace

int wmain() {
  const tethra::tools::ServiceLog log(L"TETHRA_SIMSHARING_LOG", "simsharing-server: ");
  const tethra::tools::WinHandle served =
      tethra::tools::MakeEvent(false, tethra::tools::kLocalActivationServedEvent);  // made before the registration: no client can signal before it exists
  const ComApartment apartment;
  if (FAILED(apartment.status())) {
    log.write("local server: COM not initialised " + Hex(apartment.status()));
    return 2;
  }
  const Registration registration(static_cast<IClassFactory*>(&g_classObject));
  if (FAILED(registration.status())) {
    log.write("local server: connection manager class not registered " + Hex(registration.status()));
    return 2;
  }
  log.write("local server: connection manager class registered");
  if (served.get() == nullptr || ::WaitForSingleObject(served.get(), kUnaskedMs) != WAIT_OBJECT_0) {
    log.write("local server: no client took the class object");
    return 1;
  }
  log.write("local server: a client took the class object");
  ::Sleep(kGraceMs);
  return 0;
}
