// IComRuntime on CoInitializeEx/CoInitialize/CoUninitialize of the calling thread.

#include "tethra/win32/Adapters.h"
#include "tethra/win32/Win32Common.h"

#include <objbase.h>

namespace tethra::win32 {
namespace {

static_assert(platform::kCOINIT_MULTITHREADED == COINIT_MULTITHREADED &&
              platform::kCOINIT_APARTMENTTHREADED == COINIT_APARTMENTTHREADED);

class ComRuntime final : public platform::IComRuntime {
 public:
  platform::HResult coInitializeEx(platform::Dword coInit) override {
    return ToHResult(::CoInitializeEx(nullptr, coInit));
  }
  platform::HResult coInitialize() override { return ToHResult(::CoInitialize(nullptr)); }
  void coUninitialize() override { ::CoUninitialize(); }
};

}  // namespace

std::unique_ptr<platform::IComRuntime> CreateComRuntime() { return std::make_unique<ComRuntime>(); }

}  // namespace tethra::win32
