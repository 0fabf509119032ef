// The window system: sent messages across threads, queue order, the modal dialog's life as the
// program sees it (init, show, paint, hide, click, close), controls, system events, the end of
// a window's process, and run-to-run determinism of the transcript.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tethra/sim/DeviceNotification.h"
#include "tethra/sim/World.h"

namespace {

using tethra::sim::World;
namespace p = tethra::platform;

constexpr std::uint32_t kPing = p::kWM_USER + 1;

const p::ModuleResources& resources() {
  static const p::ModuleResources res{
      {{102,
        u"WiFi Hosted Network",
        0,
        true,
        true,
        {{p::ControlKind::Edit, 1000, u"", 0},
         {p::ControlKind::CheckBox, 1009, u"Enable ICS on", 0},
         {p::ControlKind::ComboBox, 1003, u"", 0, true, true},
         {p::ControlKind::ListBox, 1011, u"", 0},
         {p::ControlKind::Static, 1007, u"", 0}}}},
      {{101, u"&About HostedNetwork..."}},
      {128}};
  return res;
}

// What the dialog procedure below saw; one per test.
struct DialogState {
  p::IWindowSystem* windows = nullptr;
  std::vector<p::LResult> comboPositions;
  std::vector<int> clicks;
  int paints = 0;
};
DialogState* g_dialog = nullptr;

std::intptr_t dialogProc(p::Hwnd hwnd, std::uint32_t message, p::WParam wParam, p::LParam) {
  auto* ws = g_dialog->windows;
  switch (message) {
    case p::kWM_INITDIALOG: {
      ws->setWindowPos(hwnd, nullptr, 0, 0, 0, 0, p::kSWP_HIDEWINDOW);
      ws->sendMessage(ws->getDlgItem(hwnd, 1000), p::kEM_LIMITTEXT, 32, 0);
      const p::Hwnd combo = ws->getDlgItem(hwnd, 1003);
      for (const char16_t* text : {u"Wireless", u"Ethernet", u"ethernet 2", u"Bluetooth"}) {
        g_dialog->comboPositions.push_back(ws->sendMessage(combo, p::kCB_ADDSTRING, 0, reinterpret_cast<p::LParam>(text)));
      }
      ws->sendMessage(ws->getDlgItem(hwnd, 1009), p::kBM_SETCHECK, p::kBST_CHECKED, 0);
      char16_t about[64] = {};
      if (ws->loadString(101, about, 64) > 0) ws->appendMenu(ws->getSystemMenu(hwnd, false), 0, 16, about);
      return 1;
    }
    case p::kWM_PAINT:
      ++g_dialog->paints;
      ws->showWindow(hwnd, p::kSW_HIDE);
      return 1;
    case p::kWM_COMMAND:
      if ((wParam >> 16) == p::kBN_CLICKED) g_dialog->clicks.push_back(static_cast<int>(wParam & 0xFFFF));
      return 1;
    case p::kWM_CLOSE:
      ws->endDialog(hwnd, 7);
      return 1;
    default:
      return 0;
  }
}

TEST(WindowsTest, ThreadsSendingToEachOtherDoNotDeadlock) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* ws = program.platform().windows;
  auto& machine = world.windows();
  p::Hwnd alpha = nullptr, beta = nullptr;
  p::LResult toBeta = 0, toAlpha = 0;
  auto both = [&] { return toBeta != 0 && toAlpha != 0; };
  world.startThread(program, "alpha", [&] {
    alpha = machine.createWindow(u"W", u"Alpha", [](p::Hwnd, std::uint32_t, p::WParam, p::LParam) { return 1; }, false);
    program.platform().kernel->sleep(1);
    toBeta = ws->sendMessage(beta, kPing, 0, 0);
    machine.runMessageLoop(both);
  });
  world.startThread(program, "beta", [&] {
    beta = machine.createWindow(u"W", u"Beta", [](p::Hwnd, std::uint32_t, p::WParam, p::LParam) { return 2; }, false);
    program.platform().kernel->sleep(1);
    toAlpha = ws->sendMessage(alpha, kPing, 0, 0);
    machine.runMessageLoop(both);
  });
  world.run([&] { EXPECT_TRUE(world.waitIdle()); });
  EXPECT_EQ(toBeta, 2);
  EXPECT_EQ(toAlpha, 1);
  EXPECT_EQ(world.now(), 1u);
}

TEST(WindowsTest, SendBlocksUntilTheOwnerHandlesItAndPeekTakesOnlyWhatIsQueued) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* ws = program.platform().windows;
  auto* kernel = program.platform().kernel;
  auto& machine = world.windows();
  p::Hwnd owner = nullptr;
  int handled = 0, peeked = 0;
  bool senderDone = false, senderRanBeforePeekEnded = false;
  std::uint64_t answeredAt = 0, peekTime = 99;
  p::LResult answer = 0;
  world.startThread(program, "owner", [&] {
    owner = machine.createWindow(u"W", u"Owner", [&](p::Hwnd, std::uint32_t m, p::WParam, p::LParam) -> p::LResult {
      ++handled;
      return m == kPing ? 42 : 0;
    }, false);
    ws->postMessage(owner, p::kWM_USER, 0, 0);
    ws->postMessage(owner, p::kWM_USER, 1, 0);
    p::Msg msg;
    while (ws->peekMessage(&msg, nullptr, 0, 0, p::kPM_REMOVE)) {
      ws->dispatchMessage(&msg);
      ++peeked;
    }
    senderRanBeforePeekEnded = senderDone;
    peekTime = world.now();
    kernel->sleep(500);
    machine.runMessageLoop([&] { return senderDone; });
  });
  world.startThread(program, "sender", [&] {
    answer = ws->sendMessage(owner, kPing, 0, 0);
    answeredAt = world.now();
    senderDone = true;
  });
  world.run([&] { world.waitIdle(); });
  EXPECT_EQ(peeked, 2);
  EXPECT_EQ(peekTime, 0u);
  EXPECT_FALSE(senderRanBeforePeekEnded);
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(answeredAt, 500u);
  EXPECT_EQ(handled, 3);
}

TEST(WindowsTest, ModalDialogLivesAsOnWindows) {
  World world({});
  auto& program = world.createProcess("tethra", true, &resources());
  DialogState state;
  state.windows = program.platform().windows;
  g_dialog = &state;
  auto& ws = world.windows();
  std::intptr_t result = 0;
  bool renamed = false;
  world.startThread(program, "main", [&] { result = state.windows->dialogBoxParam(102, nullptr, &dialogProc, 0); });
  world.run([&] {
    ASSERT_TRUE(world.block([&] { return ws.programReady(); }));
    const p::Hwnd dialog = ws.programDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ws.find(u"WiFi Hosted Network"), dialog);
    EXPECT_FALSE(ws.visible(dialog));
    EXPECT_EQ(state.paints, 1);
    const auto& events = world.transcript().events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].find("window \"WiFi Hosted Network\" shown"), std::string::npos);
    EXPECT_NE(events[1].find("window \"WiFi Hosted Network\" hidden"), std::string::npos);

    const p::Hwnd combo = ws.control(dialog, 1003);
    EXPECT_EQ(state.comboPositions, (std::vector<p::LResult>{0, 0, 1, 0}));
    EXPECT_EQ(ws.listBoxLines(combo),
              (std::vector<std::u16string>{u"Bluetooth", u"Ethernet", u"ethernet 2", u"Wireless"}));
    EXPECT_FALSE(ws.enabled(combo));
    EXPECT_EQ(ws.textLimit(ws.control(dialog, 1000)), 32);
    EXPECT_EQ(ws.focus(), ws.control(dialog, 1000));  // first enabled control that takes focus
    EXPECT_EQ(ws.systemMenuItems(dialog), std::vector<std::u16string>{u"&About HostedNetwork..."});

    ws.click(ws.control(dialog, 1009));
    ws.click(combo);  // disabled: nothing reaches the dialog
    world.waitIdle();
    EXPECT_EQ(state.clicks, std::vector<int>{1009});
    EXPECT_FALSE(ws.checked(ws.control(dialog, 1009)));

    world.startThread(program, "watcher", [&] {
      renamed = state.windows->setWindowText(ws.control(dialog, 1000), u"Renamed");
      EXPECT_EQ(state.windows->getWindowText(ws.control(dialog, 1000)), u"Renamed");
    });
    world.waitIdle();
    ws.post(dialog, p::kWM_CLOSE, 0, 0);
    world.waitIdle();
    EXPECT_FALSE(ws.post(dialog, p::kWM_CLOSE, 0, 0));  // the dialog is gone
    EXPECT_EQ(ws.text(ws.control(dialog, 1000)), u"Renamed");  // its last state stays readable
  });
  EXPECT_TRUE(renamed);
  EXPECT_EQ(result, 7);
  g_dialog = nullptr;
}

TEST(WindowsTest, SystemEventsReachOnlyRegisteredWindows) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* events = program.platform().systemEvents;
  auto& ws = world.windows();
  std::vector<std::pair<char, std::uint32_t>> seen;
  std::u16string removedName;
  p::Dword deviceType = 0;
  world.startThread(program, "main", [&] {
    auto proc = [&](char tag) {
      return [&, tag](p::Hwnd, std::uint32_t m, p::WParam w, p::LParam l) -> p::LResult {
        seen.emplace_back(tag, m);
        if (m == p::kWM_DEVICECHANGE && w == p::kDBT_DEVICEREMOVECOMPLETE) {
          const auto* record = reinterpret_cast<const p::DevBroadcastDeviceInterface*>(l);
          deviceType = record->dbcc_devicetype;
          removedName = record->dbcc_name;
        }
        return 1;
      };
    };
    const p::Hwnd a = ws.createWindow(u"W", u"A", proc('a'), false);
    ws.createWindow(u"W", u"B", proc('b'), false);
    EXPECT_TRUE(events->wtsRegisterSessionNotification(a, p::kNOTIFY_FOR_THIS_SESSION));
    p::Dword filter[8] = {32, p::kDBT_DEVTYP_DEVICEINTERFACE};
    EXPECT_NE(events->registerDeviceNotification(a, filter, p::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES), nullptr);
    ws.runMessageLoop([&] { return seen.size() == 4; });
  });
  world.run([&] {
    world.waitIdle();
    ws.sessionChange(p::kWTS_SESSION_LOCK);
    ws.deviceEvent(true, u"PCI#VEN_10EC&DEV_8168");
    ws.broadcast(p::kWM_POWERBROADCAST, p::kPBT_APMSUSPEND, 0);
    world.waitIdle();
  });
  const std::vector<std::pair<char, std::uint32_t>> expected{{'a', p::kWM_WTSSESSION_CHANGE},
                                                             {'a', p::kWM_DEVICECHANGE},
                                                             {'a', p::kWM_POWERBROADCAST},
                                                             {'b', p::kWM_POWERBROADCAST}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(deviceType, p::kDBT_DEVTYP_DEVICEINTERFACE);
  EXPECT_EQ(removedName, u"PCI#VEN_10EC&DEV_8168");
}

// A device-interface event reaches a window only through a live registration for its class
// (or for every class); a filter of another record type or a service handle registers nothing.
TEST(WindowsTest, DeviceEventsFollowLiveRegistrationsForTheirClass) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* events = program.platform().systemEvents;
  auto& ws = world.windows();
  std::vector<char> reached;
  constexpr p::Guid kOtherClass{0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
  world.startThread(program, "main", [&] {
    auto make = [&](char tag) {
      return ws.createWindow(u"W", std::u16string(1, static_cast<char16_t>(tag)),
                             [&reached, tag](p::Hwnd, std::uint32_t m, p::WParam, p::LParam) -> p::LResult {
                               if (m == p::kWM_DEVICECHANGE) reached.push_back(tag);
                               return 1;
                             },
                             false);
    };
    auto filter = [](const p::Guid& cls, p::Dword type = p::kDBT_DEVTYP_DEVICEINTERFACE) {
      std::vector<unsigned char> bytes(32, 0);
      const p::Dword header[2] = {32, type};
      std::memcpy(bytes.data(), header, sizeof header);
      std::memcpy(bytes.data() + 12, &cls, sizeof cls);
      return bytes;
    };
    const auto network = filter(tethra::sim::kNetworkAdapterInterfaceClass);
    const auto other = filter(kOtherClass);
    // a: every class, whatever its filter names; b: the network-adapter class; c: another class;
    // d: registered, then given back; e: never registered; f: a handle filter; g: as a service.
    EXPECT_NE(events->registerDeviceNotification(make('a'), other.data(), p::kDEVICE_NOTIFY_ALL_INTERFACE_CLASSES),
              nullptr);
    EXPECT_NE(events->registerDeviceNotification(make('b'), network.data(), p::kDEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_NE(events->registerDeviceNotification(make('c'), other.data(), p::kDEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    const p::Hdevnotify given = events->registerDeviceNotification(make('d'), network.data(), 0);
    EXPECT_TRUE(events->unregisterDeviceNotification(given));
    EXPECT_FALSE(events->unregisterDeviceNotification(given));
    make('e');
    EXPECT_EQ(events->registerDeviceNotification(make('f'), filter(kOtherClass, 6).data(), 0), nullptr);
    EXPECT_EQ(events->registerDeviceNotification(make('g'), network.data(), 1), nullptr);
    ws.runMessageLoop([&] { return reached.size() >= 4; });
  });
  world.run([&] {
    world.waitIdle();
    ws.deviceEvent(true, u"PCI#VEN_10EC&DEV_8168");
    ws.deviceEvent(false, u"PCI#VEN_10EC&DEV_8168");
    world.waitIdle();
  });
  EXPECT_EQ(reached, (std::vector<char>{'a', 'b', 'a', 'b'}));
}

TEST(WindowsTest, WindowsOfAnExitedProcessTakeNothingAndNobodyWaits) {
  World world({});
  auto& program = world.createProcess("tethra", true);
  auto* machineWindows = world.machineProcess().platform().windows;
  p::Hwnd hwnd = nullptr;
  world.startThread(program, "main", [&] {
    hwnd = world.windows().createWindow(u"W", u"Doomed", [](p::Hwnd, std::uint32_t, p::WParam, p::LParam) { return 5; },
                                        true);
    program.platform().kernel->exitProcess(0);
  });
  world.run([&] {
    world.waitIdle();
    EXPECT_EQ(machineWindows->sendMessage(hwnd, kPing, 0, 0), 0);
    EXPECT_FALSE(machineWindows->postMessage(hwnd, kPing, 0, 0));
    EXPECT_FALSE(machineWindows->isWindow(hwnd));
    EXPECT_EQ(world.now(), 0u);
  });
  EXPECT_EQ(program.exitCode(), std::optional<p::Dword>(0));
}

// A small run that exercises threads, sends, posts, time and the registry.
std::vector<std::string> runMixedScenario() {
  World world({});
  auto& program = world.createProcess("tethra", true, &resources());
  DialogState state;
  state.windows = program.platform().windows;
  g_dialog = &state;
  auto* kernel = program.platform().kernel;
  auto* reg = program.platform().registry;
  world.startThread(program, "main", [&] { state.windows->dialogBoxParam(102, nullptr, &dialogProc, 0); });
  world.startThread(program, "watcher", [&] {
    p::Hkey key = nullptr;
    EXPECT_EQ(reg->regCreateKeyEx(p::kHKEY_LOCAL_MACHINE, u"Software\\T", 0, p::kKEY_WRITE | p::kKEY_WOW64_32KEY, &key,
                                  nullptr),
              p::kERROR_SUCCESS);
    const p::Handle event = kernel->createEvent(false, false);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(reg->regNotifyChangeKeyValue(key, false, p::kREG_NOTIFY_CHANGE_LAST_SET, event, true),
                p::kERROR_SUCCESS);
      kernel->waitForSingleObject(event, 700);
      const std::uint8_t bytes[] = {'o', 0, 'k', 0, 0, 0};
      EXPECT_EQ(reg->regSetValueEx(key, u"Current SSID", p::kREG_SZ, bytes, sizeof bytes), p::kERROR_SUCCESS);
      state.windows->setWindowText(state.windows->findWindow(nullptr, u"WiFi Hosted Network"), u"step");
    }
  });
  world.run([&] {
    world.block([&] { return world.windows().programReady(); });
    world.registry().setValue(tethra::sim::SimRegistry::View::Wow32, u"Software\\T", u"Action", {p::kREG_SZ, {}});
    world.waitIdle();
    world.windows().click(world.windows().control(world.windows().programDialog(), 1009));
    world.windows().post(world.windows().programDialog(), p::kWM_CLOSE, 0, 0);
    world.waitIdle();
  });
  g_dialog = nullptr;
  return world.transcript().lines(true);
}

TEST(WindowsTest, SameRunGivesTheSameTranscript) {
  const auto first = runMixedScenario();
  const auto second = runMixedScenario();
  EXPECT_GT(first.size(), 40u);
  EXPECT_EQ(first, second);
}

}  // namespace
