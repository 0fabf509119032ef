// How the connection manager class, which the program asks for as a local server, reaches the
// simulated sharing service inside the program's own process: simsharing-server.exe registers
// the class as its local server and hands out a class object that marshals by a custom
// unmarshaler (kClsidLocalActivation, in simsharing.dll). Unmarshalling in the client makes no
// proxy: it returns simsharing.dll's in-process factory of the class, so the connection
// manager's objects share the one service state (and log) of the sharing manager in that
// process, and no interface of the class needs a proxy/stub.
//
// Header only: the identifiers both sides agree on. Owner of nothing.
#pragma once

#include <objbase.h>
#include <windows.h>

namespace tethra::tools {

// The custom unmarshaler's class, registered as an in-process server of simsharing.dll.
inline constexpr GUID kClsidLocalActivation = {
    0x5A1E0006, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC3}};
// The marshalled data: this marker alone (the class object carries no state of its own).
inline constexpr DWORD kLocalActivationMarker = 0x5A1EC0DE;
// Signalled by the unmarshaler each time a client took the class object: the local server
// may end once a client has it.
inline constexpr wchar_t kLocalActivationServedEvent[] = L"Local\\TethraSimSharingConnectionManagerServed";

// A process-lifetime object that is both a class object and the IMarshal that carries it: the
// server's class object and the client's unmarshaler are each one of these.
class StaticMarshallingFactory : public IClassFactory, public IMarshal {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
    } else if (iid == IID_IMarshal) {
      *out = static_cast<IMarshal*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace tethra::tools
