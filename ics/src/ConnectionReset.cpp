// Reset of the virtual adapter's connection: every connection is visited (the walk does not
// stop at a match), each name and GUID goes to the debugger output. Calling thread only.
#include "tethra/ics/ConnectionReset.h"

#include <string>

#include "tethra/platform/ComPtr.h"
#include "tethra/platform/Handle.h"

namespace tethra::ics {

namespace {

constexpr char16_t kVirtualMiniport[] = u"Microsoft Virtual WiFi Miniport Adapter";

// The connection manager's records are COM memory, freed field by field.
void FreeTaskMemProperties(platform::ISharing& sharing, platform::NetconProperties* record) {
  sharing.coTaskMemFree(record->pszwName);
  sharing.coTaskMemFree(record->pszwDeviceName);
  sharing.coTaskMemFree(record);
}
using TaskMemPropertiesCloser =
    platform::AreaCloser<platform::ISharing, platform::NetconProperties*, &FreeTaskMemProperties>;
using UniqueTaskMemProperties = platform::UniqueResource<platform::NetconProperties*, TaskMemPropertiesCloser>;

void DebugLine(platform::ISharing& sharing, std::u16string_view prefix, const char16_t* text) {
  std::u16string line(prefix);
  if (text != nullptr) line += text;
  line += u'\n';
  sharing.outputDebugString(line.c_str());
}

void ShowConnection(platform::IKernel& kernel, platform::ISharing& sharing,
                    const platform::NetconProperties& properties) {
  DebugLine(sharing, u"* ", properties.pszwName);
  platform::UniqueTaskMemPtr<char16_t> guidText(platform::TaskMemCloser{&sharing, &kernel});
  if (platform::Succeeded(sharing.stringFromClsid(properties.guidId, guidText.put()))) {
    DebugLine(sharing, u"** GUID:", guidText.get());
  }
}

bool IsVirtualMiniport(const platform::NetconProperties& properties) {
  return properties.pszwDeviceName != nullptr && std::u16string_view(properties.pszwDeviceName) == kVirtualMiniport;
}

platform::HResult WalkConnections(platform::IKernel& kernel, platform::ISharing& sharing,
                                  platform::IEnumNetConnection& enumerator, const platform::Guid& hostedNetworkGuid) {
  platform::HResult status = platform::HResultFromWin32(platform::kERROR_FILE_NOT_FOUND);
  for (;;) {
    platform::ComPtr<platform::INetConnection> connection;
    std::uint32_t fetched = 0;
    const platform::HResult next = enumerator.Next(1, connection.put(), &fetched);
    if (next != platform::kS_OK) return status;
    if (!connection) return platform::kE_UNEXPECTED;  // an element reported but not given
    UniqueTaskMemProperties properties(TaskMemPropertiesCloser{&sharing, &kernel});
    const platform::HResult hr = connection->GetProperties(properties.put());
    TETHRA_RETURN_IF_FAILED(hr);
    if (hr != platform::kS_OK || properties.get() == nullptr) continue;
    ShowConnection(kernel, sharing, *properties.get());
    platform::Guid target = hostedNetworkGuid;
    if (target.isZero() && IsVirtualMiniport(*properties.get())) target = properties.get()->guidId;
    if (properties.get()->guidId == target) {
      static_cast<void>(connection->Disconnect());  // the reconnect's result is what counts
      status = connection->Connect();
    }
  }
}

}  // namespace

platform::HResult ResetHostedNetworkConnection(platform::IKernel& kernel, platform::ISharing& sharing,
                                               platform::IComRuntime& com, const platform::Guid& target) {
  // Declared first: every interface below is given up before COM is uninitialised.
  const platform::ComApartment apartment(&com, com.coInitialize());
  platform::ComPtr<platform::INetConnectionManager> manager;
  platform::HResult status = sharing.createNetConnectionManager(
      platform::kCLSID_ConnectionManager, platform::kCLSCTX_LOCAL_SERVER_NO_CODE_DOWNLOAD, manager.put());
  // A success that hands out no object is a failure.
  if (platform::Succeeded(status) && !manager) status = platform::kE_UNEXPECTED;
  if (platform::Succeeded(status)) {
    platform::ComPtr<platform::IEnumNetConnection> enumerator;
    status = manager->EnumConnections(0, enumerator.put());
    if (platform::Succeeded(status) && !enumerator) status = platform::kE_UNEXPECTED;
    if (platform::Succeeded(status)) status = WalkConnections(kernel, sharing, *enumerator.get(), target);
  }
  return status;
}

}  // namespace tethra::ics
