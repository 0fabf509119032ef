// The simulated notebook: one deterministic world of processes, threads, windows, registry,
// kernel objects and virtual time, in which the real program code runs unchanged.
//
// Determinism: exactly one simulated thread runs at a time. The baton passes only inside
// blocking platform calls (waits, sleeps, message waits, sent messages); the next thread is
// chosen by a fixed rule, and virtual time jumps to the next deadline only when no thread can
// run. The same scenario therefore gives the same transcript on every run.
//
// Ownership: a World owns its processes, threads and objects. Simulated threads are real
// std::threads that hold the baton in turn. A thread whose process has ended (exitProcess) is
// parked for good and never runs again: that is how "no code runs after ExitProcess" holds. A
// World whose processes left parked threads can therefore not be destroyed; World::leak()
// hands it to a process-wide keep-alive list instead.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tethra/platform/Platform.h"
#include "tethra/platform/Resources.h"
#include "tethra/sim/Faults.h"
#include "tethra/sim/ProcessParts.h"

namespace tethra::sim {

class World;
class SimProcess;
class SimThread;
class SimRegistry;
class SimWindowSystem;

// What the runner prints: one line per visible event, stamped with virtual time.
class Transcript {
 public:
  void event(std::uint64_t timeMs, std::string text);  // always shown
  void trace(std::uint64_t timeMs, std::string text);  // shown with --trace only
  const std::vector<std::string>& events() const { return m_Events; }
  std::vector<std::string> lines(bool withTrace) const;

 private:
  std::vector<std::string> m_Events;
  std::vector<std::pair<bool, std::string>> m_All;
};

class World {
 public:
  struct Options {
    std::uint32_t codePage = 1252;
    // Local time of virtual time 0 (also UTC: the simulated notebook lives at UTC+0).
    platform::SystemTime startTime{2012, 3, 1, 5, 14, 7, 9, 0};
    // getTickCount() at virtual time 0 (the notebook has been up for a while; it wraps at 2^32).
    std::uint32_t tickCountBase = 7'200'000;
  };

  explicit World(Options options);
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  // Joins every simulated thread that has finished and ends those that never ran. When some
  // thread is still inside program code (blocked or parked), its stack may refer to the world:
  // the destructor then hands the inside of the world to the keep-alive list instead of freeing
  // it (as leak() would), so destroying a World is always safe.
  ~World();

  // Keeps `world` alive until the process ends (needed once any simulated thread is parked).
  static void leak(std::unique_ptr<World> world);

  // --- Time -------------------------------------------------------------------------------
  std::uint64_t now() const;  // virtual milliseconds since the world was made

  // --- Processes and threads ------------------------------------------------------------------
  // A process with a Platform of its own (last error per thread, exit code, trace). `isProgram`
  // marks the process whose threads count for `programIdle` and the wake-up counter.
  // `resources` (may be null) are the process's executable resources: its dialogs and strings.
  SimProcess& createProcess(std::string name, bool isProgram,
                            const platform::ModuleResources* resources = nullptr);
  // Starts a simulated thread of `process`. It runs only when it holds the baton.
  SimThread& startThread(SimProcess& process, std::string name, std::function<void()> body);
  // The process of the machine thread (not a program process): its windows stand in for the
  // controller; its Platform may be used by machine-side code, and its parts hold the
  // machine-wide services.
  SimProcess& machineProcess();
  // The process of the calling simulated thread; null off the simulation.
  SimProcess* currentProcess() const;

  // The calling simulated thread blocks until `ready` returns true (checked by the scheduler
  // whenever it looks for a thread to run; a true result must take what it waited for, e.g.
  // reset an auto-reset event) or until virtual time reaches `deadlineMs`. Returns true when
  // `ready` held, false on the deadline. Must be called on a simulated thread (off the
  // simulation it returns false at once). While blocked, the caller handles the messages sent
  // to its own windows (the stand-in controller answers WM_COPYDATA while the driver waits).
  // When nothing at all can happen any more, the machine thread wakes with false.
  bool block(std::function<bool()> ready, std::optional<std::uint64_t> deadlineMs = std::nullopt);
  // The calling simulated thread blocks for good without taking the messages sent to its
  // windows, as a hung thread does: their senders wait (or give up at their own deadline).
  [[noreturn]] void hang();

  // Runs the simulation from the calling (non-simulated) thread: it becomes a simulated thread
  // named "machine" that holds the baton first; `driver` runs on it and may call block(). When
  // `driver` returns, the simulation stops: every other simulated thread stays parked. A world
  // runs once; a second call returns at once.
  void run(std::function<void()> driver);

  // True when no simulated thread other than the caller can run and no deadline other than the
  // caller's is pending (the `idle` trigger).
  bool idle() const;
  // Blocks the machine thread until idle() holds or a deadline passes; see block().
  bool waitIdle(std::optional<std::uint64_t> deadlineMs = std::nullopt);

  // Whether the simulated thread running on `waiter` is blocked for a critical section or
  // mutex that the calling thread holds, directly or through the holders of what those threads
  // wait for: the caller waiting for `waiter` would wait for ever.
  bool waitsForCaller(std::thread::id waiter) const;

  // How often a thread of the program process got the baton after having blocked.
  std::uint64_t programWakeUps() const;

  // --- Areas ----------------------------------------------------------------------------------
  SimRegistry& registry();
  SimWindowSystem& windows();
  FaultPlan& faults();
  Transcript& transcript();
  void event(std::string text);  // transcript().event(now(), text)
  void trace(std::string text);  // transcript().trace(now(), text)

  // Every platform call, for `--trace` and the call counters of the expectations.
  void recordCall(std::string_view area, std::string_view function, std::string_view arguments,
                  std::string_view result);
  std::uint64_t callCount(std::string_view area, std::string_view function) const;

  // Whether a session-namespace mutex name is taken (the `other-instance` statement).
  void reserveMutexName(std::u16string name);

  struct Impl;
  Impl& impl() { return *m_Impl; }

 private:
  std::unique_ptr<Impl> m_Impl;
};

class SimProcess {
 public:
  virtual ~SimProcess() = default;
  virtual const std::string& name() const = 0;
  // The platform as this process sees it.
  virtual platform::Platform& platform() = 0;
  // What the process owns for the life of the world, as it owns its kernel: the areas made
  // outside the core (security, COM, process start, the WLAN binding, ...) are added here,
  // before the process's threads start, so that nothing its threads use goes away earlier.
  virtual ProcessParts& parts() = 0;
  // Runs `hook` on the exiting thread when the process ends, once its other threads are
  // parked: what the system does for an ended process (closing its service handles, ...).
  virtual void atExit(std::function<void()> hook) = 0;
  virtual bool exited() const = 0;
  virtual std::optional<platform::Dword> exitCode() const = 0;
};

class SimThread {
 public:
  virtual ~SimThread() = default;
  virtual const std::string& name() const = 0;
  virtual platform::Dword id() const = 0;
  virtual SimProcess& process() = 0;
};

// The simulated registry: HKEY_LOCAL_MACHINE, with the 32-bit and the native view as separate
// trees; values kept as type plus raw bytes. The machine (runner) reads and writes it directly;
// its writes signal armed change notifications exactly like the program's own.
class SimRegistry {
 public:
  enum class View { Native, Wow32 };
  struct Value {
    platform::Dword type = 0;
    std::vector<std::uint8_t> bytes;
  };
  virtual ~SimRegistry() = default;
  // A key or value name as the registry compares it (letter case folded).
  static std::u16string foldName(std::u16string_view name);
  virtual void createKey(View view, std::u16string_view path) = 0;
  virtual bool keyExists(View view, std::u16string_view path) const = 0;
  virtual void deleteKey(View view, std::u16string_view path) = 0;
  virtual void setValue(View view, std::u16string_view path, std::u16string_view name, Value value) = 0;
  virtual std::optional<Value> getValue(View view, std::u16string_view path, std::u16string_view name) const = 0;
  // The text of a REG_SZ-like value up to its first NUL (any type), as the program would read it.
  virtual std::optional<std::u16string> getString(View view, std::u16string_view path,
                                                  std::u16string_view name) const = 0;
  // The program's misuses of the registry, one line each: a REG_SZ written without its
  // terminating NUL (a reader that trusts the type gets an unterminated string).
  virtual std::vector<std::string> misuses() const = 0;
};

// The simulated window system as the machine sees it (the program uses IWindowSystem).
class SimWindowSystem {
 public:
  using WndProcFn = std::function<platform::LResult(platform::Hwnd, std::uint32_t, platform::WParam,
                                                    platform::LParam)>;
  virtual ~SimWindowSystem() = default;
  // A top-level window owned by the calling simulated thread (the stand-in controller's).
  virtual platform::Hwnd createWindow(std::u16string className, std::u16string title, WndProcFn proc,
                                      bool visible) = 0;
  // Pumps the calling thread's queue until `until` holds (checked after each message).
  virtual void runMessageLoop(std::function<bool()> until) = 0;
  // Machine-side posting to any window (timeline actions: post close, power, session, ...).
  virtual bool post(platform::Hwnd hwnd, std::uint32_t message, platform::WParam wParam, platform::LParam lParam) = 0;
  // Broadcast to every top-level window (power): posted, as Windows sends, in creation order.
  virtual void broadcast(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) = 0;

  virtual platform::Hwnd find(std::u16string_view title) const = 0;
  // The dialog of the most recently started program process (its first dialog), or null.
  virtual platform::Hwnd programDialog() const = 0;
  // True once that dialog finished kWM_INITDIALOG and its thread waits for messages.
  virtual bool programReady() const = 0;
  virtual bool visible(platform::Hwnd hwnd) const = 0;
  virtual bool enabled(platform::Hwnd hwnd) const = 0;
  virtual std::u16string text(platform::Hwnd hwnd) const = 0;
  virtual platform::Hwnd control(platform::Hwnd dialog, int id) const = 0;
  virtual std::vector<std::u16string> listBoxLines(platform::Hwnd listBox) const = 0;
  virtual int itemCount(platform::Hwnd control) const = 0;  // combo box, list box, list view
  virtual platform::Hwnd focus() const = 0;
  virtual bool checked(platform::Hwnd button) const = 0;
  virtual int textLimit(platform::Hwnd edit) const = 0;
  virtual std::u16string comboSelectionText(platform::Hwnd combo) const = 0;
  // Device and session registrations of a window, for the machine's events.
  virtual bool sessionNotificationsRegistered(platform::Hwnd hwnd) const = 0;
  virtual std::vector<platform::Hwnd> deviceNotificationWindows() const = 0;

  // Machine actions. A click posts BM_CLICK to the control: on its own thread an auto check
  // box toggles, then the parent gets WM_COMMAND/BN_CLICKED (nothing when disabled).
  virtual void click(platform::Hwnd control) = 0;
  // Marks a window as needing paint: a visible window then gets WM_PAINT when its queue is empty.
  virtual void invalidate(platform::Hwnd hwnd) = 0;
  // WM_WTSSESSION_CHANGE (wParam = code, lParam = session 1) posted to registered windows.
  virtual void sessionChange(platform::WParam code) = 0;
  // WM_DEVICECHANGE (kDBT_DEVICEREMOVECOMPLETE or kDBT_DEVICEARRIVAL) posted to every window with
  // a device registration; lParam points to a DEV_BROADCAST_DEVICEINTERFACE record of the
  // network-adapter class with `interfaceName`, which stays valid for the world's life.
  virtual void deviceEvent(bool removed, std::u16string interfaceName) = 0;
  // The texts appended to a window's system menu ("" for a separator), in order.
  virtual std::vector<std::u16string> systemMenuItems(platform::Hwnd hwnd) const = 0;
};

// UTF-8 <-> UTF-16 helpers for transcripts and scenario texts.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace tethra::sim
