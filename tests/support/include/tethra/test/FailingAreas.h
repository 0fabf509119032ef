// Test support: one base per platform area in which every operation fails the way a missing
// object or an unavailable service does (false, null, an error code) and is written down as an
// unexpected call. A test fake derives from the base and overrides only the operations it
// observes; whatever else the code under test reaches shows up in unexpectedCalls() instead of
// passing silently. FailingPlatform fills every slot of a Platform with such a base, so a rig
// replaces only the areas it cares about.
//
// Any thread may call; the record is locked.
#pragma once

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "tethra/platform/Platform.h"

namespace tethra::test {

class UnexpectedCallLog {
 public:
  std::vector<std::string> unexpectedCalls() const {
    std::lock_guard lock(m_Mutex);
    return m_Calls;
  }

 protected:
  void unexpected(const char* operation) const {
    std::lock_guard lock(m_Mutex);
    m_Calls.emplace_back(operation);
  }

 private:
  mutable std::mutex m_Mutex;
  mutable std::vector<std::string> m_Calls;
};

// What a base gives back for "not available".
inline constexpr platform::Win32Error kFailingError = platform::kERROR_NOT_SUPPORTED;
inline constexpr platform::HResult kFailingHResult{0x80004001u};  // E_NOTIMPL

class FailingKernel : public platform::IKernel, public UnexpectedCallLog {
 public:
  platform::Win32Error getLastError() override { return unexpected("getLastError"), kFailingError; }
  void setLastError(platform::Win32Error) override { unexpected("setLastError"); }
  platform::Handle createMutex(bool, const char16_t*) override { return unexpected("createMutex"), nullptr; }
  bool releaseMutex(platform::Handle) override { return unexpected("releaseMutex"), false; }
  platform::Handle createEvent(bool, bool) override { return unexpected("createEvent"), nullptr; }
  bool setEvent(platform::Handle) override { return unexpected("setEvent"), false; }
  bool resetEvent(platform::Handle) override { return unexpected("resetEvent"), false; }
  platform::Handle createThread(platform::ThreadProc, void*, platform::Dword*) override {
    return unexpected("createThread"), nullptr;
  }
  bool closeHandle(platform::Handle) override { return unexpected("closeHandle"), false; }
  platform::Dword waitForSingleObject(platform::Handle, platform::Dword) override {
    return unexpected("waitForSingleObject"), platform::kWAIT_FAILED;
  }
  void sleep(platform::Dword) override { unexpected("sleep"); }
  std::unique_ptr<platform::ICriticalSection> createCriticalSection() override {
    return unexpected("createCriticalSection"), nullptr;
  }
  platform::Dword getTickCount() override { return unexpected("getTickCount"), 0; }
  void getLocalTime(platform::SystemTime* time) override { unexpected("getLocalTime"), *time = {}; }
  void getSystemTime(platform::SystemTime* time) override { unexpected("getSystemTime"), *time = {}; }
  [[noreturn]] void exitProcess(platform::Dword) override { std::abort(); }  // a test never ends its process
};

class FailingRegistry : public platform::IRegistry, public UnexpectedCallLog {
 public:
  using Dword = platform::Dword;
  using Hkey = platform::Hkey;
  platform::Win32Error regCreateKeyEx(Hkey, const char16_t*, Dword, Dword, Hkey*, Dword*) override {
    return unexpected("regCreateKeyEx"), kFailingError;
  }
  platform::Win32Error regOpenKeyEx(Hkey, const char16_t*, Dword, Dword, Hkey*) override {
    return unexpected("regOpenKeyEx"), kFailingError;
  }
  platform::Win32Error regCloseKey(Hkey) override { return unexpected("regCloseKey"), kFailingError; }
  platform::Win32Error regQueryValueEx(Hkey, const char16_t*, Dword*, std::uint8_t*, Dword*) override {
    return unexpected("regQueryValueEx"), kFailingError;
  }
  platform::Win32Error regSetValueEx(Hkey, const char16_t*, Dword, const std::uint8_t*, Dword) override {
    return unexpected("regSetValueEx"), kFailingError;
  }
  platform::Win32Error regGetValue(Hkey, const char16_t*, const char16_t*, Dword, Dword*, void*, Dword*) override {
    return unexpected("regGetValue"), kFailingError;
  }
  platform::Win32Error regNotifyChangeKeyValue(Hkey, bool, Dword, platform::Handle, bool) override {
    return unexpected("regNotifyChangeKeyValue"), kFailingError;
  }
};

class FailingWindowSystem : public platform::IWindowSystem, public UnexpectedCallLog {
 public:
  using Hwnd = platform::Hwnd;
  using LResult = platform::LResult;
  using WParam = platform::WParam;
  using LParam = platform::LParam;
  bool initCommonControlsEx(platform::Dword, platform::Dword) override {
    return unexpected("initCommonControlsEx"), false;
  }
  int loadString(std::uint32_t, char16_t*, int) override { return unexpected("loadString"), 0; }
  platform::Hicon loadIcon(int) override { return unexpected("loadIcon"), nullptr; }
  std::intptr_t dialogBoxParam(int, Hwnd, platform::DlgProc, LParam) override {
    return unexpected("dialogBoxParam"), -1;
  }
  bool endDialog(Hwnd, std::intptr_t) override { return unexpected("endDialog"), false; }
  Hwnd getDlgItem(Hwnd, int) override { return unexpected("getDlgItem"), nullptr; }
  Hwnd findWindow(const char16_t*, const char16_t*) override { return unexpected("findWindow"), nullptr; }
  bool isWindow(Hwnd) override { return unexpected("isWindow"), false; }
  bool showWindow(Hwnd, int) override { return unexpected("showWindow"), false; }
  bool showWindowAsync(Hwnd, int) override { return unexpected("showWindowAsync"), false; }
  bool setWindowPos(Hwnd, Hwnd, int, int, int, int, std::uint32_t) override {
    return unexpected("setWindowPos"), false;
  }
  bool isWindowVisible(Hwnd) override { return unexpected("isWindowVisible"), false; }
  bool isIconic(Hwnd) override { return unexpected("isIconic"), false; }
  bool enableWindow(Hwnd, bool) override { return unexpected("enableWindow"), false; }
  bool isWindowEnabled(Hwnd) override { return unexpected("isWindowEnabled"), false; }
  Hwnd setFocus(Hwnd) override { return unexpected("setFocus"), nullptr; }
  bool setWindowText(Hwnd, const char16_t*) override { return unexpected("setWindowText"), false; }
  std::u16string getWindowText(Hwnd) override { return unexpected("getWindowText"), std::u16string(); }
  bool getClientRect(Hwnd, platform::Rect*) override { return unexpected("getClientRect"), false; }
  int getSystemMetrics(int) override { return unexpected("getSystemMetrics"), 0; }
  LResult sendMessage(Hwnd, std::uint32_t, WParam, LParam) override { return unexpected("sendMessage"), 0; }
  bool sendMessageTimeout(Hwnd, std::uint32_t, WParam, LParam, std::uint32_t, std::uint32_t, LResult*) override {
    return unexpected("sendMessageTimeout"), false;
  }
  bool postMessage(Hwnd, std::uint32_t, WParam, LParam) override { return unexpected("postMessage"), false; }
  bool peekMessage(platform::Msg*, Hwnd, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return unexpected("peekMessage"), false;
  }
  bool translateMessage(const platform::Msg*) override { return unexpected("translateMessage"), false; }
  LResult dispatchMessage(const platform::Msg*) override { return unexpected("dispatchMessage"), 0; }
  platform::Hmenu getSystemMenu(Hwnd, bool) override { return unexpected("getSystemMenu"), nullptr; }
  bool appendMenu(platform::Hmenu, std::uint32_t, std::uintptr_t, const char16_t*) override {
    return unexpected("appendMenu"), false;
  }
  platform::Hdc beginPaint(Hwnd) override { return unexpected("beginPaint"), nullptr; }
  void endPaint(Hwnd, platform::Hdc) override { unexpected("endPaint"); }
  bool drawIcon(platform::Hdc, int, int, platform::Hicon) override { return unexpected("drawIcon"), false; }
  platform::Himagelist imageListCreate(int, int, std::uint32_t, int, int) override {
    return unexpected("imageListCreate"), nullptr;
  }
  int imageListAddIcon(platform::Himagelist, platform::Hicon) override { return unexpected("imageListAddIcon"), -1; }
  std::uint32_t imageListSetBkColor(platform::Himagelist, std::uint32_t) override {
    return unexpected("imageListSetBkColor"), platform::kCLR_NONE;
  }
};

class FailingSystemEvents : public platform::ISystemEvents, public UnexpectedCallLog {
 public:
  bool wtsRegisterSessionNotification(platform::Hwnd, platform::Dword) override {
    return unexpected("wtsRegisterSessionNotification"), false;
  }
  bool wtsUnRegisterSessionNotification(platform::Hwnd) override {
    return unexpected("wtsUnRegisterSessionNotification"), false;
  }
  platform::Hdevnotify registerDeviceNotification(platform::Hwnd, const void*, platform::Dword) override {
    return unexpected("registerDeviceNotification"), nullptr;
  }
  bool unregisterDeviceNotification(platform::Hdevnotify) override {
    return unexpected("unregisterDeviceNotification"), false;
  }
};

class FailingCodePage : public platform::ICodePage, public UnexpectedCallLog {
 public:
  int wideCharToMultiByte(std::uint32_t, platform::Dword, const char16_t*, int, char*, int, const char*,
                          platform::Bool32*) override {
    return unexpected("wideCharToMultiByte"), 0;
  }
  int multiByteToWideChar(std::uint32_t, platform::Dword, const char*, int, char16_t*, int) override {
    return unexpected("multiByteToWideChar"), 0;
  }
};

// What a failing WLAN function gives back: the error, no memory, or nothing.
template <typename Result>
Result FailingWlanResult() {
  if constexpr (std::is_same_v<Result, platform::Win32Error>) {
    return kFailingError;
  } else if constexpr (std::is_pointer_v<Result>) {
    return nullptr;
  } else {
    static_assert(std::is_void_v<Result>, "a WLAN result the failing base has no answer for");
  }
}
template <typename... Arguments>
void IgnoreArguments(const Arguments&...) {}

// One override per function of the list (WlanFunctions.h), recorded under the method's name.
class FailingWlanApi : public platform::IWlanApi, public UnexpectedCallLog {
 public:
#define TETHRA_FAILING_WLAN(Export, method, Result, Parameters, Arguments) \
  Result method Parameters override {                                       \
    IgnoreArguments Arguments;                                               \
    unexpected(#method);                                                     \
    return FailingWlanResult<Result>();                                      \
  }
  TETHRA_WLAN_FUNCTIONS(TETHRA_FAILING_WLAN)
#undef TETHRA_FAILING_WLAN
};

class FailingSecurity : public platform::ISecurity, public UnexpectedCallLog {
 public:
  bool allocateAndInitializeSid(const platform::SidIdentifierAuthority&, std::uint8_t, platform::Dword,
                                platform::Dword, platform::Dword, platform::Dword, platform::Dword, platform::Dword,
                                platform::Dword, platform::Dword, platform::Psid*) override {
    return unexpected("allocateAndInitializeSid"), false;
  }
  bool checkTokenMembership(platform::Handle, platform::Psid, platform::Bool32*) override {
    return unexpected("checkTokenMembership"), false;
  }
  void freeSid(platform::Psid) override { unexpected("freeSid"); }
};

class FailingProcessStart : public platform::IProcessStart, public UnexpectedCallLog {
 public:
  bool shellExecuteEx(platform::ShellExecuteInfo*) override { return unexpected("shellExecuteEx"), false; }
  bool getExitCodeProcess(platform::Handle, platform::Dword*) override {
    return unexpected("getExitCodeProcess"), false;
  }
};

class FailingComRuntime : public platform::IComRuntime, public UnexpectedCallLog {
 public:
  platform::HResult coInitializeEx(platform::Dword) override { return unexpected("coInitializeEx"), kFailingHResult; }
  platform::HResult coInitialize() override { return unexpected("coInitialize"), kFailingHResult; }
  void coUninitialize() override { unexpected("coUninitialize"); }
  platform::HResult coInitializeSecurity(platform::Dword, platform::Dword, platform::Dword) override {
    return unexpected("coInitializeSecurity"), kFailingHResult;
  }
};

class FailingSharing : public platform::ISharing, public UnexpectedCallLog {
 public:
  platform::HResult createNetSharingManager(const platform::Guid&, platform::Dword,
                                            platform::INetSharingManager**) override {
    return unexpected("createNetSharingManager"), kFailingHResult;
  }
  platform::HResult createNetConnectionManager(const platform::Guid&, platform::Dword,
                                               platform::INetConnectionManager**) override {
    return unexpected("createNetConnectionManager"), kFailingHResult;
  }
  void coTaskMemFree(void*) override { unexpected("coTaskMemFree"); }
  platform::HResult stringFromClsid(const platform::Guid&, char16_t**) override {
    return unexpected("stringFromClsid"), kFailingHResult;
  }
  void outputDebugString(const char16_t*) override { unexpected("outputDebugString"); }
};

class FailingModuleLoader : public platform::IModuleLoader, public UnexpectedCallLog {
 public:
  platform::Hmodule loadLibrary(const char16_t*) override { return unexpected("loadLibrary"), nullptr; }
  platform::NcFreeNetconPropertiesFn getNcFreeNetconProperties(platform::Hmodule, const char*) override {
    return unexpected("getNcFreeNetconProperties"), nullptr;
  }
  bool freeLibrary(platform::Hmodule) override { return unexpected("freeLibrary"), false; }
};

class FailingMobileHotspot : public platform::IMobileHotspot, public UnexpectedCallLog {
 public:
  platform::HResult createManager(const platform::ProfileSelector&,
                                  std::unique_ptr<platform::ITetheringManager>*) override {
    return unexpected("createManager"), platform::kHotspotClassNotRegistered;
  }
  platform::HResult subscribeNetworkChanges(platform::INetworkChangeObserver&, std::int64_t*) override {
    return unexpected("subscribeNetworkChanges"), platform::kHotspotClassNotRegistered;
  }
  void unsubscribeNetworkChanges(std::int64_t) override { unexpected("unsubscribeNetworkChanges"); }
  platform::HResult noConnectionsTimeoutEnabled(bool*) override {
    return unexpected("noConnectionsTimeoutEnabled"), platform::kHotspotNoTimeoutSetting;
  }
  platform::HResult setNoConnectionsTimeout(bool, std::shared_ptr<platform::ITetheringCompletion>,
                                            std::unique_ptr<platform::ITetheringOperation>*) override {
    return unexpected("setNoConnectionsTimeout"), platform::kHotspotNoTimeoutSetting;
  }
};

// Tracing is never unexpected: the lines are dropped.
class DiscardingTrace final : public platform::ITrace {
 public:
  void write(const char*) override {}
};

// A complete Platform of failing areas. A rig puts its own fakes into the slots it observes.
struct FailingPlatform {
  FailingKernel kernel;
  FailingRegistry registry;
  FailingWindowSystem windows;
  FailingSystemEvents systemEvents;
  FailingCodePage codePage;
  FailingWlanApi wlan;
  FailingSecurity security;
  FailingProcessStart processStart;
  FailingComRuntime com;
  DiscardingTrace trace;
  FailingSharing sharing;
  FailingModuleLoader modules;
  FailingMobileHotspot hotspot;

  platform::Platform all() {
    return platform::Platform{&kernel, &registry, &windows, &systemEvents, &codePage, &wlan, &security,
                              &processStart, &com, &trace, &sharing, &modules, &hotspot};
  }

  // `partial` with each empty slot filled from here.
  platform::Platform around(platform::Platform partial) {
    using P = platform::Platform;
    fill<&P::kernel, &P::registry, &P::windows, &P::systemEvents, &P::codePage, &P::wlan, &P::security,
         &P::processStart, &P::com, &P::trace, &P::sharing, &P::modules, &P::hotspot>(partial, all());
    return partial;
  }

 private:
  template <auto... Slots>
  static void fill(platform::Platform& partial, const platform::Platform& failing) {
    ((partial.*Slots = partial.*Slots != nullptr ? partial.*Slots : failing.*Slots), ...);
  }
};

}  // namespace tethra::test
