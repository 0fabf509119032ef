// The Windows Runtime ABI that the mobile hotspot adapter calls and the simulated activation
// library serves: HSTRING, IInspectable, IActivationFactory, the event token, the asynchronous
// action and operation, and the connectivity and tethering interfaces, each with every method
// in vtable order. MinGW-w64 ships no header for these runtime classes.
//
// Where it comes from (machine-generated projections of the platform's metadata, public):
// - method order and interface identifiers: C++/WinRT's generated ABI headers for SDK
//   10.0.14393.0 (github.com/microsoft/cppwinrt, 10.0.14393.0/winrt/internal/
//   Windows.Networking.Connectivity.1.h, Windows.Networking.NetworkOperators.1.h), and the
//   instances of the parameterized interfaces (IVectorView<ConnectionProfile>,
//   IAsyncOperation<NetworkOperatorTetheringOperationResult> and its completed handler) from
//   the same projection's Windows.Networking.NetworkOperators.2.h, which prints the identifier
//   the runtime's pinterface rule gives each instance;
// - IAsyncAction and AsyncActionCompletedHandler: the same projection's Windows.Foundation
//   declarations;
// - INetworkOperatorTetheringManagerStatics2 (CreateFromConnectionProfile with the profile
//   alone, Wi-Fi as the private side): the same 10.0.14393.0 Windows.Networking.NetworkOperators.1.h;
// - INetworkOperatorTetheringManager2 (the start with a per-session configuration) and
//   INetworkOperatorTetheringSessionAccessPointConfiguration, which came after that SDK
//   (UniversalApiContract v17): the AutoHotkey projection generated from the Windows metadata
//   (github.com/holy-tao/AhkWin32Projection, Windows/Networking/NetworkOperators/
//   INetworkOperatorTetheringManager2.ahk and INetworkOperatorTetheringSessionAccessPointConfiguration.ahk,
//   each with its IID and VTableNames), agreeing with the AutoIt projection generated from the
//   metadata of Windows 11 build 26200 (github.com/MattyD-87/AutoIt-WinRT); the class name and
//   its activation from NetworkOperatorTetheringSessionAccessPointConfiguration.ahk;
// - INetworkOperatorTetheringAccessPointConfiguration2 (band, UniversalApiContract v10): the
//   Dart projection generated from the metadata (pub.dev windows_networking,
//   inetworkoperatortetheringaccesspointconfiguration2.dart), agreeing with the Kotlin one;
//   INetworkOperatorTetheringAccessPointConfiguration3 (authentication kind, v19): the AutoIt
//   projection above (Windows 11 build 26200), agreeing with the AutoHotkey one;
//   INetworkOperatorTetheringManagerStatics4 (the NoConnections timeout, v10): the Dart
//   projection (windows_networking, inetworkoperatortetheringmanagerstatics4.dart: IID, "vtable
//   begins at 6, is 5 entries long"), agreeing with the Kotlin and Python ones;
// - IInspectable, IActivationFactory, IAsyncInfo, IAgileObject and the string and activation
//   functions: MinGW-w64's WIDL-generated inspectable.h, activation.h, asyncinfo.h, objidl.h,
//   winstring.h and roapi.h.
// Methods the program never calls are declared all the same: a slot left out would shift every
// later one. Their parameters that are other runtime objects are typed IInspectable.
//
// No Windows header: the layouts are plain C++ (single inheritance, no overloads, declaration
// order is vtable order under the Itanium C++ ABI that GCC uses on both platforms), so the
// tests check the slot positions on any machine (tests/win32/WinrtAbiTest.cpp). HRESULTs are
// std::int32_t here, as the ABI has them; the adapters convert at their edge.
//
// Owner: declarations only. Threads: the runtime's rules; see the users.
#pragma once

#include <cstdint>

#include "tethra/platform/Hotspot.h"
#include "tethra/platform/Types.h"

#if defined(_WIN32)
#define TETHRA_WINRT_CALL __stdcall
#else
#define TETHRA_WINRT_CALL
#endif

namespace tethra::win32::winrt {

using Hresult = std::int32_t;
using Guid = platform::Guid;  // GUID's layout (checked in LayoutChecks.cpp)

struct HstringTag;
using Hstring = HstringTag*;  // HSTRING: null is the empty string

inline constexpr Hresult kS_OK = 0;
inline constexpr Hresult kE_NOTIMPL = static_cast<Hresult>(0x80004001u);
inline constexpr Hresult kE_NOINTERFACE = static_cast<Hresult>(0x80004002u);
inline constexpr Hresult kE_POINTER = static_cast<Hresult>(0x80004003u);
inline constexpr Hresult kE_FAIL = static_cast<Hresult>(0x80004005u);
inline constexpr Hresult kE_UNEXPECTED = static_cast<Hresult>(0x8000FFFFu);
inline constexpr Hresult kE_OUTOFMEMORY = static_cast<Hresult>(0x8007000Eu);
inline constexpr Hresult kE_INVALIDARG = static_cast<Hresult>(0x80070057u);
inline constexpr Hresult kE_BOUNDS = static_cast<Hresult>(0x8000000Bu);
inline constexpr Hresult kE_ILLEGAL_METHOD_CALL = static_cast<Hresult>(0x8000000Eu);
// HRESULT_FROM_WIN32(ERROR_CANCELLED): what a cancelled operation reports.
inline constexpr Hresult kCancelled = static_cast<Hresult>(0x800704C7u);
inline constexpr Hresult kCLASS_E_CLASSNOTAVAILABLE = static_cast<Hresult>(0x80040111u);

// EventRegistrationToken.
struct EventRegistrationToken {
  std::int64_t value;
};
static_assert(sizeof(EventRegistrationToken) == 8);

// Windows.Foundation.DateTime: passed by value in methods the program never calls.
struct DateTime {
  std::int64_t UniversalTime;
};
static_assert(sizeof(DateTime) == 8);

enum class AsyncStatus : std::int32_t { Started = 0, Completed = 1, Canceled = 2, Error = 3 };
enum class TrustLevel : std::int32_t { BaseTrust = 0, PartialTrust = 1, FullTrust = 2 };
// Windows.Networking.NetworkOperators.TetheringOperationalState and TetheringOperationStatus:
// the boundary declares them with the runtime's own numbers, so the ABI takes them as they are.
using TetheringOperationalState = platform::TetheringState;
using TetheringOperationStatus = platform::TetheringStatus;

// --- Interface identifiers -------------------------------------------------------------------------
inline constexpr Guid kIID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIID_IAgileObject{0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
inline constexpr Guid kIID_IInspectable{0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
inline constexpr Guid kIID_IActivationFactory{0x00000035, 0x0000, 0x0000,
                                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIID_IAsyncInfo{0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIID_IAsyncAction{0x5a648006, 0x843a, 0x4da9, {0x86, 0x5b, 0x9d, 0x26, 0xe5, 0xdf, 0xad, 0x7b}};
inline constexpr Guid kIID_AsyncActionCompletedHandler{0xa4ed5c81, 0x76c9, 0x40bd,
                                                       {0x8b, 0xe6, 0xb1, 0xd9, 0x0f, 0xb2, 0x0a, 0xe7}};
// IVectorView<Windows.Networking.Connectivity.ConnectionProfile>
inline constexpr Guid kIID_IVectorView_ConnectionProfile{0x6db1b492, 0x3852, 0x5df8,
                                                         {0xa2, 0x9d, 0x69, 0x44, 0x00, 0x2f, 0x58, 0xd4}};
// IAsyncOperation<Windows.Networking.NetworkOperators.NetworkOperatorTetheringOperationResult>
inline constexpr Guid kIID_IAsyncOperation_TetheringResult{0x601b30ed, 0x9b7f, 0x54b6,
                                                           {0xb6, 0x1b, 0x24, 0xa0, 0x9b, 0xc5, 0x63, 0x04}};
// AsyncOperationCompletedHandler<...NetworkOperatorTetheringOperationResult>
inline constexpr Guid kIID_AsyncOperationCompletedHandler_TetheringResult{
    0xa936b927, 0x7537, 0x59c6, {0x89, 0xde, 0x33, 0xf3, 0x6a, 0x97, 0x25, 0xab}};
inline constexpr Guid kIID_IConnectionProfile{0x71ba143c, 0x598e, 0x49d0,
                                              {0x84, 0xeb, 0x8f, 0xeb, 0xae, 0xdc, 0xc1, 0x95}};
inline constexpr Guid kIID_INetworkAdapter{0x3b542e03, 0x5388, 0x496c, {0xa8, 0xa3, 0xaf, 0xfd, 0x39, 0xae, 0xc2, 0xe6}};
inline constexpr Guid kIID_INetworkInformationStatics{0x5074f851, 0x950d, 0x4165,
                                                      {0x9c, 0x15, 0x36, 0x56, 0x19, 0x48, 0x1e, 0xea}};
inline constexpr Guid kIID_NetworkStatusChangedEventHandler{0x71ba143f, 0x598e, 0x49d0,
                                                            {0x84, 0xeb, 0x8f, 0xeb, 0xae, 0xdc, 0xc1, 0x95}};
inline constexpr Guid kIID_INetworkOperatorTetheringAccessPointConfiguration{
    0x0bcc0284, 0x412e, 0x403d, {0xac, 0xc6, 0xb7, 0x57, 0xe3, 0x47, 0x74, 0xa4}};
inline constexpr Guid kIID_INetworkOperatorTetheringAccessPointConfiguration2{
    0xb1809142, 0x7238, 0x59a0, {0x92, 0x8b, 0x74, 0xab, 0x46, 0xfd, 0x64, 0xb6}};
inline constexpr Guid kIID_INetworkOperatorTetheringAccessPointConfiguration3{
    0xa9bb0081, 0x9eed, 0x5d18, {0xb6, 0x76, 0x24, 0xb7, 0x4a, 0x18, 0x2b, 0x8c}};
inline constexpr Guid kIID_INetworkOperatorTetheringManager{0xd45a8da0, 0x0e86, 0x4d98,
                                                            {0x8b, 0xa4, 0xdd, 0x70, 0xd4, 0xb7, 0x64, 0xd3}};
inline constexpr Guid kIID_INetworkOperatorTetheringManager2{0x7c1a4df2, 0xb789, 0x4fea,
                                                             {0xbc, 0x4e, 0x1f, 0x2b, 0x9e, 0x76, 0xc1, 0xf7}};
inline constexpr Guid kIID_INetworkOperatorTetheringManagerStatics2{0x5b235412, 0x35f0, 0x49e7,
                                                                    {0x9b, 0x08, 0x16, 0xd2, 0x78, 0xfb, 0xaa, 0x42}};
inline constexpr Guid kIID_INetworkOperatorTetheringManagerStatics3{0x8fdaadb6, 0x4af9, 0x4f21,
                                                                    {0x9b, 0x58, 0xd5, 0x3e, 0x9f, 0x24, 0x23, 0x1e}};
inline constexpr Guid kIID_INetworkOperatorTetheringManagerStatics4{0xb3b9f9d0, 0xebff, 0x46a4,
                                                                    {0xa8, 0x47, 0xd6, 0x63, 0xd8, 0xb0, 0x97, 0x7e}};
inline constexpr Guid kIID_INetworkOperatorTetheringOperationResult{0xebd203a1, 0x01ba, 0x476d,
                                                                    {0xb4, 0xb3, 0xbf, 0x3d, 0x12, 0xc8, 0xf8, 0x0c}};
inline constexpr Guid kIID_INetworkOperatorTetheringSessionAccessPointConfiguration{
    0x0bcc1104, 0x34b7, 0x5212, {0x85, 0x8c, 0x59, 0xd9, 0x74, 0x04, 0x92, 0x0a}};

// --- Runtime class names ---------------------------------------------------------------------------
inline constexpr char16_t kNetworkInformationClass[] = u"Windows.Networking.Connectivity.NetworkInformation";
inline constexpr char16_t kTetheringManagerClass[] = u"Windows.Networking.NetworkOperators.NetworkOperatorTetheringManager";
inline constexpr char16_t kAccessPointConfigurationClass[] =
    u"Windows.Networking.NetworkOperators.NetworkOperatorTetheringAccessPointConfiguration";
inline constexpr char16_t kSessionAccessPointConfigurationClass[] =
    u"Windows.Networking.NetworkOperators.NetworkOperatorTetheringSessionAccessPointConfiguration";

// --- Interfaces ------------------------------------------------------------------------------------
// Slot numbers (0-based vtable index) are noted where an interface's own methods begin.

struct IUnknownAbi {  // slots 0-2
  virtual Hresult TETHRA_WINRT_CALL QueryInterface(const Guid& iid, void** object) = 0;
  virtual std::uint32_t TETHRA_WINRT_CALL AddRef() = 0;
  virtual std::uint32_t TETHRA_WINRT_CALL Release() = 0;

 protected:
  ~IUnknownAbi() = default;  // released, never deleted through the interface
};

struct IInspectable : IUnknownAbi {  // slots 3-5
  virtual Hresult TETHRA_WINRT_CALL GetIids(std::uint32_t* count, Guid** iids) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetRuntimeClassName(Hstring* name) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetTrustLevel(TrustLevel* level) = 0;

 protected:
  ~IInspectable() = default;
};

struct IActivationFactory : IInspectable {  // slot 6
  virtual Hresult TETHRA_WINRT_CALL ActivateInstance(IInspectable** instance) = 0;

 protected:
  ~IActivationFactory() = default;
};

struct IAsyncInfo : IInspectable {  // slots 6-10
  virtual Hresult TETHRA_WINRT_CALL get_Id(std::uint32_t* id) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Status(AsyncStatus* status) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_ErrorCode(Hresult* errorCode) = 0;
  virtual Hresult TETHRA_WINRT_CALL Cancel() = 0;
  virtual Hresult TETHRA_WINRT_CALL Close() = 0;

 protected:
  ~IAsyncInfo() = default;
};

struct IAsyncAction;
struct AsyncActionCompletedHandler : IUnknownAbi {  // slot 3
  virtual Hresult TETHRA_WINRT_CALL Invoke(IAsyncAction* asyncInfo, AsyncStatus status) = 0;

 protected:
  ~AsyncActionCompletedHandler() = default;
};

struct IAsyncAction : IInspectable {  // slots 6-8
  virtual Hresult TETHRA_WINRT_CALL put_Completed(AsyncActionCompletedHandler* handler) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Completed(AsyncActionCompletedHandler** handler) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetResults() = 0;

 protected:
  ~IAsyncAction() = default;
};

struct INetworkOperatorTetheringOperationResult : IInspectable {  // slots 6-7
  virtual Hresult TETHRA_WINRT_CALL get_Status(TetheringOperationStatus* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_AdditionalErrorMessage(Hstring* value) = 0;

 protected:
  ~INetworkOperatorTetheringOperationResult() = default;
};

struct IAsyncOperationTetheringResult;
// AsyncOperationCompletedHandler<NetworkOperatorTetheringOperationResult>
struct AsyncOperationCompletedHandlerTetheringResult : IUnknownAbi {  // slot 3
  virtual Hresult TETHRA_WINRT_CALL Invoke(IAsyncOperationTetheringResult* asyncInfo, AsyncStatus status) = 0;

 protected:
  ~AsyncOperationCompletedHandlerTetheringResult() = default;
};

// IAsyncOperation<NetworkOperatorTetheringOperationResult>
struct IAsyncOperationTetheringResult : IInspectable {  // slots 6-8
  virtual Hresult TETHRA_WINRT_CALL put_Completed(AsyncOperationCompletedHandlerTetheringResult* handler) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Completed(AsyncOperationCompletedHandlerTetheringResult** handler) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetResults(INetworkOperatorTetheringOperationResult** results) = 0;

 protected:
  ~IAsyncOperationTetheringResult() = default;
};

struct INetworkAdapter : IInspectable {  // slots 6-11
  virtual Hresult TETHRA_WINRT_CALL get_OutboundMaxBitsPerSecond(std::uint64_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_InboundMaxBitsPerSecond(std::uint64_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_IanaInterfaceType(std::uint32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_NetworkItem(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_NetworkAdapterId(Guid* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetConnectedProfileAsync(IInspectable** value) = 0;

 protected:
  ~INetworkAdapter() = default;
};

struct IConnectionProfile : IInspectable {  // slots 6-14
  virtual Hresult TETHRA_WINRT_CALL get_ProfileName(Hstring* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetNetworkConnectivityLevel(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetNetworkNames(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetConnectionCost(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetDataPlanStatus(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_NetworkAdapter(INetworkAdapter** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetLocalUsage(DateTime startTime, DateTime endTime, IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetLocalUsagePerRoamingStates(DateTime startTime, DateTime endTime,
                                                                   std::uint32_t states, IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_NetworkSecuritySettings(IInspectable** value) = 0;

 protected:
  ~IConnectionProfile() = default;
};

// IVectorView<ConnectionProfile>
struct IVectorViewConnectionProfile : IInspectable {  // slots 6-9
  virtual Hresult TETHRA_WINRT_CALL GetAt(std::uint32_t index, IConnectionProfile** item) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Size(std::uint32_t* size) = 0;
  virtual Hresult TETHRA_WINRT_CALL IndexOf(IConnectionProfile* item, std::uint32_t* index, std::uint8_t* found) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetMany(std::uint32_t start, std::uint32_t capacity, IConnectionProfile** items,
                                            std::uint32_t* actual) = 0;

 protected:
  ~IVectorViewConnectionProfile() = default;
};

struct NetworkStatusChangedEventHandler : IUnknownAbi {  // slot 3
  virtual Hresult TETHRA_WINRT_CALL Invoke(IInspectable* sender) = 0;

 protected:
  ~NetworkStatusChangedEventHandler() = default;
};

struct INetworkInformationStatics : IInspectable {  // slots 6-13
  virtual Hresult TETHRA_WINRT_CALL GetConnectionProfiles(IVectorViewConnectionProfile** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetInternetConnectionProfile(IConnectionProfile** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetLanIdentifiers(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetHostNames(IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetProxyConfigurationAsync(IInspectable* uri, IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetSortedEndpointPairs(IInspectable* destinationList, std::uint32_t sortOptions,
                                                           IInspectable** value) = 0;
  virtual Hresult TETHRA_WINRT_CALL add_NetworkStatusChanged(NetworkStatusChangedEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
  virtual Hresult TETHRA_WINRT_CALL remove_NetworkStatusChanged(EventRegistrationToken token) = 0;

 protected:
  ~INetworkInformationStatics() = default;
};

struct INetworkOperatorTetheringAccessPointConfiguration : IInspectable {  // slots 6-9
  virtual Hresult TETHRA_WINRT_CALL get_Ssid(Hstring* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Ssid(Hstring value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Passphrase(Hstring* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Passphrase(Hstring value) = 0;

 protected:
  ~INetworkOperatorTetheringAccessPointConfiguration() = default;
};

// What the configuration of Windows 10 2004 adds: the band (TetheringWiFiBand, int32). A
// configuration of an older system answers E_NOINTERFACE.
struct INetworkOperatorTetheringAccessPointConfiguration2 : IInspectable {  // slots 6-9
  virtual Hresult TETHRA_WINRT_CALL IsBandSupported(std::int32_t band, std::uint8_t* result) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsBandSupportedAsync(std::int32_t band, IInspectable** operation) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Band(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Band(std::int32_t value) = 0;

 protected:
  ~INetworkOperatorTetheringAccessPointConfiguration2() = default;
};

// What the configuration of Windows 11 24H2 adds: the authentication kind
// (TetheringWiFiAuthenticationKind, int32). Older systems answer E_NOINTERFACE.
struct INetworkOperatorTetheringAccessPointConfiguration3 : IInspectable {  // slots 6-9
  virtual Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupported(std::int32_t kind, std::uint8_t* result) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupportedAsync(std::int32_t kind, IInspectable** operation) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_AuthenticationKind(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_AuthenticationKind(std::int32_t value) = 0;

 protected:
  ~INetworkOperatorTetheringAccessPointConfiguration3() = default;
};

struct INetworkOperatorTetheringManager : IInspectable {  // slots 6-12
  virtual Hresult TETHRA_WINRT_CALL get_MaxClientCount(std::uint32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_ClientCount(std::uint32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_TetheringOperationalState(TetheringOperationalState* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL GetCurrentAccessPointConfiguration(
      INetworkOperatorTetheringAccessPointConfiguration** configuration) = 0;
  virtual Hresult TETHRA_WINRT_CALL ConfigureAccessPointAsync(
      INetworkOperatorTetheringAccessPointConfiguration* configuration, IAsyncAction** asyncInfo) = 0;
  virtual Hresult TETHRA_WINRT_CALL StartTetheringAsync(IAsyncOperationTetheringResult** asyncInfo) = 0;
  virtual Hresult TETHRA_WINRT_CALL StopTetheringAsync(IAsyncOperationTetheringResult** asyncInfo) = 0;

 protected:
  ~INetworkOperatorTetheringManager() = default;
};

// The per-session configuration: the persistent one's name and passphrase, and what only a
// session has. Band, authentication kind and performance priority are enums (int32).
struct INetworkOperatorTetheringSessionAccessPointConfiguration : IInspectable {  // slots 6-19
  virtual Hresult TETHRA_WINRT_CALL get_Ssid(Hstring* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Ssid(Hstring value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Passphrase(Hstring* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Passphrase(Hstring value) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsBandSupported(std::int32_t band, std::uint8_t* result) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsBandSupportedAsync(std::int32_t band, IInspectable** operation) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_Band(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_Band(std::int32_t value) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupported(std::int32_t kind, std::uint8_t* result) = 0;
  virtual Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupportedAsync(std::int32_t kind, IInspectable** operation) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_AuthenticationKind(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_AuthenticationKind(std::int32_t value) = 0;
  virtual Hresult TETHRA_WINRT_CALL get_PerformancePriority(std::int32_t* value) = 0;
  virtual Hresult TETHRA_WINRT_CALL put_PerformancePriority(std::int32_t value) = 0;

 protected:
  ~INetworkOperatorTetheringSessionAccessPointConfiguration() = default;
};

// What a tethering manager of a newer system adds: the start with a per-session configuration
// (StartTetheringAsync(configuration) in the projected languages). A manager that lacks it
// answers E_NOINTERFACE.
struct INetworkOperatorTetheringManager2 : IInspectable {  // slot 6
  virtual Hresult TETHRA_WINRT_CALL StartTetheringAsync(
      INetworkOperatorTetheringSessionAccessPointConfiguration* configuration,
      IAsyncOperationTetheringResult** asyncInfo) = 0;

 protected:
  ~INetworkOperatorTetheringManager2() = default;
};

// CreateFromConnectionProfile(profile): the profile is the public side, Wi-Fi the private one.
// `capability` is a TetheringCapability (int32).
struct INetworkOperatorTetheringManagerStatics2 : IInspectable {  // slots 6-7
  virtual Hresult TETHRA_WINRT_CALL GetTetheringCapabilityFromConnectionProfile(IConnectionProfile* profile,
                                                                                std::int32_t* capability) = 0;
  virtual Hresult TETHRA_WINRT_CALL CreateFromConnectionProfile(IConnectionProfile* profile,
                                                                INetworkOperatorTetheringManager** manager) = 0;

 protected:
  ~INetworkOperatorTetheringManagerStatics2() = default;
};

// The statics' one method is CreateFromConnectionProfile(profile, adapter) in the projected
// languages, with `adapter` as the private side; its ABI name carries the overload's suffix.
// The program does not call it (the simulated library still serves it).
struct INetworkOperatorTetheringManagerStatics3 : IInspectable {  // slot 6
  virtual Hresult TETHRA_WINRT_CALL CreateFromConnectionProfileWithTargetAdapter(
      IConnectionProfile* profile, INetworkAdapter* adapter, INetworkOperatorTetheringManager** manager) = 0;

 protected:
  ~INetworkOperatorTetheringManagerStatics3() = default;
};

// The user's NoConnections timeout, a setting of the system's. The factory of a system before it
// answers E_NOINTERFACE for these statics. `result` is a boolean. The program calls the reading
// and the two asynchronous changes; the synchronous ones would block the dialog's thread.
struct INetworkOperatorTetheringManagerStatics4 : IInspectable {  // slots 6-10
  virtual Hresult TETHRA_WINRT_CALL IsNoConnectionsTimeoutEnabled(std::uint8_t* result) = 0;
  virtual Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeout() = 0;
  virtual Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeoutAsync(IAsyncAction** operation) = 0;
  virtual Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeout() = 0;
  virtual Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeoutAsync(IAsyncAction** operation) = 0;

 protected:
  ~INetworkOperatorTetheringManagerStatics4() = default;
};

}  // namespace tethra::win32::winrt
