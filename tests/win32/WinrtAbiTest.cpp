// The runtime ABI declared in WinRtAbi.h, slot by slot: each method must sit at the vtable
// index the platform's metadata gives it (IUnknown 0-2, IInspectable 3-5, an interface's own
// methods from 6, a delegate's Invoke at 3, in the metadata's order). The expected tables are
// written here from the projection, independently of the header: calling a slot by number on an
// object that records which method ran shows where each declaration really landed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tethra/sim/Text.h"
#include "tethra/win32/WinRtAbi.h"

namespace tethra::win32::winrt {
namespace {

std::string g_ran;

#define RAN(name)    \
  {                  \
    g_ran = #name;   \
    return 0;        \
  }

// The six methods every runtime interface starts with, recorded like the rest.
template <typename Interface>
struct Recorded : Interface {
  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid&, void**) override RAN(QueryInterface)
  std::uint32_t TETHRA_WINRT_CALL AddRef() override RAN(AddRef)
  std::uint32_t TETHRA_WINRT_CALL Release() override RAN(Release)
  Hresult TETHRA_WINRT_CALL GetIids(std::uint32_t*, Guid**) override RAN(GetIids)
  Hresult TETHRA_WINRT_CALL GetRuntimeClassName(Hstring*) override RAN(GetRuntimeClassName)
  Hresult TETHRA_WINRT_CALL GetTrustLevel(TrustLevel*) override RAN(GetTrustLevel)
};

// Delegates derive from IUnknown only.
template <typename Interface>
struct RecordedDelegate : Interface {
  Hresult TETHRA_WINRT_CALL QueryInterface(const Guid&, void**) override RAN(QueryInterface)
  std::uint32_t TETHRA_WINRT_CALL AddRef() override RAN(AddRef)
  std::uint32_t TETHRA_WINRT_CALL Release() override RAN(Release)
};

// Runs vtable slot `slot` of `object` with only the object as argument: the recording methods
// read nothing else.
template <typename T>
std::string RunSlot(T& object, std::size_t slot) {
  g_ran.clear();
  void** table = nullptr;
  std::memcpy(&table, static_cast<void*>(&object), sizeof table);
  using Entry = std::uintptr_t (*)(void*);
  Entry entry = nullptr;
  std::memcpy(&entry, &table[slot], sizeof entry);
  entry(&object);
  return g_ran;
}

template <typename T>
void ExpectSlots(T& object, const std::vector<std::string>& ownMethods, std::size_t firstOwn = 6) {
  const std::vector<std::string> base = {"QueryInterface", "AddRef", "Release",
                                         "GetIids", "GetRuntimeClassName", "GetTrustLevel"};
  for (std::size_t i = 0; i < firstOwn; ++i) EXPECT_EQ(RunSlot(object, i), base[i]) << "slot " << i;
  for (std::size_t i = 0; i < ownMethods.size(); ++i) {
    EXPECT_EQ(RunSlot(object, firstOwn + i), ownMethods[i]) << "slot " << firstOwn + i;
  }
}

struct Manager final : Recorded<INetworkOperatorTetheringManager> {
  Hresult TETHRA_WINRT_CALL get_MaxClientCount(std::uint32_t*) override RAN(get_MaxClientCount)
  Hresult TETHRA_WINRT_CALL get_ClientCount(std::uint32_t*) override RAN(get_ClientCount)
  Hresult TETHRA_WINRT_CALL get_TetheringOperationalState(TetheringOperationalState*) override
      RAN(get_TetheringOperationalState)
  Hresult TETHRA_WINRT_CALL GetCurrentAccessPointConfiguration(INetworkOperatorTetheringAccessPointConfiguration**) override
      RAN(GetCurrentAccessPointConfiguration)
  Hresult TETHRA_WINRT_CALL ConfigureAccessPointAsync(INetworkOperatorTetheringAccessPointConfiguration*,
                                                      IAsyncAction**) override RAN(ConfigureAccessPointAsync)
  Hresult TETHRA_WINRT_CALL StartTetheringAsync(IAsyncOperationTetheringResult**) override RAN(StartTetheringAsync)
  Hresult TETHRA_WINRT_CALL StopTetheringAsync(IAsyncOperationTetheringResult**) override RAN(StopTetheringAsync)
};

TEST(WinrtAbiTest, TetheringManagerSlots) {
  Manager m;
  ExpectSlots(m, {"get_MaxClientCount", "get_ClientCount", "get_TetheringOperationalState",
                  "GetCurrentAccessPointConfiguration", "ConfigureAccessPointAsync", "StartTetheringAsync",
                  "StopTetheringAsync"});
}

struct Statics3 final : Recorded<INetworkOperatorTetheringManagerStatics3> {
  Hresult TETHRA_WINRT_CALL CreateFromConnectionProfileWithTargetAdapter(IConnectionProfile*, INetworkAdapter*,
                                                                         INetworkOperatorTetheringManager**) override
      RAN(CreateFromConnectionProfileWithTargetAdapter)
};

TEST(WinrtAbiTest, TetheringManagerStaticsSlots) {
  Statics3 s;
  ExpectSlots(s, {"CreateFromConnectionProfileWithTargetAdapter"});
}

struct Statics2 final : Recorded<INetworkOperatorTetheringManagerStatics2> {
  Hresult TETHRA_WINRT_CALL GetTetheringCapabilityFromConnectionProfile(IConnectionProfile*, std::int32_t*) override
      RAN(GetTetheringCapabilityFromConnectionProfile)
  Hresult TETHRA_WINRT_CALL CreateFromConnectionProfile(IConnectionProfile*,
                                                        INetworkOperatorTetheringManager**) override
      RAN(CreateFromConnectionProfile)
};

// The creation the adapter calls sits second: calling slot 6 would ask for a capability.
TEST(WinrtAbiTest, TetheringManagerStatics2Slots) {
  Statics2 s;
  ExpectSlots(s, {"GetTetheringCapabilityFromConnectionProfile", "CreateFromConnectionProfile"});
}

struct Statics4 final : Recorded<INetworkOperatorTetheringManagerStatics4> {
  Hresult TETHRA_WINRT_CALL IsNoConnectionsTimeoutEnabled(std::uint8_t*) override RAN(IsNoConnectionsTimeoutEnabled)
  Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeout() override RAN(EnableNoConnectionsTimeout)
  Hresult TETHRA_WINRT_CALL EnableNoConnectionsTimeoutAsync(IAsyncAction**) override
      RAN(EnableNoConnectionsTimeoutAsync)
  Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeout() override RAN(DisableNoConnectionsTimeout)
  Hresult TETHRA_WINRT_CALL DisableNoConnectionsTimeoutAsync(IAsyncAction**) override
      RAN(DisableNoConnectionsTimeoutAsync)
};

// The asynchronous changes sit between the synchronous ones: a slot off by one would block.
TEST(WinrtAbiTest, TetheringManagerStatics4Slots) {
  Statics4 s;
  ExpectSlots(s, {"IsNoConnectionsTimeoutEnabled", "EnableNoConnectionsTimeout", "EnableNoConnectionsTimeoutAsync",
                  "DisableNoConnectionsTimeout", "DisableNoConnectionsTimeoutAsync"});
}

struct Manager2 final : Recorded<INetworkOperatorTetheringManager2> {
  Hresult TETHRA_WINRT_CALL StartTetheringAsync(INetworkOperatorTetheringSessionAccessPointConfiguration*,
                                                IAsyncOperationTetheringResult**) override RAN(StartTetheringAsync)
};

TEST(WinrtAbiTest, TetheringManager2Slots) {
  Manager2 m;
  ExpectSlots(m, {"StartTetheringAsync"});
}

// The band's and the authentication kind's four slots, in the order of their own interfaces and
// of the session configuration that carries them too.
#define BAND_SLOTS                                                                                                \
  Hresult TETHRA_WINRT_CALL IsBandSupported(std::int32_t, std::uint8_t*) override RAN(IsBandSupported)            \
  Hresult TETHRA_WINRT_CALL IsBandSupportedAsync(std::int32_t, IInspectable**) override RAN(IsBandSupportedAsync) \
  Hresult TETHRA_WINRT_CALL get_Band(std::int32_t*) override RAN(get_Band)                                        \
  Hresult TETHRA_WINRT_CALL put_Band(std::int32_t) override RAN(put_Band)
#define AUTHENTICATION_KIND_SLOTS                                                                          \
  Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupported(std::int32_t, std::uint8_t*) override RAN(       \
      IsAuthenticationKindSupported)                                                                       \
  Hresult TETHRA_WINRT_CALL IsAuthenticationKindSupportedAsync(std::int32_t, IInspectable**) override RAN( \
      IsAuthenticationKindSupportedAsync)                                                                  \
  Hresult TETHRA_WINRT_CALL get_AuthenticationKind(std::int32_t*) override RAN(get_AuthenticationKind)     \
  Hresult TETHRA_WINRT_CALL put_AuthenticationKind(std::int32_t) override RAN(put_AuthenticationKind)

struct SessionAccessPoint final : Recorded<INetworkOperatorTetheringSessionAccessPointConfiguration> {
  Hresult TETHRA_WINRT_CALL get_Ssid(Hstring*) override RAN(get_Ssid)
  Hresult TETHRA_WINRT_CALL put_Ssid(Hstring) override RAN(put_Ssid)
  Hresult TETHRA_WINRT_CALL get_Passphrase(Hstring*) override RAN(get_Passphrase)
  Hresult TETHRA_WINRT_CALL put_Passphrase(Hstring) override RAN(put_Passphrase)
  BAND_SLOTS
  AUTHENTICATION_KIND_SLOTS
  Hresult TETHRA_WINRT_CALL get_PerformancePriority(std::int32_t*) override RAN(get_PerformancePriority)
  Hresult TETHRA_WINRT_CALL put_PerformancePriority(std::int32_t) override RAN(put_PerformancePriority)
};

TEST(WinrtAbiTest, SessionAccessPointConfigurationSlots) {
  SessionAccessPoint a;
  ExpectSlots(a, {"get_Ssid", "put_Ssid", "get_Passphrase", "put_Passphrase", "IsBandSupported",
                  "IsBandSupportedAsync", "get_Band", "put_Band", "IsAuthenticationKindSupported",
                  "IsAuthenticationKindSupportedAsync", "get_AuthenticationKind", "put_AuthenticationKind",
                  "get_PerformancePriority", "put_PerformancePriority"});
}

struct AccessPointWithBand final : Recorded<INetworkOperatorTetheringAccessPointConfiguration2> {
  BAND_SLOTS
};

struct AccessPointWithAuthenticationKind final : Recorded<INetworkOperatorTetheringAccessPointConfiguration3> {
  AUTHENTICATION_KIND_SLOTS
};

TEST(WinrtAbiTest, AccessPointConfigurationBandAndAuthenticationKindSlots) {
  AccessPointWithBand band;
  ExpectSlots(band, {"IsBandSupported", "IsBandSupportedAsync", "get_Band", "put_Band"});
  AccessPointWithAuthenticationKind kind;
  ExpectSlots(kind, {"IsAuthenticationKindSupported", "IsAuthenticationKindSupportedAsync", "get_AuthenticationKind",
                     "put_AuthenticationKind"});
  // The enumerations' values as the pages list them; the ABI passes them as int32.
  EXPECT_EQ(static_cast<std::int32_t>(platform::TetheringBand::SixGigahertz), 3);
  EXPECT_EQ(static_cast<std::int32_t>(platform::TetheringBand::TwoPointFourGigahertz), 1);
  EXPECT_EQ(static_cast<std::int32_t>(platform::TetheringAuthentication::Wpa3TransitionMode), 1);
  EXPECT_EQ(static_cast<std::int32_t>(platform::TetheringAuthentication::Wpa3), 2);
}

// The identifiers the projections give, written here again as they print them: a digit wrong in
// the header would make the runtime answer E_NOINTERFACE.
std::string Text(const Guid& iid) { return sim::text::FormatGuid(iid); }

TEST(WinrtAbiTest, IdentifiersOfTheNewerInterfaces) {
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringAccessPointConfiguration2), "{B1809142-7238-59A0-928B-74AB46FD64B6}");
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringAccessPointConfiguration3), "{A9BB0081-9EED-5D18-B676-24B74A182B8C}");
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringManagerStatics2), "{5B235412-35F0-49E7-9B08-16D278FBAA42}");
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringManagerStatics4), "{B3B9F9D0-EBFF-46A4-A847-D663D8B0977E}");
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringManager2), "{7C1A4DF2-B789-4FEA-BC4E-1F2B9E76C1F7}");
  EXPECT_EQ(Text(kIID_INetworkOperatorTetheringSessionAccessPointConfiguration),
            "{0BCC1104-34B7-5212-858C-59D97404920A}");
  EXPECT_EQ(std::u16string(kSessionAccessPointConfigurationClass),
            u"Windows.Networking.NetworkOperators.NetworkOperatorTetheringSessionAccessPointConfiguration");
}

struct AccessPoint final : Recorded<INetworkOperatorTetheringAccessPointConfiguration> {
  Hresult TETHRA_WINRT_CALL get_Ssid(Hstring*) override RAN(get_Ssid)
  Hresult TETHRA_WINRT_CALL put_Ssid(Hstring) override RAN(put_Ssid)
  Hresult TETHRA_WINRT_CALL get_Passphrase(Hstring*) override RAN(get_Passphrase)
  Hresult TETHRA_WINRT_CALL put_Passphrase(Hstring) override RAN(put_Passphrase)
};

TEST(WinrtAbiTest, AccessPointConfigurationSlots) {
  AccessPoint a;
  ExpectSlots(a, {"get_Ssid", "put_Ssid", "get_Passphrase", "put_Passphrase"});
}

struct OperationResult final : Recorded<INetworkOperatorTetheringOperationResult> {
  Hresult TETHRA_WINRT_CALL get_Status(TetheringOperationStatus*) override RAN(get_Status)
  Hresult TETHRA_WINRT_CALL get_AdditionalErrorMessage(Hstring*) override RAN(get_AdditionalErrorMessage)
};

TEST(WinrtAbiTest, OperationResultSlots) {
  OperationResult r;
  ExpectSlots(r, {"get_Status", "get_AdditionalErrorMessage"});
}

struct Information final : Recorded<INetworkInformationStatics> {
  Hresult TETHRA_WINRT_CALL GetConnectionProfiles(IVectorViewConnectionProfile**) override RAN(GetConnectionProfiles)
  Hresult TETHRA_WINRT_CALL GetInternetConnectionProfile(IConnectionProfile**) override
      RAN(GetInternetConnectionProfile)
  Hresult TETHRA_WINRT_CALL GetLanIdentifiers(IInspectable**) override RAN(GetLanIdentifiers)
  Hresult TETHRA_WINRT_CALL GetHostNames(IInspectable**) override RAN(GetHostNames)
  Hresult TETHRA_WINRT_CALL GetProxyConfigurationAsync(IInspectable*, IInspectable**) override
      RAN(GetProxyConfigurationAsync)
  Hresult TETHRA_WINRT_CALL GetSortedEndpointPairs(IInspectable*, std::uint32_t, IInspectable**) override
      RAN(GetSortedEndpointPairs)
  Hresult TETHRA_WINRT_CALL add_NetworkStatusChanged(NetworkStatusChangedEventHandler*,
                                                     EventRegistrationToken*) override RAN(add_NetworkStatusChanged)
  Hresult TETHRA_WINRT_CALL remove_NetworkStatusChanged(EventRegistrationToken) override
      RAN(remove_NetworkStatusChanged)
};

TEST(WinrtAbiTest, NetworkInformationStaticsSlots) {
  Information n;
  ExpectSlots(n, {"GetConnectionProfiles", "GetInternetConnectionProfile", "GetLanIdentifiers", "GetHostNames",
                  "GetProxyConfigurationAsync", "GetSortedEndpointPairs", "add_NetworkStatusChanged",
                  "remove_NetworkStatusChanged"});
}

struct Profile final : Recorded<IConnectionProfile> {
  Hresult TETHRA_WINRT_CALL get_ProfileName(Hstring*) override RAN(get_ProfileName)
  Hresult TETHRA_WINRT_CALL GetNetworkConnectivityLevel(std::int32_t*) override RAN(GetNetworkConnectivityLevel)
  Hresult TETHRA_WINRT_CALL GetNetworkNames(IInspectable**) override RAN(GetNetworkNames)
  Hresult TETHRA_WINRT_CALL GetConnectionCost(IInspectable**) override RAN(GetConnectionCost)
  Hresult TETHRA_WINRT_CALL GetDataPlanStatus(IInspectable**) override RAN(GetDataPlanStatus)
  Hresult TETHRA_WINRT_CALL get_NetworkAdapter(INetworkAdapter**) override RAN(get_NetworkAdapter)
  Hresult TETHRA_WINRT_CALL GetLocalUsage(DateTime, DateTime, IInspectable**) override RAN(GetLocalUsage)
  Hresult TETHRA_WINRT_CALL GetLocalUsagePerRoamingStates(DateTime, DateTime, std::uint32_t, IInspectable**) override
      RAN(GetLocalUsagePerRoamingStates)
  Hresult TETHRA_WINRT_CALL get_NetworkSecuritySettings(IInspectable**) override RAN(get_NetworkSecuritySettings)
};

TEST(WinrtAbiTest, ConnectionProfileSlots) {
  Profile p;
  ExpectSlots(p, {"get_ProfileName", "GetNetworkConnectivityLevel", "GetNetworkNames", "GetConnectionCost",
                  "GetDataPlanStatus", "get_NetworkAdapter", "GetLocalUsage", "GetLocalUsagePerRoamingStates",
                  "get_NetworkSecuritySettings"});
}

struct Adapter final : Recorded<INetworkAdapter> {
  Hresult TETHRA_WINRT_CALL get_OutboundMaxBitsPerSecond(std::uint64_t*) override RAN(get_OutboundMaxBitsPerSecond)
  Hresult TETHRA_WINRT_CALL get_InboundMaxBitsPerSecond(std::uint64_t*) override RAN(get_InboundMaxBitsPerSecond)
  Hresult TETHRA_WINRT_CALL get_IanaInterfaceType(std::uint32_t*) override RAN(get_IanaInterfaceType)
  Hresult TETHRA_WINRT_CALL get_NetworkItem(IInspectable**) override RAN(get_NetworkItem)
  Hresult TETHRA_WINRT_CALL get_NetworkAdapterId(Guid*) override RAN(get_NetworkAdapterId)
  Hresult TETHRA_WINRT_CALL GetConnectedProfileAsync(IInspectable**) override RAN(GetConnectedProfileAsync)
};

TEST(WinrtAbiTest, NetworkAdapterSlots) {
  Adapter a;
  ExpectSlots(a, {"get_OutboundMaxBitsPerSecond", "get_InboundMaxBitsPerSecond", "get_IanaInterfaceType",
                  "get_NetworkItem", "get_NetworkAdapterId", "GetConnectedProfileAsync"});
}

struct Profiles final : Recorded<IVectorViewConnectionProfile> {
  Hresult TETHRA_WINRT_CALL GetAt(std::uint32_t, IConnectionProfile**) override RAN(GetAt)
  Hresult TETHRA_WINRT_CALL get_Size(std::uint32_t*) override RAN(get_Size)
  Hresult TETHRA_WINRT_CALL IndexOf(IConnectionProfile*, std::uint32_t*, std::uint8_t*) override RAN(IndexOf)
  Hresult TETHRA_WINRT_CALL GetMany(std::uint32_t, std::uint32_t, IConnectionProfile**, std::uint32_t*) override
      RAN(GetMany)
};

TEST(WinrtAbiTest, VectorViewSlots) {
  Profiles v;
  ExpectSlots(v, {"GetAt", "get_Size", "IndexOf", "GetMany"});
}

struct Info final : Recorded<IAsyncInfo> {
  Hresult TETHRA_WINRT_CALL get_Id(std::uint32_t*) override RAN(get_Id)
  Hresult TETHRA_WINRT_CALL get_Status(AsyncStatus*) override RAN(get_Status)
  Hresult TETHRA_WINRT_CALL get_ErrorCode(Hresult*) override RAN(get_ErrorCode)
  Hresult TETHRA_WINRT_CALL Cancel() override RAN(Cancel)
  Hresult TETHRA_WINRT_CALL Close() override RAN(Close)
};

struct Action final : Recorded<IAsyncAction> {
  Hresult TETHRA_WINRT_CALL put_Completed(AsyncActionCompletedHandler*) override RAN(put_Completed)
  Hresult TETHRA_WINRT_CALL get_Completed(AsyncActionCompletedHandler**) override RAN(get_Completed)
  Hresult TETHRA_WINRT_CALL GetResults() override RAN(GetResults)
};

struct Operation final : Recorded<IAsyncOperationTetheringResult> {
  Hresult TETHRA_WINRT_CALL put_Completed(AsyncOperationCompletedHandlerTetheringResult*) override RAN(put_Completed)
  Hresult TETHRA_WINRT_CALL get_Completed(AsyncOperationCompletedHandlerTetheringResult**) override
      RAN(get_Completed)
  Hresult TETHRA_WINRT_CALL GetResults(INetworkOperatorTetheringOperationResult**) override RAN(GetResults)
};

struct Factory final : Recorded<IActivationFactory> {
  Hresult TETHRA_WINRT_CALL ActivateInstance(IInspectable**) override RAN(ActivateInstance)
};

TEST(WinrtAbiTest, FoundationSlots) {
  Info info;
  ExpectSlots(info, {"get_Id", "get_Status", "get_ErrorCode", "Cancel", "Close"});
  Action action;
  ExpectSlots(action, {"put_Completed", "get_Completed", "GetResults"});
  Operation operation;
  ExpectSlots(operation, {"put_Completed", "get_Completed", "GetResults"});
  Factory factory;
  ExpectSlots(factory, {"ActivateInstance"});
}

struct ActionDone final : RecordedDelegate<AsyncActionCompletedHandler> {
  Hresult TETHRA_WINRT_CALL Invoke(IAsyncAction*, AsyncStatus) override RAN(Invoke)
};
struct OperationDone final : RecordedDelegate<AsyncOperationCompletedHandlerTetheringResult> {
  Hresult TETHRA_WINRT_CALL Invoke(IAsyncOperationTetheringResult*, AsyncStatus) override RAN(Invoke)
};
struct StatusChanged final : RecordedDelegate<NetworkStatusChangedEventHandler> {
  Hresult TETHRA_WINRT_CALL Invoke(IInspectable*) override RAN(Invoke)
};

TEST(WinrtAbiTest, DelegatesInvokeAtSlotThree) {
  ActionDone a;
  OperationDone o;
  StatusChanged s;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(RunSlot(a, i), (std::vector<std::string>{"QueryInterface", "AddRef", "Release"}[i]));
  }
  EXPECT_EQ(RunSlot(a, 3), "Invoke");
  EXPECT_EQ(RunSlot(o, 3), "Invoke");
  EXPECT_EQ(RunSlot(s, 3), "Invoke");
}

}  // namespace
}  // namespace tethra::win32::winrt
