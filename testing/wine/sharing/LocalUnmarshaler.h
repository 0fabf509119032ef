// The client side of the connection manager's local activation (LocalActivation.h): the class
// object of kClsidLocalActivation, whose objects unmarshal the local server's class object into
// simsharing.dll's own in-process factory of the connection manager class.
//
// Owner: one static object for the DLL's life, counting no references. Threads: any.
// Codes: E_POINTER, E_NOINTERFACE, CLASS_E_NOAGGREGATION, STG_E_READFAULT for marshalled data
// that is not the server's marker, and the in-process factory's own codes.
#pragma once

#include <objbase.h>

namespace tethra::tools {

// DllGetClassObject for kClsidLocalActivation.
HRESULT LocalActivationClassObject(REFIID iid, void** out);

}  // namespace tethra::tools

extern "C" HRESULT STDAPICALLTYPE SimSharingGetClassObject(REFCLSID clsid, REFIID iid, void** out);
