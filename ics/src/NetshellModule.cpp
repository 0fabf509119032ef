// The network-shell module (g_NsMod). The library is loaded by name; the adapter behind the
// loader decides where the name is looked up. Dialog's thread only.
#include "tethra/ics/NetshellModule.h"

#include <cstring>
#include <new>

#include "tethra/platform/Trace.h"

namespace tethra::ics {

NsModRecord g_NsMod;

namespace {

constexpr char16_t kNetshellLibrary[] = u"netshell.dll";
constexpr char kFreeExport[] = "NcFreeNetconProperties";

// Not std::u16string: a copy that cannot be allocated is E_OUTOFMEMORY, never an exception.
platform::HResult DuplicateString(const char16_t* source, std::unique_ptr<char16_t[]>& destination) {
  destination.reset();
  if (source == nullptr) return platform::kS_OK;
  std::size_t length = 0;
  while (source[length] != 0) ++length;
  destination.reset(new (std::nothrow) char16_t[length + 1]);
  if (destination == nullptr) return platform::kE_OUTOFMEMORY;
  std::memcpy(destination.get(), source, (length + 1) * sizeof(char16_t));
  return platform::kS_OK;
}

}  // namespace

platform::HResult NSModInit(platform::IModuleLoader& loader, platform::IKernel& kernel, platform::ITrace& trace) {
  g_NsMod = NsModRecord{};
  platform::HResult hr = platform::kS_OK;
  g_NsMod.pLoader = &loader;
  g_NsMod.hNetshModule = loader.loadLibrary(kNetshellLibrary);
  if (g_NsMod.hNetshModule == nullptr) {
    hr = platform::HResultFromWin32(kernel.getLastError());
  } else {
    g_NsMod.bNSModInited = 1;
    g_NsMod.lpfnFreeNetConProperties = g_NsMod.pLoader->getNcFreeNetconProperties(g_NsMod.hNetshModule, kFreeExport);
    if (g_NsMod.lpfnFreeNetConProperties != nullptr) return platform::kS_OK;
    hr = platform::HResultFromWin32(kernel.getLastError());
  }
  platform::TraceLine(trace, "NSModInit Failed");
  NSModDeinit();
  g_NsMod = NsModRecord{};
  // A load that failed without a reason still has to read as a failure.
  return hr != platform::kS_OK ? hr : platform::kE_FAIL;
}

void NSModDeinit() {
  if (!g_NsMod.bNSModInited) return;
  g_NsMod.lpfnFreeNetConProperties = nullptr;
  g_NsMod.pLoader->freeLibrary(g_NsMod.hNetshModule);
  g_NsMod.hNetshModule = nullptr;
  g_NsMod.bNSModInited = 0;
  g_NsMod.pLoader = nullptr;
}

void NSModFreeNetconProperties(platform::NetconProperties* properties) {
  if (g_NsMod.lpfnFreeNetConProperties != nullptr && properties != nullptr) {
    g_NsMod.lpfnFreeNetConProperties(properties);
  }
}

platform::HResult NSModDuplicateNetconProperties(const platform::NetconProperties& source,
                                                 NetconPropertiesCopy& destination) {
  std::memcpy(&destination.record, &source, sizeof destination.record);
  destination.record.pszwName = nullptr;
  destination.record.pszwDeviceName = nullptr;
  platform::HResult hr = DuplicateString(source.pszwName, destination.name);
  destination.record.pszwName = destination.name.get();
  if (hr != platform::kS_OK) return hr;
  hr = DuplicateString(source.pszwDeviceName, destination.deviceName);
  destination.record.pszwDeviceName = destination.deviceName.get();
  return hr;
}

}  // namespace tethra::ics
