// Real threads: the registry command watcher renames the hosted network while the dialog's
// thread reads the name and key in force back from the WLAN service, as it does when the
// network becomes available again. Both threads replace the dialog's record of the name and
// key; run under ThreadSanitizer, an unguarded record is a reported data race. And a controller
// write that lands right after the watcher has read "Action" still wakes it. And a rename that
// fails with a name that cannot be read back keeps the name in force.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PostCountingWindows.h"
#include "ServiceHosts.h"
#include "TestCodePage.h"
#include "ThreadKernel.h"
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/app/Resource.h"
#include "tethra/platform/Registry.h"
#include "tethra/test/FailingAreas.h"

namespace tethra::app {
namespace {

using namespace std::chrono_literals;
using platform::Dword;
using platform::Hkey;

// The settings key alone, on real threads: REG_SZ values and one armed change notification
// that the next write signals. Every key path opens the same key.
class OneKeyRegistry final : public test::FailingRegistry {
 public:
  explicit OneKeyRegistry(platform::IKernel& kernel) : m_Kernel(kernel) {}

  platform::Win32Error regCreateKeyEx(Hkey, const char16_t*, Dword, Dword, Hkey* result, Dword* disposition) override {
    *result = kKey;
    if (disposition != nullptr) *disposition = platform::kREG_OPENED_EXISTING_KEY;
    return platform::kERROR_SUCCESS;
  }
  platform::Win32Error regOpenKeyEx(Hkey root, const char16_t* subKey, Dword options, Dword sam,
                                    Hkey* result) override {
    return regCreateKeyEx(root, subKey, options, sam, result, nullptr);
  }
  platform::Win32Error regCloseKey(Hkey) override { return platform::kERROR_SUCCESS; }
  platform::Win32Error regQueryValueEx(Hkey, const char16_t* name, Dword* type, std::uint8_t* data,
                                       Dword* cbData) override {
    std::u16string text;
    {
      std::lock_guard lock(m_Mutex);
      const auto it = m_Values.find(name);
      if (it == m_Values.end()) return kErrorFileNotFound;
      text = it->second;
    }
    const Dword size = static_cast<Dword>((text.size() + 1) * sizeof(char16_t));
    if (type != nullptr) *type = platform::kREG_SZ;
    if (data != nullptr) {
      if (*cbData < size) return kErrorMoreData;
      std::memcpy(data, text.c_str(), size);
      if (afterRead) afterRead(name, text);
    }
    *cbData = size;
    return platform::kERROR_SUCCESS;
  }
  platform::Win32Error regSetValueEx(Hkey, const char16_t* name, Dword, const std::uint8_t* data,
                                     Dword cbData) override {
    std::u16string text(cbData / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    write(name, text);
    return platform::kERROR_SUCCESS;
  }
  platform::Win32Error regNotifyChangeKeyValue(Hkey, bool, Dword, platform::Handle event, bool) override {
    std::lock_guard lock(m_Mutex);
    m_Armed = event;
    return platform::kERROR_SUCCESS;
  }

  // Runs on the reading thread after each read of a value's data; set before threads start.
  std::function<void(const std::u16string& name, const std::u16string& text)> afterRead;

  // A write from either side: the controller's or the program's.
  void write(const std::u16string& name, const std::u16string& text) {
    std::lock_guard lock(m_Mutex);
    m_Values[name] = text;
    if (m_Armed != nullptr) m_Kernel.setEvent(m_Armed);
    m_Armed = nullptr;
  }
  std::u16string value(const std::u16string& name) {
    std::lock_guard lock(m_Mutex);
    const auto it = m_Values.find(name);
    return it != m_Values.end() ? it->second : u"<absent>";
  }

 private:
  static constexpr platform::Win32Error kErrorFileNotFound = platform::kERROR_FILE_NOT_FOUND;
  static constexpr platform::Win32Error kErrorMoreData = platform::kERROR_MORE_DATA;
  inline static const Hkey kKey = reinterpret_cast<Hkey>(std::uintptr_t{0x5E77});

  platform::IKernel& m_Kernel;
  std::mutex m_Mutex;
  std::map<std::u16string, std::u16string> m_Values;
  platform::Handle m_Armed = nullptr;
};

// Counts the "ssid" commands the watcher has carried out, exactly. The watcher reads "Action"
// once each time it wakes; it empties "Action" when it takes a command, which wakes it once
// more, and a command itself reads only "SSID" and "Key". So the first read of "Action" after
// the one that took a command comes once that command is done.
class FinishedCommands {
 public:
  // The registry's afterRead, on the watcher's thread.
  void seen(const std::u16string& name, const std::u16string& text) {
    if (name != u"Action") return;
    std::lock_guard lock(m_Mutex);
    if (m_Taken > m_Finished) ++m_Finished;
    if (text == u"ssid") ++m_Taken;
    m_Changed.notify_all();
  }
  bool reached(int count) {
    std::lock_guard lock(m_Mutex);
    return m_Finished >= count;
  }
  bool waitFor(int count, std::chrono::steady_clock::time_point limit) {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_until(lock, limit, [&] { return m_Finished >= count; });
  }

 private:
  std::mutex m_Mutex;
  std::condition_variable m_Changed;
  int m_Taken = 0;
  int m_Finished = 0;
};

// A network shell that cannot be started, as when netsh is missing.
class MissingShell final : public test::FailingProcessStart {
 public:
  bool shellExecuteEx(platform::ShellExecuteInfo*) override { return false; }
};

struct WatcherRig {
  explicit WatcherRig(platform::IProcessStart* shell = nullptr)
      : codePage(1252, kernel), service(host, codePage, &kernel, {}), registry(kernel) {
    registry.afterRead = [this](const std::u16string& name, const std::u16string& text) { commands.seen(name, text); };
    platform.processStart = shell;
    platform.kernel = &kernel;
    platform.codePage = &codePage;
    platform.windows = &windows;
    platform.wlan = &service;
    platform.registry = &registry;
    platform = others.around(platform);
  }
  ~WatcherRig() { kernel.joinThreads(); }  // before the registry and service the watcher uses go

  // True once the watcher has emptied "Action" and waits for a change: only its thread waits.
  bool watcherStarted() { return kernel.waiters() == 1 && registry.value(u"Action").empty(); }
  // Waits until the watcher has started, or until `limit`; true when it has.
  bool awaitWatcher(std::chrono::steady_clock::time_point limit) {
    while (!watcherStarted() && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(1ms);
    return watcherStarted();
  }
  // The controller's rename: the new name, its key (the name and "-key"), then the command.
  void writeRename(const std::u16string& name) {
    registry.write(u"SSID", name);
    registry.write(u"Key", name + u"-key");
    registry.write(u"Action", u"ssid");
  }

  wlan::test::ThreadKernel kernel;
  wlan::test::TestCodePage codePage;
  wlan::test::PostCountingWindows windows;
  wlan::test::ManualHost host;
  sim::SimWlanService service;
  OneKeyRegistry registry;
  FinishedCommands commands;
  test::FailingPlatform others;
  platform::Platform platform;
};

// The dialog with what these tests reach: its state, its WLAN manager, its reading of the name
// and key in force, its start-up and its first step of every way out.
class DialogForTests : public CHostedNetworkDlg {
 public:
  using CHostedNetworkDlg::CHostedNetworkDlg;
  using CHostedNetworkDlg::BeginEnd;
  using CHostedNetworkDlg::OnInitDialog;
  using CHostedNetworkDlg::Session;
  using CHostedNetworkDlg::State;
  using CHostedNetworkDlg::WlanManager;
};

// A dialog past its start-up, as far as the watcher can tell: these tests make no window.
class StartedDialog : public DialogForTests {
 public:
  StartedDialog(const platform::Platform& platform, std::u16string commandLine)
      : DialogForTests(platform, std::move(commandLine)) {
    HandOverToWatcher();
  }
};

// Ends the watcher however a test ends: an ASSERT returns early, and a watcher left waiting
// would hang the test in the rig's join instead of failing it. The dialog's own first step of
// an end sets it closing and wakes the watcher.
struct WatcherEnd {
  DialogForTests& dialog;
  WatcherRig& rig;
  ~WatcherEnd() {
    dialog.BeginEnd();
    rig.kernel.joinThreads();
  }
};

TEST(WatcherAgainstDialogTest, RenamesWhileTheDialogReadsTheNameAndKeyInForce) {
  WatcherRig rig;
  StartedDialog dialog(rig.platform, u"/ShareLAN");  // starts the watcher thread
  const WatcherEnd end{dialog, rig};
  ASSERT_EQ(dialog.WlanManager().Init(10), platform::kS_OK);

  const auto limit = std::chrono::steady_clock::now() + 30s;
  ASSERT_TRUE(rig.awaitWatcher(limit)) << "the watcher never started waiting";

  int rounds = 0;
  for (const char16_t* name : {u"Workshop", u"Garage", u"Attic"}) {
    rig.writeRename(name);
    // The dialog's thread, meanwhile, reads what the WLAN service holds into the same record.
    do {
      dialog.Session().GetHostedNetworkInfo();
    } while (!rig.commands.reached(rounds + 1) && std::chrono::steady_clock::now() < limit);
    ASSERT_TRUE(rig.commands.reached(rounds + 1)) << "the watcher did not finish the command for " << rounds;
    ++rounds;
  }
  dialog.Session().GetHostedNetworkInfo();
  EXPECT_EQ(dialog.State().NameInForce().Get(), u"Attic");
  EXPECT_EQ(dialog.State().KeyInForce().Get(), u"Attic-key");
}

TEST(WatcherAgainstDialogTest, AFailedRenameWhoseNameCannotBeReadKeepsTheNameInForce) {
  MissingShell shell;
  WatcherRig rig(&shell);
  StartedDialog dialog(rig.platform, u"/ShareLAN");
  const WatcherEnd end{dialog, rig};
  // The WLAN manager is never initialised: the rename and the reading back of the name fail,
  // and the running network's restart fails in the network shell.
  dialog.State().NameInForce().Set(u"TethraNet");
  dialog.State().NoteStarted(true);
  const auto limit = std::chrono::steady_clock::now() + 30s;
  ASSERT_TRUE(rig.awaitWatcher(limit)) << "the watcher never started waiting";

  rig.writeRename(u"Workshop");
  ASSERT_TRUE(rig.commands.waitFor(1, limit)) << "the watcher did not finish the command";
  EXPECT_EQ(dialog.State().NameInForce().Get(), u"TethraNet");
  EXPECT_TRUE(dialog.State().SilentClose()) << "a rename that did not take closes the program";
}

TEST(WatcherAgainstControllerTest, AWriteRightAfterTheWatcherReadActionStillWakesIt) {
  WatcherRig rig;
  std::atomic<bool> written{false};
  // The controller writes "close" just after the watcher has read an empty "Action".
  rig.registry.afterRead = [&](const std::u16string& name, const std::u16string& text) {
    if (name == u"Action" && text.empty() && !written.exchange(true)) rig.registry.write(u"Action", u"close");
  };  // replaces the rig's count of commands, which this test does not use
  StartedDialog dialog(rig.platform, u"/ShareLAN");
  const WatcherEnd end{dialog, rig};
  const auto limit = std::chrono::steady_clock::now() + 30s;
  while (rig.kernel.waiters() != 1 && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(rig.kernel.waiters(), 1) << "the watcher never started waiting";

  rig.registry.write(u"Current SSID", u"TethraNet");  // wakes the watcher with nothing to do
  const auto closeLimit = std::chrono::steady_clock::now() + 5s;
  // A close sets the silent flag (and posts WM_CLOSE to a window this test does not make).
  while (!dialog.State().SilentClose() && std::chrono::steady_clock::now() < closeLimit) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(written);
  EXPECT_TRUE(dialog.State().SilentClose()) << "the close written after the read was never seen";
}

// The window system of a dialog starting up: its controls and the controller window exist,
// texts are kept per window. Nothing here synchronises the two threads, so that under
// ThreadSanitizer only the program's own hand-over can order them.
class StartUpWindows final : public test::FailingWindowSystem {
 public:
  // Runs first in OnInitDialog: holds the start-up until the watcher has read the new name
  // and key, or 300 ms, so that a watcher not held back runs its command before the controls
  // are bound. Relaxed flags and a plain sleep: no ordering between the threads.
  Hwnd findWindow(const char16_t*, const char16_t*) override {
    const auto limit = std::chrono::steady_clock::now() + 300ms;
    while (!commandRead.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(1ms);
    }
    if (commandRead.load(std::memory_order_relaxed)) std::this_thread::sleep_for(100ms);
    return kController;
  }
  Hwnd getDlgItem(Hwnd, int id) override { return reinterpret_cast<Hwnd>(std::uintptr_t{0x1000} + id); }
  bool showWindowAsync(Hwnd, int) override { return true; }
  bool setWindowText(Hwnd hwnd, const char16_t* text) override {
    std::lock_guard lock(m_Mutex);
    m_Texts[hwnd] = text;
    m_Shown[hwnd].emplace_back(text);
    return true;
  }
  std::u16string getWindowText(Hwnd hwnd) override {
    std::lock_guard lock(m_Mutex);
    return m_Texts[hwnd];
  }
  // Every text a control was given, in order.
  std::vector<std::u16string> shown(int id) {
    std::lock_guard lock(m_Mutex);
    return m_Shown[getDlgItem(nullptr, id)];
  }
  bool peekMessage(platform::Msg*, Hwnd, std::uint32_t, std::uint32_t, std::uint32_t) override { return false; }
  bool postMessage(Hwnd, std::uint32_t, WParam, LParam) override { return true; }

  std::atomic<bool> commandRead{false};

 private:
  inline static const Hwnd kController = reinterpret_cast<Hwnd>(std::uintptr_t{0xC0});
  std::mutex m_Mutex;
  std::map<Hwnd, std::u16string> m_Texts;
  std::map<Hwnd, std::vector<std::u16string>> m_Shown;
};

// A rename written while the dialog is still starting: the watcher takes the command but
// carries it out only once the dialog has bound its controls, so the name edit is given the
// new name (a command run earlier writes to an unbound control and is lost), and under
// ThreadSanitizer the controls' handles are never read while OnInitDialog writes them. (Which
// name the edit shows last depends on whether the dialog read the name in force before or
// after the rename; both are right. So does the key: the restart fails when the dialog's
// start-up has started the network by then, as this test's shell cannot run.)
TEST(WatcherAgainstStartUpTest, ARenameWrittenDuringStartUpWaitsForTheControls) {
  WatcherRig rig;
  StartUpWindows windows;
  rig.platform.windows = &windows;
  rig.registry.afterRead = [&](const std::u16string& name, const std::u16string&) {
    if (name == u"Key") windows.commandRead.store(true, std::memory_order_relaxed);
  };
  DialogForTests dialog(rig.platform, u"/ShareLAN");
  const WatcherEnd end{dialog, rig};
  const auto limit = std::chrono::steady_clock::now() + 30s;
  ASSERT_TRUE(rig.awaitWatcher(limit)) << "the watcher never started waiting";

  rig.writeRename(u"Workshop");
  dialog.OnInitDialog();

  // The watcher gives the edit the new name before anything else it does for the command.
  const auto shownLimit = std::chrono::steady_clock::now() + 5s;
  auto nameShown = [&] {
    const std::vector<std::u16string> names = windows.shown(IDC_EDIT_NAME);
    return std::find(names.begin(), names.end(), u"Workshop") != names.end();
  };
  while (!nameShown() && std::chrono::steady_clock::now() < shownLimit) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(windows.commandRead) << "the watcher never read the rename";
  EXPECT_TRUE(nameShown()) << "the new name never reached the edit";
}

}  // namespace
}  // namespace tethra::app
