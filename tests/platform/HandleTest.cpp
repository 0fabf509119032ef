// The owners of platform handles: whatever a close does to the thread's last error, the caller
// reads the error it had before the owner let go (an error path closes, then reports).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tethra/platform/Handle.h"
#include "tethra/test/FailingAreas.h"

namespace tethra::platform {
namespace {

constexpr Win32Error kCallersError = kERROR_MORE_DATA;
constexpr Win32Error kCloseError = kERROR_INVALID_HANDLE;

class LastErrorKernel final : public test::FailingKernel {
 public:
  Win32Error getLastError() override { return lastError; }
  void setLastError(Win32Error error) override { lastError = error; }
  bool closeHandle(Handle) override { return Closed(), false; }
  // Each fake's close: counted, and the last error overwritten as a failing call would.
  void Closed() {
    ++closes;
    lastError = kCloseError;
  }
  Win32Error lastError = kERROR_SUCCESS;
  int closes = 0;
};

// A failing area whose close is reported to the kernel above.
template <typename FailingArea>
struct ClosingArea : FailingArea {
  explicit ClosingArea(LastErrorKernel& k) : kernel(k) {}
  LastErrorKernel& kernel;
};

struct Areas {
  LastErrorKernel kernel;
  struct Registry final : ClosingArea<test::FailingRegistry> {
    using ClosingArea::ClosingArea;
    Win32Error regCloseKey(Hkey) override { return kernel.Closed(), kCloseError; }
  } registry{kernel};
  struct Wlan final : ClosingArea<test::FailingWlanApi> {
    using ClosingArea::ClosingArea;
    Win32Error wlanCloseHandle(Handle, void*) override { return kernel.Closed(), kCloseError; }
    void wlanFreeMemory(void*) override { kernel.Closed(); }
  } wlan{kernel};
  struct Security final : ClosingArea<test::FailingSecurity> {
    using ClosingArea::ClosingArea;
    void freeSid(Psid) override { kernel.Closed(); }
  } security{kernel};
  struct Events final : ClosingArea<test::FailingSystemEvents> {
    using ClosingArea::ClosingArea;
    bool unregisterDeviceNotification(Hdevnotify) override { return kernel.Closed(), false; }
  } events{kernel};
  struct Sharing final : ClosingArea<test::FailingSharing> {
    using ClosingArea::ClosingArea;
    void coTaskMemFree(void*) override { kernel.Closed(); }
  } sharing{kernel};
};

template <typename T>
T Some() {
  static int slot;
  return reinterpret_cast<T>(&slot);
}

struct CloserCase {
  std::string kind;
  std::function<void(Areas&)> holdAndLetGo;  // makes an owner of one handle and lets it go
};

TEST(HandleTest, EveryOwnersCloseLeavesTheCallersLastErrorAsItWas) {
  const std::vector<CloserCase> cases = {
      {"kernel handle", [](Areas& a) { UniqueKernelHandle h(Some<Handle>(), KernelHandleCloser{&a.kernel}); }},
      {"registry key", [](Areas& a) { UniqueRegKey k(Some<Hkey>(), RegKeyCloser{&a.registry, &a.kernel}); }},
      {"WLAN handle", [](Areas& a) { UniqueWlanHandle h(Some<Handle>(), WlanHandleCloser{&a.wlan, &a.kernel}); }},
      {"WLAN memory", [](Areas& a) { UniqueWlanMemory m(Some<void*>(), WlanMemoryCloser{&a.wlan, &a.kernel}); }},
      {"SID", [](Areas& a) { UniqueSid s(Some<Psid>(), SidCloser{&a.security, &a.kernel}); }},
      {"device notification",
       [](Areas& a) {
         UniqueDeviceNotification n(Some<Hdevnotify>(), DeviceNotificationCloser{&a.events, &a.kernel});
       }},
      {"COM task memory",
       [](Areas& a) { UniqueTaskMemPtr<char16_t> t(Some<char16_t*>(), TaskMemCloser{&a.sharing, &a.kernel}); }},
  };
  for (const CloserCase& c : cases) {
    SCOPED_TRACE(c.kind);
    Areas areas;
    areas.kernel.lastError = kCallersError;
    c.holdAndLetGo(areas);
    EXPECT_EQ(areas.kernel.closes, 1);
    EXPECT_EQ(areas.kernel.lastError, kCallersError);
  }
}

TEST(HandleTest, AReleasedOrEmptyOwnerClosesNothing) {
  Areas areas;
  {
    UniqueRegKey empty(RegKeyCloser{&areas.registry, &areas.kernel});
    UniqueKernelHandle released(Some<Handle>(), KernelHandleCloser{&areas.kernel});
    EXPECT_EQ(released.release(), Some<Handle>());
  }
  EXPECT_EQ(areas.kernel.closes, 0);
}

}  // namespace
}  // namespace tethra::platform
