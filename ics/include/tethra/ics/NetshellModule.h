// The network-shell module: loads "netshell.dll" at run time and keeps its handle and its
// NcFreeNetconProperties in the one process-wide record g_NsMod, and makes private deep copies
// of connection-properties records.
//
// Owner: g_NsMod owns the library from NSModInit until NSModDeinit; a copy made by
// NSModDuplicateNetconProperties owns its two strings (NSModFreeNetconPropertiesCopy frees
// them; such a copy never goes to the library). Dialog's thread only; g_NsMod is not locked.
// Codes: NSModInit 0 or the HRESULT of the system error; NSModDuplicateNetconProperties 0 or
// E_OUTOFMEMORY.
#pragma once

#include "tethra/platform/kernel.h"
#include "tethra/platform/sharing.h"
#include "tethra/platform/trace.h"

namespace tethra::ics {

struct NsModRecord {
  platform::NcFreeNetconPropertiesFn lpfnFreeNetConProperties = nullptr;
  platform::Hmodule hNetshModule = nullptr;
  platform::Bool32 bNSModInited = 0;
  // Where the library came from, kept so that it goes back to the same loader.
  platform::IModuleLoader* pLoader = nullptr;
};

extern NsModRecord g_NsMod;

platform::HResult NSModInit(platform::IModuleLoader& loader, platform::IKernel& kernel, platform::ITrace& trace);
void NSModDeinit();
void NSModFreeNetconProperties(platform::NetconProperties* properties);
platform::HResult NSModDuplicateNetconProperties(const platform::NetconProperties& source,
                                                 platform::NetconProperties& destination);
// Frees the two strings of a copy made by NSModDuplicateNetconProperties and clears them.
void NSModFreeNetconPropertiesCopy(platform::NetconProperties& copy);

}  // namespace tethra::ics
