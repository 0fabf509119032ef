// The custom unmarshaler of the connection manager's local activation.
#include "LocalUnmarshaler.h"

#include "LocalActivation.h"
#include "tethra/platform/Sharing.h"
#include "tethra/win32/Win32Common.h"
#include "tethra/wine/WinHandle.h"

namespace tethra::tools {

namespace {

const GUID kClsidConnectionManager = tethra::win32::ToGuid(tethra::platform::kCLSID_ConnectionManager);

// Both the class object (COM asks it for an IMarshal) and that IMarshal: one static object.
class Unmarshaler final : public tethra::tools::StaticMarshallingFactory {
 public:

  // --- IClassFactory ---------------------------------------------------------------------------
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  // --- IMarshal: only the unmarshalling side is ever asked here --------------------------------
  HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
  // The server's class object arrives: the caller gets the in-process factory instead, and the
  // server learns that a client has it.
  HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream* stream, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT read = readMarker(stream);
    if (FAILED(read)) return read;
    const HRESULT hr = SimSharingGetClassObject(kClsidConnectionManager, iid, out);
    if (SUCCEEDED(hr)) {
      if (const WinHandle served = OwnHandle(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kLocalActivationServedEvent))) {
        ::SetEvent(served.get());
      }
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream* stream) override { return readMarker(stream); }
  HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }

 private:
  static HRESULT readMarker(IStream* stream) {
    if (stream == nullptr) return E_POINTER;
    DWORD marker = 0;
    ULONG read = 0;
    const HRESULT hr = stream->Read(&marker, sizeof marker, &read);
    if (FAILED(hr)) return hr;
    return read == sizeof marker && marker == kLocalActivationMarker ? S_OK : STG_E_READFAULT;
  }
};

Unmarshaler g_unmarshaler;

}  // namespace

HRESULT LocalActivationClassObject(REFIID iid, void** out) { return g_unmarshaler.QueryInterface(iid, out); }

}  // namespace tethra::tools
