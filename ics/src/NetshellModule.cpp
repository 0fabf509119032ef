// The network-shell module (g_NsMod). The library is loaded by name; the adapter behind the
// loader decides where the name is looked up. Dialog's thread only.
#include "tethra/ics/NetshellModule.h"

#include <cstring>
#include <new>
#include <utility>

#include "tethra/platform/trace.h"

namespace tethra::ics {

NsModRecord g_NsMod;

namespace {

constexpr char16_t kNetshellLibrary[] = u"netshell.dll";
constexpr char kFreeExport[] = "NcFreeNetconProperties";

platform::HResult DuplicateString(const char16_t* source, char16_t*& destination) {
  destination = nullptr;
  if (source == nullptr) return platform::kS_OK;
  std::size_t length = 0;
  while (source[length] != 0) ++length;
  auto* copy = new (std::nothrow) char16_t[length + 1];
  if (copy == nullptr) return platform::kE_OUTOFMEMORY;
  std::memcpy(copy, source, (length + 1) * sizeof(char16_t));
  destination = copy;
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
                                                 platform::NetconProperties& destination) {
  std::memcpy(&destination, &source, sizeof destination);
  destination.pszwName = nullptr;
  destination.pszwDeviceName = nullptr;
  const platform::HResult hr = DuplicateString(source.pszwName, destination.pszwName);
  if (hr != platform::kS_OK) return hr;
  return DuplicateString(source.pszwDeviceName, destination.pszwDeviceName);
}

void NSModFreeNetconPropertiesCopy(platform::NetconProperties& copy) {
  delete[] std::exchange(copy.pszwName, nullptr);
  delete[] std::exchange(copy.pszwDeviceName, nullptr);
}

}  // namespace tethra::ics
