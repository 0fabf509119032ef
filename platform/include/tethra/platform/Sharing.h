// Connection sharing: the platform's sharing manager and connection manager COM classes, the
// network-shell library that frees connection-properties records, and the COM memory helpers.
//
// The interfaces mirror the operations of the platform's COM interfaces as plain abstract
// classes (not the COM binary layout). Every object handed out through an out-pointer carries
// one reference that its receiver gives up with Release; AddRef takes another. Enumerations
// hand out the element's connection interface directly (the adapter does the variant and
// QueryInterface work). Results are HRESULTs as the platform returns them (S_OK, S_FALSE at
// the end of an enumeration, negative on failure). COM must be initialised on the calling
// thread; the program uses these objects from the dialog's thread only.
//
// Memory: a NetconProperties record from INetConnection::GetProperties is platform memory.
// Records from the sharing manager's connections go back through the network-shell function
// NcFreeNetconProperties; the program frees those of the connection manager's connections
// field by field with coTaskMemFree (name, device name, record), as the platform documents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tethra/platform/Types.h"

namespace tethra::platform {

using VariantBool = std::int16_t;  // VARIANT_BOOL
constexpr VariantBool kVARIANT_TRUE = -1;
constexpr VariantBool kVARIANT_FALSE = 0;

// SHARINGCONNECTIONTYPE
constexpr std::int32_t kICSSHARINGTYPE_PUBLIC = 0;
constexpr std::int32_t kICSSHARINGTYPE_PRIVATE = 1;

// CLSCTX values the program passes to the two class factories.
constexpr Dword kCLSCTX_ALL = 23;                          // in-process, handler, local and remote server
constexpr Dword kCLSCTX_LOCAL_SERVER_NO_CODE_DOWNLOAD = 1028;  // local server, no code download

// The platform's sharing manager class and the connection manager class.
constexpr Guid kCLSID_NetSharingManager{0x5C63C1AD, 0x3956, 0x4FF8, {0x84, 0x86, 0x40, 0x03, 0x47, 0x58, 0x31, 0x5B}};
constexpr Guid kCLSID_ConnectionManager{0xBA126AD1, 0x2166, 0x11D1, {0xB1, 0xD0, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr Guid kIID_INetSharingManager{0xC08956B7, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr Guid kIID_INetConnectionManager{0xC08956A2, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr Guid kIID_IEnumNetSharingEveryConnection{
    0xC08956B8, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr Guid kIID_INetConnection{0xC08956A1, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

struct NetconProperties {  // NETCON_PROPERTIES
  Guid guidId;
  char16_t* pszwName;
  char16_t* pszwDeviceName;
  std::int32_t Status;     // NETCON_STATUS
  std::int32_t MediaType;  // NETCON_MEDIATYPE
  Dword dwCharacter;
  Guid clsidThisObject;
  Guid clsidUiObject;
};
static_assert(sizeof(NetconProperties) == 80, "NETCON_PROPERTIES is 80 bytes in a 64-bit process");
static_assert(offsetof(NetconProperties, pszwName) == 16 && offsetof(NetconProperties, Status) == 32 &&
              offsetof(NetconProperties, clsidThisObject) == 44 && offsetof(NetconProperties, clsidUiObject) == 60);

// IUnknown's reference counting.
class IComObject {
 public:
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IComObject() = default;  // objects end through Release only
};

class INetConnection : public IComObject {
 public:
  virtual HResult GetProperties(NetconProperties** properties) = 0;
  virtual HResult Disconnect() = 0;
  virtual HResult Connect() = 0;

 protected:
  ~INetConnection() = default;
};

class INetSharingConfiguration : public IComObject {
 public:
  virtual HResult get_SharingEnabled(VariantBool* enabled) = 0;
  virtual HResult get_SharingConnectionType(std::int32_t* type) = 0;
  virtual HResult DisableSharing() = 0;
  virtual HResult EnableSharing(std::int32_t type) = 0;

 protected:
  ~INetSharingConfiguration() = default;
};

// Next(1): S_OK with one connection and *fetched 1, or S_FALSE with none at the end.
class IEnumNetSharingEveryConnection : public IComObject {
 public:
  virtual HResult Next(std::uint32_t count, INetConnection** connection, std::uint32_t* fetched) = 0;
  virtual HResult Reset() = 0;

 protected:
  ~IEnumNetSharingEveryConnection() = default;
};

class INetSharingEveryConnectionCollection : public IComObject {
 public:
  virtual HResult get__NewEnum(IEnumNetSharingEveryConnection** enumerator) = 0;

 protected:
  ~INetSharingEveryConnectionCollection() = default;
};

class INetSharingManager : public IComObject {
 public:
  virtual HResult get_SharingInstalled(VariantBool* installed) = 0;
  virtual HResult get_EnumEveryConnection(INetSharingEveryConnectionCollection** connections) = 0;
  virtual HResult get_INetSharingConfigurationForINetConnection(INetConnection* connection,
                                                                INetSharingConfiguration** configuration) = 0;

 protected:
  ~INetSharingManager() = default;
};

class IEnumNetConnection : public IComObject {
 public:
  virtual HResult Next(std::uint32_t count, INetConnection** connection, std::uint32_t* fetched) = 0;
  virtual HResult Reset() = 0;

 protected:
  ~IEnumNetConnection() = default;
};

class INetConnectionManager : public IComObject {
 public:
  virtual HResult EnumConnections(std::int32_t flags, IEnumNetConnection** enumerator) = 0;

 protected:
  ~INetConnectionManager() = default;
};

// CoCreateInstance of the two classes (no outer object), and COM's memory and text helpers.
class ISharing {
 public:
  virtual ~ISharing() = default;
  virtual HResult createNetSharingManager(const Guid& clsid, Dword clsContext, INetSharingManager** manager) = 0;
  virtual HResult createNetConnectionManager(const Guid& clsid, Dword clsContext,
                                             INetConnectionManager** manager) = 0;
  virtual void coTaskMemFree(void* memory) = 0;
  // StringFromCLSID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", freed with coTaskMemFree.
  virtual HResult stringFromClsid(const Guid& clsid, char16_t** text) = 0;
  virtual void outputDebugString(const char16_t* text) = 0;  // debugger output
};

// "NcFreeNetconProperties" of the network-shell library: frees a record and its two strings.
using NcFreeNetconPropertiesFn = void (*)(NetconProperties* properties);

// LoadLibraryW / GetProcAddress / FreeLibrary for the network-shell library. A failed call
// leaves its reason in the calling thread's last error (IKernel::getLastError).
class IModuleLoader {
 public:
  virtual ~IModuleLoader() = default;
  virtual Hmodule loadLibrary(const char16_t* fileName) = 0;
  // Only "NcFreeNetconProperties" is ever resolved; null when the export is missing.
  virtual NcFreeNetconPropertiesFn getNcFreeNetconProperties(Hmodule module, const char* exportName) = 0;
  virtual bool freeLibrary(Hmodule module) = 0;
};

}  // namespace tethra::platform
