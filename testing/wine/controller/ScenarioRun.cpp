// One scenario run on Windows. Main thread only (the controller window's thread).
#include "ScenarioRun.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "tethra/app/Resource.h"
#include "tethra/app/SystemNames.h"
#include "tethra/scenario/HotspotControl.h"
#include "tethra/scenario/MachineConfig.h"
#include "tethra/scenario/ServiceControl.h"
#include "tethra/scenario/ServiceLogs.h"
#include "tethra/scenario/Text.h"
#include "tethra/controller/ControllerLink.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/ProgramWindow.h"
#include "tethra/wine/ReadFile.h"
#include "tethra/wine/ServicesChanged.h"

namespace tethra::tools {

namespace {

using simrunner::Action;
using simrunner::Machine;
using simrunner::Quote;
using simrunner::Trigger;

constexpr wchar_t kControllerClass[] = L"TethraStandInController";
// A trigger that does not hold within this real time is reported as never fired. Longer than
// the program's own longest bound (a mobile hotspot operation may take 30 s before it counts as
// failed, and a code waited for comes after it).
constexpr DWORD kTriggerLimitMs = 45000;
// `idle`, and the end of a run: the program has ended, or been quiet this long, within a limit.
// A scenario that expects the program to end is given the whole limit to do so: its pauses may
// be longer than this (it waits up to 3 s for the network shell, and Wine's shell may add more).
constexpr std::uint64_t kQuietMs = 2000;
constexpr DWORD kSettleLimitMs = 15000;
// The longest the program waits between two looks at a hotspot in transition, and a little more.
constexpr std::uint64_t kLongestLookMs = 65000;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr DWORD kLookTimeoutMs = 300;
// The dialog is read at most this often, however many cues come.
constexpr std::uint64_t kLookEveryMs = 100;
constexpr DWORD kControlTimeoutMs = 10000;
constexpr DWORD kCleanUpMs = 5000;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

std::string Utf8(const std::u16string& text) { return sim::text::Utf16ToUtf8(text); }

// The settings key, where the program reads and writes: HKLM, 32-bit view.
HKEY OpenSettings(bool create) {
  HKEY key = nullptr;
  const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY;
  const LSTATUS status =
      create ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(controller::kSettingsKeyPath), 0, nullptr, 0, access, nullptr,
                                 &key, nullptr)
             : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(controller::kSettingsKeyPath), 0, access, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

LSTATUS SetValue(HKEY key, const std::u16string& name, DWORD type, const void* data, std::size_t bytes) {
  return ::RegSetValueExW(key, W(name), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
}

LSTATUS SetText(HKEY key, const std::u16string& name, const std::u16string& value) {
  return SetValue(key, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(char16_t));
}

std::optional<std::u16string> ReadSetting(const std::u16string& name) {
  const HKEY key = OpenSettings(false);
  if (key == nullptr) return std::nullopt;
  std::optional<std::u16string> result;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, W(name), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::u16string value(size / sizeof(char16_t) + 1, u'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(char16_t));
    if (::RegQueryValueExW(key, W(name), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) ==
        ERROR_SUCCESS) {
      value.resize(std::min<std::size_t>(value.size(), bytes / sizeof(char16_t)));
      while (!value.empty() && value.back() == u'\0') value.pop_back();
      result = value;
    }
  }
  ::RegCloseKey(key);
  return result;
}

// The group-policy key of connection sharing lives in the native view.
void PreparePolicy(const Machine& m) {
  const REGSAM view = KEY_WOW64_64KEY;
  if (m.policy == Machine::Policy::Absent) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, W(app::kSharingPolicyKeyPath), view, 0);
    return;
  }
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(app::kSharingPolicyKeyPath), 0, nullptr, 0, KEY_SET_VALUE | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::u16string name = app::kSharingPolicyValueName;
  if (m.policy == Machine::Policy::Present) {
    ::RegDeleteValueW(key, W(name));
  } else if (m.policy == Machine::Policy::Value) {
    const DWORD value = m.policyValue;
    SetValue(key, name, REG_DWORD, &value, sizeof value);
  } else {
    SetText(key, name, m.policyString);
  }
  ::RegCloseKey(key);
}

std::string Stamp(std::uint64_t ms) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "[%6llu ms] ", static_cast<unsigned long long>(ms));
  return buffer;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

std::wstring EnvironmentPath(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

constexpr const wchar_t* kLogVariables[] = {L"TETHRA_SIMWLAN_LOG", L"TETHRA_SIMSHARING_LOG", L"TETHRA_SIMNETSH_LOG",
                                            L"TETHRA_SIMHOTSPOT_LOG"};

std::uint64_t LogBytes() {
  std::uint64_t total = 0;
  for (const wchar_t* variable : kLogVariables) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring path = EnvironmentPath(variable);
    if (!path.empty() && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
      total += data.nFileSizeLow;
    }
  }
  return total;
}

// Asks the program's dialog by a sent message, which the system carries across processes. A
// dialog that does not answer in time is busy: the caller keeps its last view.
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& answer) {
  return window != nullptr &&
         ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kLookTimeoutMs,
                               &answer) != 0 &&
         static_cast<LONG_PTR>(answer) >= 0;
}

std::optional<std::u16string> ControlText(HWND control) {
  DWORD_PTR length = 0;
  if (!Ask(control, WM_GETTEXTLENGTH, 0, 0, length)) return std::nullopt;
  std::u16string text(length + 1, u'\0');
  DWORD_PTR copied = 0;
  if (!Ask(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) return std::nullopt;
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

std::optional<std::vector<std::u16string>> ListLines(HWND list) {
  DWORD_PTR count = 0;
  if (!Ask(list, LB_GETCOUNT, 0, 0, count)) return std::nullopt;
  std::vector<std::u16string> lines;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!Ask(list, LB_GETTEXTLEN, i, 0, length)) return std::nullopt;
    std::u16string line(length + 1, u'\0');
    DWORD_PTR copied = 0;
    if (!Ask(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()), copied)) return std::nullopt;
    line.resize(std::min<std::size_t>(copied, length));
    lines.push_back(std::move(line));
  }
  return lines;
}

// The controller's own token with the Administrators group for deny only; null on failure.
WinHandle NonAdminToken() {
  WinHandle own;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, own.put())) {
    return {};
  }
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  WinHandle restricted;
  if (::AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                 0, &administrators)) {
    SID_AND_ATTRIBUTES denied{administrators, 0};
    if (!::CreateRestrictedToken(own.get(), 0, 1, &denied, 0, nullptr, 0, nullptr, restricted.put())) {
      restricted.release();  // nothing was made
    }
    ::FreeSid(administrators);
  }
  return restricted;
}

std::string MacText(const std::array<std::uint8_t, 6>& mac) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return buffer;
}

// The body of an instance's idle watch: returns when the process waits for input (or has
// ended, or the trigger limit passed), which signals the thread's handle. Owns its copy of the
// process handle.
// The control request of a `hotspot ...` action.
simrunner::HotspotRequest HotspotRequestOf(const Action& a) {
  using Kind = simrunner::HotspotRequest::Kind;
  static constexpr std::pair<Action::Kind, Kind> kKinds[] = {
      {Action::Kind::HotspotOff, Kind::TurnOff},
      {Action::Kind::HotspotNetworkChange, Kind::NetworkChange},
      {Action::Kind::HotspotClientJoin, Kind::ClientJoin},
      {Action::Kind::HotspotClientLeave, Kind::ClientLeave},
      {Action::Kind::HotspotTransitionThenOff, Kind::TransitionThenOff},
  };
  const auto* found =
      std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return k.first == a.kind; });
  simrunner::HotspotRequest request{found->second};
  if (request.kind == Kind::TransitionThenOff) request.ms = static_cast<std::uint32_t>(a.size);
  if (request.kind == Kind::TurnOff || request.kind == Kind::TransitionThenOff) request.told = a.code != 0;
  return request;
}

DWORD WINAPI WaitForIdle(LPVOID process) {
  ::WaitForInputIdle(static_cast<HANDLE>(process), kTriggerLimitMs);
  ::CloseHandle(static_cast<HANDLE>(process));
  return 0;
}

}  // namespace

ScenarioRun::ScenarioRun(const simrunner::Scenario& scenario, ScenarioRunOptions options)
    : m_Scenario(scenario), m_Options(std::move(options)), m_StartTick(::GetTickCount64()) {}

ScenarioRun::~ScenarioRun() {
  // An instance's idle watch ends by itself; its handles close with it.
  if (m_Window != nullptr) ::DestroyWindow(m_Window);
}

std::uint64_t ScenarioRun::NowMs() { return ::GetTickCount64() - m_StartTick; }

void ScenarioRun::print(const std::string& text) {
  const std::string line = Stamp(NowMs()) + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

LRESULT CALLBACK ScenarioRun::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ScenarioRun*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_COPYDATA && self != nullptr) {
    self->onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return TRUE;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void ScenarioRun::onCopyData(const COPYDATASTRUCT* data) {
  m_LastActivityMs = NowMs();
  m_LookWanted = true;
  if (data == nullptr) {
    print("received WM_COPYDATA without data");
    return;
  }
  Received item;
  // The length comes from cbData alone: the text carries no terminating NUL.
  if (data->lpData != nullptr) item.text.assign(static_cast<const char16_t*>(data->lpData), data->cbData / 2);
  if (data->dwData == controller::PELTO_MSG_CODE) {
    item.code = true;
    print("controller received code " + Quote(item.text));
  } else if (data->dwData == controller::PELTO_MSG_SECURITY_KEY) {
    item.notice = true;
    // The program has written both before sending, and waits for this handler meanwhile.
    const auto ssid = ReadSetting(u"Current SSID");
    const auto key = ReadSetting(u"Current Key");
    print("controller received notice " + Quote(item.text) + " (Current SSID " + (ssid ? Quote(*ssid) : "absent") +
          ", Current Key " + (key ? Quote(*key) : "absent") + ")");
  } else {
    print("controller received dwData " + std::to_string(data->dwData) + " " + Quote(item.text));
  }
  m_Received.push_back(std::move(item));
}

void ScenarioRun::prepareMachine() {
  const Machine& m = m_Scenario.machine;
  if (!m.registryKeyPresent && !m_Options.real) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, W(controller::kSettingsKeyPath), KEY_WOW64_32KEY, 0);
  } else if (const HKEY key = OpenSettings(true)) {
    // On a real notebook the integrator's own "ShareConnection" stays.
    if (!m_Options.real) SetText(key, u"ShareConnection", simrunner::kDefaultShareConnection);
    ::RegCloseKey(key);
  }
  if (!m.registry.empty()) {
    if (const HKEY key = OpenSettings(true)) {
      for (const simrunner::RegistryPreset& r : m.registry) {
        switch (r.kind) {
          case simrunner::RegistryPreset::Kind::Text:
            SetText(key, r.name, r.text);
            break;
          case simrunner::RegistryPreset::Kind::Dword:
            SetValue(key, r.name, REG_DWORD, &r.dword, sizeof r.dword);
            break;
          case simrunner::RegistryPreset::Kind::Raw:
            SetValue(key, r.name, REG_BINARY, r.raw.data(), r.raw.size());
            break;
        }
      }
      ::RegCloseKey(key);
    }
  }
  if (!m_Options.real) PreparePolicy(m);
  if (m.otherInstance) {
    m_OtherInstance = OwnHandle(::CreateMutexW(nullptr, FALSE, W(app::kInstanceMutexName)));
    print("another instance holds the single-instance mutex");
  }
  if (!m.controllerPresent) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &ScenarioRun::WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kControllerClass;
  ::RegisterClassExW(&windowClass);
  if (m.controllerHangs) {
    // `controller hangs`: the window belongs to a thread that never takes a message again.
    m_Window = hungWindow(windowClass.hInstance);
  } else {
    m_Window = ::CreateWindowExW(0, kControllerClass, W(controller::kControllerWindowTitle), WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, windowClass.hInstance,
                                 this);
  }
  if (m_Window == nullptr) {
    print("cannot create the controller window (error " + std::to_string(::GetLastError()) + ")");
    return;
  }
  if (!m.controllerHangs) ::ShowWindow(m_Window, SW_SHOWNOACTIVATE);
}

HWND ScenarioRun::hungWindow(HINSTANCE instance) {
  struct Made {
    HINSTANCE instance;
    HWND window = nullptr;
    WinHandle ready = MakeEvent(true);
  };
  Made made{instance};
  if (!made.ready) return nullptr;
  const auto proc = [](LPVOID raw) -> DWORD {
    auto* m = static_cast<Made*>(raw);
    // Shown by its own thread: a ShowWindow from another thread would wait for this one.
    HWND window = ::CreateWindowExW(0, kControllerClass, W(controller::kControllerWindowTitle),
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr,
                                    nullptr, m->instance, nullptr);
    m->window = window;
    ::SetEvent(m->ready.get());
    ::Sleep(INFINITE);  // never takes a message: every send to the window waits or gives up
    return 0;
  };
  if (const WinHandle thread = OwnHandle(::CreateThread(nullptr, 0, proc, &made, 0, nullptr))) {
    ::WaitForSingleObject(made.ready.get(), INFINITE);
    print("controller window made on a thread that never takes a message");
  }
  return made.window;
}

void ScenarioRun::startProgram(const std::u16string& commandLine) {
  std::wstring line = L"\"" + m_Options.program + L"\"";
  if (!commandLine.empty()) line += L" " + std::wstring(W(commandLine));
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  auto instance = std::make_unique<Instance>();
  // `admin no`: the program runs with the Administrators group for deny only.
  const WinHandle token = m_Scenario.machine.admin ? WinHandle() : NonAdminToken();
  if (!m_Scenario.machine.admin && !token) {
    print("cannot make a token without administrator rights (error " + std::to_string(::GetLastError()) + ")");
    return;
  }
  const BOOL started =
      token ? ::CreateProcessAsUserW(token.get(), m_Options.program.c_str(), buffer.data(), nullptr, nullptr,
                                                FALSE, 0, nullptr, nullptr, &startup, &instance->process)
                       : ::CreateProcessW(m_Options.program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &instance->process);
  const DWORD error = ::GetLastError();
  if (!started) {
    print("cannot start the program (error " + std::to_string(error) + ")");
    return;
  }
  instance->processOwned = OwnHandle(instance->process.hProcess);
  instance->threadOwned = OwnHandle(instance->process.hThread);
  print("program started (pid " + std::to_string(instance->process.dwProcessId) + ") with command line " +
        Quote(commandLine));
  m_Instances.push_back(std::move(instance));
  m_LastActivityMs = NowMs();
  m_LookWanted = true;
}

bool ScenarioRun::look(Instance& instance) {
  DialogView view = instance.dialog;
  const HWND dialog = FindProgramDialog(instance.process.dwProcessId);
  if (dialog == nullptr) return true;  // not made yet, or gone: the last view stays
  view.window = dialog;
  view.visible = ShowsAnything(dialog);
  // The first question that goes unanswered ends the look: the dialog is busy.
  bool answered = true;
  for (const int id : {IDC_EDIT_NAME, IDC_EDIT_KEY, IDC_STATIC_STATUS}) {
    const auto text = answered ? ControlText(::GetDlgItem(dialog, id)) : std::nullopt;
    answered = answered && text.has_value();
    if (text) view.controls[id] = *text;
  }
  if (const auto lines = answered ? ListLines(::GetDlgItem(dialog, IDC_LIST_NOTIFICATIONS)) : std::nullopt) {
    view.logLines = *lines;
  } else {
    answered = false;
  }
  if (view == instance.dialog) return answered;
  if (instance.dialog.window == nullptr) print("the program's window is there");
  if (view.visible != instance.dialog.visible) print(view.visible ? "program window shown" : "program window hidden");
  for (std::size_t i = instance.dialog.logLines.size(); i < view.logLines.size(); ++i) {
    print("log " + Quote(view.logLines[i]));
  }
  instance.dialog = std::move(view);
  m_LastActivityMs = NowMs();
  return answered;
}

// The system may show a message box on the program's thread (ShellExecuteExW does for a file
// it cannot start unless asked to stay quiet). A scenario's machine has nobody to answer it:
// the controller answers as a user would, with the default button, and says so.
void ScenarioRun::answerMessageBox(Instance& instance) {
  const HWND box = FindMessageBox(instance.process.dwProcessId);
  if (box == nullptr) return;
  wchar_t title[128] = {};
  ::GetWindowTextW(box, title, 128);
  std::u16string text;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    ::GetClassNameW(child, name, 16);
    if (std::wstring(name) != L"Static") continue;
    if (const auto part = ControlText(child); part && !part->empty()) text += (text.empty() ? u"" : u" ") + *part;
  }
  print("the program showed a message box " + Quote(reinterpret_cast<const char16_t*>(title)) + ": " + Quote(text) +
        "; answered with its default button");
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  m_LastActivityMs = NowMs();
}

// Reads the dialogs when a cue asked for it (at most once every kLookEveryMs; a dialog that
// left a question unanswered is read again then), and notes ended instances and log growth.
void ScenarioRun::poll() {
  const std::uint64_t now = NowMs();
  if (m_LookWanted && m_LastLookMs && now < *m_LastLookMs + kLookEveryMs) {
    wakeAt(*m_LastLookMs + kLookEveryMs);
  } else if (m_LookWanted) {
    m_LookWanted = false;
    m_LastLookMs = now;
    for (const auto& instance : m_Instances) {
      if (!instance->running()) continue;
      if (!look(*instance)) m_LookWanted = true;  // busy: asked again, not before kLookEveryMs
      answerMessageBox(*instance);
    }
    if (m_LookWanted) wakeAt(now + kLookEveryMs);
  }
  for (const auto& instance : m_Instances) {
    if (!instance->running()) continue;
    if (::WaitForSingleObject(instance->process.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(instance->process.hProcess, &code);
      instance->exitCode = code;
      print("program (pid " + std::to_string(instance->process.dwProcessId) + ") ended with exit code " +
            std::to_string(code));
      m_LastActivityMs = NowMs();
    }
  }
  if (const std::uint64_t bytes = LogBytes(); bytes != m_LogBytes) {
    m_LogBytes = bytes;
    m_LastActivityMs = NowMs();
  }
}

bool ScenarioRun::inputIdle(Instance& instance) {
  if (::WaitForInputIdle(instance.process.hProcess, 0) == 0) return true;
  if (instance.idleWatch) return false;  // its end is a cue
  WinHandle process;
  if (::DuplicateHandle(::GetCurrentProcess(), instance.process.hProcess, ::GetCurrentProcess(), process.put(), 0,
                        FALSE, DUPLICATE_SAME_ACCESS)) {
    instance.idleWatch = OwnHandle(::CreateThread(nullptr, 0, &WaitForIdle, process.get(), 0, nullptr));
    if (instance.idleWatch) process.release();  // the watch's now
  }
  // Without a watch the question is asked again at the next look's time.
  if (!instance.idleWatch) wakeAt(NowMs() + kLookEveryMs);
  return false;
}

// Sleeps until a cue: a message (the program's WM_COPYDATA among them), the services' change
// event, an instance's end, an idle watch's return, or the time `done` or a look asked for.
bool ScenarioRun::Pump(DWORD timeoutMs, const std::function<bool()>& done) {
  const std::uint64_t deadline = NowMs() + timeoutMs;
  bool servicesChanged = false;  // the last wait ended on the services' event, taking it
  for (;;) {
    m_WakeAtMs = UINT64_MAX;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (servicesChanged ||
        (m_ServicesChanged && ::WaitForSingleObject(m_ServicesChanged.get(), 0) == WAIT_OBJECT_0)) {
      m_LookWanted = true;
    }
    for (const auto& instance : m_Instances) {
      if (instance->idleWatch && ::WaitForSingleObject(instance->idleWatch.get(), 0) == WAIT_OBJECT_0) {
        instance->idleWatch.reset();
        m_LookWanted = true;  // the program has settled: a moment to see what it shows
      }
    }
    poll();
    if (done()) return true;
    const std::uint64_t now = NowMs();
    if (now >= deadline) return false;
    std::vector<HANDLE> handles;
    if (m_ServicesChanged) handles.push_back(m_ServicesChanged.get());
    for (const auto& instance : m_Instances) {
      if (!instance->running()) continue;
      for (const HANDLE handle : {instance->process.hProcess, instance->idleWatch.get()}) {
        if (handle != nullptr && handles.size() < MAXIMUM_WAIT_OBJECTS - 1) handles.push_back(handle);
      }
    }
    const std::uint64_t until = std::min(deadline, m_WakeAtMs);
    const DWORD result = ::MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(),
                                                       static_cast<DWORD>(until > now ? until - now : 0),
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    servicesChanged = m_ServicesChanged && result == WAIT_OBJECT_0;
  }
}

bool ScenarioRun::ProgramEnded() {
  Pump(0, [] { return true; });
  const Instance* newest = Newest();
  return newest == nullptr || !newest->running();
}

// Nothing arrived, changed or ended for `forMs`, and the program waits for input.
bool ScenarioRun::quiet(std::uint64_t forMs) {
  if (NowMs() < m_LastActivityMs + forMs) {
    wakeAt(m_LastActivityMs + forMs);
    return false;
  }
  Instance* newest = Newest();
  return newest == nullptr || !newest->running() || inputIdle(*newest);
}

bool ScenarioRun::WaitFor(const Trigger& trigger, std::uint64_t lastFireMs) {
  auto hasCode = [this, &trigger] {
    return std::any_of(m_Received.begin(), m_Received.end(),
                       [&](const Received& r) { return r.code && r.text == trigger.code; });
  };
  auto hasNotice = [this] {
    return std::any_of(m_Received.begin(), m_Received.end(), [](const Received& r) { return r.notice; });
  };
  switch (trigger.kind) {
    case Trigger::Kind::Ready:
      return Pump(kTriggerLimitMs, [this] {
        Instance* newest = Newest();
        return newest != nullptr && newest->running() && inputIdle(*newest);
      });
    // The dialog is looked for at each cue; one is its thread's first wait for input.
    case Trigger::Kind::Window:
      return Pump(kTriggerLimitMs, [this] {
        Instance* newest = Newest();
        if (newest != nullptr && newest->running() && newest->dialog.window == nullptr) inputIdle(*newest);
        return newest != nullptr && newest->dialog.window != nullptr;
      });
    // Once the program has ended, nothing more can arrive.
    case Trigger::Kind::Code:
      Pump(kTriggerLimitMs, [&] { return hasCode() || !Newest() || !Newest()->running(); });
      return hasCode();
    case Trigger::Kind::Notice:
      Pump(kTriggerLimitMs, [&] { return hasNotice() || !Newest() || !Newest()->running(); });
      return hasNotice();
    case Trigger::Kind::After: {
      const std::uint64_t until = lastFireMs + trigger.afterMs;
      Pump(static_cast<DWORD>(until > NowMs() ? until - NowMs() : 0), [] { return false; });
      return true;
    }
    case Trigger::Kind::Idle:
      return Pump(kTriggerLimitMs, [this] { return quiet(kQuietMs); });
  }
  return false;
}

void ScenarioRun::Fired(const simrunner::TimelineEntry& entry) {
  print("timeline: " + entry.source);
  m_Firing = &entry;
}

std::string ScenarioRun::control(const std::string& request) {
  std::string answer;
  if (!SendControl(request, answer, kControlTimeoutMs)) {
    print("control " + request + ": the simulated WLAN service did not answer (" + answer + ")");
  } else if (answer != "ok" && answer != kDeliveredToNobody) {
    print("control " + request + ": " + answer);
  }
  m_LastActivityMs = NowMs();
  return answer;
}

void ScenarioRun::controlHotspot(const simrunner::HotspotRequest& hotspot) {
  const std::string request = simrunner::HotspotRequestLine(hotspot);
  std::string answer;
  if (!SendControl(kHotspotPipeName, request, answer, kControlTimeoutMs)) {
    print("hotspot " + request + ": the simulated mobile hotspot did not answer (" + answer + ")");
  } else if (answer != "ok") {
    print("hotspot " + request + ": " + answer);
  }
  m_LastActivityMs = NowMs();
  // The program follows a transition for as long as it lasts and looks again at most a minute
  // apart: the run waits for that before it settles.
  if (hotspot.kind == simrunner::HotspotRequest::Kind::TransitionThenOff) {
    m_MachineBusyUntilMs = std::max(m_MachineBusyUntilMs, NowMs() + hotspot.ms + kLongestLookMs);
  }
}

void ScenarioRun::sendToDialogs(UINT message, WPARAM wParam, LPARAM lParam, const std::string& what) {
  for (const auto& instance : m_Instances) {
    if (!instance->running() || instance->dialog.window == nullptr) continue;
    LPARAM argument = lParam;
    if (message == WM_WTSSESSION_CHANGE) {
      DWORD session = 0;
      ::ProcessIdToSessionId(instance->process.dwProcessId, &session);
      argument = static_cast<LPARAM>(session);
    }
    DWORD_PTR answer = 0;
    // Sent as the system sends it; the program's WM_COPYDATA to us is handled meanwhile.
    if (!::SendMessageTimeoutW(instance->dialog.window, message, wParam, argument, SMTO_NORMAL, kSendTimeoutMs,
                               &answer)) {
      print("sent " + what + ": no answer (error " + std::to_string(::GetLastError()) + ")");
    }
  }
  m_LastActivityMs = NowMs();
}

void ScenarioRun::postToDialog(UINT message, WPARAM wParam, LPARAM lParam, const std::string& what) {
  Instance* newest = Newest();
  if (newest == nullptr || !newest->running() || newest->dialog.window == nullptr ||
      !::PostMessageW(newest->dialog.window, message, wParam, lParam)) {
    print(what + ": no program window");
  }
  m_LastActivityMs = NowMs();
}

void ScenarioRun::Perform(const Action& a) {
  Pump(0, [] { return true; });
  if (Instance* newest = Newest(); newest != nullptr && newest->running()) look(*newest);
  m_LookWanted = true;  // what the action changes is read at the next pump
  switch (a.kind) {
    case Action::Kind::ControllerWrites:
      if (const HKEY key = OpenSettings(true)) {
        for (const auto& [name, value] : a.writes) {
          SetText(key, name, value);
          print("controller writes " + Quote(name) + " = " + Quote(value));
        }
        ::RegCloseKey(key);
      }
      m_LastActivityMs = NowMs();
      break;
    case Action::Kind::WlanState: {
      // A change is told from the state the service is in: one from another is not Windows'.
      const std::string answer = control("state " + std::to_string(a.oldState) + " " + std::to_string(a.newState) +
                                         " " + std::to_string(a.reason));
      if (const auto now = simrunner::RefusedInState(answer)) {
        m_RefusedActions.push_back("line " + std::to_string(m_Firing != nullptr ? m_Firing->line : 0) + ": `" +
                                   (m_Firing != nullptr ? m_Firing->source : std::string("wlan state")) +
                                   "` while the hosted network is " + *now);
      }
      break;
    }
    case Action::Kind::WlanRadioOff:
      control("radio-off");
      break;
    case Action::Kind::WlanAdapterDisabled:
      control("adapter-disabled");
      break;
    case Action::Kind::WlanForcedStart:
      control("forced-start");
      break;
    case Action::Kind::WlanNotifyRaw:
      control("notify-raw " + std::to_string(a.code) + " " + std::to_string(a.size));
      break;
    case Action::Kind::StationJoin:
      control("join " + MacText(a.mac));
      break;
    case Action::Kind::StationLeave:
      control("leave " + MacText(a.mac));
      break;
    case Action::Kind::Device: {
      const std::string request = std::string("device ") + (a.flag ? "removed " : "arrived ") + Utf8(a.text);
      const std::string answer = control(request);
      if (answer == kDeliveredToNobody) {
        print(request + ": no window registered for it, nothing sent");
      } else if (answer.rfind("error ", 0) == 0) {
        // An event the machine could not tell as the system tells it: the run proves nothing.
        m_RefusedActions.push_back("line " + std::to_string(m_Firing != nullptr ? m_Firing->line : 0) + ": `" +
                                   (m_Firing != nullptr ? m_Firing->source : request) +
                                   "` not carried out: " + answer.substr(6));
      }
      break;
    }
    case Action::Kind::Power:
      sendToDialogs(WM_POWERBROADCAST, static_cast<WPARAM>(a.wParam), 0, "WM_POWERBROADCAST");
      // The machine then sleeps: a running hosted network stops, told to nobody, for good.
      if (a.wParam == PBT_APMSUSPEND) control("sleep");
      break;
    case Action::Kind::Session:
      sendToDialogs(WM_WTSSESSION_CHANGE, static_cast<WPARAM>(a.wParam), 0, "WM_WTSSESSION_CHANGE");
      break;
    case Action::Kind::EndSession:
      postToDialog(WM_ENDSESSION, a.flag ? TRUE : FALSE, 0, "end-session");
      break;
    case Action::Kind::PostClose:
      postToDialog(WM_CLOSE, 0, 0, "post close");
      break;
    case Action::Kind::Paint:
      if (Instance* newest = Newest(); newest != nullptr && newest->dialog.window != nullptr) {
        // A paint even when nothing of the window needs one, as the simulated notebook gives it.
        ::RedrawWindow(newest->dialog.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_INTERNALPAINT);
      }
      break;
    case Action::Kind::Click:
      if (Instance* newest = Newest(); newest != nullptr && newest->dialog.window != nullptr) {
        ::PostMessageW(::GetDlgItem(newest->dialog.window, a.controlId), BM_CLICK, 0, 0);
      }
      break;
    case Action::Kind::Mark:
      break;  // marks only bound wake-up counts, which the simulator alone keeps
    case Action::Kind::ProgramStart:
      startProgram(a.text);
      break;
    case Action::Kind::PostMessage:
      postToDialog(a.message, static_cast<WPARAM>(a.wParam), static_cast<LPARAM>(a.lParam), "post message");
      break;
    case Action::Kind::HotspotOff:
    case Action::Kind::HotspotNetworkChange:
    case Action::Kind::HotspotClientJoin:
    case Action::Kind::HotspotClientLeave:
    case Action::Kind::HotspotTransitionThenOff:
      controlHotspot(HotspotRequestOf(a));
      break;
  }
}

void ScenarioRun::endChildrenOfInstances() {
  const WinHandle owned = OwnHandle(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!owned) return;
  const HANDLE snapshot = owned.get();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    const bool ours = std::any_of(m_Instances.begin(), m_Instances.end(), [&](const auto& instance) {
      return instance->process.dwProcessId == entry.th32ParentProcessID;
    });
    if (!ours) continue;
    if (const WinHandle child = OwnHandle(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID))) {
      print("ending what the program left running (pid " + std::to_string(entry.th32ProcessID) + ")");
      ::TerminateProcess(child.get(), 1);
    }
  }
}

simrunner::Observation ScenarioRun::observe() {
  simrunner::Observation seen;
  if (const Instance* newest = Newest()) {
    seen.exitCode = newest->exitCode;
    seen.allEnded = std::none_of(m_Instances.begin(), m_Instances.end(),
                                 [](const auto& instance) { return instance->running(); });
    seen.programWindow = newest->dialog.window != nullptr;
    seen.programVisible = newest->dialog.visible;
    seen.logLines = newest->dialog.logLines;
    seen.controls = newest->dialog.controls;
  }
  for (const Received& r : m_Received) {
    if (r.code) seen.codes.push_back(r.text);
    if (r.notice) seen.notices.push_back(r.text);
  }
  seen.controllerWindow = m_Window != nullptr;
  seen.controllerVisible = seen.controllerWindow && ::IsWindowVisible(m_Window) != FALSE;
  seen.setting = [](const std::u16string& name) { return ReadSetting(name); };
  if (!m_Options.real) {
    simrunner::ServiceLogTexts logs;
    logs.wlan = ReadFileBytes(EnvironmentPath(L"TETHRA_SIMWLAN_LOG"));
    logs.sharing = ReadFileBytes(EnvironmentPath(L"TETHRA_SIMSHARING_LOG"));
    logs.netsh = ReadFileBytes(EnvironmentPath(L"TETHRA_SIMNETSH_LOG"));
    logs.hotspot = ReadFileBytes(EnvironmentPath(L"TETHRA_SIMHOTSPOT_LOG"));
    if (const Instance* newest = Newest(); newest != nullptr && !newest->running()) {
      logs.programId = newest->process.dwProcessId;
    }
    simrunner::ReadServiceLogs(logs, seen);
    for (const std::string& refused : m_RefusedActions) seen.machineFailures.push_back("timeline " + refused);
    // A service the program never reached still holds what the machine started it with.
    if (!seen.wlan) {
      const sim::SimWlanConfig start = simrunner::WlanConfig(m_Scenario.machine.wlan);
      std::optional<std::u16string> key;
      if (start.keyKind == sim::SimWlanConfig::KeyKind::Text) key = start.keyText;
      seen.wlan = simrunner::Observation::Wlan{start.state, start.ssidBytes ? u"" : start.ssidText, key,
                                               start.maxPeers};
    }
    // The same for a mobile hotspot the program never activated.
    if (!seen.hotspot) {
      const sim::SimHotspotConfig start = simrunner::HotspotConfigOf(m_Scenario.machine.hotspot);
      seen.hotspot = simrunner::Observation::Hotspot{start.state == platform::TetheringState::On, start.config.ssid,
                                                     start.config.passphrase, start.config.band,
                                                     start.config.authentication, start.noConnectionsTimeout};
    }
  }
  return seen;
}

int ScenarioRun::run() {
  m_ServicesChanged = OwnHandle(OpenServicesChanged());
  prepareMachine();
  startProgram(m_Scenario.machine.commandLine);
  // Without a program no expectation means anything: the run could not be made.
  if (m_Instances.empty()) return 2;
  const std::vector<std::string> notes = simrunner::PlayTimeline(m_Scenario, *this);
  const bool endExpected = std::any_of(m_Scenario.expectations.begin(), m_Scenario.expectations.end(),
                                       [](const auto& e) { return e.kind == simrunner::Expectation::Kind::Exit; });
  const std::uint64_t now = NowMs();
  const DWORD settleMs =
      kSettleLimitMs + static_cast<DWORD>(m_MachineBusyUntilMs > now ? m_MachineBusyUntilMs - now : 0);
  Pump(settleMs, [this, endExpected] { 
    return endExpected ? Newest() == nullptr || !Newest()->running() : quiet(kQuietMs);
  });
  for (const auto& instance : m_Instances) {
    if (instance->running()) look(*instance);
  }
  for (const std::string& note : notes) print("note: " + note);
  const simrunner::Verdict verdict = simrunner::CheckExpectations(m_Scenario, observe());
  std::string lines = "--\n";
  for (const std::string& line : verdict.lines) lines += line + "\n";
  std::fwrite(lines.data(), 1, lines.size(), stdout);
  std::fflush(stdout);

  // Instances still running are ended (the verdict is in), and so is what they started and
  // left running (a network shell that hangs), which would otherwise outlive the run.
  for (const auto& instance : m_Instances) {
    if (!instance->running()) continue;
    ::TerminateProcess(instance->process.hProcess, 1);
    ::WaitForSingleObject(instance->process.hProcess, kCleanUpMs);
  }
  endChildrenOfInstances();
  return verdict.allHeld ? 0 : 1;
}

}  // namespace tethra::tools
