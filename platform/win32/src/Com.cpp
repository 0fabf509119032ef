// IComRuntime on CoInitializeEx/CoInitialize/CoUninitialize of the calling thread and
// CoInitializeSecurity of the process.

#include "tethra/win32/Adapters.h"
#include "tethra/win32/Win32Common.h"

#include <objbase.h>

namespace tethra::win32 {
namespace {

static_assert(platform::kCOINIT_MULTITHREADED == COINIT_MULTITHREADED &&
              platform::kCOINIT_APARTMENTTHREADED == COINIT_APARTMENTTHREADED);
static_assert(platform::kRPC_C_AUTHN_LEVEL_PKT == RPC_C_AUTHN_LEVEL_PKT &&
              platform::kRPC_C_IMP_LEVEL_IMPERSONATE == RPC_C_IMP_LEVEL_IMPERSONATE && platform::kEOAC_NONE == EOAC_NONE);
static_assert(platform::Raw(platform::kRPC_E_TOO_LATE) == static_cast<std::uint32_t>(RPC_E_TOO_LATE));

class ComRuntime final : public platform::IComRuntime {
 public:
  platform::HResult coInitializeEx(platform::Dword coInit) override {
    return ToHResult(::CoInitializeEx(nullptr, coInit));
  }
  platform::HResult coInitialize() override { return ToHResult(::CoInitialize(nullptr)); }
  void coUninitialize() override { ::CoUninitialize(); }
  platform::HResult coInitializeSecurity(platform::Dword authnLevel, platform::Dword impLevel,
                                         platform::Dword capabilities) override {
    return ToHResult(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, authnLevel, impLevel, nullptr,
                                            capabilities, nullptr));
  }
};

}  // namespace

std::unique_ptr<platform::IComRuntime> CreateComRuntime() { return std::make_unique<ComRuntime>(); }

}  // namespace tethra::win32
