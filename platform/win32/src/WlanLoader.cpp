// IWlanApi on wlanapi.dll, bound at run time. The library comes from the system directory only
// and every function of the list (WlanFunctions.h) is resolved by name into one table when the
// adapter is created (on the main thread, before any other thread runs); afterwards the table
// is read-only and any thread may call. Not linking against wlanapi keeps the program loadable
// where the library or its hosted-network functions are missing: the calls concerned then
// return ERROR_MOD_NOT_FOUND (the load's own error) or ERROR_PROC_NOT_FOUND, which the program
// reports as a failed start; wlanAllocateMemory then gives null with that error as the last
// error, and wlanFreeMemory does nothing.
// Owner: buffers the service returns belong to the caller (wlanFreeMemory). The program's
// notification callback and context go to the service as they are (WlanTypes.h: one calling
// convention, the same record), so this adapter keeps nothing per handle.
#include <type_traits>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/SystemLibrary.h"
#include "tethra/win32/WlanTypes.h"

namespace tethra::win32 {
namespace {

using wlan::WlanExport;

// One slot per function of the list, named as the boundary's method.
struct WlanFunctions {
#define TETHRA_WLAN_SLOT(Export, method, ...) WlanExport<&platform::IWlanApi::method> method = nullptr;
  TETHRA_WLAN_FUNCTIONS(TETHRA_WLAN_SLOT)
#undef TETHRA_WLAN_SLOT
};

class WlanApi final : public platform::IWlanApi {
 public:
  WlanApi() {
    m_Module = LoadSystemLibrary(u"wlanapi.dll");
    if (m_Module == nullptr) {
      m_MissingError = LastLoadError();
      return;
    }
    // The module stays loaded for the life of the process: the service may call back into it.
#define TETHRA_WLAN_RESOLVE(Export, method, ...) Resolve(m_Module, #Export, m_Fn.method);
    TETHRA_WLAN_FUNCTIONS(TETHRA_WLAN_RESOLVE)
#undef TETHRA_WLAN_RESOLVE
  }
  WlanApi(const WlanApi&) = delete;
  WlanApi& operator=(const WlanApi&) = delete;

 private:
  // One call of an export, or what its absence gives: the error, null memory, or nothing.
  template <typename Fn, typename... Arguments>
  auto Call(Fn fn, Arguments... arguments) const {
    using Native = std::invoke_result_t<Fn, Arguments...>;
    if constexpr (std::is_same_v<Native, DWORD>) {
      return ToError(fn != nullptr ? fn(arguments...) : missing());
    } else if constexpr (std::is_pointer_v<Native>) {
      if (fn != nullptr) return fn(arguments...);
      ::SetLastError(missing());
      return Native{nullptr};
    } else {
      static_assert(std::is_void_v<Native>, "a wlanapi result the binding has no answer for");
      if (fn != nullptr) fn(arguments...);
    }
  }

  // The error of a call whose function is not there: the library's load error, or a missing export.
  DWORD missing() const { return m_Module == nullptr ? m_MissingError : ERROR_PROC_NOT_FOUND; }

 public:
  // One forwarding override per function of the list (after Call: its result type is deduced).
#define TETHRA_WLAN_BIND(Export, method, Result, Parameters, Arguments) \
  Result method Parameters override { return Call(m_Fn.method, TETHRA_WLAN_ARGUMENTS Arguments); }
  TETHRA_WLAN_FUNCTIONS(TETHRA_WLAN_BIND)
#undef TETHRA_WLAN_BIND

 private:
  HMODULE m_Module = nullptr;
  DWORD m_MissingError = ERROR_MOD_NOT_FOUND;
  WlanFunctions m_Fn;
};

}  // namespace

std::unique_ptr<platform::IWlanApi> CreateWlanApi() { return std::make_unique<WlanApi>(); }

}  // namespace tethra::win32
