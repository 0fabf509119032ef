// The simulated window system: windows and controls, one message queue per thread, sent and
// posted messages, painting, focus, menus, image lists and system-event registrations.
//
// Owner: World::Impl owns the manager and every window record for the life of the world; a
// destroyed window keeps its last state (the machine may still read it) but takes no messages.
// Threads: every window belongs to the thread that created it and its procedure runs only on
// that thread. Touched by the baton holder only. Sending to a destroyed window, or to one whose
// owner has ended, returns 0 at once; posting to it fails (error 1400).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tethra/platform/Resources.h"
#include "tethra/platform/Window.h"
#include "tethra/sim/DeviceNotification.h"
#include "tethra/sim/World.h"

namespace tethra::sim::detail {

class ThreadRec;
class ProcessImpl;

constexpr platform::Win32Error kERROR_INVALID_WINDOW_HANDLE{1400};
constexpr std::uint32_t kBM_CLICK = 0x00F5;
constexpr int kIDCANCEL = 2;

enum class WindowKind { Machine, Dialog, Control };

struct Window {
  std::uintptr_t id = 0;
  WindowKind kind = WindowKind::Machine;
  platform::ControlKind control = platform::ControlKind::Static;
  ThreadRec* owner = nullptr;
  ProcessImpl* process = nullptr;
  std::u16string className;
  std::u16string text;
  Window* parent = nullptr;
  int ctrlId = 0;
  std::vector<Window*> children;
  bool visible = false;
  bool enabled = true;
  bool destroyed = false;
  bool needsPaint = false;
  SimWindowSystem::WndProcFn machineProc;
  platform::DlgProc dlgProc = nullptr;
  // Dialog.
  bool ended = false;
  std::intptr_t endResult = 0;
  bool hasSystemMenu = false;
  platform::Hicon icons[2] = {nullptr, nullptr};
  platform::Hmenu systemMenu = nullptr;
  bool sessionRegistered = false;
  // Controls.
  bool sorted = false;
  platform::WParam check = platform::kBST_UNCHECKED;
  int textLimit = 30000;
  struct Item {
    std::u16string text;
    platform::LParam data = 0;
  };
  std::vector<Item> items;
  int cursel = -1;
  platform::Himagelist imageList = nullptr;

  platform::Hwnd hwnd() const { return reinterpret_cast<platform::Hwnd>(id); }
};

struct SentMessage {
  Window* target;
  std::uint32_t message;
  platform::WParam wParam;
  platform::LParam lParam;
  platform::LResult result = 0;
  bool done = false;
};

struct ThreadQueue {
  std::deque<platform::Msg> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
};

inline constexpr std::uint32_t kNoTimeout = 0xFFFFFFFFu;

class WindowManager final : public SimWindowSystem {
 public:
  explicit WindowManager(World::Impl& world) : m_World(world) {}

  // --- Windows ---------------------------------------------------------------------------------
  Window* get(platform::Hwnd hwnd) const;    // any record, destroyed or not
  Window* alive(platform::Hwnd hwnd) const;  // live windows only
  Window& make(WindowKind kind, ThreadRec* owner, ProcessImpl* process, std::u16string className,
               std::u16string text);
  void destroy(Window& w);
  void setVisible(Window& w, bool visible);
  const std::vector<std::unique_ptr<Window>>& all() const { return m_Windows; }
  void noteProgramDialog(Window& dialog);
  // A program process was started: the machine now watches its dialog and readiness.
  void noteProgramProcess(const ProcessImpl* process) {
    m_LatestProgram = process;
    m_ProgramDialog = nullptr;
    m_ProgramReady = false;
  }
  void setProgramReady(const ProcessImpl* process) {
    if (process == m_LatestProgram) m_ProgramReady = true;
  }
  Window* focusWindow() const { return m_Focus; }
  void setFocusWindow(Window* w) { m_Focus = w; }

  // --- Messages --------------------------------------------------------------------------------
  // The window's procedure (or built-in behaviour), on the caller's thread.
  platform::LResult deliver(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);
  platform::LResult send(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);
  // The same, given up `timeoutMs` of virtual time after it began (*answered false then).
  platform::LResult send(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam,
                         std::uint32_t timeoutMs, bool* answered);
  bool postTo(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);
  bool postThread(ThreadRec& thread, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);
  bool peek(platform::Msg* msg, platform::Hwnd filter, std::uint32_t min, std::uint32_t max, std::uint32_t remove);
  platform::LResult dispatch(const platform::Msg& msg);
  bool hasSent(const ThreadRec* thread) const;
  bool hasWork(const ThreadRec* thread) const;  // sent, posted or a paint is due
  void serveSent(ThreadRec* thread);

  // Built-in behaviour (Controls.cpp).
  platform::LResult controlProc(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);
  platform::LResult defaultProc(Window& w, std::uint32_t message, platform::WParam wParam, platform::LParam lParam);

  // --- Menus, image lists, icons, device registrations --------------------------------------
  platform::Hmenu menuFor(Window& w);
  bool appendMenu(platform::Hmenu menu, std::uint32_t flags, std::uintptr_t id, const char16_t* text);
  platform::Himagelist createImageList();
  int* imageList(platform::Himagelist list);
  std::uint32_t* imageListBk(platform::Himagelist list);
  platform::Hicon iconFor(const ProcessImpl& process, int resourceId);
  bool validIcon(platform::Hicon icon) const;
  platform::Hdevnotify addDeviceRegistration(DeviceRegistration registration);
  bool removeDeviceRegistration(platform::Hdevnotify handle);

  // --- Lifecycle hooks -------------------------------------------------------------------------
  void threadEnded(const ThreadRec& thread);
  void processExited(const ProcessImpl& process);

  // --- SimWindowSystem -------------------------------------------------------------------------
  platform::Hwnd createWindow(std::u16string className, std::u16string title, WndProcFn proc,
                              bool visible) override;
  void runMessageLoop(std::function<bool()> until) override;
  bool post(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
  void broadcast(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
  platform::Hwnd find(std::u16string_view title) const override;
  platform::Hwnd programDialog() const override;
  bool programReady() const override { return m_ProgramReady; }
  bool visible(platform::Hwnd hwnd) const override;
  bool enabled(platform::Hwnd hwnd) const override;
  std::u16string text(platform::Hwnd hwnd) const override;
  platform::Hwnd control(platform::Hwnd dialog, int id) const override;
  std::vector<std::u16string> listBoxLines(platform::Hwnd listBox) const override;
  int itemCount(platform::Hwnd control) const override;
  platform::Hwnd focus() const override;
  bool checked(platform::Hwnd button) const override;
  int textLimit(platform::Hwnd edit) const override;
  std::u16string comboSelectionText(platform::Hwnd combo) const override;
  bool sessionNotificationsRegistered(platform::Hwnd hwnd) const override;
  std::vector<platform::Hwnd> deviceNotificationWindows() const override;
  void click(platform::Hwnd control) override;
  void invalidate(platform::Hwnd hwnd) override;
  void sessionChange(platform::WParam code) override;
  void deviceEvent(bool removed, std::u16string interfaceName) override;
  std::vector<std::u16string> systemMenuItems(platform::Hwnd hwnd) const override;

 private:
  ThreadQueue& queue(const ThreadRec* thread) { return m_Queues[thread]; }
  bool ownerGone(const Window& w) const;
  bool paintDue(const ThreadRec* thread) const;

  struct Menu {
    Window* window;
    std::vector<std::u16string> items;
  };
  struct ImageList {
    int count = 0;
    std::uint32_t bk = platform::kCLR_NONE;
  };

  static constexpr std::uintptr_t kFirstWindow = 0x10012;  // then every second value

  World::Impl& m_World;
  std::vector<std::unique_ptr<Window>> m_Windows;
  std::map<const ThreadRec*, ThreadQueue> m_Queues;
  std::map<std::uintptr_t, Menu> m_Menus;
  std::map<std::uintptr_t, ImageList> m_ImageLists;
  std::map<std::pair<const ProcessImpl*, int>, std::uintptr_t> m_Icons;
  DeviceRegistrations m_Devices;
  std::deque<std::vector<std::uint64_t>> m_DeviceRecords;  // kept alive for the world's life
  Window* m_Focus = nullptr;
  Window* m_ProgramDialog = nullptr;
  bool m_ProgramReady = false;
  const ProcessImpl* m_LatestProgram = nullptr;
};

std::unique_ptr<platform::IWindowSystem> MakeWindows(ProcessImpl& process);
std::unique_ptr<platform::ISystemEvents> MakeSystemEvents(ProcessImpl& process);

}  // namespace tethra::sim::detail
