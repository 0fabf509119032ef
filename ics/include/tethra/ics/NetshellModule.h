// The network-shell module: loads "netshell.dll" at run time and keeps its handle and its
// NcFreeNetconProperties in the one process-wide record g_NsMod, and makes private deep copies
// of connection-properties records.
//
// Owner: g_NsMod owns the library from NSModInit until NSModDeinit; a NetconPropertiesCopy owns
// its two strings (such a copy never goes to the library); UniqueNetconProperties gives a
// record the platform returned back through the library. Dialog's thread only; g_NsMod is not
// locked.
// Codes: NSModInit 0 or the HRESULT of the system error; NSModDuplicateNetconProperties 0 or
// E_OUTOFMEMORY.
#pragma once

#include <memory>

#include "tethra/platform/Handle.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Sharing.h"
#include "tethra/platform/Trace.h"

namespace tethra::ics {

struct NsModRecord {
  platform::NcFreeNetconPropertiesFn lpfnFreeNetConProperties = nullptr;
  platform::Hmodule hNetshModule = nullptr;
  platform::Bool32 bNSModInited = 0;
  // Where the library came from, kept so that it goes back to the same loader.
  platform::IModuleLoader* pLoader = nullptr;
};

extern NsModRecord g_NsMod;

// A private deep copy of a connection-properties record: `record` in the platform's layout,
// its two string fields pointing into the buffers below (null where the source had none).
// Moving keeps the buffers where they are, so the pointers stay good; copying is not allowed.
struct NetconPropertiesCopy {
  platform::NetconProperties record{};
  std::unique_ptr<char16_t[]> name;
  std::unique_ptr<char16_t[]> deviceName;
};

platform::HResult NSModInit(platform::IModuleLoader& loader, platform::IKernel& kernel, platform::ITrace& trace);
void NSModDeinit();
void NSModFreeNetconProperties(platform::NetconProperties* properties);
platform::HResult NSModDuplicateNetconProperties(const platform::NetconProperties& source,
                                                 NetconPropertiesCopy& destination);

struct NetconPropertiesCloser {
  void operator()(platform::NetconProperties* properties) const { NSModFreeNetconProperties(properties); }
};
// A record from INetConnection::GetProperties, owned until it goes back to the library.
using UniqueNetconProperties = platform::UniqueResource<platform::NetconProperties*, NetconPropertiesCloser>;

}  // namespace tethra::ics
